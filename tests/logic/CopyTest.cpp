// The package copy as the position file lists it.
#include <gtest/gtest.h>

#include "Updater.h"

namespace virdo::fake {
namespace {

struct ListCase {
  std::string name;
  std::string positionFile;
  std::vector<float> progress;  // after the first 0 that shows the bar
  std::vector<std::string> copied;
  std::vector<std::string> notCopied;
};

class PositionList : public testing::TestWithParam<ListCase> {};

TEST_P(PositionList, CountsLinesSetsProgressAndWorksOnEachLine) {
  const ListCase& c = GetParam();
  Updater u;
  u.Keyboard(c.positionFile);
  for (const char* name : {"b.bin", "c.bin", "d.bin", "late.bin"}) {
    u.fs.AddFile(kPackage + name, std::string("new ") + name, 5000);
  }
  u.Load();

  u.Click(0);

  std::vector<float> expected{0.0f};
  expected.insert(expected.end(), c.progress.begin(), c.progress.end());
  EXPECT_EQ(u.toolkit.progressValues, expected);
  EXPECT_EQ(u.toolkit.Calls("ProcessEvents").size(), c.progress.size());
  for (const auto& target : c.copied) {
    EXPECT_TRUE(u.fs.IsFile(target)) << target;
  }
  for (const auto& target : c.notCopied) {
    EXPECT_FALSE(u.fs.Entry(target)) << target;
  }
  EXPECT_TRUE(u.toolkit.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Copy, PositionList,
    testing::Values(
        ListCase{"ThreeLines", "\\a.bin\r\n\\b.bin\r\n\\c.bin\r\n", {0, 33, 66},
                 {"E:\\a.bin", "E:\\b.bin", "E:\\c.bin"}, {}},
        ListCase{"FourLines", "\\a.bin\r\n\\b.bin\r\n\\c.bin\r\n\\d.bin\r\n", {0, 25, 50, 75},
                 {"E:\\a.bin", "E:\\b.bin", "E:\\c.bin", "E:\\d.bin"}, {}},
        ListCase{"NoFinalLineEndAndASubfolder", "\\a.bin\r\n\\sub\\b.bin", {0, 50},
                 {"E:\\a.bin", "E:\\sub\\b.bin"}, {}},
        ListCase{"EmptyLineEndsTheList", "\\a.bin\r\n\\sub\\b.bin\r\n\r\n\\late.bin\r\n",
                 {0, 33, 66}, {"E:\\a.bin", "E:\\sub\\b.bin"}, {"E:\\late.bin"}},
        ListCase{"FirstLineEmpty", "\r\n\\a.bin\r\n", {}, {}, {"E:\\a.bin"}},
        ListCase{"CarriageReturnsAlone", "\\a.bin\r\\b.bin\r", {0, 50},
                 {"E:\\a.bin", "E:\\b.bin"}, {}},
        // A line feed alone ends a line too: packages made on Linux use it.
        ListCase{"LineFeedsAlone", "\\a.bin\n\\b.bin\n", {0, 50},
                 {"E:\\a.bin", "E:\\b.bin"}, {}},
        // A byte-order mark would otherwise become part of the first path.
        ListCase{"ByteOrderMark", "\xEF\xBB\xBF\\a.bin\r\n\\b.bin\r\n", {0, 50},
                 {"E:\\a.bin", "E:\\b.bin"}, {}},
        ListCase{"SameNameTwice", "\\x\\a.bin\r\n\\y\\a.bin", {0, 50},
                 {"E:\\x\\a.bin", "E:\\y\\a.bin"}, {}},
        ListCase{"LineWithoutFileNameIsSkipped", "\\sub\\\r\n\\a.bin", {0, 50},
                 {"E:\\a.bin"}, {"E:\\sub"}}),
    [](const auto& info) { return info.param.name; });

TEST(Copy, FirstLineEmptyLeavesTheBarShownAtZeroAndTheDriveAlone) {
  Updater u;
  u.Keyboard("\r\n\\a.bin\r\n");
  u.Load();
  std::vector<std::string> barAtEnd;
  u.fs.OnCall("SetAttributes", kSystem, [&] {
    if (u.toolkit.visible[Control::ProgressBar1]) barAtEnd.push_back("shown");
  });

  u.Click(0);

  EXPECT_EQ(barAtEnd, (std::vector<std::string>{"shown"}));  // before step 10's 6
  EXPECT_EQ(u.fs.Count("Rewind"), 0);
  for (const auto& call : u.fs.Calls()) EXPECT_FALSE(call.starts_with("getfilename")) << call;
}

struct StampCase {
  std::string name;
  FileStamp target;
  int attributes;
  bool replaced;
};

class TargetStamp : public testing::TestWithParam<StampCase> {};

TEST_P(TargetStamp, ReplacedOnlyWhenThePackageFileIsStrictlyLater) {
  const StampCase& c = GetParam();
  Updater u;
  u.Keyboard("\\sub\\a.bin\r\n");  // the package's a.bin has stamp 5000
  u.fs.AddFile("E:\\sub\\a.bin", "old a", c.target, c.attributes);
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Contents("E:\\sub\\a.bin"), c.replaced ? "new a" : "old a");
  EXPECT_EQ(u.fs.Count("deletefile E:\\sub\\a.bin force"), c.replaced ? 1 : 0);
  EXPECT_EQ(u.fs.Count("copyfile " + kPackage + "a.bin E:\\sub\\a.bin overwrite"),
            c.replaced ? 1 : 0);
  if (c.replaced) {
    EXPECT_EQ(u.fs.Entry("E:\\sub\\a.bin")->stamp, 5000);
  }
  EXPECT_TRUE(u.toolkit.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Copy, TargetStamp,
    testing::Values(StampCase{"Older", 4999, 0, true},
                    StampCase{"Equal", 5000, 0, false},
                    StampCase{"Newer", 5001, 0, false},
                    StampCase{"ReadOnlyOlder", 1000, kAttrReadOnly, true},
                    StampCase{"ReadOnlyNewer", 9000, kAttrReadOnly, false}),
    [](const auto& info) { return info.param.name; });

TEST(Copy, DeletionLines) {
  struct Case {
    std::string line;
    bool isFile, isFolder;
    int attributes;
  } table[] = {
      {"-\\old.bin", true, false, 0},
      {"-\\sub\\old.bin", true, false, kAttrReadOnly},
      {"-\\gone.bin", false, false, 0},
      {"-\\folder", false, true, 0},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.line);
    Updater u;
    u.Keyboard(c.line + "\r\n\\a.bin\r\n");
    const std::string target = "E:" + c.line.substr(1);
    if (c.isFile) u.fs.AddFile(target, "old", 1000, c.attributes);
    if (c.isFolder) u.fs.AddFolder(target);
    u.Load();

    u.Click(0);

    EXPECT_FALSE(u.fs.IsFile(target));
    EXPECT_EQ(u.fs.IsFolder(target), c.isFolder);
    EXPECT_EQ(u.fs.Count("deletefile " + target + " force"), c.isFile ? 1 : 0);
    EXPECT_EQ(u.fs.Count("createfolder " + target), 0);
    EXPECT_TRUE(u.toolkit.messages.empty());
    EXPECT_TRUE(u.fs.IsFile("E:\\a.bin"));  // the next line still follows
  }
}

TEST(Copy, MissingPackageFileIsReportedAfterItsFolderIsCreated) {
  Updater u;
  u.Keyboard("\\sub\\gone.bin\r\n\\a.bin\r\n");
  u.toolkit.Answer("File gone.bin not found", kAnswerOk);
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.toolkit.messages,
            (std::vector<ShownMessage>{{"File gone.bin not found", kMsgOk}}));
  EXPECT_TRUE(u.fs.IsFolder("E:\\sub"));
  EXPECT_FALSE(u.fs.Entry("E:\\sub\\gone.bin"));
  EXPECT_TRUE(u.fs.IsFile("E:\\a.bin"));
  EXPECT_TRUE(u.toolkit.visible[Control::Label1]);  // the run ends normally
}

TEST(Copy, LineWithoutLeadingBackslashIsAppendedUnchanged) {
  Updater u;
  u.Keyboard("sub\\name.ext\r\n");
  u.fs.AddFile(kPackage + "name.ext");
  u.Load();

  u.Click(0);

  EXPECT_EQ(u.fs.Count("folderexists E:sub"), 1);
  EXPECT_EQ(u.fs.Count("createfolder E:sub"), 1);
  EXPECT_EQ(u.fs.Count("copyfile " + kPackage + "name.ext E:sub\\name.ext overwrite"), 1);
}

TEST(Copy, ZeroBytePositionFileFailsAfterTheBackup) {
  Updater u;
  u.Keyboard("");
  u.fs.AddFile("E:\\Virdo1.mem");
  u.Load();

  try {
    u.Click(0);
    ADD_FAILURE() << "reading an empty position file did not fail";
  } catch (const FileSystemError& e) {
    EXPECT_EQ(e.operation(), "ReadLine");
    EXPECT_EQ(e.path(), kPositionFile);
  }
  EXPECT_TRUE(u.fs.IsFile("E:\\system\\OldRel\\Virdo1.mem"));
  EXPECT_EQ(u.fs.Attributes(kSystem), 0);
  EXPECT_TRUE(u.toolkit.visible[Control::ProgressBar1]);
}

}  // namespace
}  // namespace virdo::fake
