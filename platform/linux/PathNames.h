// The program's path form (E:\sub\a.bin) taken apart for the Linux side, and
// the name matching that has to ignore case the way the keyboard's FAT does.
// No system calls here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace virdo::linuxfs {

struct ProgramPath {
  char letter = 0;                      // upper case, 'A'..'Z'
  std::vector<std::string> components;  // no empty, "." or ".." left
};

// "X:" then components split at '\' and '/'. Empty and "." components are
// dropped; ".." goes up one but never above the drive's root. Nothing when
// the text does not start with a drive letter and a colon.
std::optional<ProgramPath> ParseProgramPath(std::string_view path);

// Everything before the last separator, less trailing separators. The root
// stays a separator ("\a.bin" gives "\", "E:\a.bin" gives "E:\"), so a drive
// plus the parent of a root file names the root itself.
std::string ParentFolderName(std::string_view path);

// Everything after the last separator (or after "X:"); empty for "" and for
// a path ending in a separator.
std::string FileName(std::string_view path);

// Case folding good for the names a package carries: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic. Bytes that are not UTF-8 are kept
// as they are, so two different invalid names never compare equal.
std::u32string FoldCase(std::string_view utf8);

bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// '*' matches any run of characters (none included), '?' exactly one;
// letters match without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace virdo::linuxfs
