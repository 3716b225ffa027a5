// The read buffer on the stand-in back-end: at most 254 UTF-16 units of a value reach
// the program, and a character is never split to fit.
#include <gtest/gtest.h>

#include <string>

#include "common/CM_FileFolderSystem.h"
#include "tests/support/ScratchDrives.h"

namespace {

using testsupport::ScratchDrives;

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += text;
  }
  return out;
}

struct LimitCase {
  const char* name;
  std::string file, expected;
};

TEST(ProfileBufferLimit, AtMost254UnitsWithoutSplittingACharacter) {
  const std::string utf8 = "\xEF\xBB\xBF[web]\r\nwebserver=";
  const std::string gbkChinese = "\xD6\xD0";  // 中
  const LimitCase cases[] = {
      {"254 letters fit", utf8 + std::string(254, 'a'), std::string(254, 'a')},
      {"the 255th is cut", utf8 + std::string(255, 'a'), std::string(254, 'a')},
      {"a pair of units that fits", utf8 + std::string(252, 'a') + "😀",
       std::string(252, 'a') + "😀"},
      {"a pair of units that does not", utf8 + std::string(253, 'a') + "😀b", std::string(253, 'a')},
      {"GBK counts characters, not bytes", "[web]\r\nwebserver=" + Repeat(gbkChinese, 300),
       Repeat("中", 254)},
      {"quotes go before the cut", utf8 + "\"" + std::string(300, 'a') + "\"",
       std::string(254, 'a')},
  };
  ScratchDrives drives;
  const std::string file = ScratchDrives::Scratch() + "\\ZEL1.SYS";
  for (const LimitCase& c : cases) {
    drives.WriteFile(file, c.file + "\r\n");
    EXPECT_EQ(common::ReadProfileString(file, "web", "webserver", "-"), c.expected) << c.name;
  }
}

}  // namespace
