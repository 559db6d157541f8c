#include "platform/linux/LinuxFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <linux/openat2.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/linux/FatTime.h"
#include "platform/linux/PathNames.h"
#include "platform/linux/Volumes.h"

namespace virdo {

using linuxfs::MountEntry;
using linuxfs::VolumeTable;

namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr std::size_t kCopyBuffer = 4u << 20;

// An internal failure: the reason, and the path it concerns where that is
// not the member's own argument.
struct SysError {
  std::string reason;
  std::string path;
  int err = 0;
};

std::string Reason(int err) {
  if (err == ELOOP) return "the path goes through a symbolic link, which is not followed";
  if (err == EXDEV) return "the path leads outside its drive";
  return std::strerror(err);
}

[[noreturn]] void ThrowErrno(int err, std::string path = {}) {
  throw SysError{Reason(err), std::move(path), err};
}

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  Fd& operator=(Fd&& o) noexcept {
    if (this != &o) {
      Reset();
      fd_ = std::exchange(o.fd_, -1);
    }
    return *this;
  }
  ~Fd() { Reset(); }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

bool IsFat(int fd) {
  struct statfs sf {};
  return fstatfs(fd, &sf) == 0 && sf.f_type == MSDOS_SUPER_MAGIC;
}

FileStamp Stamp(const struct stat& st) {
  return static_cast<FileStamp>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// With O_PATH, O_NOFOLLOW would open a trailing link itself; without it
// RESOLVE_NO_SYMLINKS refuses every link, the last one included.
std::uint64_t OpenHowFlags(int flags) {
  int f = flags | O_CLOEXEC;
  if (!(flags & O_PATH)) f |= O_NOFOLLOW;
  return static_cast<std::uint64_t>(f);
}

std::string Join(const std::vector<std::string>& comps, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    if (i) out.push_back('/');
    out += comps[i];
  }
  return out;
}

int ParseDosAttrib(const char* text, ssize_t len) {
  std::string s(text, len > 0 ? static_cast<std::size_t>(len) : 0);
  unsigned v = 0;
  if (std::sscanf(s.c_str(), "0x%x", &v) != 1) return 0;
  return static_cast<int>(v);
}

}  // namespace

struct LinuxFileSystem::Impl {
  LinuxFileSystemOptions options;
  std::shared_ptr<VolumeTable> volumes;
  bool openat2Works = true;
  std::map<char, Fd> written;  // root of every volume written to, by letter
  std::optional<TextLines> input;
  std::string inputPath;
  std::vector<std::string> listing;
  std::size_t listingPos = 0;
  unsigned tempCounter = 0;

  struct Resolved {
    char letter = 0;
    Fd root;
    std::vector<std::string> comps;
  };

  // The object a path names: its parent folder and its name there; an
  // empty name is the drive's root itself.
  struct Located {
    Fd parent;
    std::string name;
    bool isRoot() const { return name.empty(); }
  };

  explicit Impl(LinuxFileSystemOptions o)
      : options(std::move(o)),
        volumes(std::make_shared<VolumeTable>(options.mountTable)),
        openat2Works(options.useOpenat2) {}

  void SyncWritten() {
    for (auto& [letter, fd] : written) ::syncfs(fd.get());
  }

  [[noreturn]] void Fail(const std::string& op, const std::string& path, const std::string& reason) {
    // Whatever the run did is on the device before the user reads why it
    // stopped.
    SyncWritten();
    throw FileSystemError(op, path, reason, NativeLocation(path));
  }

  // Where a program path lies on this system, for the user reading the
  // report; empty when it names no mounted drive.
  std::string NativeLocation(const std::string& path) {
    auto parsed = linuxfs::ParseProgramPath(path);
    if (!parsed) return {};
    auto volume = volumes->Lookup(parsed->letter);
    if (!volume) return {};
    std::string location = volume->target;
    for (const auto& component : parsed->components) {
      if (location.empty() || location.back() != '/') location.push_back('/');
      location += component;
    }
    return location;
  }

  void MarkWritten(const Resolved& r) {
    if (written.count(r.letter)) return;
    int fd = ::fcntl(r.root.get(), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) written.emplace(r.letter, Fd(fd));
  }

  Resolved Resolve(const std::string& path) {
    // The kernel would read the name only up to the NUL and reach another
    // file: "Virdo1.mem<NUL>.bak" would be Virdo1.mem.
    if (path.find('\0') != std::string::npos) throw SysError{"the path holds a NUL character", {}};
    auto parsed = linuxfs::ParseProgramPath(path);
    if (!parsed) throw SysError{"the path names no drive", {}};
    auto volume = volumes->Lookup(parsed->letter);
    if (!volume) throw SysError{std::string("there is no drive ") + parsed->letter + ":", {}};
    Resolved r;
    r.letter = parsed->letter;
    r.comps = std::move(parsed->components);
    r.root = Fd(::open(volume->target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!r.root) ThrowErrno(errno);
    return r;
  }

  int OpenOne(int dir, const std::string& name, int flags) {
    if (openat2Works) {
      struct open_how how {};
      how.flags = OpenHowFlags(flags);
      how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
      int fd = static_cast<int>(::syscall(SYS_openat2, dir, name.c_str(), &how, sizeof how));
      if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
      openat2Works = false;
    }
    int fd = ::openat(dir, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == ENOTDIR) {
      // O_NOFOLLOW|O_DIRECTORY on a link to a folder says "not a folder".
      struct stat st {};
      if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) errno = ELOOP;
      else errno = ENOTDIR;
    }
    if (fd >= 0 && (flags & O_PATH)) {
      // O_PATH|O_NOFOLLOW opens a symbolic link itself instead of failing.
      struct stat st {};
      if (::fstat(fd, &st) == 0 && S_ISLNK(st.st_mode)) {
        ::close(fd);
        errno = ELOOP;
        return -1;
      }
    }
    return fd;
  }

  // The one entry of the folder whose name matches without regard to case:
  // packages come from systems that ignore case, and so does the keyboard.
  std::optional<std::string> FindIgnoringCase(int dir, const std::string& name) {
    int fd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    DIR* d = ::fdopendir(fd);
    if (!d) {
      ::close(fd);
      return std::nullopt;
    }
    std::optional<std::string> found;
    int matches = 0;
    std::u32string folded = linuxfs::FoldCase(name);
    while (struct dirent* e = ::readdir(d)) {
      std::string n = e->d_name;
      if (n == "." || n == "..") continue;
      if (linuxfs::FoldCase(n) == folded) {
        ++matches;
        found = n;
      }
    }
    ::closedir(d);
    if (matches != 1) return std::nullopt;
    return found;
  }

  // Opens the first n components beneath root. Intermediate folders are
  // opened O_PATH; the last one with the given flags.
  Fd OpenBeneath(const Resolved& r, std::size_t n, int flags) {
    if (n == 0) {
      Fd fd(::openat(r.root.get(), ".", flags | O_CLOEXEC));
      if (!fd) ThrowErrno(errno);
      return fd;
    }
    if (openat2Works) {
      struct open_how how {};
      how.flags = OpenHowFlags(flags);
      how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
      std::string joined = Join(r.comps, n);
      int fd = static_cast<int>(::syscall(SYS_openat2, r.root.get(), joined.c_str(), &how, sizeof how));
      if (fd >= 0) return Fd(fd);
      if (errno == ENOSYS || errno == EPERM) openat2Works = false;
      else if (errno != ENOENT) ThrowErrno(errno);
      // Missing: perhaps only a difference of case; walk to find out.
    }
    Fd cur;
    int dir = r.root.get();
    for (std::size_t i = 0; i < n; ++i) {
      int fl = i + 1 < n ? (O_PATH | O_DIRECTORY) : flags;
      int fd = OpenOne(dir, r.comps[i], fl);
      if (fd < 0 && errno == ENOENT) {
        if (auto alt = FindIgnoringCase(dir, r.comps[i])) fd = OpenOne(dir, *alt, fl);
        else errno = ENOENT;
      }
      if (fd < 0) ThrowErrno(errno);
      cur = Fd(fd);
      dir = cur.get();
    }
    return cur;
  }

  Located Locate(const Resolved& r, int parentFlags = O_PATH | O_DIRECTORY) {
    Located l;
    if (r.comps.empty()) {
      l.parent = OpenBeneath(r, 0, O_RDONLY | O_DIRECTORY);
      return l;
    }
    l.parent = OpenBeneath(r, r.comps.size() - 1, parentFlags);
    l.name = r.comps.back();
    struct stat st {};
    if (::fstatat(l.parent.get(), l.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) {
      if (auto alt = FindIgnoringCase(l.parent.get(), l.name)) l.name = *alt;
    }
    return l;
  }

  // errno on failure, 0 when found.
  int Stat(const Located& l, struct stat& st) {
    int rc = l.isRoot() ? ::fstat(l.parent.get(), &st)
                        : ::fstatat(l.parent.get(), l.name.c_str(), &st, AT_SYMLINK_NOFOLLOW);
    return rc == 0 ? 0 : errno;
  }

  struct stat MustStat(const Located& l) {
    struct stat st {};
    if (int err = Stat(l, st)) ThrowErrno(err);
    return st;
  }

  Fd OpenObject(const Located& l, int flags) {
    if (l.isRoot()) {
      Fd fd(::openat(l.parent.get(), ".", flags | O_CLOEXEC));
      if (!fd) ThrowErrno(errno);
      return fd;
    }
    int fd = OpenOne(l.parent.get(), l.name, flags);
    if (fd < 0) ThrowErrno(errno);
    return Fd(fd);
  }

  int AttributesOf(int fd, const struct stat& st) {
    if (IsFat(fd)) {
      std::uint32_t a = 0;
      if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &a) != 0) ThrowErrno(errno);
      return static_cast<int>(a);
    }
    int bits = S_ISDIR(st.st_mode) ? kAttrDirectory : 0;
    if (!(st.st_mode & S_IWUSR)) bits |= kAttrReadOnly;
    char buf[64];
    ssize_t n = ::fgetxattr(fd, kDosAttrib, buf, sizeof buf - 1);
    if (n > 0) bits |= ParseDosAttrib(buf, n) & (kAttrHidden | kAttrSystem);
    return bits;
  }

  int AttributesOf(const Located& l) {
    struct stat st = MustStat(l);
    if (S_ISLNK(st.st_mode)) ThrowErrno(ELOOP);
    Fd fd = OpenObject(l, O_RDONLY | O_NONBLOCK);
    return AttributesOf(fd.get(), st);
  }

  // A regular file, or the reason it is not one.
  struct stat RegularFile(const Located& l) {
    if (l.isRoot()) ThrowErrno(EISDIR);
    struct stat st = MustStat(l);
    if (S_ISLNK(st.st_mode)) ThrowErrno(ELOOP);
    if (S_ISDIR(st.st_mode)) ThrowErrno(EISDIR);
    if (!S_ISREG(st.st_mode)) throw SysError{"not a regular file", {}};
    return st;
  }

  void Delete(const std::string& path, bool refuseReadOnly) {
    Resolved r = Resolve(path);
    Located l = Locate(r);
    RegularFile(l);
    // The kernel's vfat unlinks read-only files; the refusal is ours.
    if (refuseReadOnly && (AttributesOf(l) & kAttrReadOnly)) throw SysError{"the file is read-only", {}};
    MarkWritten(r);
    if (::unlinkat(l.parent.get(), l.name.c_str(), 0) != 0) ThrowErrno(errno);
  }

  bool Exists(const Located& l) {
    struct stat st {};
    return Stat(l, st) == 0;
  }

  // renameat2(RENAME_NOREPLACE), or a no-follow check and renameat where the
  // file system or the kernel lacks it.
  int RenameNoReplace(int fromDir, const std::string& from, int toDir, const std::string& to) {
    if (::syscall(SYS_renameat2, fromDir, from.c_str(), toDir, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    struct stat st {};
    if (::fstatat(toDir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromDir, from.c_str(), toDir, to.c_str()) == 0 ? 0 : errno;
  }

  FileStamp StampOf(const std::string& op, const std::string& path) {
    try {
      auto r = Resolve(path);
      auto l = Locate(r);
      struct stat st = MustStat(l);
      if (S_ISLNK(st.st_mode)) ThrowErrno(ELOOP);
      return Stamp(st);
    } catch (const SysError& e) {
      Fail(op, path, e.reason);
    }
  }

  off_t CopyBytes(int in, int out, off_t size, const std::string& source, const std::string& target);
  void Copy(const std::string& source, const std::string& target, bool overwrite);
  void List(const std::string& pattern);
};

// The number of bytes copied: up to the end of the source as it reads now.
off_t LinuxFileSystem::Impl::CopyBytes(int in, int out, off_t size, const std::string& source,
                                       const std::string& target) {
  using Copy = LinuxFileSystemOptions::Copy;
  Copy method = options.copyMethod;
  off_t copied = 0;
  auto unsupported = [&](int err) {
    return copied == 0 && (err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP ||
                           err == EBADF || err == ENOTSUP);
  };
  if (method == Copy::kCopyFileRange) {
    for (;;) {
      ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1u << 30, 0);
      if (n > 0) {
        copied += n;
        continue;
      }
      if (n == 0 && (copied > 0 || size == 0)) return copied;
      int err = n == 0 ? EINVAL : errno;  // some file systems answer 0 for "cannot"
      if (err == EINTR) continue;
      if (!unsupported(err)) ThrowErrno(err, target);
      method = Copy::kSendfile;
      break;
    }
  }
  if (method == Copy::kSendfile) {
    for (;;) {
      ssize_t n = ::sendfile(out, in, nullptr, 1u << 30);
      if (n > 0) {
        copied += n;
        continue;
      }
      if (n == 0) return copied;
      if (errno == EINTR) continue;
      if (!unsupported(errno)) ThrowErrno(errno, target);
      method = Copy::kReadWrite;
      break;
    }
  }
  std::vector<char> buf(kCopyBuffer);
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(errno, source);
    if (n == 0) return copied;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buf.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) ThrowErrno(errno, target);
      done += w;
    }
    copied += n;
  }
}

void LinuxFileSystem::Impl::Copy(const std::string& source, const std::string& target, bool overwrite) {
  Resolved sr, tr;
  Located sl, tl;
  struct stat sst {};
  Fd in;
  try {
    sr = Resolve(source);
    sl = Locate(sr);
    sst = RegularFile(sl);
    in = OpenObject(sl, O_RDONLY);
  } catch (SysError& e) {
    if (e.path.empty()) e.path = source;
    throw;
  }
  try {
    tr = Resolve(target);
    tl = Locate(tr, O_RDONLY | O_DIRECTORY);
    if (tl.isRoot()) ThrowErrno(EISDIR);
    struct stat tst {};
    if (Stat(tl, tst) == 0) {
      if (!overwrite) ThrowErrno(EEXIST);
      if (S_ISDIR(tst.st_mode)) ThrowErrno(EISDIR);
      if (S_ISLNK(tst.st_mode)) ThrowErrno(ELOOP);
      if (AttributesOf(tl) & kAttrReadOnly) throw SysError{"the file is read-only", {}};
    }
  } catch (SysError& e) {
    if (e.path.empty()) e.path = target;
    throw;
  }

  MarkWritten(tr);
  int dir = tl.parent.get();
  std::string temp;
  Fd out;
  for (int attempt = 0; attempt < 100 && !out; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "~virdo%x-%u.tmp", static_cast<unsigned>(::getpid()), ++tempCounter);
    temp = name;
    out = Fd(::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!out && errno != EEXIST) ThrowErrno(errno, target);
  }
  if (!out) ThrowErrno(EEXIST, target);

  try {
    off_t copied = CopyBytes(in.get(), out.get(), sst.st_size, source, target);
    // A source that ended early or changed meanwhile gave a copy that is
    // not the file whose stamp it is about to take.
    struct stat after {};
    if (::fstat(in.get(), &after) != 0) ThrowErrno(errno, source);
    if (copied != sst.st_size || after.st_size != sst.st_size ||
        after.st_mtim.tv_sec != sst.st_mtim.tv_sec || after.st_mtim.tv_nsec != sst.st_mtim.tv_nsec)
      throw SysError{"the source changed or ended early during the copy", source};
    struct timespec times[2] = {{0, UTIME_OMIT}, sst.st_mtim};
    if (IsFat(out.get())) times[1] = linuxfs::FatStampRoundedUp(sst.st_mtim);
    if (::futimens(out.get(), times) != 0) ThrowErrno(errno, target);
    if (::fsync(out.get()) != 0) ThrowErrno(errno, target);
    if (::close(out.Release()) != 0) ThrowErrno(errno, target);
    int err = overwrite ? (::renameat(dir, temp.c_str(), dir, tl.name.c_str()) == 0 ? 0 : errno)
                        : RenameNoReplace(dir, temp, dir, tl.name);
    if (err) ThrowErrno(err, target);
  } catch (...) {
    out.Reset();
    ::unlinkat(dir, temp.c_str(), 0);
    throw;
  }
  // The new name is on the device too, not only the bytes.
  ::fsync(dir);
}

void LinuxFileSystem::Impl::List(const std::string& pattern) {
  listing.clear();
  listingPos = 0;
  Resolved r = Resolve(pattern);
  if (r.comps.empty()) return;
  Fd folder;
  try {
    folder = OpenBeneath(r, r.comps.size() - 1, O_RDONLY | O_DIRECTORY);
  } catch (const SysError& e) {
    // A folder that is not there holds no matching file.
    if (e.err == ENOENT || e.err == ENOTDIR) return;
    throw;
  }
  const std::string& mask = r.comps.back();
  int fd = ::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) ThrowErrno(errno);
  DIR* d = ::fdopendir(fd);
  if (!d) {
    int err = errno;
    ::close(fd);
    ThrowErrno(err);
  }
  std::vector<std::string> names;
  while (struct dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == ".." || !linuxfs::WildcardMatch(mask, n)) continue;
    names.push_back(std::move(n));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    struct stat st {};
    if (::fstatat(folder.get(), n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    int f = OpenOne(folder.get(), n, O_RDONLY | O_NONBLOCK);
    if (f < 0) continue;
    Fd file(f);
    int bits = 0;
    try {
      bits = AttributesOf(file.get(), st);
    } catch (const SysError&) {
      continue;
    }
    if (bits & (kAttrHidden | kAttrSystem | kAttrDirectory)) continue;
    listing.push_back(n);
  }
}

namespace {

class LinuxDrive final : public DriveHandle {
 public:
  LinuxDrive(std::shared_ptr<VolumeTable> volumes, char letter)
      : volumes_(std::move(volumes)), letter_(letter) {}

  int drivetype() override {
    auto v = volumes_->Lookup(letter_);
    return v ? volumes_->Facts(*v).drivetype : 0;
  }

  bool IsReady() override {
    auto v = volumes_->Lookup(letter_);
    if (!v) return false;
    Fd fd(::open(v->target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return static_cast<bool>(fd);
  }

  std::string VolumeName() override {
    auto v = volumes_->Lookup(letter_);
    return v ? volumes_->Facts(*v).label : std::string();
  }

  std::string FileSystem() override {
    auto v = volumes_->Lookup(letter_);
    if (!v) return {};
    if (v->fstype != "vfat" && v->fstype != "msdos") return v->fstype;
    std::string version = volumes_->Facts(*v).fsVersion;
    if (version.rfind("FAT", 0) == 0) return version;
    // Neither udev nor the device could be asked (no rights on the device
    // node): the cluster count decides, as it does for FAT itself.
    struct statfs sf {};
    if (::statfs(v->target.c_str(), &sf) != 0 || sf.f_type != MSDOS_SUPER_MAGIC) return v->fstype;
    if (sf.f_blocks < 4085) return "FAT12";
    if (sf.f_blocks < 65525) return "FAT16";
    return "FAT32";
  }

  std::int32_t serialnumber() override {
    auto v = volumes_->Lookup(letter_);
    if (!v) return 0;
    Fd root(::open(v->target.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::uint32_t id = 0;
    if (root && IsFat(root.get()) && ::ioctl(root.get(), FAT_IOCTL_GET_VOLUME_ID, &id) == 0)
      return static_cast<std::int32_t>(id);
    return linuxfs::SerialFromUuid(volumes_->Facts(*v).uuid);
  }

  std::string Path() override {
    if (!volumes_->Lookup(letter_)) return {};
    return std::string(1, letter_) + ":";
  }

 private:
  std::shared_ptr<VolumeTable> volumes_;
  char letter_;
};

// Reads its stamp anew on each call; lives no longer than its service.
class LinuxFile final : public FileHandle {
 public:
  LinuxFile(LinuxFileSystem::Impl& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
  FileStamp datelastmodified() override { return fs_.StampOf("datelastmodified", path_); }

 private:
  LinuxFileSystem::Impl& fs_;
  std::string path_;
};

}  // namespace

LinuxFileSystem::LinuxFileSystem(LinuxFileSystemOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

LinuxFileSystem::~LinuxFileSystem() = default;

std::vector<std::shared_ptr<DriveHandle>> LinuxFileSystem::Drives() {
  std::vector<std::shared_ptr<DriveHandle>> out;
  for (char c = linuxfs::kFirstLetter; c <= linuxfs::kLastLetter; ++c)
    out.push_back(std::make_shared<LinuxDrive>(impl_->volumes, c));
  out.push_back(std::make_shared<LinuxDrive>(impl_->volumes, linuxfs::kRootLetter));
  return out;
}

// The existence tests answer, never fail: a path that cannot be reached
// names nothing that is there.
static bool IsOfType(LinuxFileSystem::Impl& impl, const std::string& path, mode_t type) {
  try {
    auto r = impl.Resolve(path);
    auto l = impl.Locate(r);
    struct stat st {};
    return impl.Stat(l, st) == 0 && (st.st_mode & S_IFMT) == type;
  } catch (const SysError&) {
    return false;
  }
}

bool LinuxFileSystem::fileexists(const std::string& path) { return IsOfType(*impl_, path, S_IFREG); }

bool LinuxFileSystem::folderexists(const std::string& path) { return IsOfType(*impl_, path, S_IFDIR); }

std::unique_ptr<FileHandle> LinuxFileSystem::getfile(const std::string& path) {
  try {
    auto r = impl_->Resolve(path);
    impl_->RegularFile(impl_->Locate(r));
  } catch (const SysError& e) {
    impl_->Fail("getfile", path, e.reason);
  }
  return std::make_unique<LinuxFile>(*impl_, path);
}

void LinuxFileSystem::deletefile(const std::string& path, bool force) {
  try {
    impl_->Delete(path, !force);
  } catch (const SysError& e) {
    impl_->Fail("deletefile", path, e.reason);
  }
}

void LinuxFileSystem::DeleteFiles(const std::string& path) {
  try {
    impl_->Delete(path, true);
  } catch (const SysError& e) {
    impl_->Fail("DeleteFiles", path, e.reason);
  }
}

void LinuxFileSystem::createfolder(const std::string& path) {
  try {
    auto r = impl_->Resolve(path);
    auto l = impl_->Locate(r);
    if (l.isRoot()) ThrowErrno(EEXIST);
    impl_->MarkWritten(r);
    if (::mkdirat(l.parent.get(), l.name.c_str(), 0777) != 0) ThrowErrno(errno);
  } catch (const SysError& e) {
    impl_->Fail("createfolder", path, e.reason);
  }
}

void LinuxFileSystem::movefile(const std::string& source, const std::string& destination) {
  try {
    Impl::Resolved sr, dr;
    Impl::Located sl, dl;
    try {
      sr = impl_->Resolve(source);
      sl = impl_->Locate(sr);
      impl_->RegularFile(sl);
    } catch (SysError& e) {
      if (e.path.empty()) e.path = source;
      throw;
    }
    try {
      dr = impl_->Resolve(destination);
      if (dr.letter != sr.letter) throw SysError{"the destination is on another drive", {}};
      dl = impl_->Locate(dr);
      if (dl.isRoot() || impl_->Exists(dl)) ThrowErrno(EEXIST);
    } catch (SysError& e) {
      if (e.path.empty()) e.path = destination;
      throw;
    }
    impl_->MarkWritten(sr);
    if (int err = impl_->RenameNoReplace(sl.parent.get(), sl.name, dl.parent.get(), dl.name))
      ThrowErrno(err, destination);
  } catch (const SysError& e) {
    impl_->Fail("movefile", e.path.empty() ? source : e.path, e.reason);
  }
}

void LinuxFileSystem::copyfile(const std::string& source, const std::string& destination,
                               bool overwrite) {
  try {
    impl_->Copy(source, destination, overwrite);
  } catch (const SysError& e) {
    impl_->Fail("copyfile", e.path.empty() ? destination : e.path, e.reason);
  }
}

std::string LinuxFileSystem::getparentfoldername(const std::string& path) {
  return linuxfs::ParentFolderName(path);
}

std::string LinuxFileSystem::getfilename(const std::string& path) {
  return linuxfs::FileName(path);
}

std::string LinuxFileSystem::ListFirst(const std::string& pattern) {
  try {
    impl_->List(pattern);
  } catch (const SysError& e) {
    impl_->Fail("ListFirst", pattern, e.reason);
  }
  return ListNext();
}

std::string LinuxFileSystem::ListNext() {
  if (impl_->listingPos >= impl_->listing.size()) return {};
  return impl_->listing[impl_->listingPos++];
}

int LinuxFileSystem::GetAttributes(const std::string& path) {
  try {
    auto r = impl_->Resolve(path);
    return impl_->AttributesOf(impl_->Locate(r));
  } catch (const SysError& e) {
    impl_->Fail("GetAttributes", path, e.reason);
  }
}

void LinuxFileSystem::SetAttributes(const std::string& path, int bits) {
  try {
    auto r = impl_->Resolve(path);
    auto l = impl_->Locate(r);
    struct stat st = impl_->MustStat(l);
    if (S_ISLNK(st.st_mode)) ThrowErrno(ELOOP);
    Fd fd = impl_->OpenObject(l, O_RDONLY | O_NONBLOCK);
    impl_->MarkWritten(r);
    if (IsFat(fd.get())) {
      // Archive goes too: the bits become exactly the ones given.
      std::uint32_t a = static_cast<std::uint32_t>(bits) & (ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH);
      if (::ioctl(fd.get(), FAT_IOCTL_SET_ATTRIBUTES, &a) != 0) ThrowErrno(errno);
      return;
    }
    mode_t mode = st.st_mode & 07777;
    mode = (bits & kAttrReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
    if (mode != (st.st_mode & 07777) && ::fchmod(fd.get(), mode) != 0) ThrowErrno(errno);
    int dos = bits & (kAttrHidden | kAttrSystem);
    if (dos) {
      char text[16];
      int n = std::snprintf(text, sizeof text, "0x%x", dos);
      if (::fsetxattr(fd.get(), kDosAttrib, text, static_cast<std::size_t>(n), 0) != 0) ThrowErrno(errno);
    } else if (::fremovexattr(fd.get(), kDosAttrib) != 0 && errno != ENODATA && errno != ENOTSUP) {
      ThrowErrno(errno);
    }
  } catch (const SysError& e) {
    impl_->Fail("SetAttributes", path, e.reason);
  }
}

FileStamp LinuxFileSystem::FileTime(const std::string& path) {
  return impl_->StampOf("FileTime", path);
}

std::string LinuxFileSystem::ProgramFolder() {
  std::string folder = impl_->options.programFolder;
  if (folder.empty()) {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) {
      folder.assign(buf, static_cast<std::size_t>(n));
      std::size_t slash = folder.rfind('/');
      folder = slash == std::string::npos ? "/" : folder.substr(0, slash);
    }
  }
  std::string out = "Z:";
  for (char c : folder) out.push_back(c == '/' ? '\\' : c);
  while (out.size() > 2 && out.back() == '\\') out.pop_back();
  return out;
}

void LinuxFileSystem::OpenInput(const std::string& path) {
  impl_->input.reset();
  try {
    auto r = impl_->Resolve(path);
    auto l = impl_->Locate(r);
    impl_->RegularFile(l);
    Fd fd = impl_->OpenObject(l, O_RDONLY);
    std::string bytes;
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ThrowErrno(errno);
      if (n == 0) break;
      bytes.append(buf, static_cast<std::size_t>(n));
    }
    impl_->input.emplace(std::move(bytes));
    impl_->inputPath = path;
  } catch (const SysError& e) {
    impl_->Fail("OpenInput", path, e.reason);
  }
}

std::string LinuxFileSystem::ReadLine() {
  if (!impl_->input) impl_->Fail("ReadLine", "", "no file is open");
  auto line = impl_->input->Next();
  if (!line) impl_->Fail("ReadLine", impl_->inputPath, "read past the end of the file");
  return *line;
}

bool LinuxFileSystem::AtEnd() {
  if (!impl_->input) impl_->Fail("AtEnd", "", "no file is open");
  return impl_->input->AtEnd();
}

void LinuxFileSystem::Rewind() {
  if (!impl_->input) impl_->Fail("Rewind", "", "no file is open");
  impl_->input->Rewind();
}

void LinuxFileSystem::CloseAll() {
  impl_->input.reset();
  impl_->inputPath.clear();
  // Told to unplug next: whatever is still in memory has to reach the
  // device now, and a device that failed must not pass for done.
  std::string failed;
  int err = 0;
  for (auto& [letter, fd] : impl_->written) {
    if (::syncfs(fd.get()) != 0 && failed.empty()) {
      err = errno;
      failed = std::string(1, letter) + ":";
    }
  }
  impl_->written.clear();
  if (!failed.empty()) throw FileSystemError("CloseAll", failed, std::strerror(err));
}

std::unique_ptr<FileSystemService> MakeLinuxFileSystem() {
  return std::make_unique<LinuxFileSystem>();
}

}  // namespace virdo
