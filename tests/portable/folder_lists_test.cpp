// The drive list and folder list models and the directory search, on the scratch drives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/filesearch.h"
#include "platform/folderlists.h"
#include "tests/support/ScopedCurrentFolder.h"
#include "tests/support/ScratchDrives.h"

namespace {

using platform::DirectorySearch;
using platform::DriveList;
using platform::FolderList;
using testsupport::ScopedCurrentFolder;
using testsupport::ScratchDrives;

const std::string kTree = "C:\\zelfix-test\\Tree";
const std::string kMiddle = kTree + "\\Middle";

// C:\zelfix-test\Tree\Middle holds folders whose order differs with and without regard
// to case, a hidden folder and a plain file.
void MakeTree(ScratchDrives& drives) {
  for (const char* name : {"beta", "Alpha", "Gamma", "delta", ".hidden"}) {
    drives.MakeFolder(kMiddle + "\\" + name);
  }
  drives.MakeHidden(kMiddle + "\\.hidden");
  drives.WriteFile(kMiddle + "\\afile.txt", "x");
}

std::vector<std::string> Subfolders(const FolderList& list) {
  std::vector<std::string> names;
  for (int i = 0; i < list.SubfolderCount(); ++i) {
    names.push_back(list.NameAt(i));
  }
  return names;
}

int ErrorNumberOf(FolderList& list, const std::string& path) {
  try {
    list.SetPath(path);
  } catch (const platform::RuntimeError& error) {
    return error.Number();
  }
  return 0;
}

TEST(FolderList, NumbersAncestorsOpenFolderAndSubfolders) {
  ScratchDrives drives;
  MakeTree(drives);
  FolderList list;
  // Names are taken as the drive stores them, whatever the case and separators given.
  EXPECT_TRUE(list.SetPath("c:/ZELFIX-TEST\\tree\\.\\middle\\"));
  EXPECT_EQ(list.Path(), kMiddle);
  EXPECT_EQ(list.HighlightedIndex(), -1);

  ASSERT_EQ(list.AncestorCount(), 3);
  EXPECT_EQ(list.PathAt(-1), kMiddle);
  EXPECT_EQ(list.PathAt(-2), kTree);
  EXPECT_EQ(list.PathAt(-3), "C:\\zelfix-test");
  EXPECT_EQ(list.PathAt(-4), "C:\\");
  EXPECT_EQ(list.PathAt(-5), "");
  EXPECT_EQ(list.NameAt(-1), "Middle");
  EXPECT_EQ(list.NameAt(-4), "C:\\");

  // Sorted without regard to case; the hidden folder and the file are left out.
  EXPECT_EQ(Subfolders(list), (std::vector<std::string>{"Alpha", "beta", "delta", "Gamma"}));
  EXPECT_EQ(list.PathAt(0), kMiddle + "\\Alpha");
  EXPECT_EQ(list.PathAt(3), kMiddle + "\\Gamma");
  EXPECT_EQ(list.PathAt(4), "");
}

TEST(FolderList, RootHasNoAncestors) {
  ScratchDrives drives;
  drives.MakeFolder("C:\\zelfix-test");
  FolderList list;
  list.SetPath("C:\\");
  EXPECT_EQ(list.Path(), "C:\\");
  EXPECT_EQ(list.AncestorCount(), 0);
  EXPECT_EQ(list.PathAt(-1), "C:\\");
  EXPECT_EQ(list.NameAt(-1), "C:\\");
  EXPECT_EQ(list.PathAt(-2), "");
  // Below a root the separator is not doubled.
  int index = 0;
  while (index < list.SubfolderCount() && list.NameAt(index) != "zelfix-test") {
    ++index;
  }
  ASSERT_LT(index, list.SubfolderCount()) << "C:\\zelfix-test not listed";
  EXPECT_EQ(list.PathAt(index), "C:\\zelfix-test");
}

TEST(FolderList, ClickHighlightsDoubleClickOpens) {
  ScratchDrives drives;
  MakeTree(drives);
  FolderList list;
  list.SetPath(kMiddle);

  list.Highlight(1);
  EXPECT_EQ(list.HighlightedIndex(), 1);
  EXPECT_EQ(list.Path(), kMiddle);
  list.Highlight(-3);
  EXPECT_EQ(list.HighlightedIndex(), -3);
  list.Highlight(7);  // no such entry
  EXPECT_EQ(list.HighlightedIndex(), -3);

  EXPECT_TRUE(list.Open(0));
  EXPECT_EQ(list.Path(), kMiddle + "\\Alpha");
  EXPECT_EQ(list.HighlightedIndex(), -1);
  EXPECT_EQ(list.SubfolderCount(), 0);

  EXPECT_TRUE(list.Open(-3));  // two steps up
  EXPECT_EQ(list.Path(), kTree);
  EXPECT_EQ(Subfolders(list), std::vector<std::string>{"Middle"});
  EXPECT_FALSE(list.Open(-1));  // already open
  EXPECT_FALSE(list.Open(5));
}

TEST(FolderList, DriveTextOpensThatDrivesCurrentFolder) {
  ScratchDrives drives;
  drives.MakeFolder("D:\\work\\deeper");
  drives.MakeFolder("E:\\data");
  ScopedCurrentFolder current(drives, "D:\\work");
  FolderList list;
  EXPECT_EQ(list.Path(), "D:\\work");  // where it starts

  EXPECT_TRUE(list.SetPath("E: [DATA]"));
  EXPECT_EQ(list.Path(), "E:\\");
  EXPECT_TRUE(list.SetPath("d:"));
  EXPECT_EQ(list.Path(), "D:\\work");
  EXPECT_FALSE(list.SetPath("D:"));
  // A drive-relative path starts from there too.
  EXPECT_TRUE(list.SetPath("d:deeper"));
  EXPECT_EQ(list.Path(), "D:\\work\\deeper");
}

TEST(FolderList, FailingSetPathKeepsWhatItShowed) {
  ScratchDrives drives;
  MakeTree(drives);
  FolderList list;
  list.SetPath(kMiddle);
  list.Highlight(2);

  EXPECT_EQ(ErrorNumberOf(list, "C:\\zelfix-test\\missing"), platform::kPathNotFoundErrorNumber);
  EXPECT_EQ(ErrorNumberOf(list, kMiddle + "\\afile.txt"), platform::kPathNotFoundErrorNumber);
  EXPECT_EQ(ErrorNumberOf(list, "C:\\zelfix-test\\Tr*"), platform::kPathNotFoundErrorNumber);
  EXPECT_EQ(ErrorNumberOf(list, "\\\\server\\share"), platform::kPathNotFoundErrorNumber);
  EXPECT_EQ(ErrorNumberOf(list, "H:"), platform::kDeviceUnavailableErrorNumber);
  EXPECT_EQ(ErrorNumberOf(list, "H:\\folder"), platform::kDeviceUnavailableErrorNumber);

  EXPECT_EQ(list.Path(), kMiddle);
  EXPECT_EQ(list.HighlightedIndex(), 2);
  EXPECT_EQ(list.AncestorCount(), 3);
  EXPECT_EQ(Subfolders(list), (std::vector<std::string>{"Alpha", "beta", "delta", "Gamma"}));
}

TEST(DriveList, SelectsTheCurrentDriveAndChangesByLetter) {
  ScratchDrives drives;
  drives.MakeFolder("D:\\work");
  ScopedCurrentFolder current(drives, "D:\\work");
  DriveList list;
  // Drive texts begin with the letter and a colon; a label may follow.
  EXPECT_EQ(list.Drive().substr(0, 2), "d:");

  EXPECT_TRUE(list.SetDrive("E:\\anything"));
  EXPECT_EQ(list.Drive().substr(0, 2), "e:");
  EXPECT_FALSE(list.SetDrive("e: [LABEL]"));

  EXPECT_THROW(list.SetDrive("H:"), platform::RuntimeError);
  EXPECT_THROW(list.SetDrive(""), platform::RuntimeError);
  EXPECT_EQ(list.Drive().substr(0, 2), "e:");
  EXPECT_FALSE(list.Select(-1));
  EXPECT_FALSE(list.Select(static_cast<int>(list.Entries().size())));
  EXPECT_EQ(list.Drive().substr(0, 2), "e:");
}

TEST(DirectorySearch, FindsWhatTheMaskAllows) {
  ScratchDrives drives;
  MakeTree(drives);
  const std::uint32_t folders = platform::kAttributeDirectory;
  const std::uint32_t hidden = platform::kAttributeHidden;
  const std::uint32_t mask = folders | hidden;  // 18

  EXPECT_EQ(DirectorySearch("", mask), "");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\Alpha", mask), "Alpha");
  EXPECT_EQ(DirectorySearch("c:\\zelfix-test\\tree\\MIDDLE\\alpha", mask), "Alpha");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\.hidden", mask), ".hidden");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\afile.txt", mask), "afile.txt");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\G*", mask), "Gamma");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\*.none", mask), "");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\missing", mask), "");
  EXPECT_EQ(DirectorySearch("H:\\anything", mask), "");

  // Without the folder bit only files count, without the hidden bit no hidden entry.
  EXPECT_EQ(DirectorySearch(kMiddle + "\\Alpha", hidden), "");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\*", 0), "afile.txt");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\.hidden", folders), "");
  // A trailing separator searches the folder's contents, where "." comes first: an
  // existing folder is found even when it is empty.
  EXPECT_EQ(DirectorySearch(kTree + "\\", mask), ".");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\Alpha\\", mask), ".");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\Alpha\\", hidden), "");
  EXPECT_EQ(DirectorySearch(kMiddle + "\\missing\\", mask), "");
  // A drive's root has no ".".
  EXPECT_NE(DirectorySearch("C:\\", mask), ".");
}

TEST(DirectorySearch, SpacesOnlyFindNothing) {
  ScratchDrives drives;
  drives.MakeFolder("D:\\work");
  ScopedCurrentFolder current(drives, "D:\\work");
  EXPECT_EQ(DirectorySearch("   ", 18), "");
  EXPECT_EQ(DirectorySearch("D:\\work\\   ", 18), "");
}

}  // namespace
