// Windows paths on the POSIX stand-in: drives from a Wine-style prefix, names matched
// without regard to case, and the file search's patterns and attributes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/filesearch.h"
#include "platform/posix/winpath.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using platform::posix::CurrentWindowsFolder;
using platform::posix::DriveLetters;
using platform::posix::Locate;
using platform::posix::MatchesPattern;
using platform::posix::ParseWindowsPath;
using platform::posix::WindowsNameOf;
using testsupport::ScratchDrives;

std::string HostOf(const std::string& windowsPath) {
  const auto parsed = ParseWindowsPath(windowsPath);
  return parsed ? Locate(*parsed).hostPath : std::string("<unparsed>");
}

// Runs a block with the current folder changed, and changes it back.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& host) : saved_(fs::current_path()) {
    fs::current_path(host);
  }
  ~CurrentFolder() { fs::current_path(saved_); }

 private:
  fs::path saved_;
};

TEST(WindowsPaths, DrivesComeFromThePrefix) {
  ScratchDrives drives;
  EXPECT_EQ(DriveLetters(), (std::vector<char>{'c', 'd', 'e', 'f', 'g'}));
  EXPECT_FALSE(ParseWindowsPath("Z:\\etc"));  // this prefix has no Z:

  const char* prefix = std::getenv("WINEPREFIX");
  ASSERT_NE(prefix, nullptr);
  const std::string saved = prefix;
  setenv("WINEPREFIX", "/nonexistent-prefix", 1);
  EXPECT_EQ(DriveLetters(), std::vector<char>{'z'});
  EXPECT_EQ(HostOf("Z:\\etc"), "/etc");
  setenv("WINEPREFIX", saved.c_str(), 1);
}

TEST(WindowsPaths, NamesMatchWithoutRegardToCase) {
  ScratchDrives drives;
  drives.WriteFile("C:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS", "x");
  const std::string expected = HostOf("C:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS");
  EXPECT_EQ(HostOf("c:\\program files\\tamo\\zel1\\bin\\zel1.sys"), expected);
  EXPECT_EQ(HostOf("C:/Program Files/tamo/Zel1/bin/ZEL1.SYS"), expected);
  EXPECT_EQ(HostOf("C:\\Program Files\\\\TAMO\\.\\x\\..\\ZEL1\\BIN\\ZEL1.SYS"), expected);
  // Windows drops trailing dots and spaces from names.
  EXPECT_EQ(HostOf("C:\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS. "), expected);
  // ".." never climbs above the drive's root.
  EXPECT_EQ(HostOf("C:\\..\\..\\Program Files\\TAMO\\ZEL1\\BIN\\ZEL1.SYS"), expected);
  // Where the host holds names that differ only in case, an exact match wins.
  drives.MakeFolder("C:\\zelfix-test");
  std::ofstream(HostOf("C:\\zelfix-test") + "/Name") << "upper";
  std::ofstream(HostOf("C:\\zelfix-test") + "/name") << "lower";
  EXPECT_EQ(drives.ReadFile("C:\\zelfix-test\\name"), "lower");
  EXPECT_EQ(drives.ReadFile("C:\\zelfix-test\\Name"), "upper");
}

TEST(WindowsPaths, ShapesThatNameNothing) {
  ScratchDrives drives;
  EXPECT_FALSE(ParseWindowsPath(""));
  EXPECT_FALSE(ParseWindowsPath("\\\\server\\share\\file"));
  EXPECT_FALSE(ParseWindowsPath("Q:\\file"));
  const auto trailing = ParseWindowsPath("C:\\zelfix-test\\");
  ASSERT_TRUE(trailing);
  EXPECT_TRUE(trailing->trailingSeparator);
  const auto missing = ParseWindowsPath("C:\\missing\\deeper");
  ASSERT_TRUE(missing);
  EXPECT_FALSE(Locate(*missing).exists);
}

TEST(WindowsPaths, CurrentFolderIsNamedUnderItsDrive) {
  ScratchDrives drives;
  drives.MakeFolder("D:\\work\\deeper");
  {
    CurrentFolder inside(HostOf("D:\\work\\deeper"));
    EXPECT_EQ(CurrentWindowsFolder(), "D:\\work\\deeper");
    // Relative and drive-relative paths start from there.
    EXPECT_EQ(HostOf("x.txt"), HostOf("D:\\work\\deeper\\x.txt"));
    EXPECT_EQ(HostOf("D:x.txt"), HostOf("D:\\work\\deeper\\x.txt"));
    EXPECT_EQ(HostOf("\\x.txt"), HostOf("D:\\x.txt"));
    EXPECT_EQ(HostOf("E:x.txt"), HostOf("E:\\x.txt"));
  }
  // Outside every drive, and with no Z: in the prefix, the fallback name is Z:\.
  CurrentFolder outside("/");
  EXPECT_EQ(CurrentWindowsFolder(), "Z:\\");
}

TEST(WindowsPaths, PatternsMatchLikeWindows) {
  const struct {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*", "anything", true},
      {"*.*", "noextension", true},
      {"*.sys", "ZEL1.SYS", true},
      {"zel?.sys", "ZEL1.SYS", true},
      {"zel?.sys", "ZEL12.SYS", false},
      {"*.sys", "ZEL1.SYS.bak", false},
      {"z*1*", "ZEL1.SYS", true},
      {"目录*", "目录一", true},
      {"abc", "ABC", true},
      {"abc", "abcd", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesPattern(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

TEST(FileSearch, ListsDotEntriesFirstThenByName) {
  ScratchDrives drives;
  drives.WriteFile("C:\\zelfix-test\\b.txt", "x");
  drives.WriteFile("C:\\zelfix-test\\A.txt", "x");
  drives.WriteFile("C:\\zelfix-test\\.hidden", "x");
  drives.WriteFile("C:\\zelfix-test\\ro.txt", "x");
  drives.SetReadOnly("C:\\zelfix-test\\ro.txt");
  drives.MakeFolder("C:\\zelfix-test\\Sub");

  std::vector<std::string> names;
  std::vector<std::uint32_t> attributes;
  for (const auto& entry : platform::FindEntries("C:\\zelfix-test\\*")) {
    names.push_back(entry.name);
    attributes.push_back(entry.attributes);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{".", "..", ".hidden", "A.txt", "b.txt", "ro.txt", "Sub"}));
  EXPECT_EQ(attributes, (std::vector<std::uint32_t>{0x10, 0x10, 0x22, 0x20, 0x20, 0x21, 0x10}));

  const auto single = platform::FindFirstEntry("c:\\ZELFIX-TEST\\a.TXT");
  ASSERT_TRUE(single);
  EXPECT_EQ(single->name, "A.txt");
  EXPECT_FALSE(platform::FindFirstEntry("C:\\zelfix-test\\*.none"));
  EXPECT_FALSE(platform::FindFirstEntry("C:\\"));
}

}  // namespace
