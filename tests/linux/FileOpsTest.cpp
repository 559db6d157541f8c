#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstring>
#include <functional>

#include "platform/linux/LinuxFileSystem.h"
#include "tests/linux/TempDrives.h"

namespace virdo {
namespace {

using namespace virdo::testing;

// D: is a folder under /tmp (ext4 here), with a sibling folder outside it
// that no D: path may reach. Every test runs twice: through openat2 and
// through the component walk that kernels without it get.
class LinuxFsTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    base_ = MakeTempFolder("/tmp", "fs");
    drive_ = base_ / "drive";
    outside_ = base_ / "outside";
    fs::create_directories(drive_);
    fs::create_directories(outside_);
    table_ = std::make_unique<MountTableFile>(base_ / "mountinfo");
    table_->Add(drive_.string(), "ext4", "/dev/vda", "254:0");
    service_ = Make();
  }
  void TearDown() override {
    ::umount2((base_ / "small").c_str(), MNT_DETACH);  // left by a failed full-volume test
    fs::permissions(base_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(base_);
  }
  std::unique_ptr<LinuxFileSystem> Make(
      LinuxFileSystemOptions::Copy copy = LinuxFileSystemOptions::Copy::kCopyFileRange) {
    LinuxFileSystemOptions o;
    o.mountTable = table_->path().string();
    o.programFolder = "/opt/virdo";
    o.useOpenat2 = GetParam();
    o.copyMethod = copy;
    return std::make_unique<LinuxFileSystem>(o);
  }
  // The native folder as a Z: path.
  static std::string Z(const fs::path& p) {
    std::string s = "Z:" + p.string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }

  fs::path base_, drive_, outside_;
  std::unique_ptr<MountTableFile> table_;
  std::unique_ptr<LinuxFileSystem> service_;
};

// What one path reaches: the text of the file behind it, or a failure.
struct PathCase {
  const char* path;
  const char* reaches;  // nullptr: the path is refused
};

TEST_P(LinuxFsTest, HostileAndOddPathsNeverLeaveTheDrive) {
  WriteText(drive_ / "etc" / "passwd", "inside");
  WriteText(drive_ / "sub" / "x", "sub-x");
  WriteText(outside_ / "etc" / "passwd", "OUTSIDE");
  WriteText(outside_ / "secret", "OUTSIDE");
  fs::create_directory_symlink(outside_, drive_ / "out");
  fs::create_directory_symlink(drive_ / "sub", drive_ / "in");
  fs::create_symlink(outside_ / "secret", drive_ / "secret");
  fs::create_symlink("sub/x", drive_ / "relative");

  const PathCase cases[] = {
      {"D:\\etc\\passwd", "inside"},
      {"D:\\..\\..\\etc\\passwd", "inside"},
      {"D:..\\..\\etc\\passwd", "inside"},
      {"D:\\sub\\..\\..\\..\\etc\\passwd", "inside"},
      {"D:\\..\\outside\\secret", nullptr},
      {"D:\\sub/x", "sub-x"},
      {"D:/sub\\x", "sub-x"},
      {"D:sub\\x", "sub-x"},
      {"D:\\\\sub\\\\\\.\\x", "sub-x"},
      {"d:\\sub\\x", "sub-x"},
      {"Q:\\sub\\x", nullptr},
      {"\\sub\\x", nullptr},
      {"sub\\x", nullptr},
      {"D:\\out\\secret", nullptr},
      {"D:\\out\\etc\\passwd", nullptr},
      {"D:\\in\\x", nullptr},
      {"D:\\secret", nullptr},
      {"D:\\relative", nullptr},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(service_->fileexists(c.path), c.reaches != nullptr);
    if (c.reaches) {
      service_->OpenInput(c.path);
      EXPECT_EQ(service_->ReadLine(), c.reaches);
    } else {
      try {
        service_->OpenInput(c.path);
        ADD_FAILURE() << "opened, and read: " << service_->ReadLine();
      } catch (const FileSystemError& e) {
        EXPECT_EQ(e.operation(), "OpenInput");
        EXPECT_EQ(e.path(), c.path);
        EXPECT_FALSE(e.reason().empty());
      }
    }
  }
  // The same file through Z:, the root volume.
  EXPECT_TRUE(service_->fileexists(Z(drive_ / "sub" / "x")));
  // A symbolic link on the drive is refused for what it is.
  try {
    service_->GetAttributes("D:\\in\\x");
    ADD_FAILURE();
  } catch (const FileSystemError& e) {
    EXPECT_NE(e.reason().find("symbolic link"), std::string::npos) << e.reason();
  }
  EXPECT_FALSE(service_->folderexists("D:\\out"));
  EXPECT_FALSE(service_->folderexists("D:\\in"));
  EXPECT_THROW(service_->deletefile("D:\\secret", true), FileSystemError);
  EXPECT_TRUE(fs::is_symlink(drive_ / "secret"));
  EXPECT_THROW(service_->copyfile("D:\\sub\\x", "D:\\out\\copied", true), FileSystemError);
  EXPECT_FALSE(fs::exists(outside_ / "copied"));
  EXPECT_THROW(service_->createfolder("D:\\out\\made"), FileSystemError);
  EXPECT_FALSE(fs::exists(outside_ / "made"));
  EXPECT_EQ(ReadText(outside_ / "secret"), "OUTSIDE");
}

// A position-file line can carry a NUL byte; the name must not end there
// and name a file that the line does not.
TEST_P(LinuxFsTest, ANulInAPathReachesNoShorterName) {
  WriteText(drive_ / "Virdo1.mem", "release");
  WriteText(drive_ / "pkg" / "a.bin", "a");
  fs::create_directory(drive_ / "dst");
  const std::string nul(1, '\0');
  const std::string cut = "D:\\Virdo1.mem" + nul + ".bak";
  EXPECT_FALSE(service_->fileexists(cut));
  EXPECT_FALSE(service_->folderexists("D:\\dst" + nul + "\\x"));
  EXPECT_THROW(service_->deletefile(cut, true), FileSystemError);
  EXPECT_THROW(service_->movefile(cut, "D:\\dst\\Virdo1.mem"), FileSystemError);
  EXPECT_EQ(ReadText(drive_ / "Virdo1.mem"), "release");
  EXPECT_THROW(service_->copyfile("D:\\pkg\\a.bin", "D:\\dst\\a.bin" + nul + ".old", true),
               FileSystemError);
  EXPECT_THROW(service_->copyfile("D:\\pkg\\a.bin" + nul + "x", "D:\\dst\\b.bin", true),
               FileSystemError);
  EXPECT_TRUE(Entries(drive_ / "dst").empty());
}

TEST_P(LinuxFsTest, ExistenceTestsTellFilesFromFolders) {
  WriteText(drive_ / "sub" / "a.bin", "a");
  EXPECT_TRUE(service_->fileexists("D:\\sub\\a.bin"));
  EXPECT_FALSE(service_->folderexists("D:\\sub\\a.bin"));
  EXPECT_TRUE(service_->folderexists("D:\\sub"));
  EXPECT_FALSE(service_->fileexists("D:\\sub"));
  EXPECT_TRUE(service_->folderexists("D:"));
  EXPECT_TRUE(service_->folderexists("D:\\"));
  EXPECT_FALSE(service_->fileexists("D:\\missing"));
  EXPECT_FALSE(service_->folderexists("D:\\missing\\deeper"));
  EXPECT_FALSE(service_->fileexists("Q:\\sub\\a.bin"));
  EXPECT_FALSE(service_->folderexists("Q:"));
  EXPECT_FALSE(service_->fileexists(""));
  // The parent of a root file, put after the drive, names the root.
  EXPECT_TRUE(service_->folderexists("D:" + service_->getparentfoldername("\\a.bin")));
  EXPECT_TRUE(service_->folderexists("D:" + service_->getparentfoldername("\\sub\\a.bin")));
}

TEST_P(LinuxFsTest, ComponentsThatDifferOnlyInCaseAreFound) {
  WriteText(drive_ / "Qtmp" / "Position.TXT", "\\a.bin\r\n");
  WriteText(drive_ / "Qtmp" / "A.Bin", "package");
  EXPECT_TRUE(service_->fileexists("D:\\qtmp\\position.txt"));
  EXPECT_TRUE(service_->fileexists("D:\\QTMP\\POSITION.TXT"));
  EXPECT_TRUE(service_->folderexists("D:\\qTmP"));
  service_->OpenInput("D:\\qtmp\\position.txt");
  EXPECT_EQ(service_->ReadLine(), "\\a.bin");

  // Copy onto a name that exists in another case: replaced, not doubled.
  WriteText(drive_ / "dest" / "a.BIN", "old");
  service_->copyfile("D:\\qtmp\\a.bin", "D:\\DEST\\A.bin", true);
  EXPECT_EQ(Entries(drive_ / "dest"), std::vector<std::string>{"a.BIN"});
  EXPECT_EQ(ReadText(drive_ / "dest" / "a.BIN"), "package");
  EXPECT_THROW(service_->createfolder("D:\\QTMP"), FileSystemError);

  // Two candidates: no guess.
  WriteText(drive_ / "two" / "x.bin", "lower");
  WriteText(drive_ / "two" / "X.BIN", "upper");
  EXPECT_FALSE(service_->fileexists("D:\\two\\X.bin"));
  EXPECT_TRUE(service_->fileexists("D:\\two\\X.BIN"));
  service_->OpenInput("D:\\two\\x.bin");
  EXPECT_EQ(service_->ReadLine(), "lower");
}

TEST_P(LinuxFsTest, ListingGivesOrdinaryMatchingFilesOnly) {
  if (!HasUserXattrs(drive_)) GTEST_SKIP() << "no user xattrs under /tmp";
  for (const char* n : {"Virdo1.mem", "VIRDO2.MEM", "virdo3.Mem", "Virdo.mem", "Virdo4.mem",
                        "Virdo5.mem", "Virdo7.mem.bak", "other.txt", "Virdo8.mem"})
    WriteText(drive_ / n, n);
  fs::create_directory(drive_ / "Virdo6.mem");
  fs::create_symlink(drive_ / "Virdo1.mem", drive_ / "Virdo9.mem");
  service_->SetAttributes("D:\\Virdo4.mem", kAttrHidden);
  service_->SetAttributes("D:\\Virdo5.mem", kAttrSystem);
  service_->SetAttributes("D:\\Virdo8.mem", kAttrReadOnly);  // read-only is still listed

  std::vector<std::string> got;
  for (std::string n = service_->ListFirst("D:\\Virdo*.mem"); !n.empty(); n = service_->ListNext())
    got.push_back(n);
  EXPECT_EQ(got, (std::vector<std::string>{"VIRDO2.MEM", "Virdo.mem", "Virdo1.mem", "Virdo8.mem",
                                           "virdo3.Mem"}));
  EXPECT_EQ(service_->ListNext(), "");

  EXPECT_EQ(service_->ListFirst("D:\\Virdo?.mem"), "VIRDO2.MEM");
  EXPECT_EQ(service_->ListFirst("D:\\nothing*.mem"), "");
  EXPECT_EQ(service_->ListFirst("D:\\nofolder\\Virdo*.mem"), "");
  EXPECT_THROW(service_->ListFirst("Q:\\Virdo*.mem"), FileSystemError);

  // The listing is taken whole at ListFirst: moving files during the walk
  // neither skips nor repeats one.
  fs::create_directory(drive_ / "saved");
  got.clear();
  for (std::string n = service_->ListFirst("D:\\Virdo*.mem"); !n.empty(); n = service_->ListNext()) {
    got.push_back(n);
    service_->movefile("D:\\" + n, "D:\\saved\\" + n);
  }
  EXPECT_EQ(got.size(), 5u);
  EXPECT_EQ(service_->ListFirst("D:\\Virdo*.mem"), "");
}

// On tmpfs (user xattrs since Linux 6.6) and on the /tmp file system.
TEST_P(LinuxFsTest, AttributesRoundTripOnFilesAndFolders) {
  fs::path shm = MakeTempFolder("/dev/shm", "attr");
  table_->Add(shm.string(), "tmpfs", "tmpfs", "0:23");
  struct Where {
    const char* drive;
    fs::path native;
  };
  for (const Where& w : {Where{"D:", drive_}, Where{"E:", shm}}) {
    SCOPED_TRACE(w.drive);
    if (!HasUserXattrs(w.native)) {
      fs::remove_all(shm);
      GTEST_SKIP() << w.native << " keeps no user xattrs";
    }
    WriteText(w.native / "f.bin", "f");
    fs::create_directory(w.native / "folder");
    std::string file = std::string(w.drive) + "\\f.bin";
    std::string folder = std::string(w.drive) + "\\folder";
    EXPECT_EQ(service_->GetAttributes(file), 0);
    EXPECT_EQ(service_->GetAttributes(folder), kAttrDirectory);
    for (int bits : {1, 2, 4, 6, 7, 3, 5, 0}) {
      SCOPED_TRACE(bits);
      service_->SetAttributes(file, bits);
      EXPECT_EQ(service_->GetAttributes(file), bits);
      service_->SetAttributes(folder, bits);
      EXPECT_EQ(service_->GetAttributes(folder), bits | kAttrDirectory);
    }
    // The folder bit is what the object is, not something to set.
    service_->SetAttributes(file, kAttrDirectory | kAttrHidden);
    EXPECT_EQ(service_->GetAttributes(file), kAttrHidden);
    // Read-only is the owner's write bit; hidden and system are text.
    service_->SetAttributes(file, kAttrReadOnly | kAttrHidden | kAttrSystem);
    EXPECT_EQ(fs::status(w.native / "f.bin").permissions() & fs::perms::owner_write, fs::perms::none);
    char text[16] = {};
    ASSERT_GT(::getxattr((w.native / "f.bin").c_str(), "user.DOSATTRIB", text, sizeof text - 1), 0);
    EXPECT_STREQ(text, "0x6");
    service_->SetAttributes(file, 0);
    EXPECT_NE(fs::status(w.native / "f.bin").permissions() & fs::perms::owner_write, fs::perms::none);
  }
  fs::remove_all(shm);
}

TEST_P(LinuxFsTest, ReadOnlyFileRefusedByDeleteFilesRemovedByForcedDelete) {
  WriteText(drive_ / "system" / "init" / "startup.ini", "x");
  WriteText(drive_ / "plain.ini", "x");
  const std::string ini = "D:\\system\\init\\startup.ini";
  service_->SetAttributes(ini, kAttrReadOnly);
  try {
    service_->DeleteFiles(ini);
    ADD_FAILURE() << "a read-only file was deleted";
  } catch (const FileSystemError& e) {
    EXPECT_EQ(e.operation(), "DeleteFiles");
    EXPECT_EQ(e.path(), ini);
    EXPECT_NE(e.reason().find("read-only"), std::string::npos) << e.reason();
    // The report also says where that is on this system.
    EXPECT_EQ(e.location(), (drive_ / "system" / "init" / "startup.ini").string());
  }
  EXPECT_TRUE(fs::exists(drive_ / "system" / "init" / "startup.ini"));
  EXPECT_THROW(service_->deletefile(ini, false), FileSystemError);
  EXPECT_TRUE(fs::exists(drive_ / "system" / "init" / "startup.ini"));
  service_->deletefile(ini, true);
  EXPECT_FALSE(fs::exists(drive_ / "system" / "init" / "startup.ini"));

  service_->DeleteFiles("D:\\plain.ini");
  EXPECT_FALSE(fs::exists(drive_ / "plain.ini"));
  // Folders are not files to delete.
  EXPECT_THROW(service_->deletefile("D:\\system\\init", true), FileSystemError);
  EXPECT_TRUE(fs::is_directory(drive_ / "system" / "init"));
}

TEST_P(LinuxFsTest, MoveRefusesAnExistingDestination) {
  WriteText(drive_ / "Virdo1.mem", "new");
  WriteText(drive_ / "system" / "OldRel" / "Virdo1.mem", "old");
  WriteText(drive_ / "system" / "OldRel" / "VIRDO2.MEM", "old2");
  WriteText(drive_ / "Virdo2.mem", "new2");
  EXPECT_THROW(service_->movefile("D:\\Virdo1.mem", "D:\\system\\OldRel\\Virdo1.mem"), FileSystemError);
  EXPECT_THROW(service_->movefile("D:\\Virdo2.mem", "D:\\system\\OldRel\\Virdo2.mem"), FileSystemError);
  EXPECT_EQ(ReadText(drive_ / "Virdo1.mem"), "new");
  EXPECT_EQ(ReadText(drive_ / "system" / "OldRel" / "Virdo1.mem"), "old");
  EXPECT_EQ(ReadText(drive_ / "system" / "OldRel" / "VIRDO2.MEM"), "old2");

  service_->deletefile("D:\\system\\OldRel\\Virdo1.mem", true);
  service_->movefile("D:\\Virdo1.mem", "D:\\system\\OldRel\\Virdo1.mem");
  EXPECT_FALSE(fs::exists(drive_ / "Virdo1.mem"));
  EXPECT_EQ(ReadText(drive_ / "system" / "OldRel" / "Virdo1.mem"), "new");

  EXPECT_THROW(service_->movefile("D:\\missing.mem", "D:\\system\\missing.mem"), FileSystemError);
  EXPECT_THROW(service_->movefile("D:\\Virdo2.mem", Z(outside_ / "Virdo2.mem")), FileSystemError);
  EXPECT_FALSE(fs::exists(outside_ / "Virdo2.mem"));
}

TEST_P(LinuxFsTest, CreateFolderMakesThatOneFolder) {
  service_->createfolder("D:\\system");
  EXPECT_TRUE(fs::is_directory(drive_ / "system"));
  EXPECT_THROW(service_->createfolder("D:\\system"), FileSystemError);
  EXPECT_THROW(service_->createfolder("D:\\a\\b"), FileSystemError);
  EXPECT_FALSE(fs::exists(drive_ / "a"));
  EXPECT_THROW(service_->createfolder("D:"), FileSystemError);
  service_->createfolder("D:\\system\\OldRel\\");
  EXPECT_TRUE(fs::is_directory(drive_ / "system" / "OldRel"));
}

TEST_P(LinuxFsTest, CopyGivesContentsAndStampAndLeavesNoTemporaryFile) {
  using Copy = LinuxFileSystemOptions::Copy;
  std::string big(9u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 9));
  WriteText(drive_ / "pkg" / "big.bin", big);
  WriteText(drive_ / "pkg" / "empty.bin", "");
  SetMtime(drive_ / "pkg" / "big.bin", 1700000001, 123456789);
  SetMtime(drive_ / "pkg" / "empty.bin", 1600000000, 5);
  fs::create_directory(drive_ / "dst");
  for (Copy method : {Copy::kCopyFileRange, Copy::kSendfile, Copy::kReadWrite}) {
    SCOPED_TRACE(static_cast<int>(method));
    auto s = Make(method);
    s->copyfile("D:\\pkg\\big.bin", "D:\\dst\\big.bin", true);
    s->copyfile("D:\\pkg\\empty.bin", "D:\\dst\\empty.bin", false);
    EXPECT_EQ(ReadText(drive_ / "dst" / "big.bin"), big);
    EXPECT_EQ(ReadText(drive_ / "dst" / "empty.bin"), "");
    EXPECT_EQ(Mtime(drive_ / "dst" / "big.bin").tv_sec, 1700000001);
    EXPECT_EQ(Mtime(drive_ / "dst" / "big.bin").tv_nsec, 123456789);
    EXPECT_EQ(s->FileTime("D:\\dst\\big.bin"), s->FileTime("D:\\pkg\\big.bin"));
    EXPECT_EQ(s->getfile("D:\\dst\\empty.bin")->datelastmodified(), 1600000000LL * 1000000000 + 5);
    EXPECT_EQ(Entries(drive_ / "dst"), (std::vector<std::string>{"big.bin", "empty.bin"}));
    // overwrite = false keeps what is there.
    WriteText(drive_ / "dst" / "keep.bin", "keep");
    EXPECT_THROW(s->copyfile("D:\\pkg\\big.bin", "D:\\dst\\keep.bin", false), FileSystemError);
    EXPECT_EQ(ReadText(drive_ / "dst" / "keep.bin"), "keep");
    fs::remove_all(drive_ / "dst");
    fs::create_directory(drive_ / "dst");
  }
}

TEST_P(LinuxFsTest, FailedCopyLeavesNeitherTargetNorTemporaryFile) {
  WriteText(drive_ / "pkg" / "a.bin", "a");
  fs::create_directory(drive_ / "dst");
  struct Case {
    const char* source;
    const char* target;
    const char* failingPath;
  };
  for (const Case& c : {Case{"D:\\pkg\\missing.bin", "D:\\dst\\a.bin", "D:\\pkg\\missing.bin"},
                        Case{"D:\\pkg\\a.bin", "D:\\nofolder\\a.bin", "D:\\nofolder\\a.bin"},
                        Case{"D:\\pkg", "D:\\dst\\a.bin", "D:\\pkg"},
                        Case{"D:\\pkg\\a.bin", "D:\\dst", "D:\\dst"}}) {
    SCOPED_TRACE(c.source + std::string(" -> ") + c.target);
    try {
      service_->copyfile(c.source, c.target, true);
      ADD_FAILURE() << "copied";
    } catch (const FileSystemError& e) {
      EXPECT_EQ(e.operation(), "copyfile");
      EXPECT_EQ(e.path(), c.failingPath);
    }
    EXPECT_TRUE(Entries(drive_ / "dst").empty());
    EXPECT_EQ(Entries(drive_ / "pkg"), std::vector<std::string>{"a.bin"});
  }
}

// A kernel attribute file says 4096 bytes and gives a few: a source that
// ends before its size, as one that shrinks during the copy does. The copy
// must fail, not pass a short file for the package file.
TEST_P(LinuxFsTest, SourceEndingBeforeItsSizeFailsTheCopy) {
  using Copy = LinuxFileSystemOptions::Copy;
  fs::path attribute;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/sys/kernel", ec)) {
    if (!e.is_regular_file(ec) || e.is_symlink(ec)) continue;
    std::string text = ReadText(e.path());
    if (!text.empty() && text.size() < e.file_size(ec)) {
      attribute = e.path();
      break;
    }
  }
  if (attribute.empty()) GTEST_SKIP() << "no sysfs attribute file to read here";
  table_->Add("/sys/kernel", "ext4", "/dev/vdb", "254:16");
  const std::string source = "E:\\" + attribute.filename().string();
  WriteText(drive_ / "dst" / "t.bin", "old");
  for (Copy method : {Copy::kCopyFileRange, Copy::kSendfile, Copy::kReadWrite}) {
    SCOPED_TRACE(static_cast<int>(method));
    try {
      Make(method)->copyfile(source, "D:\\dst\\t.bin", true);
      ADD_FAILURE() << "a short copy passed for complete";
    } catch (const FileSystemError& e) {
      EXPECT_EQ(e.operation(), "copyfile");
      EXPECT_EQ(e.path(), source);
    }
    EXPECT_EQ(Entries(drive_ / "dst"), std::vector<std::string>{"t.bin"});
    EXPECT_EQ(ReadText(drive_ / "dst" / "t.bin"), "old");
  }
}

// A target volume that fills up halfway: the copy fails, and neither a
// partial file under the target's name nor the temporary file remains.
TEST_P(LinuxFsTest, CopyOntoAFullVolumeLeavesNothingBehind) {
  fs::path small = base_ / "small";
  fs::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  table_->Add(small.string(), "tmpfs", "tmpfs", "0:99");
  WriteText(drive_ / "pkg" / "big.bin", std::string(1u << 20, 'x'));
  WriteText(small / "big.bin", "old");
  bool threw = false;
  try {
    service_->copyfile("D:\\pkg\\big.bin", "E:\\big.bin", true);
  } catch (const FileSystemError& e) {
    threw = true;
    EXPECT_EQ(e.path(), "E:\\big.bin");
    EXPECT_EQ(e.reason(), std::strerror(ENOSPC));
  }
  EXPECT_TRUE(threw);
  EXPECT_EQ(Entries(small), std::vector<std::string>{"big.bin"});
  EXPECT_EQ(ReadText(small / "big.bin"), "old");
}

struct FailureCase {
  const char* what;
  std::function<void(FileSystemService&)> call;
  const char* operation;
  const char* path;
  std::string reason;
};

TEST_P(LinuxFsTest, FailuresNameOperationPathAndReason) {
  WriteText(drive_ / "pkg" / "a.bin", "a");
  WriteText(drive_ / "pos.txt", "one\n");
  const std::string noent = std::strerror(ENOENT);
  const FailureCase cases[] = {
      {"delete missing", [](auto& s) { s.DeleteFiles("D:\\missing.ini"); }, "DeleteFiles",
       "D:\\missing.ini", noent},
      {"forced delete missing", [](auto& s) { s.deletefile("D:\\x\\missing", true); }, "deletefile",
       "D:\\x\\missing", noent},
      {"folder below nothing", [](auto& s) { s.createfolder("D:\\no\\such"); }, "createfolder",
       "D:\\no\\such", noent},
      {"folder exists", [](auto& s) { s.createfolder("D:\\pkg"); }, "createfolder", "D:\\pkg",
       std::strerror(EEXIST)},
      {"attributes", [](auto& s) { s.GetAttributes("D:\\missing"); }, "GetAttributes", "D:\\missing",
       noent},
      {"set attributes", [](auto& s) { s.SetAttributes("D:\\missing", 6); }, "SetAttributes",
       "D:\\missing", noent},
      {"stamp", [](auto& s) { s.FileTime("D:\\missing"); }, "FileTime", "D:\\missing", noent},
      {"file handle", [](auto& s) { s.getfile("D:\\missing"); }, "getfile", "D:\\missing", noent},
      {"stamp of a handle whose file went",
       [&](auto& s) {
         auto h = s.getfile("D:\\pkg\\a.bin");
         fs::remove(drive_ / "pkg" / "a.bin");
         h->datelastmodified();
       },
       "datelastmodified", "D:\\pkg\\a.bin", noent},
      {"open", [](auto& s) { s.OpenInput("D:\\qtmp\\position.txt"); }, "OpenInput",
       "D:\\qtmp\\position.txt", noent},
      {"move missing", [](auto& s) { s.movefile("D:\\gone.mem", "D:\\pkg\\gone.mem"); }, "movefile",
       "D:\\gone.mem", noent},
      {"move onto existing", [](auto& s) { s.movefile("D:\\pos.txt", "D:\\pkg\\..\\pos.txt"); },
       "movefile", "D:\\pkg\\..\\pos.txt", std::strerror(EEXIST)},
      {"copy missing", [](auto& s) { s.copyfile("D:\\pkg\\b.bin", "D:\\b.bin", true); }, "copyfile",
       "D:\\pkg\\b.bin", noent},
      {"unknown drive", [](auto& s) { s.DeleteFiles("Q:\\a"); }, "DeleteFiles", "Q:\\a",
       "there is no drive Q:"},
      {"no drive", [](auto& s) { s.GetAttributes("\\system"); }, "GetAttributes", "\\system",
       "the path names no drive"},
      {"read past the end",
       [](auto& s) {
         s.OpenInput("D:\\pos.txt");
         s.ReadLine();
         s.ReadLine();
       },
       "ReadLine", "D:\\pos.txt", "read past the end of the file"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.call(*service_);
      ADD_FAILURE() << "no failure";
    } catch (const FileSystemError& e) {
      EXPECT_EQ(e.operation(), c.operation);
      EXPECT_EQ(e.path(), c.path);
      EXPECT_EQ(e.reason(), c.reason);
    }
  }
}

TEST_P(LinuxFsTest, PositionFileIsReadLineByLine) {
  WriteText(drive_ / "qtmp" / "position.txt", "\xEF\xBB\xBF\\a.bin\r\n\\sub\\b.bin\r-\\old.bin\n\nlast");
  service_->OpenInput("D:\\qtmp\\position.txt");
  std::vector<std::string> lines;
  while (!service_->AtEnd()) lines.push_back(service_->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"\\a.bin", "\\sub\\b.bin", "-\\old.bin", "", "last"}));
  EXPECT_THROW(service_->ReadLine(), FileSystemError);
  service_->Rewind();
  EXPECT_EQ(service_->ReadLine(), "\\a.bin");
  service_->CloseAll();
  EXPECT_THROW(service_->ReadLine(), FileSystemError);
}

TEST_P(LinuxFsTest, ProgramFolderIsOnTheRootDrive) {
  EXPECT_EQ(service_->ProgramFolder(), "Z:\\opt\\virdo");
  LinuxFileSystemOptions o;
  o.mountTable = table_->path().string();
  o.programFolder = "/home/ana/update/";
  EXPECT_EQ(LinuxFileSystem(o).ProgramFolder(), "Z:\\home\\ana\\update");
  o.programFolder = "/";
  EXPECT_EQ(LinuxFileSystem(o).ProgramFolder(), "Z:");
  // By default the folder of the running program, with no separator at the end.
  o.programFolder.clear();
  LinuxFileSystem own(o);
  std::string folder = own.ProgramFolder();
  EXPECT_EQ(folder, Z(fs::read_symlink("/proc/self/exe").parent_path()));
  EXPECT_TRUE(own.folderexists(folder));
}

INSTANTIATE_TEST_SUITE_P(Roads, LinuxFsTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "openat2" : "walk"; });

}  // namespace
}  // namespace virdo
