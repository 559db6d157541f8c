// Folders on the host standing in for drives: a mount-table file names them
// as mounted volumes, so the service gives them letters (D:, E: …) and
// resolves program paths beneath them exactly as beneath a real volume.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace virdo::testing {

namespace fs = std::filesystem;

inline fs::path MakeTempFolder(const fs::path& under, const char* tag) {
  std::string t = (under / (std::string("virdo-") + tag + "-XXXXXX")).string();
  if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp " + t);
  return t;
}

inline void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

inline std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void SetMtime(const fs::path& p, time_t sec, long nsec) {
  struct timespec t[2] = {{sec, nsec}, {sec, nsec}};
  ::utimensat(AT_FDCWD, p.c_str(), t, AT_SYMLINK_NOFOLLOW);
}

inline struct timespec Mtime(const fs::path& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st.st_mtim;
}

// True when the folder's file system keeps user extended attributes.
inline bool HasUserXattrs(const fs::path& folder) {
  fs::path probe = folder / ".xattr-probe";
  WriteText(probe, "");
  bool ok = ::setxattr(probe.c_str(), "user.virdo-probe", "1", 1, 0) == 0;
  fs::remove(probe);
  return ok;
}

inline std::vector<std::string> Entries(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class MountTableFile {
 public:
  explicit MountTableFile(fs::path file) : file_(std::move(file)) {
    Add("/", "ext4", "/dev/vda", "254:0");
  }
  // Appends a volume; the file is rewritten so the next read sees it.
  void Add(const std::string& target, const std::string& fstype, const std::string& source,
           const std::string& devno) {
    lines_.push_back(std::to_string(next_++) + " 1 " + devno + " / " + target +
                     " rw,relatime - " + fstype + " " + source + " rw");
    Write();
  }
  void Remove(const std::string& target) {
    std::erase_if(lines_, [&](const std::string& l) {
      return l.find(" / " + target + " rw") != std::string::npos;
    });
    Write();
  }
  const fs::path& path() const { return file_; }

 private:
  void Write() {
    std::ofstream out(file_, std::ios::trunc);
    for (const auto& l : lines_) out << l << "\n";
  }
  fs::path file_;
  std::vector<std::string> lines_;
  int next_ = 20;
};

}  // namespace virdo::testing
