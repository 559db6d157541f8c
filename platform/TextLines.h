// The position file's lines, shared by every FileSystemService so that all
// of them read a package the same way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace virdo {

// A line ends at CR, CR LF or LF alone; the end is not part of the line. A
// UTF-8 byte-order mark at the very start of the file is skipped. Each line
// comes back as UTF-8: kept as it is where it is valid UTF-8, otherwise read
// as Windows-1252.
class TextLines {
 public:
  explicit TextLines(std::string bytes);

  bool AtEnd() const;
  // The next line, or nothing when the end has been reached.
  std::optional<std::string> Next();
  void Rewind();

 private:
  std::string bytes_;
  std::size_t start_;  // after the byte-order mark, if any
  std::size_t pos_;
};

// UTF-8 as it is when valid, else Windows-1252 converted to UTF-8.
std::string DecodeLine(std::string_view bytes);

}  // namespace virdo
