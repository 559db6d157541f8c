// One updater on a fake drive: the window, its fake file system and the
// scripted toolkit, with the keyboard's usual drive a call away.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/Form1.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/ScriptedToolkit.h"

namespace virdo::fake {

inline const std::string kPackage = "Z:\\home\\ana\\update\\qtmp\\";
inline const std::string kPositionFile = kPackage + "position.txt";
inline const std::string kSystem = "E:\\system";
inline const std::string kOldRel = "E:\\system\\OldRel";
inline const std::string kStartupIni = "E:\\system\\init\\startup.ini";

struct Updater {
  std::unique_ptr<FakeFileSystem> owned = std::make_unique<FakeFileSystem>();
  FakeFileSystem& fs = *owned;
  ScriptedToolkit toolkit;
  int servicesMade = 0;
  Form1 form{toolkit, [this]() -> std::unique_ptr<FileSystemService> {
               ++servicesMade;
               return std::move(owned);
             }};
  std::shared_ptr<FakeDrive> keyboard;

  // A keyboard drive as a completed earlier run leaves it, and a package
  // with the given position file.
  void Keyboard(const std::string& positionFile = "\\a.bin\r\n") {
    keyboard = fs.AddDrive("E:");
    keyboard->serial = 0x1234ABCD;
    fs.AddFolder(kSystem, kAttrHidden | kAttrSystem);
    fs.AddFile(kStartupIni, "setup");
    fs.AddFile(kPositionFile, positionFile);
    fs.AddFile(kPackage + "a.bin", "new a", 5000);
  }

  // What the toolkit does at start.
  void Load() {
    form.Form_Load();
    toolkit.Show();
  }

  void Click(std::int16_t index) { form.Command1_Click(index); }

  // Runs f; the exit status when it ended the program.
  static std::optional<int> Ends(const std::function<void()>& f) {
    try {
      f();
    } catch (const ProgramEnded& ended) {
      return ended.status;
    }
    return std::nullopt;
  }
};

}  // namespace virdo::fake
