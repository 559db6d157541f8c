// FileSystemService on Linux: drive letters over the mounted volumes, every
// path opened beneath its volume's root so that nothing named on one drive
// can reach outside it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystemService.h"
#include "platform/TextLines.h"

namespace virdo {

struct LinuxFileSystemOptions {
  // Where the mounted volumes are read from (libmount parses it).
  std::string mountTable = "/proc/self/mountinfo";
  // The program's own folder as a native path; empty: the folder of
  // /proc/self/exe.
  std::string programFolder;
  // False walks paths one component at a time, as on kernels without
  // openat2; lets the tests cover that road on any kernel.
  bool useOpenat2 = true;
  // Where copyfile starts among its ways of moving bytes; later ones are
  // the fallbacks. The benchmark and the tests pick one.
  enum class Copy { kCopyFileRange, kSendfile, kReadWrite };
  Copy copyMethod = Copy::kCopyFileRange;
};

class LinuxFileSystem final : public FileSystemService {
 public:
  explicit LinuxFileSystem(LinuxFileSystemOptions options = {});
  ~LinuxFileSystem() override;

  std::vector<std::shared_ptr<DriveHandle>> Drives() override;
  bool fileexists(const std::string& path) override;
  bool folderexists(const std::string& path) override;
  std::unique_ptr<FileHandle> getfile(const std::string& path) override;
  void deletefile(const std::string& path, bool force) override;
  void createfolder(const std::string& path) override;
  void movefile(const std::string& source, const std::string& destination) override;
  void copyfile(const std::string& source, const std::string& destination,
                bool overwrite) override;
  std::string getparentfoldername(const std::string& path) override;
  std::string getfilename(const std::string& path) override;

  std::string ListFirst(const std::string& pattern) override;
  std::string ListNext() override;
  void DeleteFiles(const std::string& path) override;
  int GetAttributes(const std::string& path) override;
  void SetAttributes(const std::string& path, int bits) override;
  FileStamp FileTime(const std::string& path) override;
  std::string ProgramFolder() override;
  void OpenInput(const std::string& path) override;
  std::string ReadLine() override;
  bool AtEnd() override;
  void Rewind() override;
  void CloseAll() override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

std::unique_ptr<FileSystemService> MakeLinuxFileSystem();

}  // namespace virdo
