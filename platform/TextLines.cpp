#include "platform/TextLines.h"

#include <cstdint>

namespace virdo {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Windows-1252 0x80..0x9F. The five bytes the code page leaves undefined
// map to the C1 control of the same value, as Windows itself does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsValidUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t len;
    std::uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    } else {
      return false;  // continuation byte, C0/C1 overlong lead, or F5..FF
    }
    if (s.size() - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      return false;
    }
    i += len;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string DecodeLine(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b <= 0x9F) {
      AppendUtf8(out, kCp1252High[b - 0x80]);
    } else {
      AppendUtf8(out, b);  // ASCII and Latin-1 coincide with 1252 here
    }
  }
  return out;
}

TextLines::TextLines(std::string bytes)
    : bytes_(std::move(bytes)),
      start_(bytes_.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0),
      pos_(start_) {}

bool TextLines::AtEnd() const { return pos_ >= bytes_.size(); }

std::optional<std::string> TextLines::Next() {
  if (AtEnd()) return std::nullopt;
  const std::string_view all(bytes_);
  const std::size_t end = all.find_first_of("\r\n", pos_);
  std::string line;
  if (end == std::string_view::npos) {
    line = DecodeLine(all.substr(pos_));
    pos_ = all.size();
  } else {
    line = DecodeLine(all.substr(pos_, end - pos_));
    const bool crlf =
        all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n';
    pos_ = end + (crlf ? 2 : 1);
  }
  return line;
}

void TextLines::Rewind() { pos_ = start_; }

}  // namespace virdo
