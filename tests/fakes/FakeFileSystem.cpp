#include "fakes/FakeFileSystem.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace virdo::fake {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string LastComponent(const std::string& path) {
  const auto pos = path.find_last_of("\\/");
  std::string last = pos == std::string::npos ? path : path.substr(pos + 1);
  if (pos == std::string::npos && last.size() >= 2 && last[1] == ':') last.erase(0, 2);
  return last;
}

// '*' any run, '?' one character, case ignored.
bool Matches(const std::string& pattern, const std::string& name) {
  const std::string p = Upper(pattern), n = Upper(name);
  std::size_t pi = 0, ni = 0, star = std::string::npos, mark = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = ni;
    } else if (star != std::string::npos) {
      pi = star + 1;
      ni = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

bool IsWrite(const std::string& call) {
  static const char* const kWrites[] = {"deletefile ", "createfolder ",
                                        "movefile ",   "copyfile ",
                                        "DeleteFiles ", "SetAttributes "};
  return std::any_of(std::begin(kWrites), std::end(kWrites),
                     [&](const char* w) { return call.starts_with(w); });
}

}  // namespace

// --- FakeDrive ------------------------------------------------------------

void FakeDrive::Read(const char* property) {
  reads.emplace_back(property);
  if (owner_ != nullptr) owner_->Record(path + " " + property);
}

int FakeDrive::drivetype() { Read("drivetype"); return type; }
bool FakeDrive::IsReady() { Read("IsReady"); return ready; }
std::string FakeDrive::VolumeName() { Read("VolumeName"); return label; }
std::string FakeDrive::FileSystem() { Read("FileSystem"); return fileSystem; }
std::int32_t FakeDrive::serialnumber() { Read("serialnumber"); return serial; }
std::string FakeDrive::Path() { Read("Path"); return path; }

// --- File handle ------------------------------------------------------------

class FakeFile : public FileHandle {
 public:
  FakeFile(FakeFileSystem& owner, std::string path)
      : owner_(owner), path_(std::move(path)) {}
  FileStamp datelastmodified() override {
    owner_.Enter("datelastmodified", path_, "datelastmodified " + path_);
    FakeFileSystem::Node* node = owner_.FindFile(path_);
    if (node == nullptr) owner_.Fail("datelastmodified", path_, "file not found");
    return node->entry.stamp;
  }

 private:
  FakeFileSystem& owner_;
  std::string path_;
};

// --- Keys -------------------------------------------------------------------

FakeFileSystem::FakeFileSystem() = default;

std::optional<std::string> FakeFileSystem::Key(const std::string& path) {
  if (path.size() < 2 || path[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(path[0]))) {
    return std::nullopt;
  }
  std::string key = Upper(path.substr(0, 2));
  std::size_t i = 2;
  while (i < path.size()) {
    while (i < path.size() && IsSeparator(path[i])) ++i;
    std::size_t end = i;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (end > i) key += "\\" + Upper(path.substr(i, end - i));
    i = end;
  }
  return key;
}

std::string FakeFileSystem::ParentKey(const std::string& key) {
  const auto pos = key.rfind('\\');
  return pos == std::string::npos ? std::string() : key.substr(0, pos);
}

// --- Recording, failures, hooks ------------------------------------------

void FakeFileSystem::Record(const std::string& text) {
  calls_.push_back(text);
  if (shared_ != nullptr) shared_->push_back(text);
}

void FakeFileSystem::Enter(const std::string& operation,
                           const std::string& path, const std::string& shown) {
  Record(shown);
  const std::string key = Key(path).value_or(path);
  auto applies = [&](const Rule& r) {
    return r.operation == operation && (r.key.empty() || r.key == key);
  };
  for (const Rule& r : hooks_) {
    if (applies(r)) r.hook();
  }
  for (const Rule& r : failures_) {
    if (applies(r)) Fail(operation, path, r.reason);
  }
}

void FakeFileSystem::Fail(const std::string& operation, const std::string& path,
                          const std::string& reason) {
  throw FileSystemError(operation, path, reason);
}

void FakeFileSystem::FailOn(std::string operation, std::string path,
                            std::string reason) {
  std::string key = path.empty() ? "" : Key(path).value_or(path);
  failures_.push_back({std::move(operation), std::move(key), std::move(reason), {}});
}

void FakeFileSystem::OnCall(std::string operation, std::string path,
                            std::function<void()> hook) {
  std::string key = path.empty() ? "" : Key(path).value_or(path);
  hooks_.push_back({std::move(operation), std::move(key), "", std::move(hook)});
}

// --- Setting up and looking ------------------------------------------------

std::shared_ptr<FakeDrive> FakeFileSystem::AddDrive(const std::string& path) {
  auto drive = std::make_shared<FakeDrive>(path);
  drive->owner_ = this;
  drives_.push_back(drive);
  if (auto key = Key(path)) nodes_.try_emplace(*key, Node{path, {true, 0, "", 0}});
  return drive;
}

void FakeFileSystem::AddFolder(const std::string& path, int attributes) {
  const std::string key = Key(path).value();
  const std::string parent = ParentKey(key);
  if (!parent.empty() && !nodes_.count(parent)) AddFolder(path.substr(0, path.find_last_of("\\/")));
  Node& node = nodes_[key];
  node.name = LastComponent(path);
  node.entry = {true, attributes & ~kAttrDirectory, "", 0};
}

void FakeFileSystem::AddFile(const std::string& path, std::string contents,
                             FileStamp stamp, int attributes) {
  const std::string key = Key(path).value();
  const std::string parent = ParentKey(key);
  if (!nodes_.count(parent)) AddFolder(path.substr(0, path.find_last_of("\\/")));
  nodes_[key] = Node{LastComponent(path), {false, attributes, std::move(contents), stamp}};
}

bool FakeFileSystem::IsFile(const std::string& path) const {
  auto e = Entry(path);
  return e && !e->folder;
}

bool FakeFileSystem::IsFolder(const std::string& path) const {
  auto e = Entry(path);
  return e && e->folder;
}

std::optional<FakeEntry> FakeFileSystem::Entry(const std::string& path) const {
  auto key = Key(path);
  if (!key) return std::nullopt;
  auto it = nodes_.find(*key);
  if (it == nodes_.end()) return std::nullopt;
  return it->second.entry;
}

std::string FakeFileSystem::Contents(const std::string& path) const {
  auto e = Entry(path);
  return e ? e->contents : std::string();
}

int FakeFileSystem::Attributes(const std::string& path) const {
  auto e = Entry(path);
  return e ? e->attributes : -1;
}

std::map<std::string, FakeEntry> FakeFileSystem::Snapshot() const {
  std::map<std::string, FakeEntry> all;
  for (const auto& [key, node] : nodes_) all.emplace(key, node.entry);
  return all;
}

std::vector<std::string> FakeFileSystem::Writes() const {
  std::vector<std::string> writes;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(writes), IsWrite);
  return writes;
}

int FakeFileSystem::Count(const std::string& call) const {
  return static_cast<int>(std::count(calls_.begin(), calls_.end(), call));
}

FakeFileSystem::Node* FakeFileSystem::FindFile(const std::string& path) {
  auto key = Key(path);
  if (!key) return nullptr;
  auto it = nodes_.find(*key);
  if (it == nodes_.end() || it->second.entry.folder) return nullptr;
  return &it->second;
}

bool FakeFileSystem::FolderKeyExists(const std::string& key) const {
  auto it = nodes_.find(key);
  return it != nodes_.end() && it->second.entry.folder;
}

// The key for a path that is about to be created: its folder must be there
// and nothing may be under its name yet.
std::string FakeFileSystem::NewKey(const std::string& operation,
                                   const std::string& path) {
  auto key = Key(path);
  if (!key) Fail(operation, path, "no such drive");
  if (ParentKey(*key).empty() || !FolderKeyExists(ParentKey(*key))) {
    Fail(operation, path, "path not found");
  }
  if (nodes_.count(*key)) Fail(operation, path, "file already exists");
  return *key;
}

// --- The scripting object's members ---------------------------------------

std::vector<std::shared_ptr<DriveHandle>> FakeFileSystem::Drives() {
  Enter("Drives", "", "Drives");
  return {drives_.begin(), drives_.end()};
}

bool FakeFileSystem::fileexists(const std::string& path) {
  Enter("fileexists", path, "fileexists " + path);
  return FindFile(path) != nullptr;
}

bool FakeFileSystem::folderexists(const std::string& path) {
  Enter("folderexists", path, "folderexists " + path);
  auto key = Key(path);
  return key && FolderKeyExists(*key);
}

std::unique_ptr<FileHandle> FakeFileSystem::getfile(const std::string& path) {
  Enter("getfile", path, "getfile " + path);
  if (FindFile(path) == nullptr) Fail("getfile", path, "file not found");
  return std::make_unique<FakeFile>(*this, path);
}

void FakeFileSystem::deletefile(const std::string& path, bool force) {
  Enter("deletefile", path, "deletefile " + path + (force ? " force" : ""));
  Node* node = FindFile(path);
  if (node == nullptr) Fail("deletefile", path, "file not found");
  if (!force && (node->entry.attributes & kAttrReadOnly)) {
    Fail("deletefile", path, "permission denied");
  }
  nodes_.erase(*Key(path));
}

void FakeFileSystem::createfolder(const std::string& path) {
  Enter("createfolder", path, "createfolder " + path);
  const std::string key = NewKey("createfolder", path);
  nodes_[key] = Node{LastComponent(path), {true, 0, "", 0}};
}

void FakeFileSystem::movefile(const std::string& source,
                              const std::string& destination) {
  Enter("movefile", source, "movefile " + source + " " + destination);
  Node* node = FindFile(source);
  if (node == nullptr) Fail("movefile", source, "file not found");
  const std::string key = NewKey("movefile", destination);
  Node moved{LastComponent(destination), node->entry};
  nodes_.erase(*Key(source));
  nodes_[key] = std::move(moved);
}

void FakeFileSystem::copyfile(const std::string& source,
                              const std::string& destination, bool overwrite) {
  Enter("copyfile", source,
        "copyfile " + source + " " + destination + (overwrite ? " overwrite" : ""));
  Node* from = FindFile(source);
  if (from == nullptr) Fail("copyfile", source, "file not found");
  FakeEntry copy = from->entry;
  auto key = Key(destination);
  if (key && nodes_.count(*key)) {
    const FakeEntry& there = nodes_[*key].entry;
    if (there.folder) Fail("copyfile", destination, "is a folder");
    if (!overwrite) Fail("copyfile", destination, "file already exists");
    if (there.attributes & kAttrReadOnly) Fail("copyfile", destination, "permission denied");
    nodes_.erase(*key);
  }
  const std::string newKey = NewKey("copyfile", destination);
  nodes_[newKey] = Node{LastComponent(destination), std::move(copy)};
}

std::string FakeFileSystem::getparentfoldername(const std::string& path) {
  Enter("getparentfoldername", path, "getparentfoldername " + path);
  const auto pos = path.find_last_of("\\/");
  if (pos == std::string::npos) {
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string();
  }
  std::string parent = path.substr(0, pos);
  // The root keeps its separator: \a.bin lies in \, E:\a.bin in E:\.
  if (parent.empty() || (parent.size() == 2 && parent[1] == ':')) parent += path[pos];
  return parent;
}

std::string FakeFileSystem::getfilename(const std::string& path) {
  Enter("getfilename", path, "getfilename " + path);
  return LastComponent(path);
}

// --- Plain file functions --------------------------------------------------

std::string FakeFileSystem::ListFirst(const std::string& pattern) {
  Enter("ListFirst", pattern, "ListFirst " + pattern);
  listing_.emplace();
  listed_ = 0;
  const auto pos = pattern.find_last_of("\\/");
  const std::string folder = pos == std::string::npos ? pattern.substr(0, 2) : pattern.substr(0, pos);
  const std::string namePattern = LastComponent(pattern);
  const auto folderKey = Key(folder);
  if (folderKey && FolderKeyExists(*folderKey)) {
    for (const auto& [key, node] : nodes_) {
      if (ParentKey(key) != *folderKey || node.entry.folder) continue;
      if (node.entry.attributes & (kAttrHidden | kAttrSystem)) continue;
      if (Matches(namePattern, node.name)) listing_->push_back(node.name);
    }
  }
  return ListNext();
}

std::string FakeFileSystem::ListNext() {
  if (listed_ != 0 || !listing_) Enter("ListNext", "", "ListNext");
  if (!listing_) Fail("ListNext", "", "no listing started");
  if (listed_ >= listing_->size()) {
    ++listed_;
    return "";
  }
  return (*listing_)[listed_++];
}

void FakeFileSystem::DeleteFiles(const std::string& path) {
  Enter("DeleteFiles", path, "DeleteFiles " + path);
  Node* node = FindFile(path);
  if (node == nullptr) Fail("DeleteFiles", path, "file not found");
  if (node->entry.attributes & kAttrReadOnly) Fail("DeleteFiles", path, "permission denied");
  nodes_.erase(*Key(path));
}

int FakeFileSystem::GetAttributes(const std::string& path) {
  Enter("GetAttributes", path, "GetAttributes " + path);
  auto e = Entry(path);
  if (!e) Fail("GetAttributes", path, "file not found");
  return e->attributes | (e->folder ? kAttrDirectory : 0);
}

void FakeFileSystem::SetAttributes(const std::string& path, int bits) {
  Enter("SetAttributes", path, "SetAttributes " + path + " " + std::to_string(bits));
  auto key = Key(path);
  if (!key || !nodes_.count(*key)) Fail("SetAttributes", path, "file not found");
  nodes_[*key].entry.attributes = bits & ~kAttrDirectory;
}

FileStamp FakeFileSystem::FileTime(const std::string& path) {
  Enter("FileTime", path, "FileTime " + path);
  Node* node = FindFile(path);
  if (node == nullptr) Fail("FileTime", path, "file not found");
  return node->entry.stamp;
}

std::string FakeFileSystem::ProgramFolder() {
  Enter("ProgramFolder", "", "ProgramFolder");
  return programFolder_;
}

void FakeFileSystem::OpenInput(const std::string& path) {
  Enter("OpenInput", path, "OpenInput " + path);
  if (input_) Fail("OpenInput", path, "a file is already open");
  Node* node = FindFile(path);
  if (node == nullptr) Fail("OpenInput", path, "file not found");
  input_.emplace(node->entry.contents);
  inputPath_ = path;
}

std::string FakeFileSystem::ReadLine() {
  Enter("ReadLine", inputPath_, "ReadLine");
  if (!input_) Fail("ReadLine", "", "no file open");
  auto line = input_->Next();
  if (!line) Fail("ReadLine", inputPath_, "read past the end of the file");
  return *line;
}

bool FakeFileSystem::AtEnd() {
  Enter("AtEnd", inputPath_, "AtEnd");
  if (!input_) Fail("AtEnd", "", "no file open");
  return input_->AtEnd();
}

void FakeFileSystem::Rewind() {
  Enter("Rewind", inputPath_, "Rewind");
  if (!input_) Fail("Rewind", "", "no file open");
  input_->Rewind();
}

void FakeFileSystem::CloseAll() {
  Enter("CloseAll", "", "CloseAll");
  input_.reset();
  inputPath_.clear();
}

}  // namespace virdo::fake
