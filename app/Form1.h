// The updater's one window: its state, its two event handlers and the update
// run they start. It reaches the file system and the screen only through the
// two platform interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystemService.h"
#include "platform/WindowToolkit.h"

namespace virdo {

struct KeyboardDriveRecord {
  std::string Path;                    // empty until a drive is chosen
  std::shared_ptr<DriveHandle> Drive;  // meaningful only when Path is set
};

struct UpdaterState {
  std::unique_ptr<FileSystemService> fs;
  std::vector<std::shared_ptr<DriveHandle>> drives;
  KeyboardDriveRecord KeyboardDrive;
  std::string PackageFolder;
  std::string PositionFile;
  std::string SystemFolder;
  std::string OldRelFolder;
  std::string StartupIni;
  std::string SoftwareFilePattern;
};

// "VIRDO updater     Serial N.  " and the serial's 32-bit pattern in hex.
std::string CaptionForSerial(std::int32_t serial);

// The window as it is laid out before Form_Load runs.
const FormLayout& Form1Layout();

class Form1 final : public FormEvents {
 public:
  using ServiceFactory = std::function<std::unique_ptr<FileSystemService>()>;

  Form1(WindowToolkit& toolkit, ServiceFactory createService);

  void Form_Load() override;
  void Command1_Click(std::int16_t index) override;

  const UpdaterState& State() const { return state_; }

 private:
  void RunUpdate();
  void BackupRelease();
  void ApplyPositionFile();

  WindowToolkit& toolkit_;
  ServiceFactory createService_;
  UpdaterState state_;
};

}  // namespace virdo
