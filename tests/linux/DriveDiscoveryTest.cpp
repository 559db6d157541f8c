// Drive discovery without hardware: the volumes come from a mount-table
// file, their devices from a umockdev testbed that libudev in this process
// reads instead of the real /sys and udev database. Runs under
// umockdev-wrapper.
#include <gtest/gtest.h>
#include <umockdev.h>

#include <cstdlib>

#include "platform/linux/LinuxFileSystem.h"
#include "tests/linux/TempDrives.h"

namespace virdo {
namespace {

using namespace virdo::testing;

// A whole disk and, unless partition is empty, one partition on it with
// the given udev properties.
std::string Disk(const std::string& name, int major, int minor, bool removable,
                 const std::string& partitionProps = "", bool partition = true) {
  std::string path = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + name + "/host/block/" + name;
  std::string s = "P: " + path + "\nN: " + name + "\nE: DEVNAME=/dev/" + name +
                  "\nE: DEVTYPE=disk\nE: SUBSYSTEM=block\nE: MAJOR=" + std::to_string(major) +
                  "\nE: MINOR=" + std::to_string(minor) + "\nA: removable=" + (removable ? "1" : "0") +
                  "\nA: dev=" + std::to_string(major) + ":" + std::to_string(minor) + "\n\n";
  if (partition) {
    std::string p = name + "1";
    s += "P: " + path + "/" + p + "\nN: " + p + "\nE: DEVNAME=/dev/" + p +
         "\nE: DEVTYPE=partition\nE: SUBSYSTEM=block\nE: MAJOR=" + std::to_string(major) +
         "\nE: MINOR=" + std::to_string(minor + 1) + "\n" + partitionProps + "A: partition=1\nA: dev=" +
         std::to_string(major) + ":" + std::to_string(minor + 1) + "\n\n";
  }
  return s;
}

std::string FatProps(const std::string& labelEnc, const std::string& version, const std::string& uuid) {
  return "E: ID_FS_TYPE=vfat\nE: ID_FS_USAGE=filesystem\nE: ID_FS_LABEL_ENC=" + labelEnc +
         "\nE: ID_FS_VERSION=" + version + "\nE: ID_FS_UUID=" + uuid + "\n";
}

struct Expected {
  const char* path;
  int drivetype;
  bool ready;
  const char* label;
  const char* filesystem;
  std::uint32_t serial;
};

class DriveDiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testbed_ = umockdev_testbed_new();
    // Without the preload library libudev would read the real machine.
    ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper";
    base_ = MakeTempFolder("/tmp", "drives");
    table_ = std::make_unique<MountTableFile>(base_ / "mountinfo");
  }
  void TearDown() override {
    service_.reset();
    if (testbed_) g_object_unref(testbed_);
    if (!base_.empty()) fs::remove_all(base_);
  }
  void AddDevices(const std::string& records) {
    GError* error = nullptr;
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, records.c_str(), &error))
        << (error ? error->message : "");
  }
  // A mount point that exists, so the volume is ready.
  std::string Mount(const std::string& name, const std::string& fstype, const std::string& source,
                    const std::string& devno) {
    fs::path mp = base_ / "media" / name;
    fs::create_directories(mp);
    table_->Add(mp.string(), fstype, source, devno);
    return mp.string();
  }
  void Start() {
    LinuxFileSystemOptions o;
    o.mountTable = table_->path().string();
    service_ = std::make_unique<LinuxFileSystem>(o);
  }
  static std::shared_ptr<DriveHandle> Slot(const std::vector<std::shared_ptr<DriveHandle>>& drives,
                                           char letter) {
    return letter == 'Z' ? drives.back() : drives.at(static_cast<std::size_t>(letter - 'D'));
  }
  static void Check(const std::vector<std::shared_ptr<DriveHandle>>& drives, const Expected& e) {
    SCOPED_TRACE(e.path);
    auto d = Slot(drives, e.path[0]);
    EXPECT_EQ(d->Path(), e.path);
    EXPECT_EQ(d->drivetype(), e.drivetype);
    EXPECT_EQ(d->IsReady(), e.ready);
    EXPECT_EQ(d->VolumeName(), e.label);
    EXPECT_EQ(d->FileSystem(), e.filesystem);
    EXPECT_EQ(static_cast<std::uint32_t>(d->serialnumber()), e.serial);
  }
  static void CheckEmpty(const std::shared_ptr<DriveHandle>& d) {
    EXPECT_EQ(d->drivetype(), 0);
    EXPECT_FALSE(d->IsReady());
    EXPECT_EQ(d->VolumeName(), "");
    EXPECT_EQ(d->FileSystem(), "");
    EXPECT_EQ(d->serialnumber(), 0);
    EXPECT_EQ(d->Path(), "");
  }

  UMockdevTestbed* testbed_ = nullptr;
  fs::path base_;
  std::unique_ptr<MountTableFile> table_;
  std::unique_ptr<LinuxFileSystem> service_;
};

TEST_F(DriveDiscoveryTest, VolumesGetLettersInMountOrderWithTheirProperties) {
  AddDevices(Disk("sda", 8, 0, false, FatProps("VIRDO", "FAT32", "1234-ABCD")) +
             Disk("sdb", 8, 16, true, FatProps("VIRDO", "FAT32", "0000-0001")) +
             Disk("sdc", 8, 32, false, FatProps("virdo", "FAT32", "FFFF-FFFE")) +
             Disk("sdd", 8, 48, false, FatProps("VIRDO", "FAT16", "ABCD-EF01")) +
             Disk("sde", 8, 64, false, FatProps("VIRDO\\x20", "FAT32", "0000-00FF")) +
             Disk("sdf", 8, 80, false,
                  "E: ID_FS_TYPE=ext4\nE: ID_FS_LABEL_ENC=My\\x20Files\nE: ID_FS_UUID=3e6be9de-8139-11d1-9106-a43f08d823a6\n") +
             Disk("sr0", 11, 0, true, "", false) + Disk("loop0", 7, 0, false, "", false));
  Mount("proc", "proc", "proc", "0:20");
  Mount("cgroup", "cgroup2", "cgroup2", "0:26");
  Mount("snap", "squashfs", "/dev/loop7", "7:7");
  Mount("run", "tmpfs", "tmpfs", "0:25");                 // D:
  std::string keyboard = Mount("VIRDO", "vfat", "/dev/sda1", "8:1");  // E:
  Mount("stick", "vfat", "/dev/sdb1", "8:17");            // F:
  Mount("lower", "vfat", "/dev/sdc1", "8:33");            // G:
  Mount("fat16", "vfat", "/dev/sdd1", "8:49");            // H:
  Mount("blank", "vfat", "/dev/sde1", "8:65");            // I:
  Mount("net", "nfs4", "server:/export", "0:50");         // J:
  Mount("cdrom", "iso9660", "/dev/sr0", "11:0");          // K:
  Mount("loop", "ext4", "/dev/loop0", "7:0");             // L:
  Mount("home", "ext4", "/dev/sdf1", "8:81");             // M:
  table_->Add((base_ / "media" / "gone").string(), "vfat", "/dev/sda1", "8:1");  // N:, no folder
  table_->Add(keyboard, "vfat", "/dev/sda1", "8:1");      // mounted over: still E:
  Start();

  auto drives = service_->Drives();
  ASSERT_EQ(drives.size(), 23u);
  EXPECT_EQ(drives.back()->Path(), "Z:");
  const Expected expected[] = {
      {"D:", 5, true, "", "tmpfs", 0},
      {"E:", 2, true, "VIRDO", "FAT32", 0x1234ABCD},
      {"F:", 1, true, "VIRDO", "FAT32", 0x00000001},
      {"G:", 2, true, "virdo", "FAT32", 0xFFFFFFFE},
      {"H:", 2, true, "VIRDO", "FAT16", 0xABCDEF01},
      {"I:", 2, true, "VIRDO ", "FAT32", 0x000000FF},
      {"J:", 3, true, "", "nfs4", 0},
      {"K:", 4, true, "", "iso9660", 0},
      {"L:", 2, true, "", "ext4", 0},
      {"M:", 2, true, "My Files", "ext4", 0x08D823A6},
      {"N:", 2, false, "VIRDO", "FAT32", 0x1234ABCD},
  };
  for (const Expected& e : expected) Check(drives, e);
  for (char c = 'O'; c <= 'Y'; ++c) CheckEmpty(Slot(drives, c));

  // Paths on a lettered volume lead into its mount point.
  WriteText(fs::path(keyboard) / "system" / "init" / "startup.ini", "");
  EXPECT_TRUE(service_->folderexists("E:\\system"));
  EXPECT_TRUE(service_->fileexists("E:\\system\\init\\startup.ini"));
  EXPECT_FALSE(service_->folderexists("O:\\"));
}

TEST_F(DriveDiscoveryTest, DeviceWithoutUdevDataIsProbed) {
  AddDevices(Disk("ubda", 98, 0, false, "", false));
  char* root = umockdev_testbed_get_root_dir(testbed_);
  fs::path node = fs::path(root) / "dev" / "ubda";
  g_free(root);
  fs::resize_file(node, 40u << 20);
  std::string cmd = "PATH=$PATH:/usr/sbin:/sbin mkfs.fat -F 32 -S 512 -s 1 -n VIRDO -i 0BADF00D " +
                    node.string() + " >/dev/null 2>&1";
  if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "mkfs.fat not available";
  Mount("VIRDO", "vfat", "/dev/ubda", "98:0");
  Start();
  Check(service_->Drives(), {"D:", 2, true, "VIRDO", "FAT32", 0x0BADF00D});
}

TEST_F(DriveDiscoveryTest, VolumeMountedLaterAppearsInTheSameList) {
  AddDevices(Disk("sda", 8, 0, false, FatProps("DATA", "FAT32", "1111-2222")));
  std::string data = Mount("DATA", "vfat", "/dev/sda1", "8:1");
  Start();
  auto drives = service_->Drives();
  Check(drives, {"D:", 2, true, "DATA", "FAT32", 0x11112222});
  CheckEmpty(Slot(drives, 'E'));

  // The keyboard is plugged in while the message asks for it.
  AddDevices(Disk("sdb", 8, 16, false, FatProps("VIRDO", "FAT32", "0BAD-F00D")));
  std::string keyboard = Mount("VIRDO", "vfat", "/dev/sdb1", "8:17");
  Check(drives, {"E:", 2, true, "VIRDO", "FAT32", 0x0BADF00D});

  // Unplugged: the slot empties and keeps its letter for that mount point;
  // a new volume meanwhile takes the next letter.
  table_->Remove(keyboard);
  CheckEmpty(Slot(drives, 'E'));
  Mount("other", "tmpfs", "tmpfs", "0:60");
  Check(drives, {"F:", 5, true, "", "tmpfs", 0});
  table_->Add(keyboard, "vfat", "/dev/sdb1", "8:17");
  Check(drives, {"E:", 2, true, "VIRDO", "FAT32", 0x0BADF00D});
  Check(service_->Drives(), {"E:", 2, true, "VIRDO", "FAT32", 0x0BADF00D});
}

TEST_F(DriveDiscoveryTest, VolumesBeyondYGetNoLetter) {
  std::vector<std::string> mounts;
  for (int i = 0; i < 25; ++i) mounts.push_back(Mount("t" + std::to_string(i), "tmpfs", "tmpfs", "0:" + std::to_string(100 + i)));
  for (int i = 0; i < 25; ++i) WriteText(fs::path(mounts[i]) / "id", std::to_string(i));
  Start();
  auto drives = service_->Drives();
  ASSERT_EQ(drives.size(), 23u);
  for (char c = 'D'; c <= 'Y'; ++c) {
    EXPECT_EQ(Slot(drives, c)->drivetype(), 5) << c;
    service_->OpenInput(std::string(1, c) + ":\\id");
    EXPECT_EQ(service_->ReadLine(), std::to_string(c - 'D')) << c;
  }
  EXPECT_EQ(drives.back()->Path(), "Z:");
  // The root volume is always Z:, whatever else is mounted.
  EXPECT_TRUE(service_->fileexists("Z:" + (fs::path(mounts[24]) / "id").string()));
}

}  // namespace
}  // namespace virdo
