// Windows paths on the POSIX stand-in: drives from a Wine-style prefix, names resolved
// exact-first and then the Windows way, folder listings kept while nothing changes, and
// the file search's patterns and attributes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Module1.h"
#include "common/CM_FileFolderSystem.h"
#include "platform/error.h"
#include "platform/filesearch.h"
#include "platform/folderlists.h"
#include "platform/posix/winpath.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using platform::posix::CurrentWindowsFolder;
using platform::posix::FolderEntriesRead;
using platform::posix::Locate;
using platform::posix::MatchesPattern;
using platform::posix::ParseWindowsPath;
using platform::posix::PrefixDrives;
using platform::posix::WindowsNameOf;
using testsupport::AsUnprivilegedUser;
using testsupport::kSkipped;
using testsupport::ScratchDrives;
using testsupport::Settings;
using testsupport::SettingsFileOf;

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
  const auto letters = [] {
    std::string listed;
    for (const platform::DriveRef& drive : PrefixDrives()) {
      listed += drive.letter;
    }
    return listed;
  };
  EXPECT_EQ(letters(), "cdefg");
  EXPECT_FALSE(ParseWindowsPath("Z:\\etc"));  // this prefix has no Z:

  const char* prefix = std::getenv("WINEPREFIX");
  ASSERT_NE(prefix, nullptr);
  const std::string saved = prefix;
  const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  // Without a usable prefix Z: is the only drive, and standard error says why, once.
  const std::string broken = "/nonexistent-prefix-" + std::to_string(getpid());
  setenv("WINEPREFIX", broken.c_str(), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(letters(), "z");
  EXPECT_EQ(HostOf("Z:\\etc"), "/etc");
  unsetenv("WINEPREFIX");
  setenv("HOME", broken.c_str(), 1);
  EXPECT_EQ(HostOf("Z:\\etc"), "/etc");
  EXPECT_EQ(letters(), "z");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "zelfix: WINEPREFIX=" + broken +
                " has no dosdevices folder (mistyped, or a prefix that Wine never started): "
                "using Z: (the root of the file system) as the only drive\n"
                "zelfix: WINEPREFIX is not set and " +
                broken +
                "/.wine has no dosdevices folder: using Z: (the root of the file system) as "
                "the only drive\n");
  setenv("HOME", savedHome.c_str(), 1);
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
  // A name that matches nothing is created as Windows would name it.
  EXPECT_EQ(HostOf("C:\\Program Files\\TAMO\\new. .\\x"),
            HostOf("C:\\Program Files\\TAMO") + "/new/x");
}

TEST(WindowsPaths, ANameThatExistsExactlyIsUsedAsItIs) {
  ScratchDrives drives;
  drives.MakeFolder("C:\\zelfix-test");
  const std::string folder = HostOf("C:\\zelfix-test");
  // Siblings that Windows would take for one name.
  for (const char* name : {"inst.", "inst", "solo ", "Case", "case", "line\nfeed"}) {
    fs::create_directory(folder + "/" + name);
  }
  const struct {
    const char* asked;
    const char* used;
  } cases[] = {
      {"inst.", "inst."},
      {"inst", "inst"},
      {"solo ", "solo "},
      {"Case", "Case"},
      {"case", "case"},
      // No exact match: the one differing only in case, else the first in byte order.
      {"INST.", "inst."},
      {"INST", "inst"},
      {"solo", "solo "},
      {"SOLO.", "solo "},
      {"CASE", "Case"},
      // A host name's line break, as listings give it (U+F00A), names the real entry.
      {"line\uF00Afeed", "line\nfeed"},
      {"LINE\uF00AFEED", "line\nfeed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostOf("C:\\zelfix-test\\" + std::string(c.asked) + "\\x"),
              folder + "/" + c.used + "/x")
        << '"' << c.asked << '"';
  }
}

// The folder window opens a folder whose name Windows could not have, and the chosen
// folder is the one repaired.
TEST(WindowsPaths, TheChosenFolderIsTheOneRepaired) {
  ScratchDrives drives;
  const std::string original = Settings("10.1.1.1");
  for (const char* name : {"inst.", "inst", "solo "}) {
    drives.MakeFolder("C:\\zelfix-test");
    const std::string tamo = HostOf("C:\\zelfix-test") + "/" + name + "/TAMO";
    fs::create_directories(tamo + "/ZEL1/BIN");
    std::ofstream(tamo + "/ZEL1/BIN/ZEL1.SYS", std::ios::binary) << original;
  }
  testsupport::RecordingDialogs dialogs;
  platform::FolderList list;
  for (const std::string name : {"inst.", "solo "}) {
    SCOPED_TRACE(name);
    const std::string folder = "C:\\zelfix-test\\" + name;
    ASSERT_NO_THROW(list.SetPath(folder));
    EXPECT_EQ(list.Path(), folder);
    ASSERT_EQ(list.SubfolderCount(), 1);
    EXPECT_TRUE(app::RepairChosenFolder(list.PathAt(0)));
    EXPECT_EQ(
        common::ReadProfileString(SettingsFileOf(folder + "\\TAMO\\ZEL1"), "web", "webserver", ""),
        app::TargetServerAddress);
  }
  std::ifstream plain(HostOf("C:\\zelfix-test") + "/inst/TAMO/ZEL1/BIN/ZEL1.SYS", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(plain), {}), original);
}

// A large C:\ is read at most twice however many lookups go through it, and again once
// it changes.
TEST(WindowsPaths, LargeFoldersAreKeptUntilTheyChange) {
  ScratchDrives drives;
  const std::string root = HostOf("C:\\");
  const std::size_t folders = 10000;
  for (std::size_t i = 0; i < folders; ++i) {
    fs::create_directory(root + "/folder" + std::to_string(i));
  }
  // Nothing installed: the whole automatic run, twice, and the folder window opening on
  // C:\, within three listings' worth of entries.
  std::size_t before = FolderEntriesRead();
  app::Tally tally;
  app::RepairAllInstallations(tally);
  app::RepairAllInstallations(tally);
  platform::DriveList driveList;
  platform::FolderList folderList;
  EXPECT_EQ(folderList.Path(), "C:\\");
  EXPECT_GE(folderList.SubfolderCount(), static_cast<int>(folders));
  EXPECT_LE(FolderEntriesRead() - before, 3 * folders);

  before = FolderEntriesRead();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(HostOf("C:\\FOLDER" + std::to_string(i)), root + "/folder" + std::to_string(i));
    EXPECT_FALSE(platform::FindFirstEntry("C:\\missing" + std::to_string(i)));
  }
  EXPECT_EQ(FolderEntriesRead() - before, 0u);

  // A name created, renamed or removed is seen at once.
  fs::create_directory(root + "/Fresh");
  EXPECT_EQ(HostOf("C:\\fresh"), root + "/Fresh");
  fs::rename(root + "/Fresh", root + "/Renamed");
  EXPECT_EQ(HostOf("C:\\RENAMED"), root + "/Renamed");
  EXPECT_FALSE(platform::FindFirstEntry("C:\\fresh"));
  fs::remove(root + "/Renamed");
  EXPECT_FALSE(platform::FindFirstEntry("C:\\renamed"));
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
  fs::create_directory(HostOf("C:\\zelfix-test") + "/line\nfeed");

  std::vector<std::string> names;
  std::vector<std::uint32_t> attributes;
  for (const auto& entry : platform::FindEntries("C:\\zelfix-test\\*")) {
    names.push_back(entry.name);
    attributes.push_back(entry.attributes);
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", ".hidden", "A.txt", "b.txt",
                                             "line\uF00Afeed", "ro.txt", "Sub"}));
  EXPECT_EQ(attributes,
            (std::vector<std::uint32_t>{0x10, 0x10, 0x22, 0x20, 0x20, 0x10, 0x21, 0x10}));

  const auto single = platform::FindFirstEntry("c:\\ZELFIX-TEST\\a.TXT");
  ASSERT_TRUE(single);
  EXPECT_EQ(single->name, "A.txt");
  EXPECT_FALSE(platform::FindFirstEntry("C:\\zelfix-test\\*.none"));
  EXPECT_FALSE(platform::FindFirstEntry("C:\\"));
}

TEST(WindowsPaths, AFolderThatMayNotBeReadSaysSo) {
  ScratchDrives drives;
  drives.MakeFolder("C:\\zelfix-test\\locked\\sub");
  drives.WriteFile(SettingsFileOf("C:\\Program Files\\TAMO\\ZEL1"), Settings("10.1.1.1"));
  const int status = AsUnprivilegedUser([&] {
    ASSERT_EQ(chmod(HostOf("C:\\zelfix-test\\locked").c_str(), 0), 0);
    platform::FolderList list;
    for (const char* folder : {"C:\\zelfix-test\\locked", "C:\\zelfix-test\\LOCKED\\sub"}) {
      try {
        list.SetPath(folder);
        ADD_FAILURE() << folder << " opened";
      } catch (const platform::RuntimeError& error) {
        EXPECT_EQ(error.Number(), platform::kPermissionDeniedErrorNumber) << folder;
        EXPECT_EQ(error.Description(), "拒绝的权限") << folder;
      }
    }

    // An installation behind a folder that may not be read is not found, and standard
    // error says why, once.
    const std::string programFiles = HostOf("C:\\Program Files");
    ASSERT_EQ(chmod(programFiles.c_str(), 0), 0);
    app::Tally tally;
    testing::internal::CaptureStderr();
    app::RepairAllInstallations(tally);
    app::RepairAllInstallations(tally);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zelfix: permission denied: cannot look into C:\\Program Files (" + programFiles +
                  "), so nothing in it can be found\n");
    EXPECT_EQ(tally.FoundCount(), 0);
    chmod(programFiles.c_str(), 0755);
    chmod(HostOf("C:\\zelfix-test\\locked").c_str(), 0755);
  });
  if (status == kSkipped) {
    GTEST_SKIP() << "cannot run as an unprivileged user here";
  }
  EXPECT_EQ(status, 0);
}

}  // namespace
