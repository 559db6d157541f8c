#include "app/Form1.h"

namespace virdo {

void Form1::BackupRelease() {
  FileSystemService& fs = *state_.fs;
  const std::string& drive = state_.KeyboardDrive.Path;

  // A read-only start setup makes the plain delete fail, which ends the run
  // before any software file has moved.
  if (fs.fileexists(state_.StartupIni)) fs.DeleteFiles(state_.StartupIni);

  for (std::string name = fs.ListFirst(state_.SoftwareFilePattern);
       !name.empty(); name = fs.ListNext()) {
    const std::string rootPath = drive + "\\" + name;
    const std::string savedPath = state_.OldRelFolder + "\\" + name;

    if (!fs.folderexists(state_.OldRelFolder)) {
      fs.createfolder(state_.OldRelFolder);
    } else if (fs.fileexists(savedPath)) {
      const FileStamp root = fs.getfile(rootPath)->datelastmodified();
      const FileStamp saved = fs.getfile(savedPath)->datelastmodified();
      if (root < saved &&
          toolkit_.ShowMessage(
              "Software file is older than saved one , OverWrite saved ??",
              kMsgYesNo) != kAnswerYes) {
        continue;  // the user keeps both files where they are
      }
      fs.deletefile(savedPath, true);
    }
    fs.movefile(rootPath, savedPath);
  }
}

}  // namespace virdo
