#include "platform/linux/FatTime.h"
#include "platform/linux/PathNames.h"
#include "platform/linux/Volumes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace virdo::linuxfs {
namespace {

struct ParseCase {
  const char* path;
  std::optional<char> letter;  // nothing: not a program path
  std::vector<std::string> components;
};

class ParseProgramPathTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseProgramPathTest, StaysOnItsDrive) {
  const ParseCase& c = GetParam();
  auto parsed = ParseProgramPath(c.path);
  ASSERT_EQ(parsed.has_value(), c.letter.has_value()) << c.path;
  if (!parsed) return;
  EXPECT_EQ(parsed->letter, *c.letter) << c.path;
  EXPECT_EQ(parsed->components, c.components) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ParseProgramPathTest,
    ::testing::Values(
        ParseCase{"E:\\system\\OldRel", 'E', {"system", "OldRel"}},
        ParseCase{"E:", 'E', {}},
        ParseCase{"E:\\", 'E', {}},
        ParseCase{"e:\\a", 'E', {"a"}},
        ParseCase{"E:sub\\x", 'E', {"sub", "x"}},
        ParseCase{"E:\\..\\..\\etc", 'E', {"etc"}},
        ParseCase{"E:..", 'E', {}},
        ParseCase{"E:\\sub\\..\\..\\..\\etc\\passwd", 'E', {"etc", "passwd"}},
        ParseCase{"E:\\a/b\\c/", 'E', {"a", "b", "c"}},
        ParseCase{"E:\\\\a\\\\\\.\\b\\.", 'E', {"a", "b"}},
        ParseCase{"E:\\a\\...\\b", 'E', {"a", "...", "b"}},
        ParseCase{"E:\\a\\b\\..", 'E', {"a"}},
        ParseCase{"Z:\\home\\ana\\update\\qtmp\\", 'Z', {"home", "ana", "update", "qtmp"}},
        ParseCase{"\\system\\init", std::nullopt, {}},
        ParseCase{"system", std::nullopt, {}},
        ParseCase{"", std::nullopt, {}},
        ParseCase{"1:\\a", std::nullopt, {}},
        ParseCase{":\\a", std::nullopt, {}},
        ParseCase{"/etc/passwd", std::nullopt, {}}));

struct SplitCase {
  const char* path;
  const char* parent;
  const char* name;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, ParentAndName) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(ParentFolderName(c.path), c.parent) << c.path;
  EXPECT_EQ(FileName(c.path), c.name) << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitTest,
    ::testing::Values(SplitCase{"\\sub\\name.ext", "\\sub", "name.ext"},
                      SplitCase{"\\a.bin", "\\", "a.bin"},
                      SplitCase{"E:\\a.bin", "E:\\", "a.bin"},
                      SplitCase{"E:\\sub\\a.bin", "E:\\sub", "a.bin"},
                      SplitCase{"E:a.bin", "E:", "a.bin"},
                      SplitCase{"sub\\name.ext", "sub", "name.ext"},
                      SplitCase{"a.bin", "", "a.bin"},
                      SplitCase{"", "", ""},
                      SplitCase{"\\sub\\", "\\sub", ""},
                      SplitCase{"\\", "\\", ""},
                      SplitCase{"/sub/b.bin", "/sub", "b.bin"},
                      SplitCase{"\\sub/deeper\\b.bin", "\\sub/deeper", "b.bin"},
                      SplitCase{"\\sub\\\\b.bin", "\\sub", "b.bin"},
                      SplitCase{"\\\\b.bin", "\\", "b.bin"}));

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

class WildcardTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(WildcardTest, Matches) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, WildcardTest,
    ::testing::Values(MatchCase{"Virdo*.mem", "Virdo.mem", true},
                      MatchCase{"Virdo*.mem", "Virdo5.mem", true},
                      MatchCase{"Virdo*.mem", "VIRDO_ALPHA.MEM", true},
                      MatchCase{"Virdo*.mem", "virdo5.Mem", true},
                      MatchCase{"Virdo*.mem", "Virdo5.mem.bak", false},
                      MatchCase{"Virdo*.mem", "OldVirdo5.mem", false},
                      MatchCase{"Virdo*.mem", "Virdo5.me", false},
                      MatchCase{"Virdo*.mem", "Virdo.mem.mem", true},
                      MatchCase{"Virdo?.mem", "Virdo5.mem", true},
                      MatchCase{"Virdo?.mem", "Virdo.mem", false},
                      MatchCase{"Virdo?.mem", "Virdo55.mem", false},
                      MatchCase{"Virdo?.mem", "Virdoé.mem", true},  // one character, two bytes
                      MatchCase{"*", "anything", true},
                      MatchCase{"*", "", true},
                      MatchCase{"a*b*c", "aXbYbZc", true},
                      MatchCase{"a*b*c", "aXbYbZ", false},
                      MatchCase{"ÉTÉ*.mem", "été1.MEM", true},
                      MatchCase{"Ж*", "жук", true}));

TEST(FoldCaseTest, InvalidBytesOnlyMatchThemselves) {
  EXPECT_TRUE(SameNameIgnoringCase("a\xff", "A\xff"));
  EXPECT_FALSE(SameNameIgnoringCase("a\xff", "a\xfe"));
  // Latin-1 bytes are not UTF-8: "\xe9" is not the letter é.
  EXPECT_FALSE(SameNameIgnoringCase("\xe9", "é"));
  EXPECT_FALSE(SameNameIgnoringCase("x", "×"));
}

struct UuidCase {
  const char* uuid;
  std::uint32_t serial;
};

class SerialFromUuidTest : public ::testing::TestWithParam<UuidCase> {};

TEST_P(SerialFromUuidTest, Converts) {
  EXPECT_EQ(static_cast<std::uint32_t>(SerialFromUuid(GetParam().uuid)), GetParam().serial)
      << GetParam().uuid;
}

INSTANTIATE_TEST_SUITE_P(Ids, SerialFromUuidTest,
                         ::testing::Values(UuidCase{"1234-ABCD", 0x1234ABCDu},
                                           UuidCase{"abcd-ef01", 0xABCDEF01u},
                                           UuidCase{"FFFF-FFFF", 0xFFFFFFFFu},
                                           UuidCase{"00FF", 0xFFu},
                                           UuidCase{"0123456789ABCDEF", 0x89ABCDEFu},
                                           UuidCase{"", 0},
                                           UuidCase{"not-hex!", 0}));

TEST(DecodeUdevEscapesTest, KeepsBlanksAndCase) {
  EXPECT_EQ(DecodeUdevEscapes("VIRDO\\x20"), "VIRDO ");
  EXPECT_EQ(DecodeUdevEscapes("My\\x20Disk\\x2f2"), "My Disk/2");
  EXPECT_EQ(DecodeUdevEscapes("virdo"), "virdo");
  EXPECT_EQ(DecodeUdevEscapes("a\\x2"), "a\\x2");   // cut short: kept as it is
  EXPECT_EQ(DecodeUdevEscapes("a\\xZZ"), "a\\xZZ");
}

struct StampCase {
  time_t sec;
  long nsec;
  time_t rounded;
};

class FatStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(FatStampTest, NeverEarlierThanTheSource) {
  const StampCase& c = GetParam();
  struct timespec r = FatStampRoundedUp({c.sec, c.nsec});
  EXPECT_EQ(r.tv_sec, c.rounded) << c.sec << "." << c.nsec;
  EXPECT_EQ(r.tv_nsec, 0);
}

INSTANTIATE_TEST_SUITE_P(Stamps, FatStampTest,
                         ::testing::Values(StampCase{1000, 0, 1000},
                                           StampCase{1000, 1, 1002},
                                           StampCase{1000, 999999999, 1002},
                                           StampCase{1001, 0, 1002},
                                           StampCase{1001, 500000000, 1002},
                                           StampCase{-3, 0, -2}));

TEST(PseudoFileSystemTest, ImagesAndKernelViewsTakeNoLetter) {
  for (const char* t : {"proc", "sysfs", "cgroup2", "squashfs", "nsfs", "devtmpfs", "autofs"})
    EXPECT_TRUE(IsPseudoFileSystem(t)) << t;
  for (const char* t : {"vfat", "ext4", "tmpfs", "nfs4", "fuse.sshfs", "iso9660", "btrfs"})
    EXPECT_FALSE(IsPseudoFileSystem(t)) << t;
}

}  // namespace
}  // namespace virdo::linuxfs
