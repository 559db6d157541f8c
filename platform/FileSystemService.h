// What the updater needs of the file system. Paths are the program's own
// form: a drive letter and a colon, then components separated by backslashes
// (E:\system\OldRel). The logic never sees a native path.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace virdo {

// Nanoseconds since 1970-01-01 UTC, at whatever resolution the file system
// keeps; a later change is always greater.
using FileStamp = std::int64_t;

// Attribute bits as the keyboard's file system carries them.
enum : int {
  kAttrReadOnly = 1,
  kAttrHidden = 2,
  kAttrSystem = 4,
  kAttrDirectory = 16,
};

// Drive type codes.
enum : int {
  kDriveUnknown = 0,
  kDriveRemovable = 1,
  kDriveFixed = 2,
  kDriveNetwork = 3,
  kDriveCdRom = 4,
  kDriveRamDisk = 5,
};

// Every failure of an operation that has no existence test in front of it.
// It names what was attempted, on which path (program form) and why; where
// the platform knows it, also where that is on this system (a mount point
// means more to the user than a drive letter).
class FileSystemError : public std::runtime_error {
 public:
  FileSystemError(std::string operation, std::string path, std::string reason,
                  std::string location = {})
      : std::runtime_error(operation + " " + path + ": " + reason),
        operation_(std::move(operation)),
        path_(std::move(path)),
        reason_(std::move(reason)),
        location_(std::move(location)) {}

  const std::string& operation() const noexcept { return operation_; }
  const std::string& path() const noexcept { return path_; }
  const std::string& reason() const noexcept { return reason_; }
  const std::string& location() const noexcept { return location_; }

 private:
  std::string operation_;
  std::string path_;
  std::string reason_;
  std::string location_;
};

// Every property is read anew on each call: a drive can become ready between
// two attempts. A property that cannot be read is empty or 0.
class DriveHandle {
 public:
  virtual ~DriveHandle() = default;
  virtual int drivetype() = 0;
  virtual bool IsReady() = 0;
  virtual std::string VolumeName() = 0;
  virtual std::string FileSystem() = 0;
  virtual std::int32_t serialnumber() = 0;
  virtual std::string Path() = 0;
};

class FileHandle {
 public:
  virtual ~FileHandle() = default;
  virtual FileStamp datelastmodified() = 0;
};

class FileSystemService {
 public:
  virtual ~FileSystemService() = default;

  // The scripting object's members.
  virtual std::vector<std::shared_ptr<DriveHandle>> Drives() = 0;
  virtual bool fileexists(const std::string& path) = 0;
  virtual bool folderexists(const std::string& path) = 0;
  virtual std::unique_ptr<FileHandle> getfile(const std::string& path) = 0;
  virtual void deletefile(const std::string& path, bool force) = 0;
  virtual void createfolder(const std::string& path) = 0;
  virtual void movefile(const std::string& source,
                        const std::string& destination) = 0;
  virtual void copyfile(const std::string& source,
                        const std::string& destination, bool overwrite) = 0;
  virtual std::string getparentfoldername(const std::string& path) = 0;
  virtual std::string getfilename(const std::string& path) = 0;

  // The plain file functions.
  // Ordinary files only: folders, hidden and system files are never listed.
  virtual std::string ListFirst(const std::string& pattern) = 0;
  virtual std::string ListNext() = 0;
  virtual void DeleteFiles(const std::string& path) = 0;
  virtual int GetAttributes(const std::string& path) = 0;
  virtual void SetAttributes(const std::string& path, int bits) = 0;
  virtual FileStamp FileTime(const std::string& path) = 0;
  virtual std::string ProgramFolder() = 0;
  virtual void OpenInput(const std::string& path) = 0;
  virtual std::string ReadLine() = 0;  // throws at the end of the file
  virtual bool AtEnd() = 0;
  virtual void Rewind() = 0;
  // Closes every open file and flushes whatever was written to the drives,
  // so nothing is still in memory when the user is told to unplug.
  virtual void CloseAll() = 0;
};

}  // namespace virdo
