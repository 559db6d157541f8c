// The start-setup reset and the backup of the release on the keyboard.
#include <gtest/gtest.h>

#include "Updater.h"

namespace virdo::fake {
namespace {

const std::string kQuestion = "Software file is older than saved one , OverWrite saved ??";
const std::string kRoot = "E:\\Virdo1.mem";
const std::string kSaved = "E:\\system\\OldRel\\Virdo1.mem";

struct StampCase {
  std::string name;
  FileStamp root;
  FileStamp saved;
  std::optional<int> answer;  // set: the question is expected
  bool replaced;
};

class SavedCopy : public testing::TestWithParam<StampCase> {};

TEST_P(SavedCopy, ReplacedUnlessTheUserKeepsAMoreRecentOne) {
  const StampCase& c = GetParam();
  Updater u;
  u.Keyboard();
  u.fs.AddFile(kRoot, "current", c.root);
  u.fs.AddFile(kSaved, "saved", c.saved);
  if (c.answer) u.toolkit.Answer(kQuestion, *c.answer);
  u.Load();

  u.Click(0);

  const std::vector<ShownMessage> asked{{kQuestion, kMsgYesNo}};
  EXPECT_EQ(u.toolkit.messages, c.answer ? asked : std::vector<ShownMessage>{});
  EXPECT_EQ(u.fs.Contents(kSaved), c.replaced ? "current" : "saved");
  EXPECT_EQ(u.fs.IsFile(kRoot), !c.replaced);
  EXPECT_EQ(u.fs.Count("createfolder " + kOldRel), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Backup, SavedCopy,
    testing::Values(StampCase{"RootNewer", 2000, 1000, std::nullopt, true},
                    StampCase{"EqualStamps", 1000, 1000, std::nullopt, true},
                    StampCase{"RootOlderYes", 1000, 2000, kAnswerYes, true},
                    StampCase{"RootOlderNo", 1000, 2000, kAnswerNo, false}),
    [](const auto& info) { return info.param.name; });

TEST(Backup, NoKeepsOnlyThatFileAndTheNextFollows) {
  Updater u;
  u.Keyboard();
  u.fs.AddFile("E:\\Virdo1.mem", "current 1", 1000);
  u.fs.AddFile("E:\\system\\OldRel\\Virdo1.mem", "saved 1", 2000);
  u.fs.AddFile("E:\\Virdo2.mem", "current 2", 1000);
  u.fs.AddFile("E:\\system\\OldRel\\Virdo2.mem", "saved 2", 2000);
  u.toolkit.AnswerNext(kAnswerNo);
  u.toolkit.AnswerNext(kAnswerYes);
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.toolkit.messages.size(), 2u);
  EXPECT_EQ(u.fs.Contents("E:\\Virdo1.mem"), "current 1");
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo1.mem"), "saved 1");
  EXPECT_FALSE(u.fs.IsFile("E:\\Virdo2.mem"));
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo2.mem"), "current 2");
}

TEST(Backup, ReadOnlySavedCopyIsDeletedWithForce) {
  Updater u;
  u.Keyboard();
  u.fs.AddFile(kRoot, "current", 2000);
  u.fs.AddFile(kSaved, "saved", 1000, kAttrReadOnly);
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Count("deletefile " + kSaved + " force"), 1);
  EXPECT_EQ(u.fs.Contents(kSaved), "current");
  EXPECT_FALSE(u.fs.IsFile(kRoot));
}

TEST(Backup, ReadOnlyStartupIniEndsTheRunBeforeAnyMove) {
  Updater u;
  u.Keyboard();
  u.fs.AddFile(kStartupIni, "setup", 1000, kAttrReadOnly);
  u.fs.AddFile(kRoot);
  u.Load();

  try {
    u.Click(0);
    ADD_FAILURE() << "the refused delete did not end the run";
  } catch (const FileSystemError& e) {
    EXPECT_EQ(e.operation(), "DeleteFiles");
    EXPECT_EQ(e.path(), kStartupIni);
  }
  EXPECT_TRUE(u.fs.IsFile(kStartupIni));
  EXPECT_TRUE(u.fs.IsFile(kRoot));
  EXPECT_EQ(u.fs.Count("ListFirst E:\\Virdo*.mem"), 0);
  EXPECT_EQ(u.fs.Attributes(kSystem), 0);
}

TEST(Backup, MissingOldRelIsCreatedForTheFirstNameOnly) {
  Updater u;
  u.Keyboard();
  u.fs.AddFile("E:\\Virdo1.mem", "one");
  u.fs.AddFile("E:\\Virdo2.mem", "two");
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Count("createfolder " + kOldRel), 1);
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo1.mem"), "one");
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo2.mem"), "two");
  EXPECT_FALSE(u.fs.IsFile("E:\\Virdo1.mem"));
  EXPECT_FALSE(u.fs.IsFile("E:\\Virdo2.mem"));
  EXPECT_TRUE(u.toolkit.messages.empty());
}

// Only ordinary files of the root whose names fit the pattern are moved.
TEST(Backup, OnlyListedSoftwareFilesMove) {
  Updater u;
  u.Keyboard();
  u.fs.AddFolder(kOldRel);
  u.fs.AddFile("E:\\VIRDO7.MEM", "upper");         // FAT ignores case
  u.fs.AddFile("E:\\Virdo.mem", "bare");           // no characters between
  u.fs.AddFile("E:\\Virdo1.mem", "hidden", 1000, kAttrHidden);
  u.fs.AddFile("E:\\Virdo2.mem", "system", 1000, kAttrSystem);
  u.fs.AddFile("E:\\Virdo3.txt");
  u.fs.AddFile("E:\\XVirdo4.mem");
  u.fs.AddFolder("E:\\Virdo5.mem");
  u.fs.AddFile("E:\\sub\\Virdo6.mem");
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\VIRDO7.MEM"), "upper");
  EXPECT_EQ(u.fs.Contents("E:\\system\\OldRel\\Virdo.mem"), "bare");
  for (const char* stays : {"E:\\Virdo1.mem", "E:\\Virdo2.mem", "E:\\Virdo3.txt",
                            "E:\\XVirdo4.mem", "E:\\sub\\Virdo6.mem"}) {
    EXPECT_TRUE(u.fs.IsFile(stays)) << stays;
  }
  EXPECT_TRUE(u.fs.IsFolder("E:\\Virdo5.mem"));
  EXPECT_EQ(u.fs.Writes().size(), 2u /* attributes */ + 1u /* startup.ini */ +
                                      2u /* moves */ + 1u /* a.bin */);
}

TEST(Backup, NoSoftwareFileLeavesOldRelUncreatedButStillResetsTheSetup) {
  Updater u;
  u.Keyboard();
  u.Load();

  u.Click(0);

  EXPECT_FALSE(u.fs.IsFolder(kOldRel));
  EXPECT_EQ(u.fs.Count("folderexists " + kOldRel), 0);
  EXPECT_FALSE(u.fs.IsFile(kStartupIni));
  EXPECT_TRUE(u.toolkit.messages.empty());
}

TEST(Backup, MissingStartupIniIsNotDeleted) {
  Updater u;
  u.Keyboard();
  u.fs.deletefile(kStartupIni, true);
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Count("DeleteFiles " + kStartupIni), 0);
  EXPECT_TRUE(u.toolkit.visible[Control::Label1]);
}

}  // namespace
}  // namespace virdo::fake
