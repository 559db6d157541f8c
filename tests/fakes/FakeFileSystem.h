// An in-memory FileSystemService for the logic's tests. Paths are compared
// as the keyboard's FAT compares them: without regard to case, '\' and '/'
// alike, empty components ignored. Every call is recorded in order; any
// named operation on a named path can be made to fail, or hooked.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystemService.h"
#include "platform/TextLines.h"

namespace virdo::fake {

class FakeFileSystem;

class FakeDrive : public DriveHandle {
 public:
  explicit FakeDrive(std::string path) : path(std::move(path)) {}

  int type = kDriveFixed;
  bool ready = true;
  std::string label = "VIRDO";
  std::string fileSystem = "FAT32";
  std::int32_t serial = 0;
  std::string path;

  // The properties read, in order ("drivetype", "IsReady", ...).
  std::vector<std::string> reads;

  int drivetype() override;
  bool IsReady() override;
  std::string VolumeName() override;
  std::string FileSystem() override;
  std::int32_t serialnumber() override;
  std::string Path() override;

 private:
  friend class FakeFileSystem;
  void Read(const char* property);
  FakeFileSystem* owner_ = nullptr;
};

// What a test sees of one file or folder.
struct FakeEntry {
  bool folder = false;
  int attributes = 0;  // without kAttrDirectory
  std::string contents;
  FileStamp stamp = 0;
  friend bool operator==(const FakeEntry&, const FakeEntry&) = default;
};

class FakeFileSystem : public FileSystemService {
 public:
  FakeFileSystem();

  // --- Setting up -------------------------------------------------------
  std::shared_ptr<FakeDrive> AddDrive(const std::string& path);
  // Parents are created as needed.
  void AddFolder(const std::string& path, int attributes = 0);
  void AddFile(const std::string& path, std::string contents = "x",
               FileStamp stamp = 1000, int attributes = 0);
  void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }

  // The named operation on the named path (any path when empty) throws
  // FileSystemError instead of doing its work.
  void FailOn(std::string operation, std::string path = "",
              std::string reason = "injected failure");
  // Runs before the named operation on the named path (any when empty).
  void OnCall(std::string operation, std::string path,
              std::function<void()> hook);
  // Every call is also appended here, for order across fakes.
  void ShareLog(std::vector<std::string>* all) { shared_ = all; }

  // --- Looking -----------------------------------------------------------
  bool IsFile(const std::string& path) const;
  bool IsFolder(const std::string& path) const;
  std::optional<FakeEntry> Entry(const std::string& path) const;
  std::string Contents(const std::string& path) const;
  int Attributes(const std::string& path) const;
  // Every entry by its case-folded path; equal snapshots mean an untouched
  // tree.
  std::map<std::string, FakeEntry> Snapshot() const;
  // Recorded calls, e.g. "fileexists E:\system\init\startup.ini".
  const std::vector<std::string>& Calls() const { return calls_; }
  // Only the calls that change the tree.
  std::vector<std::string> Writes() const;
  int Count(const std::string& call) const;

  // --- FileSystemService -------------------------------------------------
  std::vector<std::shared_ptr<DriveHandle>> Drives() override;
  bool fileexists(const std::string& path) override;
  bool folderexists(const std::string& path) override;
  std::unique_ptr<FileHandle> getfile(const std::string& path) override;
  void deletefile(const std::string& path, bool force) override;
  void createfolder(const std::string& path) override;
  void movefile(const std::string& source,
                const std::string& destination) override;
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

 private:
  friend class FakeDrive;
  friend class FakeFile;
  struct Node {
    std::string name;  // last component as given
    FakeEntry entry;
  };
  struct Rule {
    std::string operation;
    std::string key;  // empty: any path
    std::string reason;
    std::function<void()> hook;
  };

  static std::optional<std::string> Key(const std::string& path);
  static std::string ParentKey(const std::string& key);
  void Enter(const std::string& operation, const std::string& path,
             const std::string& shown);
  void Record(const std::string& text);
  [[noreturn]] void Fail(const std::string& operation, const std::string& path,
                         const std::string& reason);
  Node* FindFile(const std::string& path);
  bool FolderKeyExists(const std::string& key) const;
  std::string NewKey(const std::string& operation, const std::string& path);

  std::vector<std::shared_ptr<FakeDrive>> drives_;
  std::map<std::string, Node> nodes_;  // roots are "E:" etc.
  std::string programFolder_ = "Z:\\home\\ana\\update";
  std::vector<Rule> failures_;
  std::vector<Rule> hooks_;
  std::vector<std::string> calls_;
  std::vector<std::string>* shared_ = nullptr;
  std::optional<std::vector<std::string>> listing_;
  std::size_t listed_ = 0;
  std::optional<TextLines> input_;
  std::string inputPath_;
};

}  // namespace virdo::fake
