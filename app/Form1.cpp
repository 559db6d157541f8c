#include "app/Form1.h"

#include <utility>

namespace virdo {

namespace {

constexpr const char* kCaptionPrefix = "VIRDO updater     Serial N.  ";
constexpr const char* kNotFound = "VIRDO NOT FOUND , PLEASE CONNECT TO USB";

}  // namespace

std::string CaptionForSerial(std::int32_t serial) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto pattern = static_cast<std::uint32_t>(serial);
  std::string hex;
  do {
    hex.insert(hex.begin(), kDigits[pattern & 0xF]);
    pattern >>= 4;
  } while (pattern != 0);
  return kCaptionPrefix + hex;
}

Form1::Form1(WindowToolkit& toolkit, ServiceFactory createService)
    : toolkit_(toolkit), createService_(std::move(createService)) {}

void Form1::Form_Load() {
  state_.fs = createService_();
  state_.drives = state_.fs->Drives();
  KeyboardDriveRecord& keyboard = state_.KeyboardDrive;
  for (;;) {
    keyboard.Path.clear();
    for (const auto& drive : state_.drives) {
      keyboard.Drive = drive;
      // Both properties are read, in this order, before either is judged.
      const int type = drive->drivetype();
      const bool ready = drive->IsReady();
      if (type != kDriveFixed || !ready) continue;
      const std::string label = drive->VolumeName();
      const std::string fileSystem = drive->FileSystem();
      if (label != "VIRDO" || fileSystem != "FAT32") continue;
      toolkit_.SetCaption(CaptionForSerial(drive->serialnumber()));
      keyboard.Path = drive->Path();
      break;
    }
    if (!keyboard.Path.empty()) return;
    if (toolkit_.ShowMessage(kNotFound, kMsgRetryCancel) != kAnswerRetry) {
      toolkit_.EndProgram(kExitNormal);
    }
  }
}

void Form1::Command1_Click(std::int16_t index) {
  switch (index) {
    case 0:
      RunUpdate();
      break;
    case 1:
      toolkit_.EndProgram(kExitNormal);
      break;
    default:
      break;
  }
}

}  // namespace virdo
