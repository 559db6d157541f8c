// The mounted volumes seen as drive letters: Z: is the root volume, every
// other real volume gets a letter from D: on, in the order it is first seen,
// for the life of the process. The mount table is read again on each query,
// so a volume mounted after start shows up in a free slot.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct udev;

namespace virdo::linuxfs {

struct MountEntry {
  std::string target;  // mount point, decoded
  std::string fstype;
  std::string source;
  dev_t devno = 0;
};

// What the system knows of a volume's device. Every field may be empty.
struct VolumeFacts {
  int drivetype = 0;
  std::string label;
  std::string fsVersion;  // "FAT32" and the like, vfat only
  std::string uuid;
};

inline constexpr char kFirstLetter = 'D';
inline constexpr char kLastLetter = 'Y';
inline constexpr char kRootLetter = 'Z';

bool IsPseudoFileSystem(const std::string& fstype);

class VolumeTable {
 public:
  explicit VolumeTable(std::string mountTablePath);
  ~VolumeTable();
  VolumeTable(const VolumeTable&) = delete;
  VolumeTable& operator=(const VolumeTable&) = delete;

  // Rereads the mount table, gives letters to volumes seen for the first
  // time, and returns the volume now behind the letter, if any.
  std::optional<MountEntry> Lookup(char letter);

  // The letter of the volume mounted at this mount point, after a reread.
  std::optional<char> LetterOf(const std::string& target);

  VolumeFacts Facts(const MountEntry& volume);

 private:
  std::vector<MountEntry> Read();
  void Assign(const std::vector<MountEntry>& entries);

  std::string path_;
  std::vector<std::string> letters_;  // mount point per letter, from D:
  struct udev* udev_;
};

// "1234-ABCD" -> 0x1234ABCD; longer ids keep their last eight hex digits.
std::int32_t SerialFromUuid(const std::string& uuid);

// udev's \xNN escapes back into bytes.
std::string DecodeUdevEscapes(const std::string& text);

}  // namespace virdo::linuxfs
