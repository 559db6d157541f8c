#include "platform/linux/Volumes.h"

#include <blkid.h>
#include <libmount.h>
#include <libudev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>

namespace virdo::linuxfs {
namespace {

// Kernel views get no letter. Nor do read-only images (snaps are
// squashfs): a desktop with a dozen snaps would otherwise hand out every
// letter before the keyboard is plugged in.
constexpr std::array<const char*, 22> kPseudo = {
    "proc",     "sysfs",    "cgroup",     "cgroup2",   "devpts",    "mqueue",
    "debugfs",  "tracefs",  "securityfs", "bpf",       "pstore",    "configfs",
    "fusectl",  "binfmt_misc", "autofs",  "hugetlbfs", "devtmpfs",  "nsfs",
    "efivarfs", "rpc_pipefs", "selinuxfs", "squashfs"};

constexpr std::array<const char*, 6> kNetwork = {"nfs",  "nfs4",       "cifs",
                                                 "smb3", "fuse.sshfs", "9p"};

bool OneOf(const std::string& s, const auto& list) {
  return std::any_of(std::begin(list), std::end(list),
                     [&](const char* x) { return s == x; });
}

struct UdevDeviceDeleter {
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevDevice = std::unique_ptr<udev_device, UdevDeviceDeleter>;

std::string Str(const char* s) { return s ? s : ""; }

void Probe(const std::string& devnode, VolumeFacts& facts) {
  if (devnode.empty()) return;
  blkid_probe pr = blkid_new_probe_from_filename(devnode.c_str());
  if (!pr) return;
  blkid_probe_enable_superblocks(pr, 1);
  blkid_probe_set_superblocks_flags(
      pr, BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID | BLKID_SUBLKS_TYPE | BLKID_SUBLKS_VERSION);
  if (blkid_do_safeprobe(pr) == 0) {
    auto value = [&](const char* name) {
      const char* data = nullptr;
      size_t len = 0;
      if (blkid_probe_lookup_value(pr, name, &data, &len) != 0 || !data) return std::string();
      // len counts the terminating NUL.
      return std::string(data, len > 0 && data[len - 1] == '\0' ? len - 1 : len);
    };
    facts.label = value("LABEL");
    facts.fsVersion = value("VERSION");
    facts.uuid = value("UUID");
  }
  blkid_free_probe(pr);
}

}  // namespace

bool IsPseudoFileSystem(const std::string& fstype) { return OneOf(fstype, kPseudo); }

std::string DecodeUdevEscapes(const std::string& text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
        hex(text[i + 2]) >= 0 && hex(text[i + 3]) >= 0) {
      out.push_back(static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3])));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::int32_t SerialFromUuid(const std::string& uuid) {
  std::string digits;
  for (char c : uuid) {
    if (c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return 0;
    digits.push_back(c);
  }
  if (digits.empty()) return 0;
  if (digits.size() > 8) digits = digits.substr(digits.size() - 8);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16)));
}

VolumeTable::VolumeTable(std::string mountTablePath)
    : path_(std::move(mountTablePath)), udev_(udev_new()) {}

VolumeTable::~VolumeTable() {
  if (udev_) udev_unref(udev_);
}

std::vector<MountEntry> VolumeTable::Read() {
  std::vector<MountEntry> out;
  libmnt_table* tb = mnt_new_table();
  if (!tb) return out;
  if (mnt_table_parse_file(tb, path_.c_str()) == 0) {
    libmnt_iter* it = mnt_new_iter(MNT_ITER_FORWARD);
    libmnt_fs* fs = nullptr;
    while (it && mnt_table_next_fs(tb, it, &fs) == 0) {
      MountEntry e;
      e.target = Str(mnt_fs_get_target(fs));
      e.fstype = Str(mnt_fs_get_fstype(fs));
      e.source = Str(mnt_fs_get_source(fs));
      e.devno = mnt_fs_get_devno(fs);
      if (!e.target.empty()) out.push_back(std::move(e));
    }
    mnt_free_iter(it);
  }
  mnt_unref_table(tb);
  return out;
}

void VolumeTable::Assign(const std::vector<MountEntry>& entries) {
  constexpr std::size_t kSlots = kLastLetter - kFirstLetter + 1;
  for (const MountEntry& e : entries) {
    if (e.target == "/" || IsPseudoFileSystem(e.fstype)) continue;
    if (std::find(letters_.begin(), letters_.end(), e.target) != letters_.end()) continue;
    if (letters_.size() < kSlots) letters_.push_back(e.target);
  }
}

std::optional<MountEntry> VolumeTable::Lookup(char letter) {
  std::vector<MountEntry> entries = Read();
  Assign(entries);
  std::string target;
  if (letter == kRootLetter) {
    target = "/";
  } else if (letter >= kFirstLetter && letter <= kLastLetter &&
             static_cast<std::size_t>(letter - kFirstLetter) < letters_.size()) {
    target = letters_[letter - kFirstLetter];
  } else {
    return std::nullopt;
  }
  // The last entry for a mount point is the one on top.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it)
    if (it->target == target && !IsPseudoFileSystem(it->fstype)) return *it;
  if (letter == kRootLetter) return MountEntry{"/", "", "", 0};
  return std::nullopt;
}

std::optional<char> VolumeTable::LetterOf(const std::string& target) {
  Assign(Read());
  if (target == "/") return kRootLetter;
  auto it = std::find(letters_.begin(), letters_.end(), target);
  if (it == letters_.end()) return std::nullopt;
  return static_cast<char>(kFirstLetter + (it - letters_.begin()));
}

VolumeFacts VolumeTable::Facts(const MountEntry& v) {
  VolumeFacts facts;
  const std::string& t = v.fstype;
  bool optical = t == "iso9660" || t == "udf";

  UdevDevice dev;
  dev_t devno = v.devno;
  if (udev_ && major(devno) != 0)
    dev.reset(udev_device_new_from_devnum(udev_, 'b', devno));
  if (!dev && udev_ && v.source.rfind("/dev/", 0) == 0) {
    // Btrfs and the like show an anonymous device number in the table.
    struct stat st {};
    if (stat(v.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode))
      dev.reset(udev_device_new_from_devnum(udev_, 'b', st.st_rdev));
  }

  if (dev) {
    std::string sysname = Str(udev_device_get_sysname(dev.get()));
    udev_device* disk = dev.get();
    if (Str(udev_device_get_devtype(disk)) == "partition")
      disk = udev_device_get_parent_with_subsystem_devtype(dev.get(), "block", "disk");
    bool removable = disk && Str(udev_device_get_sysattr_value(disk, "removable")) == "1";
    if (optical || sysname.rfind("sr", 0) == 0)
      facts.drivetype = 4;
    else if (removable)
      facts.drivetype = 1;
    else
      facts.drivetype = 2;

    if (udev_device_get_property_value(dev.get(), "ID_FS_TYPE")) {
      const char* enc = udev_device_get_property_value(dev.get(), "ID_FS_LABEL_ENC");
      facts.label = enc ? DecodeUdevEscapes(enc)
                        : Str(udev_device_get_property_value(dev.get(), "ID_FS_LABEL"));
      facts.fsVersion = Str(udev_device_get_property_value(dev.get(), "ID_FS_VERSION"));
      facts.uuid = Str(udev_device_get_property_value(dev.get(), "ID_FS_UUID"));
    } else {
      // No udev database (containers, a bare kernel): ask the device itself.
      std::string node = Str(udev_device_get_devnode(dev.get()));
      Probe(node.empty() ? v.source : node, facts);
    }
  } else if (optical) {
    facts.drivetype = 4;
  } else if (OneOf(t, kNetwork)) {
    facts.drivetype = 3;
  } else if (t == "tmpfs" || t == "ramfs") {
    facts.drivetype = 5;
  } else if (v.source.rfind("/dev/", 0) == 0) {
    struct stat st {};
    if (stat(v.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
      facts.drivetype = 2;
      Probe(v.source, facts);
    }
  }
  return facts;
}

}  // namespace virdo::linuxfs
