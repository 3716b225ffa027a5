// How profile files read, on both back-ends. What a write leaves in the file differs by
// design (Windows rewrites the whole file), so writes are only checked by reading back.
#include <gtest/gtest.h>

#include <string>

#include "common/CM_FileFolderSystem.h"
#include "tests/support/ScratchDrives.h"

namespace {

using testsupport::ScratchDrives;
using namespace std::string_literals;

const std::string kDefault = "  <none> ";  // handed back exactly as given

std::string File() {
  return ScratchDrives::Scratch() + "\\ZEL1.SYS";
}

std::string Read(const std::string& section, const std::string& key) {
  return common::ReadProfileString(File(), section, key, kDefault);
}

// ASCII text as UTF-16LE with its byte-order mark.
std::string Utf16Le(const std::string& ascii) {
  std::string bytes = "\xFF\xFE";
  for (const char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

struct ReadCase {
  const char* name;
  std::string file, section, key, expected;
};

TEST(ProfileRules, Reads) {
  const std::string letters(300, 'a');
  const ReadCase cases[] = {
      {"letter case", "[WEB]\r\nWebServer=1.2.3.4\r\n", "web", "webserver", "1.2.3.4"},
      {"double quotes", "[web]\r\nwebserver=\"1.2.3.4\"\r\n", "web", "webserver", "1.2.3.4"},
      {"single quotes", "[web]\r\nwebserver='a b'\r\n", "web", "webserver", "a b"},
      {"spaces", "[web]\r\n  webserver  =   1.2.3.4   \r\n", "web", "webserver", "1.2.3.4"},
      {"spaces in brackets", "[ web ]\r\nwebserver=1\r\n", "web", "webserver", "1"},
      {"empty value", "[web]\r\nwebserver=\r\n", "web", "webserver", kDefault},
      {"missing key", "[web]\r\nother=1\r\n", "web", "webserver", kDefault},
      {"missing section", "[other]\r\nwebserver=1\r\n", "web", "webserver", kDefault},
      {"commented out", "[web]\r\n;webserver=1\r\n", "web", "webserver", kDefault},
      {"300 letters", "[web]\r\nwebserver=" + letters + "\r\n", "web", "webserver",
       letters.substr(0, 254)},
      {"GBK", "[web]\r\nwebserver=\xD6\xD0\xCE\xC4\r\n", "web", "webserver", "中文"},
      // Code page 936 as Windows has it: a user-defined character, the euro sign and 0xFF;
      // a lead byte takes whatever follows as its partner, a pair not in the table reads
      // as one "?", and the bytes after it are read in step.
      {"user-defined, euro, FF", "[web]\r\nwebserver=\xAD\xE6\x80\xFF\xD6\xD0\r\n", "web",
       "webserver", "\uE15F€\uF8F5中"},
      {"lead byte pairs with anything",
       "[web]\r\nwebserver=\x81\x7F\xD6\xD0\xFE\xFF\xCE\xC4\x81 A\xA1\r\n", "web", "webserver",
       "?中?文?A?"},
      {"first key wins", "[web]\r\nwebserver=1\r\nWEBSERVER=2\r\n", "web", "webserver", "1"},
      {"first section wins", "[web]\r\nwebserver=1\r\n[web]\r\nwebserver=2\r\n", "web", "webserver",
       "1"},
      {"later section never consulted", "[web]\r\na=1\r\n[web]\r\nwebserver=2\r\n", "web",
       "webserver", kDefault},
      {"UTF-8 BOM", "\xEF\xBB\xBF[web]\r\nwebserver=中文\r\n", "web", "webserver", "中文"},
      {"UTF-16LE BOM",
       Utf16Le("[web]\r\nwebserver=") + "\x2D\x4E\x87\x65" + Utf16Le("\r\n").substr(2), "web",
       "webserver", "中文"},
  };
  ScratchDrives drives;
  for (const ReadCase& c : cases) {
    drives.WriteFile(File(), c.file);
    EXPECT_EQ(Read(c.section, c.key), c.expected) << c.name;
  }
}

TEST(ProfileRules, MissingFileGivesTheDefault) {
  ScratchDrives drives;
  EXPECT_EQ(Read("web", "webserver"), kDefault);
}

TEST(ProfileRules, WriteCreatesTheSection) {
  ScratchDrives drives;
  drives.WriteFile(File(), "[other]\r\nx=1\r\n");
  EXPECT_EQ(common::WriteProfileString(File(), "web", "webserver", "10.0.0.1").problem,
            platform::FileProblem::kNone);
  EXPECT_EQ(Read("web", "webserver"), "10.0.0.1");
  EXPECT_EQ(Read("other", "x"), "1");
}

TEST(ProfileRules, BlankNamesAreNotWritten) {
  ScratchDrives drives;
  const std::string original = "[web]\r\nwebserver=1\r\n";
  drives.WriteFile(File(), original);
  EXPECT_NE(common::WriteProfileString(File(), "", "webserver", "2").problem,
            platform::FileProblem::kNone);
  EXPECT_NE(common::WriteProfileString(File(), "web", "  ", "2").problem,
            platform::FileProblem::kNone);
  EXPECT_EQ(drives.ReadFile(File()), original);
}

TEST(ProfileRules, ReadOnlyFileIsNotWritten) {
  ScratchDrives drives;
  drives.WriteFile(File(), "[web]\r\nwebserver=1\r\n");
  drives.SetReadOnly(File());
  const platform::FileResult result = common::WriteProfileString(File(), "web", "webserver", "2");
  EXPECT_EQ(result.problem, platform::FileProblem::kReadOnly);
  EXPECT_NE(result.systemCode, 0);
  EXPECT_EQ(Read("web", "webserver"), "1");
}

// Nothing to read is no problem; a file that is there but cannot be read is one.
TEST(ProfileRules, ReadSaysWhyAFileCouldNotBeRead) {
  ScratchDrives drives;
  drives.WriteFile(File(), "[web]\r\nother=1\r\n");
  drives.MakeFolder(ScratchDrives::Scratch() + "\\BIN");
  for (const std::string name : {"NONE.SYS", "none\\ZEL1.SYS", "ZEL1.SYS", "BIN"}) {
    platform::FileResult result{platform::FileProblem::kUnknown, -1};
    common::ReadProfileString(ScratchDrives::Scratch() + "\\" + name, "web", "webserver", "",
                              result);
    EXPECT_EQ(result.problem,
              name == "BIN" ? platform::FileProblem::kAccessDenied : platform::FileProblem::kNone)
        << name;
    EXPECT_EQ(result.systemCode != 0, name == "BIN") << name;
  }
}

}  // namespace
