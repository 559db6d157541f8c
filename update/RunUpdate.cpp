#include "app/Form1.h"

namespace virdo {

void Form1::RunUpdate() {
  FileSystemService& fs = *state_.fs;
  const std::string& drive = state_.KeyboardDrive.Path;

  toolkit_.SetVisible(Control::Label4, false);
  toolkit_.SetVisible(Control::Label2, true);
  toolkit_.SetVisible(Control::Label3, true);
  toolkit_.SetEnabled(0, false);
  toolkit_.SetEnabled(1, false);

  state_.PackageFolder = fs.ProgramFolder() + "\\qtmp\\";
  state_.PositionFile = state_.PackageFolder + "position.txt";

  // Checked before anything on the drive is touched.
  if (!fs.fileexists(state_.PositionFile)) {
    toolkit_.ShowMessage("Position file not found ", kMsgOk + kMsgCritical);
    toolkit_.EndProgram(kExitStopped);
  }

  state_.SystemFolder = drive + "\\system";
  state_.OldRelFolder = state_.SystemFolder + "\\OldRel";
  state_.StartupIni = drive + "\\system\\init\\startup.ini";

  if (!fs.folderexists(state_.SystemFolder)) {
    toolkit_.ShowMessage("System folder not found !", kMsgOk + kMsgCritical);
    toolkit_.EndProgram(kExitStopped);
  }

  const int attributes = fs.GetAttributes(state_.SystemFolder);
  if ((attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem)) != 0) {
    fs.SetAttributes(state_.SystemFolder, 0);
  }

  state_.SoftwareFilePattern = drive + "\\Virdo*.mem";

  BackupRelease();
  ApplyPositionFile();

  fs.SetAttributes(state_.SystemFolder, kAttrHidden | kAttrSystem);
  fs.CloseAll();

  toolkit_.SetVisible(Control::Label2, false);
  toolkit_.SetVisible(Control::Label3, false);
  toolkit_.SetVisible(Control::ProgressBar1, false);
  toolkit_.SetVisible(Control::Label1, true);
  toolkit_.SetEnabled(1, true);
}

}  // namespace virdo
