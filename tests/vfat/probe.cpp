// What the kernel's vfat offers the Linux file-system service, checked on a
// real FAT32 image inside the User-Mode Linux rig (see vfat-probe.sh, which
// prepares the image and reads it back with mtools afterwards). Each test
// prints what it found, so the log doubles as a record of the kernel's
// behaviour.
//
// Environment: VIRDO_MOUNT (the image's mount point), VIRDO_DEVICE (its
// block device), VIRDO_EXPECT_UDEV=1 when the rig wrote a udev database
// entry for the device (uml-run --udev).

#include <blkid/blkid.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libmount/libmount.h>
#include <libudev.h>
#include <linux/msdos_fs.h>
#include <linux/openat2.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

const std::string& Mount() {
  static const std::string m = Env("VIRDO_MOUNT", "/media/virdo/VIRDO");
  return m;
}

std::string Errno(int e) { return e == 0 ? "ok" : std::strerror(e); }

// An fd that closes itself.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
  explicit operator bool() const { return fd >= 0; }
};

int OpenOn(const std::string& rel, int flags) {
  return open((Mount() + "/" + rel).c_str(), flags | O_CLOEXEC, 0644);
}

// The FAT attribute byte of a file or folder, or -errno.
int GetAttr(const std::string& rel) {
  Fd f(OpenOn(rel, O_RDONLY));
  if (!f) return -errno;
  __u32 attr = 0;
  if (ioctl(f.fd, FAT_IOCTL_GET_ATTRIBUTES, &attr) != 0) return -errno;
  return static_cast<int>(attr);
}

int SetAttr(const std::string& rel, __u32 attr) {
  Fd f(OpenOn(rel, O_RDONLY));
  if (!f) return errno;
  return ioctl(f.fd, FAT_IOCTL_SET_ATTRIBUTES, &attr) == 0 ? 0 : errno;
}

void WriteFile(const std::string& rel, const std::string& text) {
  std::ofstream out(Mount() + "/" + rel, std::ios::binary | std::ios::trunc);
  out << text;
  ASSERT_TRUE(out.good()) << rel;
}

bool Exists(const std::string& rel) {
  struct stat st;
  return lstat((Mount() + "/" + rel).c_str(), &st) == 0;
}

TEST(VfatKernel, IsTheImageMountedAsVfat) {
  struct statfs fs;
  ASSERT_EQ(statfs(Mount().c_str(), &fs), 0) << Errno(errno);
  EXPECT_EQ(fs.f_type, MSDOS_SUPER_MAGIC);
  std::cout << "f_type 0x" << std::hex << fs.f_type << std::dec
            << ", euid " << geteuid() << "\n";
}

TEST(VfatKernel, VolumeIdIoctlGivesMkfsSerial) {
  Fd root(open(Mount().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root) << Errno(errno);
  __u32 id = 0;
  ASSERT_EQ(ioctl(root.fd, FAT_IOCTL_GET_VOLUME_ID, &id), 0) << Errno(errno);
  std::printf("FAT_IOCTL_GET_VOLUME_ID: 0x%08X\n", id);
  EXPECT_EQ(id, 0x1234ABCDu);

  // Any file of the volume answers the same.
  Fd file(OpenOn("plain.txt", O_RDONLY));
  ASSERT_TRUE(file) << Errno(errno);
  __u32 id2 = 0;
  ASSERT_EQ(ioctl(file.fd, FAT_IOCTL_GET_VOLUME_ID, &id2), 0) << Errno(errno);
  EXPECT_EQ(id2, id);
}

// The image comes with these attributes from mattrib; the kernel must read
// them the same way, archive bit included.
TEST(VfatKernel, GetAttributesReadsWhatMattribSet) {
  struct Case {
    const char* path;
    int attr;
  } cases[] = {
      {"plain.txt", ATTR_ARCH},
      {"ro.txt", ATTR_ARCH | ATTR_RO},
      {"hidden.txt", ATTR_ARCH | ATTR_HIDDEN},
      {"hs.txt", ATTR_ARCH | ATTR_HIDDEN | ATTR_SYS},
      {"system", ATTR_DIR | ATTR_HIDDEN | ATTR_SYS},
      {"plaindir", ATTR_DIR},
  };
  for (const Case& c : cases) {
    int got = GetAttr(c.path);
    std::printf("GET_ATTRIBUTES %-10s 0x%02x\n", c.path, got);
    EXPECT_EQ(got, c.attr) << c.path;
  }
}

// Leaves its results for the host to read back with mattrib.
TEST(VfatKernel, SetAttributesOnFilesAndFolders) {
  struct Case {
    const char* path;
    __u32 set;
    int expect;  // what GET gives afterwards
  } cases[] = {
      {"plain.txt", ATTR_HIDDEN | ATTR_SYS, ATTR_HIDDEN | ATTR_SYS},
      {"hs.txt", 0, 0},
      {"setro.txt", ATTR_RO, ATTR_RO},
      // The folder bit cannot be changed, only kept.
      {"system", 0, ATTR_DIR},
      {"plaindir", ATTR_HIDDEN | ATTR_SYS, ATTR_DIR | ATTR_HIDDEN | ATTR_SYS},
      {"rodir", ATTR_RO | ATTR_DIR, ATTR_DIR | ATTR_RO},
  };
  for (const Case& c : cases) {
    int err = SetAttr(c.path, c.set);
    EXPECT_EQ(err, 0) << c.path << ": " << Errno(err);
    int got = GetAttr(c.path);
    std::printf("SET_ATTRIBUTES %-10s 0x%02x -> 0x%02x (%s)\n", c.path, c.set,
                got, Errno(err).c_str());
    EXPECT_EQ(got, c.expect) << c.path;
  }
  // The root has no attributes of its own.
  int err = SetAttr(".", ATTR_HIDDEN);
  std::printf("SET_ATTRIBUTES on the root: %s\n", Errno(err).c_str());
  EXPECT_EQ(err, EINVAL);
}

TEST(VfatKernel, ReadOnlyAttributeShowsInModeAndRefusesWrites) {
  struct stat st;
  ASSERT_EQ(stat((Mount() + "/ro.txt").c_str(), &st), 0);
  std::printf("ro.txt mode %o\n", st.st_mode & 07777);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  errno = 0;
  Fd f(OpenOn("ro.txt", O_WRONLY));
  EXPECT_FALSE(f);
  std::printf("open(ro.txt, O_WRONLY): %s\n", Errno(errno).c_str());
}

// FAT itself does not stop a read-only file from being unlinked.
TEST(VfatKernel, UnlinkIgnoresReadOnly) {
  int r = unlink((Mount() + "/rodel.txt").c_str());
  std::printf("unlink of a read-only file: %s\n",
              Errno(r == 0 ? 0 : errno).c_str());
  EXPECT_EQ(r, 0);
  EXPECT_FALSE(Exists("rodel.txt"));
}

TEST(VfatKernel, HiddenFilesAreListedByReaddir) {
  // The kernel hides nothing: the service must filter by attribute.
  EXPECT_TRUE(Exists("hidden.txt"));
  EXPECT_TRUE(Exists("hs.txt"));
}

TEST(VfatKernel, NamesAreCaseInsensitiveAndCasePreserving) {
  Fd f(OpenOn("SYSTEM/INIT/STARTUP.INI", O_RDONLY));
  EXPECT_TRUE(f) << Errno(errno);
  WriteFile("MixedCase.Txt", "m");
  Fd g(OpenOn("mixedcase.txt", O_RDONLY));
  EXPECT_TRUE(g);
  // The host checks that the long name keeps its case.
}

TEST(VfatKernel, Openat2BeneathWithoutSymlinks) {
  Fd root(open(Mount().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root);
  struct Case {
    const char* path;
    int expect_errno;
  } cases[] = {
      {"system/init/startup.ini", 0},
      {"system/../plain.txt", 0},
      {"../", EXDEV},
      {"system/../../etc/passwd", EXDEV},
      {"/etc/passwd", EXDEV},
  };
  for (const Case& c : cases) {
    open_how how{};
    how.flags = O_RDONLY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    long fd = syscall(SYS_openat2, root.fd, c.path, &how, sizeof how);
    int e = fd < 0 ? errno : 0;
    if (fd >= 0) close(static_cast<int>(fd));
    std::printf("openat2 %-26s %s\n", c.path, Errno(e).c_str());
    EXPECT_EQ(e, c.expect_errno) << c.path;
  }
}

TEST(VfatKernel, Renameat2NoReplace) {
  WriteFile("ren-a.txt", "a");
  WriteFile("ren-b.txt", "b");
  std::string a = Mount() + "/ren-a.txt", b = Mount() + "/ren-b.txt",
              c = Mount() + "/system/ren-c.txt";
  int r = renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE);
  int e = r == 0 ? 0 : errno;
  std::printf("renameat2 NOREPLACE onto an existing file: %s\n",
              Errno(e).c_str());
  EXPECT_EQ(e, EEXIST);
  // Names differing only in case are the same file on FAT.
  std::string upper = Mount() + "/REN-B.TXT";
  r = renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, upper.c_str(), RENAME_NOREPLACE);
  e = r == 0 ? 0 : errno;
  std::printf("renameat2 NOREPLACE onto the same name in other case: %s\n",
              Errno(e).c_str());
  EXPECT_EQ(e, EEXIST);
  r = renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, c.c_str(), RENAME_NOREPLACE);
  e = r == 0 ? 0 : errno;
  std::printf("renameat2 NOREPLACE into another folder: %s\n", Errno(e).c_str());
  EXPECT_EQ(e, 0);
}

// Package files come from the host's disk (hostfs here, ext4 on a desktop):
// which of the fast copy calls reach across to vfat?
TEST(VfatKernel, CopyFromAnotherFileSystem) {
  Fd src(open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(src);
  struct stat st;
  ASSERT_EQ(fstat(src.fd, &st), 0);
  {
    Fd dst(OpenOn("cfr.bin", O_WRONLY | O_CREAT | O_TRUNC));
    ASSERT_TRUE(dst);
    ssize_t n = copy_file_range(src.fd, nullptr, dst.fd, nullptr, 1 << 20, 0);
    std::printf("copy_file_range hostfs -> vfat: %s\n",
                n >= 0 ? ("ok, " + std::to_string(n) + " bytes").c_str()
                       : Errno(errno).c_str());
  }
  {
    Fd dst(OpenOn("sendfile.bin", O_WRONLY | O_CREAT | O_TRUNC));
    ASSERT_TRUE(dst);
    off_t off = 0;
    ssize_t total = 0;
    while (total < st.st_size) {
      ssize_t n = sendfile(dst.fd, src.fd, &off, st.st_size - total);
      ASSERT_GT(n, 0) << Errno(errno);
      total += n;
    }
    std::printf("sendfile hostfs -> vfat: ok, %zd bytes\n", total);
    EXPECT_EQ(fsync(dst.fd), 0) << Errno(errno);
  }
  // Within vfat.
  Fd a(OpenOn("sendfile.bin", O_RDONLY));
  Fd b(OpenOn("cfr2.bin", O_WRONLY | O_CREAT | O_TRUNC));
  ASSERT_TRUE(a && b);
  ssize_t n = copy_file_range(a.fd, nullptr, b.fd, nullptr, 4096, 0);
  std::printf("copy_file_range vfat -> vfat: %s\n",
              n >= 0 ? "ok" : Errno(errno).c_str());
}

// FAT keeps two-second stamps; the host reads the stamps back with mtools.
TEST(VfatKernel, StampsKeepEvenSecondsOnly) {
  struct Case {
    const char* name;
    time_t set;
    time_t expect;
  } cases[] = {
      // 2023-05-06 07:08:08 UTC and odd seconds around it.
      {"stamp-even.txt", 1683356888, 1683356888},
      {"stamp-odd.txt", 1683356889, 1683356888},
  };
  for (const Case& c : cases) {
    WriteFile(c.name, c.name);
    timespec times[2] = {{c.set, 500000000}, {c.set, 500000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, (Mount() + "/" + c.name).c_str(), times, 0),
              0)
        << Errno(errno);
    struct stat st;
    ASSERT_EQ(stat((Mount() + "/" + c.name).c_str(), &st), 0);
    std::printf("utimensat %ld.5 -> st_mtim %ld.%09ld\n", long(c.set),
                long(st.st_mtim.tv_sec), st.st_mtim.tv_nsec);
    EXPECT_EQ(st.st_mtim.tv_sec, c.expect) << c.name;
    EXPECT_EQ(st.st_mtim.tv_nsec, 0) << c.name;
  }
}

TEST(VfatKernel, SyncfsAndFsync) {
  Fd root(open(Mount().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(root);
  EXPECT_EQ(syncfs(root.fd), 0) << Errno(errno);
  EXPECT_EQ(fsync(root.fd), 0) << Errno(errno);
}

const std::string& Device() {
  static const std::string d = Env("VIRDO_DEVICE", "/dev/ubda");
  return d;
}

TEST(GuestDevice, BlkidReportsLabelVersionUuid) {
  // As on a desktop, the node is root's alone: only udev's copy of the
  // label is there for an ordinary user.
  Fd node(open(Device().c_str(), O_RDONLY | O_CLOEXEC));
  if (!node && errno == EACCES && geteuid() != 0) {
    std::printf("blkid %s: %s for uid %d\n", Device().c_str(),
                Errno(errno).c_str(), geteuid());
    GTEST_SKIP() << "the device is readable by root only";
  }
  ASSERT_TRUE(node) << Device() << ": " << Errno(errno);
  blkid_probe pr = blkid_new_probe();
  ASSERT_NE(pr, nullptr);
  ASSERT_EQ(blkid_probe_set_device(pr, node.fd, 0, 0), 0);
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(
      pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE |
              BLKID_SUBLKS_VERSION);
  ASSERT_EQ(blkid_do_safeprobe(pr), 0);
  auto value = [&](const char* name) {
    const char* v = nullptr;
    return blkid_probe_lookup_value(pr, name, &v, nullptr) == 0 && v
               ? std::string(v)
               : std::string("(none)");
  };
  std::printf("blkid %s: TYPE=%s VERSION=%s LABEL='%s' UUID=%s\n",
              Device().c_str(), value("TYPE").c_str(), value("VERSION").c_str(),
              value("LABEL").c_str(), value("UUID").c_str());
  EXPECT_EQ(value("TYPE"), "vfat");
  EXPECT_EQ(value("VERSION"), "FAT32");
  EXPECT_EQ(value("LABEL"), "VIRDO");
  EXPECT_EQ(value("UUID"), "1234-ABCD");
  blkid_free_probe(pr);
}

TEST(GuestDevice, SysfsRemovable) {
  std::ifstream removable("/sys/block/ubda/removable");
  std::string r;
  ASSERT_TRUE(std::getline(removable, r));
  std::printf("/sys/block/ubda/removable: %s\n", r.c_str());
  EXPECT_EQ(r, "0");
}

TEST(GuestDevice, UdevDataOnlyWhereTheRigWroteIt) {
  bool expected = Env("VIRDO_EXPECT_UDEV", "0") == "1";
  struct stat st;
  ASSERT_EQ(stat(Device().c_str(), &st), 0);
  udev* u = udev_new();
  ASSERT_NE(u, nullptr);
  udev_device* d = udev_device_new_from_devnum(u, 'b', st.st_rdev);
  ASSERT_NE(d, nullptr) << "libudev knows no " << Device();
  auto prop = [&](const char* name) {
    const char* v = udev_device_get_property_value(d, name);
    return v ? std::string(v) : std::string("(none)");
  };
  std::printf("libudev %s: subsystem %s devtype %s ID_FS_LABEL=%s "
              "ID_FS_VERSION=%s ID_FS_UUID=%s\n",
              udev_device_get_devnode(d), udev_device_get_subsystem(d),
              udev_device_get_devtype(d), prop("ID_FS_LABEL").c_str(),
              prop("ID_FS_VERSION").c_str(), prop("ID_FS_UUID").c_str());
  EXPECT_EQ(prop("ID_FS_LABEL") == "VIRDO", expected);
  if (expected) {
    EXPECT_EQ(prop("ID_FS_LABEL_ENC"), "VIRDO");
    EXPECT_EQ(prop("ID_FS_VERSION"), "FAT32");
    EXPECT_EQ(prop("ID_FS_UUID"), "1234-ABCD");
  }
  udev_device_unref(d);
  udev_unref(u);
}

TEST(GuestDevice, LibmountFindsTheMount) {
  libmnt_table* tb = mnt_new_table();
  ASSERT_EQ(mnt_table_parse_file(tb, "/proc/self/mountinfo"), 0);
  libmnt_fs* fs = mnt_table_find_target(tb, Mount().c_str(), MNT_ITER_BACKWARD);
  ASSERT_NE(fs, nullptr);
  std::printf("mountinfo: %s on %s type %s (%s)\n", mnt_fs_get_source(fs),
              mnt_fs_get_target(fs), mnt_fs_get_fstype(fs),
              mnt_fs_get_options(fs));
  EXPECT_STREQ(mnt_fs_get_fstype(fs), "vfat");
  EXPECT_STREQ(mnt_fs_get_source(fs), Device().c_str());
  mnt_unref_table(tb);
}

}  // namespace
