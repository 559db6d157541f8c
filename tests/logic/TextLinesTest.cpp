// The position file's line splitter, and the failure report.
#include <gtest/gtest.h>

#include "platform/FailureReport.h"
#include "platform/FileSystemService.h"
#include "platform/TextLines.h"

namespace virdo {
namespace {

std::vector<std::string> AllLines(TextLines& lines) {
  std::vector<std::string> all;
  while (auto line = lines.Next()) all.push_back(*line);
  return all;
}

struct SplitCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

class Splitting : public testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, GivesEveryLineWithoutItsEnd) {
  TextLines lines(GetParam().bytes);
  EXPECT_EQ(AllLines(lines), GetParam().lines);
  EXPECT_TRUE(lines.AtEnd());
  EXPECT_EQ(lines.Next(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    TextLines, Splitting,
    testing::Values(
        SplitCase{"CarriageReturn", "a\rb\r", {"a", "b"}},
        SplitCase{"CrLf", "a\r\nb\r\n", {"a", "b"}},
        SplitCase{"LineFeedAlone", "a\nb\n", {"a", "b"}},
        SplitCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        SplitCase{"LfThenCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
        SplitCase{"CrCrLf", "a\r\r\nb", {"a", "", "b"}},
        SplitCase{"NoFinalEnd", "a\r\nlast", {"a", "last"}},
        SplitCase{"EmptyFile", "", {}},
        SplitCase{"OnlyALineEnd", "\r\n", {""}},
        SplitCase{"EmptyLines", "a\r\n\r\n\r\nb", {"a", "", "", "b"}},
        SplitCase{"BlanksKept", " a \r\n\tb", {" a ", "\tb"}},
        SplitCase{"ByteOrderMark", "\xEF\xBB\xBF\\a.bin\r\n", {"\\a.bin"}},
        SplitCase{"OnlyAByteOrderMark", "\xEF\xBB\xBF", {}},
        SplitCase{"ByteOrderMarkLaterIsText", "a\r\n\xEF\xBB\xBF" "b", {"a", "\xEF\xBB\xBF" "b"}},
        SplitCase{"HalfAByteOrderMarkIsText", "\xEF\xBB" "a", {"\xC3\xAF\xC2\xBB" "a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextLines, AtEndBeforeTheLastLineIsRead) {
  TextLines lines("a\r\nb\r\n");
  EXPECT_FALSE(lines.AtEnd());
  lines.Next();
  EXPECT_FALSE(lines.AtEnd());
  lines.Next();
  EXPECT_TRUE(lines.AtEnd());  // the final line end counts as read
}

TEST(TextLines, RewindStartsAgainAfterTheByteOrderMark) {
  TextLines lines("\xEF\xBB\xBF" "first\r\nsecond");
  AllLines(lines);
  lines.Rewind();
  EXPECT_EQ(lines.Next(), "first");
  EXPECT_EQ(lines.Next(), "second");
  lines.Rewind();
  EXPECT_EQ(AllLines(lines), (std::vector<std::string>{"first", "second"}));
}

TEST(DecodeLine, KeepsUtf8AndReadsAnythingElseAsWindows1252) {
  const std::pair<std::string, std::string> table[] = {
      {"\\plain\\a.bin", "\\plain\\a.bin"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},                      // UTF-8 kept
      {"\xF0\x9F\x8E\xB9", "\xF0\x9F\x8E\xB9"},            // four bytes kept
      {"caf\xE9", "caf\xC3\xA9"},                          // 1252 é
      {"\x80", "\xE2\x82\xAC"},                            // €
      {"\x8A\x9A\x9F", "\xC5\xA0\xC5\xA1\xC5\xB8"},        // Š š Ÿ
      {"\x93q\x94", "\xE2\x80\x9Cq\xE2\x80\x9D"},          // “q”
      {"\x81\x8D\x8F\x90\x9D", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
      {"\xA0\xFF", "\xC2\xA0\xC3\xBF"},
      {"\xC3\xA9 \xE9", "\xC3\x83\xC2\xA9 \xC3\xA9"},      // one bad byte: all 1252
      {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                    // overlong
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},    // surrogate
      {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
      {"\xE2\x82", "\xC3\xA2\xE2\x80\x9A"},                // cut short
  };
  for (const auto& [bytes, utf8] : table) {
    EXPECT_EQ(DecodeLine(bytes), utf8) << testing::PrintToString(bytes);
  }
}

TEST(DecodeLine, TheWhole1252RowFrom80To9F) {
  std::string row;
  for (int b = 0x80; b <= 0x9F; ++b) row += static_cast<char>(b);
  EXPECT_EQ(DecodeLine(row),
            "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F"
            "\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ");
}

TEST(FailureReport, NamesOperationPathAndReason) {
  const std::string text = FailureReport(
      FileSystemError("copyfile", "E:\\sub\\a.bin", "No space left on device"));
  EXPECT_NE(text.find("Operation: copyfile\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Path: E:\\sub\\a.bin\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Reason: No space left on device"), std::string::npos) << text;
  EXPECT_NE(text.find("stays as it is"), std::string::npos) << text;
  EXPECT_EQ(text.find("Location:"), std::string::npos) << text;

  const std::string located = FailureReport(
      FileSystemError("DeleteFiles", "J:\\system\\init\\startup.ini",
                      "the file is read-only",
                      "/media/ana/VIRDO/system/init/startup.ini"));
  EXPECT_NE(located.find("Path: J:\\system\\init\\startup.ini\nLocation: "
                         "/media/ana/VIRDO/system/init/startup.ini\nReason: "),
            std::string::npos)
      << located;
}

TEST(FailureReport, OtherExceptionsGiveTheirMessage) {
  const std::string text = FailureReport(std::runtime_error("bad_alloc somewhere"));
  EXPECT_NE(text.find("bad_alloc somewhere"), std::string::npos) << text;
  EXPECT_EQ(text.find("Operation:"), std::string::npos) << text;
  EXPECT_NE(text.find("stays as it is"), std::string::npos) << text;
}

}  // namespace
}  // namespace virdo
