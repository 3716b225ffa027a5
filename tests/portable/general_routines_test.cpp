// Text and path routines, on both back-ends (the ANSI count goes through the platform's
// code page: GBK natively, code page 936 under Wine).
#include <gtest/gtest.h>

#include <string>

#include "common/CM_GeneralRoutines.h"
#include "common/Overflow.h"

namespace {

using common::AddBackslash;
using common::AnsiLength;
using common::IsBlank;
using common::LastFolderName;

TEST(IsBlank, OnlySpacesAreBlank) {
  EXPECT_TRUE(IsBlank(""));
  EXPECT_TRUE(IsBlank("   "));
  EXPECT_FALSE(IsBlank("  x  "));
  // Tabs, line breaks and NUL are content, not blanks.
  EXPECT_FALSE(IsBlank("\t"));
  EXPECT_FALSE(IsBlank("\r\n"));
  EXPECT_FALSE(IsBlank(std::string(1, '\0')));
}

TEST(AnsiLength, CountsCodePageBytes) {
  EXPECT_EQ(AnsiLength(""), 0);
  EXPECT_EQ(AnsiLength("修复ZEL服务器迁移IP地址冲突"), 27);
  EXPECT_EQ(AnsiLength("指定目录已完成修复"), 18);
  EXPECT_EQ(AnsiLength("系统没有定位到ZEL检测系统的安装目录，请指定"), 43);
  EXPECT_EQ(AnsiLength("\r\n"), 2);
  // Only the bytes before a NUL count.
  EXPECT_EQ(AnsiLength(std::string("ab\0cd", 5)), 2);
  // A character the code page lacks becomes one replacement byte per UTF-16 unit, or
  // the look-alike Windows writes instead ("¢" as "￠", "ª" as "a").
  EXPECT_EQ(AnsiLength("a\xF0\x9F\x98\x80"
                       "b"),
            4);
  EXPECT_EQ(AnsiLength("¢ª\u180E"), 4);
  // Characters only Windows' own table holds.
  EXPECT_EQ(AnsiLength("€\uE15F\uF8F5"), 4);
}

TEST(AnsiLength, OverflowsAbove32767Bytes) {
  EXPECT_EQ(AnsiLength(std::string(32767, 'x')), 32767);
  try {
    AnsiLength(std::string(32768, 'x'));
    FAIL() << "no overflow error";
  } catch (const common::RuntimeError& error) {
    EXPECT_EQ(error.Description(), "溢出");
    EXPECT_EQ(error.Number(), common::kOverflowErrorNumber);
  }
  // Two bytes a character: 16384 Chinese characters are 32768 bytes.
  std::string chinese;
  for (int i = 0; i < 16384; ++i) {
    chinese += "中";
  }
  EXPECT_THROW(AnsiLength(chinese), common::RuntimeError);
}

TEST(AddBackslash, AddsExactlyOne) {
  EXPECT_EQ(AddBackslash("C:"), "C:\\");
  EXPECT_EQ(AddBackslash("C:\\"), "C:\\");
  EXPECT_EQ(AddBackslash(""), "\\");
  EXPECT_EQ(AddBackslash("C:\\a\\\\"), "C:\\a\\\\");
  EXPECT_EQ(AddBackslash("C:/a/"), "C:/a/\\");
}

TEST(LastFolderName, Table) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"C:\\Program Files\\TAMO\\ZEL1", "ZEL1"},
      {"C:\\Program Files\\TAMO\\ZEL1\\", "ZEL1"},
      {"C:\\", "C:"},
      {"C:", "C:"},
      {"bin", "bin"},
      {"\\", ""},
      {"", ""},
      {"C:\\ab\\\\", ""},
      {"\\\\srv\\share", "share"},
      {"D:\\Program Files\\TAMO\\ZEL1\\BIN", "BIN"},
      {"C:/Program Files/TAMO", "C:/Program Files/TAMO"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastFolderName(c.path), c.name) << c.path;
  }
}

TEST(CheckedCount, RaisesInsteadOfWrapping) {
  EXPECT_EQ(common::CheckedCount(2147483647u), 2147483647);
  EXPECT_THROW(common::CheckedCount(2147483648u), common::RuntimeError);
}

}  // namespace
