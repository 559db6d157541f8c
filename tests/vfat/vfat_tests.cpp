// The Linux file-system service on a real FAT32 volume under a real kernel.
// Runs inside the User-Mode Linux rig (vfat-scenario.sh prepares the image
// and the package folder, and reads the image back with mtools afterwards:
// several checks here are completed from outside, as noted).
//
// Environment: VIRDO_PROGRAM_FOLDER, the native folder that holds qtmp/.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "app/Form1.h"
#include "fakes/ScriptedToolkit.h"
#include "platform/linux/LinuxFileSystem.h"

namespace virdo {
namespace {

constexpr std::int32_t kSerial = 0x1234ABCD;

std::string ProgramFolderNative() {
  const char* v = std::getenv("VIRDO_PROGRAM_FOLDER");
  return v ? v : "";
}

std::unique_ptr<FileSystemService> MakeService() {
  LinuxFileSystemOptions options;
  options.programFolder = ProgramFolderNative();
  return std::make_unique<LinuxFileSystem>(options);
}

bool IsKeyboard(DriveHandle& d) {
  return d.drivetype() == kDriveFixed && d.IsReady() &&
         d.VolumeName() == "VIRDO" && d.FileSystem() == "FAT32";
}

class OnTheDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    fs = MakeService();
    for (auto& d : fs->Drives())
      if (IsKeyboard(*d)) {
        drive = d->Path();
        break;
      }
    ASSERT_FALSE(drive.empty()) << "no FAT32 drive labelled VIRDO";
  }
  std::string On(const std::string& path) const { return drive + path; }

  std::unique_ptr<FileSystemService> fs;
  std::string drive;
};

TEST(Discovery, FindsTheOneKeyboardDriveWithItsSerial) {
  auto fs = MakeService();
  int keyboards = 0;
  for (auto& d : fs->Drives()) {
    if (d->drivetype() == kDriveUnknown) continue;
    std::printf("%-3s type %d ready %d label '%s' fs '%s' serial %08X\n",
                d->Path().c_str(), d->drivetype(), d->IsReady(),
                d->VolumeName().c_str(), d->FileSystem().c_str(),
                static_cast<unsigned>(d->serialnumber()));
    if (!IsKeyboard(*d)) continue;
    ++keyboards;
    EXPECT_EQ(d->serialnumber(), kSerial);
    // The letter leads to the image: the host put this file there.
    EXPECT_TRUE(fs->fileexists(d->Path() + "\\discovery.txt"));
  }
  EXPECT_EQ(keyboards, 1);
}

TEST(Discovery, FormLoadChoosesTheDriveAndShowsItsSerial) {
  fake::ScriptedToolkit toolkit;
  Form1 form(toolkit, MakeService);
  form.Form_Load();
  EXPECT_EQ(toolkit.caption, "VIRDO updater     Serial N.  1234ABCD");
  EXPECT_TRUE(toolkit.messages.empty());
  ASSERT_FALSE(form.State().KeyboardDrive.Path.empty());
  EXPECT_EQ(form.State().KeyboardDrive.Drive->VolumeName(), "VIRDO");
}

using Attributes = OnTheDrive;

// What mattrib put on the image is what the service reads.
TEST_F(Attributes, ReadsTheFatAttributes) {
  struct Case {
    const char* path;
    int bits;
  } cases[] = {
      {"\\attr\\plain.txt", 0},
      {"\\attr\\ro.txt", kAttrReadOnly},
      {"\\attr\\hs.txt", kAttrHidden | kAttrSystem},
      {"\\attr\\cleared.txt", kAttrReadOnly | kAttrHidden | kAttrSystem},
      {"\\attr\\hsdir", kAttrHidden | kAttrSystem | kAttrDirectory},
      {"\\attr\\dir", kAttrDirectory},
  };
  for (const Case& c : cases) {
    int got = fs->GetAttributes(On(c.path));
    EXPECT_EQ(got & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory),
              c.bits)
        << c.path << " gives " << got;
  }
}

// The host reads the results back with mattrib.
TEST_F(Attributes, SetsExactlyTheBitsGiven) {
  struct Case {
    const char* path;
    int bits;
  } cases[] = {
      {"\\attr\\plain.txt", kAttrHidden | kAttrSystem},  // host: HS
      {"\\attr\\cleared.txt", 0},                        // host: none
      {"\\attr\\dir", kAttrHidden | kAttrSystem},        // host: HS
      {"\\attr\\hsdir", 0},                              // host: none
      {"\\attr\\setro.txt", kAttrReadOnly},              // host: R
  };
  for (const Case& c : cases) {
    fs->SetAttributes(On(c.path), c.bits);
    EXPECT_EQ(fs->GetAttributes(On(c.path)) & (kAttrReadOnly | kAttrHidden | kAttrSystem),
              c.bits)
        << c.path;
  }
}

using Listing = OnTheDrive;

TEST_F(Listing, SkipsHiddenSystemFilesAndFolders) {
  std::set<std::string> names;
  for (std::string n = fs->ListFirst(On("\\list\\Virdo*.mem")); !n.empty();
       n = fs->ListNext())
    EXPECT_TRUE(names.insert(n).second) << n << " listed twice";
  EXPECT_EQ(names, (std::set<std::string>{"Virdo1.mem", "VIRDO2.MEM", "Virdo.mem"}));
}

using Deleting = OnTheDrive;

// The kernel would unlink a read-only file; the service must refuse it.
TEST_F(Deleting, DeleteFilesRefusesReadOnlyForceRemovesIt) {
  EXPECT_THROW(fs->DeleteFiles(On("\\del\\ro-kept.txt")), FileSystemError);
  EXPECT_TRUE(fs->fileexists(On("\\del\\ro-kept.txt")));  // host: still R
  fs->deletefile(On("\\del\\ro-forced.txt"), true);
  EXPECT_FALSE(fs->fileexists(On("\\del\\ro-forced.txt")));
  fs->DeleteFiles(On("\\del\\plain.txt"));
  EXPECT_FALSE(fs->fileexists(On("\\del\\plain.txt")));
}

using Copying = OnTheDrive;

// FAT keeps two-second stamps. Rounded down, the copy would look older than
// the package file and the next run would copy it again.
TEST_F(Copying, StampsSurviveRoundedUpToEvenSeconds) {
  // hostfs, where the package lies in the rig, keeps whole seconds only:
  // the even second with a fraction comes from the guest's own tmpfs.
  ASSERT_EQ(mkdir("/tmp/vfat-src", 0755) == 0 || errno == EEXIST, true);
  {
    std::ofstream("/tmp/vfat-src/evenfrac.bin") << "package evenfrac\n";
  }
  timespec frac[2] = {{1683356888, 400000000}, {1683356888, 400000000}};
  ASSERT_EQ(utimensat(AT_FDCWD, "/tmp/vfat-src/evenfrac.bin", frac, 0), 0);

  const std::string pkg = fs->ProgramFolder() + "\\qtmp\\";
  const std::string sources[] = {pkg + "odd.bin", pkg + "even.bin", pkg + "big.bin",
                                 "Z:\\tmp\\vfat-src\\evenfrac.bin"};
  for (const std::string& from : sources) {
    const std::string name = fs->getfilename(from);
    fs->copyfile(from, On("\\copy\\") + name, true);
    FileStamp source = fs->FileTime(from);
    FileStamp target = fs->FileTime(On("\\copy\\") + name);
    EXPECT_GE(target, source) << name;
    EXPECT_LT(target - source, 2'000'000'000) << name;
    EXPECT_EQ(target % 2'000'000'000, 0) << name;
  }
  // The exact seconds are checked from the host.
}

TEST_F(Copying, OverwriteReplacesAndNoOverwriteRefuses) {
  const std::string pkg = fs->ProgramFolder() + "\\qtmp\\";
  fs->copyfile(pkg + "odd.bin", On("\\copy\\replaced.bin"), true);  // host: odd.bin
  EXPECT_THROW(fs->copyfile(pkg + "even.bin", On("\\copy\\kept.bin"), false),
               FileSystemError);  // host: the image's own content
}

// A whole update with the real service; the host checks the drive.
TEST(Update, WholeRunOnThePreparedDrive) {
  fake::ScriptedToolkit toolkit;
  toolkit.Answer("File missing.bin not found", kAnswerOk);
  Form1 form(toolkit, MakeService);
  form.Form_Load();
  toolkit.Show();
  form.Command1_Click(0);

  EXPECT_FALSE(toolkit.endStatus.has_value());
  EXPECT_EQ(toolkit.messages,
            (std::vector<fake::ShownMessage>{{"File missing.bin not found", kMsgOk}}));
  EXPECT_TRUE(toolkit.visible[Control::Label1]);
  EXPECT_FALSE(toolkit.visible[Control::ProgressBar1]);
  EXPECT_FALSE(toolkit.enabled[0]);
  EXPECT_TRUE(toolkit.enabled[1]);
  EXPECT_EQ(toolkit.progressValues, (std::vector<float>{0, 0, 16, 33, 50, 66, 83}));
}

}  // namespace
}  // namespace virdo
