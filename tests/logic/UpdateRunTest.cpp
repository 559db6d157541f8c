// The frame of an update run: window states, checks, the system folder's
// attributes, and what an untested failure leaves behind.
#include <gtest/gtest.h>

#include "Updater.h"

namespace virdo::fake {
namespace {

using Calls = std::vector<std::string>;

void ExpectRunning(ScriptedToolkit& t) {
  EXPECT_FALSE(t.visible[Control::Label4]);
  EXPECT_TRUE(t.visible[Control::Label2]);
  EXPECT_TRUE(t.visible[Control::Label3]);
  EXPECT_FALSE(t.visible[Control::Label1]);
  EXPECT_FALSE(t.enabled[0]);
  EXPECT_FALSE(t.enabled[1]);
}

TEST(DisplayStates, ReadyRunningFinishedInTheirOrder) {
  Updater u;
  u.Keyboard();
  u.Load();
  // Ready, as the window is first shown.
  EXPECT_TRUE(u.toolkit.visible[Control::Label4]);
  for (Control c : {Control::Label1, Control::Label2, Control::Label3, Control::ProgressBar1}) {
    EXPECT_FALSE(u.toolkit.visible[c]) << ControlName(c);
  }
  EXPECT_TRUE(u.toolkit.enabled[0] && u.toolkit.enabled[1]);

  u.Click(0);

  Calls all = u.toolkit.Calls();
  Calls ordered;
  for (const auto& c : all) {
    if (c.starts_with("SetVisible") || c.starts_with("SetEnabled")) ordered.push_back(c);
  }
  EXPECT_EQ(ordered, (Calls{"SetVisible Label4 hide", "SetVisible Label2 show",
                            "SetVisible Label3 show", "SetEnabled 0 off",
                            "SetEnabled 1 off", "SetVisible ProgressBar1 show",
                            "SetVisible Label2 hide", "SetVisible Label3 hide",
                            "SetVisible ProgressBar1 hide", "SetVisible Label1 show",
                            "SetEnabled 1 on"}));
  // Finished: only the instructions and Exit.
  EXPECT_TRUE(u.toolkit.visible[Control::Label1]);
  for (Control c : {Control::Label2, Control::Label3, Control::Label4, Control::ProgressBar1}) {
    EXPECT_FALSE(u.toolkit.visible[c]) << ControlName(c);
  }
  EXPECT_FALSE(u.toolkit.enabled[0]);
  EXPECT_TRUE(u.toolkit.enabled[1]);
}

// The whole run on a small drive, every call of both fakes in one order.
TEST(RunOrder, EveryCallOfASmallRunInItsPlace) {
  Updater u;
  u.Keyboard("\\a.bin");
  u.fs.AddFile("E:\\Virdo1.mem", "old release");
  u.Load();
  Calls log;
  u.fs.ShareLog(&log);
  u.toolkit.ShareLog(&log);

  u.Click(0);

  const std::string a = kPackage + "a.bin";
  EXPECT_EQ(log, (Calls{
      "SetVisible Label4 hide", "SetVisible Label2 show", "SetVisible Label3 show",
      "SetEnabled 0 off", "SetEnabled 1 off",
      "ProgramFolder",
      "fileexists " + kPositionFile,
      "folderexists E:\\system",
      "GetAttributes E:\\system",
      "SetAttributes E:\\system 0",
      "fileexists " + kStartupIni,
      "DeleteFiles " + kStartupIni,
      "ListFirst E:\\Virdo*.mem",
      "folderexists E:\\system\\OldRel",
      "createfolder E:\\system\\OldRel",
      "movefile E:\\Virdo1.mem E:\\system\\OldRel\\Virdo1.mem",
      "ListNext",
      "SetProgressValue 0", "SetVisible ProgressBar1 show",
      "OpenInput " + kPositionFile,
      "ReadLine", "AtEnd", "Rewind",
      "ProcessEvents", "GetProgressMax", "SetProgressValue 0",
      "ReadLine",
      "getparentfoldername \\a.bin", "getfilename \\a.bin",
      "folderexists E:\\",
      "fileexists " + a,
      "fileexists E:\\a.bin",
      "copyfile " + a + " E:\\a.bin overwrite",
      "SetAttributes E:\\system 6",
      "CloseAll",
      "SetVisible Label2 hide", "SetVisible Label3 hide",
      "SetVisible ProgressBar1 hide", "SetVisible Label1 show",
      "SetEnabled 1 on"}));
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo1.mem"), "old release");
}

struct CheckCase {
  std::string name;
  bool positionFile;
  bool systemFolder;
  std::string message;
};

class FrameChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(FrameChecks, MissingPieceEndsTheProgramWithTheDriveUntouched) {
  const CheckCase& c = GetParam();
  Updater u;
  u.keyboard = u.fs.AddDrive("E:");
  if (c.systemFolder) u.fs.AddFolder(kSystem, kAttrHidden | kAttrSystem);
  u.fs.AddFile("E:\\Virdo1.mem");
  u.fs.AddFile(kPackage + "a.bin");
  if (c.positionFile) u.fs.AddFile(kPositionFile, "\\a.bin\r\n");
  u.Load();
  const auto before = u.fs.Snapshot();
  u.toolkit.Answer(c.message, kAnswerOk);

  EXPECT_EQ(Updater::Ends([&] { u.Click(0); }), kExitStopped);

  EXPECT_EQ(u.toolkit.messages, (std::vector<ShownMessage>{{c.message, kMsgOk + kMsgCritical}}));
  EXPECT_EQ(u.fs.Snapshot(), before);
  EXPECT_TRUE(u.fs.Writes().empty());
  EXPECT_EQ(u.fs.Count("GetAttributes E:\\system"), 0);
  ExpectRunning(u.toolkit);
}

INSTANTIATE_TEST_SUITE_P(
    Run, FrameChecks,
    testing::Values(
        CheckCase{"NoPositionFile", false, true, "Position file not found "},
        CheckCase{"NeitherPositionFileNorSystemFolder", false, false, "Position file not found "},
        CheckCase{"NoSystemFolder", true, false, "System folder not found !"}),
    [](const auto& info) { return info.param.name; });

struct AttributeCase {
  int before;
  int duringPhases;
  bool cleared;
};

TEST(SystemFolder, UnprotectedForThePhasesThenHiddenAndSystem) {
  const AttributeCase table[] = {
      {kAttrHidden | kAttrSystem, 0, true},
      {kAttrReadOnly | kAttrHidden | kAttrSystem, 0, true},
      {kAttrReadOnly, 0, true},
      {kAttrSystem, 0, true},
      {0, 0, false},
      {32, 32, false},  // archive alone is none of the three
  };
  for (const AttributeCase& c : table) {
    SCOPED_TRACE(c.before);
    Updater u;
    u.Keyboard();
    u.fs.AddFolder(kSystem, c.before);
    std::vector<int> seen;
    u.fs.OnCall("DeleteFiles", kStartupIni, [&] { seen.push_back(u.fs.Attributes(kSystem)); });
    u.fs.OnCall("OpenInput", kPositionFile, [&] { seen.push_back(u.fs.Attributes(kSystem)); });
    u.Load();

    u.Click(0);

    EXPECT_EQ(seen, (std::vector<int>{c.duringPhases, c.duringPhases}));
    EXPECT_EQ(u.fs.Count("SetAttributes E:\\system 0"), c.cleared ? 1 : 0);
    EXPECT_EQ(u.fs.Attributes(kSystem), kAttrHidden | kAttrSystem);
  }
}

struct FailureCase {
  std::string operation;
  std::string path;
  int systemAfter;
};

class UntestedFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(UntestedFailure, EscapesTheRunAndLeavesWhatWasDone) {
  const FailureCase& c = GetParam();
  Updater u;
  u.Keyboard("\\a.bin\r\n\\sub\\b.bin\r\n-\\old.bin\r\n");
  u.fs.AddFile(kPackage + "b.bin");
  u.fs.AddFile("E:\\old.bin");
  u.fs.AddFile("E:\\Virdo1.mem");
  u.fs.FailOn(c.operation, c.path, "No space left on device");
  u.Load();

  try {
    u.Click(0);
    ADD_FAILURE() << "the failure did not leave the run";
  } catch (const FileSystemError& e) {
    EXPECT_EQ(e.operation(), c.operation);
    EXPECT_EQ(e.reason(), "No space left on device");
  }

  EXPECT_EQ(u.fs.Attributes(kSystem), c.systemAfter);
  EXPECT_EQ(u.fs.Count("SetAttributes E:\\system 6"), 0);
  EXPECT_EQ(u.fs.Count("CloseAll"), 0);
  EXPECT_EQ(u.toolkit.endStatus, std::nullopt);
  ExpectRunning(u.toolkit);
}

INSTANTIATE_TEST_SUITE_P(
    Run, UntestedFailure,
    testing::Values(
        FailureCase{"GetAttributes", kSystem, kAttrHidden | kAttrSystem},
        FailureCase{"DeleteFiles", kStartupIni, 0},
        FailureCase{"createfolder", kOldRel, 0},
        FailureCase{"movefile", "E:\\Virdo1.mem", 0},
        FailureCase{"OpenInput", kPositionFile, 0},
        FailureCase{"ReadLine", kPositionFile, 0},
        FailureCase{"createfolder", "E:\\sub", 0},
        FailureCase{"copyfile", kPackage + "a.bin", 0},
        FailureCase{"deletefile", "E:\\old.bin", 0}),
    [](const auto& info) {
      std::string name = info.param.operation + "_" + std::to_string(info.index);
      return name;
    });

TEST(UntestedFailure, MoveRefusedKeepsFilesMovedBefore) {
  Updater u;
  u.Keyboard();
  u.fs.AddFile("E:\\Virdo1.mem", "one");
  u.fs.AddFile("E:\\Virdo2.mem", "two");
  u.fs.FailOn("movefile", "E:\\Virdo2.mem");
  u.Load();

  EXPECT_THROW(u.Click(0), FileSystemError);

  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo1.mem"), "one");
  EXPECT_TRUE(u.fs.IsFile("E:\\Virdo2.mem"));
  EXPECT_FALSE(u.fs.IsFile(kStartupIni));
  EXPECT_EQ(u.fs.Count("OpenInput " + kPositionFile), 0);
}

}  // namespace
}  // namespace virdo::fake
