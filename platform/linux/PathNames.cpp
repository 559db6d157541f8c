#include "platform/linux/PathNames.h"

namespace virdo::linuxfs {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return false;
  char c = path[0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char32_t FoldCodePoint(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;
  if (c >= 0x100 && c <= 0x137) return c | 1;
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  return c;
}

// Invalid bytes land above the Unicode range so they match only themselves.
constexpr char32_t kRawByte = 0x110000;

std::u32string Decode(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len > 0 && i + len <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      unsigned char cb = static_cast<unsigned char>(s[i + k]);
      if ((cb & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (cb & 0x3F);
    }
    if (ok && len > 1) {
      static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) ok = false;
    }
    if (!ok) {
      out.push_back(kRawByte + b);
      ++i;
    } else {
      out.push_back(cp);
      i += len;
    }
  }
  return out;
}

bool Match(const char32_t* p, const char32_t* pe, const char32_t* n, const char32_t* ne) {
  // Iterative glob with one backtrack point: linear enough for file names.
  const char32_t* starP = nullptr;
  const char32_t* starN = nullptr;
  while (n != ne) {
    if (p != pe && *p == U'*') {
      starP = ++p;
      starN = n;
    } else if (p != pe && (*p == U'?' || *p == *n)) {
      ++p;
      ++n;
    } else if (starP) {
      p = starP;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p != pe && *p == U'*') ++p;
  return p == pe;
}

}  // namespace

std::optional<ProgramPath> ParseProgramPath(std::string_view path) {
  if (!HasDrive(path)) return std::nullopt;
  ProgramPath out;
  out.letter = static_cast<char>(path[0] & ~0x20);
  std::size_t i = 2;
  while (i <= path.size()) {
    std::size_t j = i;
    while (j < path.size() && !IsSeparator(path[j])) ++j;
    std::string_view part = path.substr(i, j - i);
    if (part == "..") {
      if (!out.components.empty()) out.components.pop_back();
    } else if (!part.empty() && part != ".") {
      out.components.emplace_back(part);
    }
    i = j + 1;
  }
  return out;
}

std::string ParentFolderName(std::string_view path) {
  std::size_t start = HasDrive(path) ? 2 : 0;
  std::size_t last = path.size();
  while (last > start && !IsSeparator(path[last - 1])) --last;
  if (last == start) return std::string(path.substr(0, start));
  std::size_t end = last;  // one past the last separator
  while (end > start && IsSeparator(path[end - 1])) --end;
  if (end == start) return std::string(path.substr(0, start + 1));  // the root
  return std::string(path.substr(0, end));
}

std::string FileName(std::string_view path) {
  std::size_t start = HasDrive(path) ? 2 : 0;
  std::size_t last = path.size();
  while (last > start && !IsSeparator(path[last - 1])) --last;
  return std::string(path.substr(last));
}

std::u32string FoldCase(std::string_view utf8) {
  std::u32string s = Decode(utf8);
  for (char32_t& c : s) c = FoldCodePoint(c);
  return s;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a == b || FoldCase(a) == FoldCase(b);
}

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  std::u32string p = FoldCase(pattern);
  std::u32string n = FoldCase(name);
  return Match(p.data(), p.data() + p.size(), n.data(), n.data() + n.size());
}

}  // namespace virdo::linuxfs
