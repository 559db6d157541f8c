// Finding the keyboard's drive at start, the caption, and the two buttons.
#include <gtest/gtest.h>

#include <climits>

#include "Updater.h"

namespace virdo::fake {
namespace {

using Reads = std::vector<std::string>;
const Reads kFull{"drivetype",  "IsReady",      "VolumeName",
                  "FileSystem", "serialnumber", "Path"};
const Reads kTypeOnly{"drivetype", "IsReady"};
const Reads kLabelRead{"drivetype", "IsReady", "VolumeName", "FileSystem"};
const Reads kNone{};
const std::string kNotFound = "VIRDO NOT FOUND , PLEASE CONNECT TO USB";

struct DriveSpec {
  int type;
  bool ready;
  std::string label;
  std::string fileSystem;
};
const DriveSpec kGood{kDriveFixed, true, "VIRDO", "FAT32"};

struct DiscoveryCase {
  std::string name;
  std::vector<DriveSpec> drives;
  int chosen;  // -1: none passes
  std::vector<Reads> reads;
};

class Discovery : public testing::TestWithParam<DiscoveryCase> {};

TEST_P(Discovery, ChoosesTheFirstPassingDriveAndReadsOnlyWhatItMust) {
  const DiscoveryCase& c = GetParam();
  Updater u;
  std::vector<std::shared_ptr<FakeDrive>> drives;
  for (std::size_t i = 0; i < c.drives.size(); ++i) {
    auto d = u.fs.AddDrive(std::string(1, static_cast<char>('D' + i)) + ":");
    d->type = c.drives[i].type;
    d->ready = c.drives[i].ready;
    d->label = c.drives[i].label;
    d->fileSystem = c.drives[i].fileSystem;
    d->serial = static_cast<std::int32_t>(0x100 + i);
    u.fs.AddFile(d->path + "\\system\\init\\startup.ini");
    drives.push_back(d);
  }
  const auto before = u.fs.Snapshot();
  if (c.chosen < 0) u.toolkit.Answer(kNotFound, kAnswerCancel);

  const auto status = Updater::Ends([&] { u.Load(); });

  for (std::size_t i = 0; i < drives.size(); ++i) {
    EXPECT_EQ(drives[i]->reads, c.reads[i]) << "drive " << drives[i]->path;
  }
  EXPECT_EQ(u.servicesMade, 1);
  EXPECT_EQ(u.fs.Count("Drives"), 1);
  if (c.chosen >= 0) {
    const auto& chosen = drives[static_cast<std::size_t>(c.chosen)];
    EXPECT_EQ(status, std::nullopt);
    EXPECT_EQ(u.toolkit.caption, CaptionForSerial(chosen->serial));
    EXPECT_EQ(u.form.State().KeyboardDrive.Path, chosen->path);
    EXPECT_EQ(u.form.State().KeyboardDrive.Drive, chosen);
    EXPECT_TRUE(u.toolkit.messages.empty());
  } else {
    EXPECT_EQ(status, kExitNormal);
    EXPECT_EQ(u.toolkit.messages, (std::vector<ShownMessage>{{kNotFound, kMsgRetryCancel}}));
    EXPECT_FALSE(u.toolkit.shown);
    EXPECT_EQ(u.toolkit.Calls("SetCaption").size(), 0u);
    EXPECT_EQ(u.form.State().KeyboardDrive.Path, "");
    EXPECT_TRUE(u.fs.Writes().empty());
    EXPECT_EQ(u.fs.Snapshot(), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Drives, Discovery,
    testing::Values(
        DiscoveryCase{"OneKeyboard", {kGood}, 0, {kFull}},
        DiscoveryCase{"FirstOfTwoWins", {kGood, kGood}, 0, {kFull, kNone}},
        DiscoveryCase{"KeyboardAfterOthers",
                      {{kDriveRemovable, true, "VIRDO", "FAT32"},
                       {kDriveCdRom, false, "", ""},
                       {kDriveFixed, true, "DATA", "FAT32"},
                       kGood},
                      3,
                      {kTypeOnly, kTypeOnly, kLabelRead, kFull}},
        DiscoveryCase{"NoDrives", {}, -1, {}},
        DiscoveryCase{"LowerCaseLabel", {{kDriveFixed, true, "virdo", "FAT32"}}, -1, {kLabelRead}},
        DiscoveryCase{"MixedCaseLabel", {{kDriveFixed, true, "Virdo", "FAT32"}}, -1, {kLabelRead}},
        DiscoveryCase{"LabelWithTrailingBlank", {{kDriveFixed, true, "VIRDO ", "FAT32"}}, -1, {kLabelRead}},
        DiscoveryCase{"Removable", {{kDriveRemovable, true, "VIRDO", "FAT32"}}, -1, {kTypeOnly}},
        DiscoveryCase{"Network", {{kDriveNetwork, true, "VIRDO", "FAT32"}}, -1, {kTypeOnly}},
        DiscoveryCase{"Fat", {{kDriveFixed, true, "VIRDO", "FAT"}}, -1, {kLabelRead}},
        DiscoveryCase{"ExFat", {{kDriveFixed, true, "VIRDO", "exFAT"}}, -1, {kLabelRead}},
        DiscoveryCase{"LowerCaseFat32", {{kDriveFixed, true, "VIRDO", "fat32"}}, -1, {kLabelRead}},
        DiscoveryCase{"NotReady", {{kDriveFixed, false, "VIRDO", "FAT32"}}, -1, {kTypeOnly}}),
    [](const auto& info) { return info.param.name; });

TEST(DiscoveryRetry, DriveMadeReadyDuringTheMessageIsChosenOnRetry) {
  Updater u;
  auto drive = u.fs.AddDrive("E:");
  drive->ready = false;
  drive->serial = 255;
  u.toolkit.Answer(kNotFound, kAnswerRetry, [&] { drive->ready = true; });

  u.Load();

  EXPECT_EQ(u.toolkit.caption, "VIRDO updater     Serial N.  FF");
  EXPECT_EQ(u.form.State().KeyboardDrive.Path, "E:");
  Reads expected = kTypeOnly;
  expected.insert(expected.end(), kFull.begin(), kFull.end());
  EXPECT_EQ(drive->reads, expected);
  EXPECT_EQ(u.fs.Count("Drives"), 1);  // the same list, walked again
  EXPECT_EQ(u.servicesMade, 1);
  EXPECT_EQ(u.toolkit.Calls(), (std::vector<std::string>{
                                   "ShowMessage 5 " + kNotFound,
                                   "SetCaption VIRDO updater     Serial N.  FF",
                                   "Show"}));
}

TEST(DiscoveryRetry, EveryAnswerButRetryEndsWithoutShowingTheWindow) {
  for (int answer : std::initializer_list<int>{kAnswerCancel, kAnswerOk, kAnswerNo, kAnswerYes, 0}) {
    SCOPED_TRACE(answer);
    Updater u;
    auto drive = u.fs.AddDrive("E:");
    drive->label = "virdo";
    u.toolkit.AnswerNext(kAnswerRetry);
    u.toolkit.AnswerNext(kAnswerRetry);
    u.toolkit.AnswerNext(answer);

    EXPECT_EQ(Updater::Ends([&] { u.Load(); }), kExitNormal);
    EXPECT_EQ(u.toolkit.messages.size(), 3u);
    EXPECT_EQ(drive->reads.size(), 3 * kLabelRead.size());
    EXPECT_FALSE(u.toolkit.shown);
  }
}

TEST(Caption, IsTheFixedTextAndTheSerialsPatternInUpperCaseHex) {
  const std::string prefix = "VIRDO updater     Serial N.  ";
  ASSERT_EQ(prefix.size(), 29u);
  const std::pair<std::int32_t, const char*> table[] = {
      {255, "FF"},         {4096, "1000"},       {0, "0"},
      {-1, "FFFFFFFF"},    {-2, "FFFFFFFE"},     {INT32_MIN, "80000000"},
      {INT32_MAX, "7FFFFFFF"}, {0x1234ABCD, "1234ABCD"}, {0x0ABC, "ABC"},
  };
  for (const auto& [serial, hex] : table) {
    EXPECT_EQ(CaptionForSerial(serial), prefix + hex) << serial;
  }
}

class Buttons : public testing::Test {
 protected:
  void SetUp() override {
    u.Keyboard();
    u.Load();
    fsCalls = u.fs.Calls().size();
    toolkitCalls = u.toolkit.Calls().size();
    before = u.fs.Snapshot();
  }
  Updater u;
  std::size_t fsCalls = 0, toolkitCalls = 0;
  std::map<std::string, FakeEntry> before;
};

TEST_F(Buttons, ExitEndsAtOnceAndTouchesNothing) {
  EXPECT_EQ(Updater::Ends([&] { u.Click(1); }), kExitNormal);
  EXPECT_EQ(u.fs.Calls().size(), fsCalls);
  EXPECT_EQ(u.fs.Snapshot(), before);
  ASSERT_EQ(u.toolkit.Calls().size(), toolkitCalls + 1);
  EXPECT_EQ(u.toolkit.Calls().back(), "EndProgram 0");
}

TEST_F(Buttons, OtherIndexesDoNothing) {
  for (std::int16_t index : std::initializer_list<std::int16_t>{2, -1, 100, INT16_MIN, INT16_MAX}) {
    EXPECT_EQ(Updater::Ends([&] { u.Click(index); }), std::nullopt) << index;
  }
  EXPECT_EQ(u.fs.Calls().size(), fsCalls);
  EXPECT_EQ(u.toolkit.Calls().size(), toolkitCalls);
}

TEST_F(Buttons, StartUpdatingRunsTheUpdate) {
  u.Click(0);
  EXPECT_FALSE(u.fs.IsFile(kStartupIni));
  EXPECT_EQ(u.fs.Contents("E:\\a.bin"), "new a");
  EXPECT_TRUE(u.toolkit.visible[Control::Label1]);
}

}  // namespace
}  // namespace virdo::fake
