#include <cmath>

#include "app/Form1.h"

namespace virdo {

void Form1::ApplyPositionFile() {
  FileSystemService& fs = *state_.fs;
  const std::string& drive = state_.KeyboardDrive.Path;

  toolkit_.SetProgressValue(0.0f);
  toolkit_.SetVisible(Control::ProgressBar1, true);

  fs.OpenInput(state_.PositionFile);
  std::string line = fs.ReadLine();
  if (line.empty()) return;

  // The count includes the first empty line, which ends the list.
  int count = 1;
  for (;;) {
    const bool atEnd = fs.AtEnd();
    if (atEnd || line.empty()) break;
    ++count;
    line = fs.ReadLine();
  }

  fs.Rewind();
  for (int i = 0; i < count; ++i) {
    toolkit_.ProcessEvents();
    const float maximum = toolkit_.GetProgressMax();
    const float product = static_cast<float>(i) * maximum;
    toolkit_.SetProgressValue(std::floor(product / static_cast<float>(count)));

    line = fs.ReadLine();
    if (!line.empty() && line.front() == '-') {
      const std::string target = drive + line.substr(1);
      if (fs.fileexists(target)) fs.deletefile(target, true);
      continue;
    }

    const std::string parent = fs.getparentfoldername(line);
    const std::string name = fs.getfilename(line);
    if (name.empty()) continue;
    const std::string source = state_.PackageFolder + name;
    const std::string target = drive + line;

    // Before the source is looked for: the folder exists on the drive even
    // when the package lacks the file.
    if (!fs.folderexists(drive + parent)) fs.createfolder(drive + parent);

    if (!fs.fileexists(source)) {
      toolkit_.ShowMessage("File " + name + " not found", kMsgOk);
      continue;
    }
    if (fs.fileexists(target)) {
      const FileStamp targetStamp = fs.FileTime(target);
      const FileStamp sourceStamp = fs.FileTime(source);
      if (sourceStamp <= targetStamp) continue;
      // Forced, so that a read-only older copy is replaced too.
      fs.deletefile(target, true);
    }
    fs.copyfile(source, target, true);
  }
}

}  // namespace virdo
