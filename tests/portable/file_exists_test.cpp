// FileExists on real files, through the platform's file search.
#include <gtest/gtest.h>

#include "common/CM_FileFolderSystem.h"
#include "tests/support/ScratchDrives.h"

namespace {

using common::FileExists;
using testsupport::ScratchDrives;

TEST(FileExists, FilesCountFoldersAndMissingPathsDoNot) {
  ScratchDrives drives;
  const std::string folder = ScratchDrives::Scratch() + "\\BIN";
  drives.WriteFile(folder + "\\ZEL1.SYS", "[web]\r\n");
  drives.WriteFile(folder + "\\readonly.sys", "x");
  drives.SetReadOnly(folder + "\\readonly.sys");
  drives.WriteFile(folder + "\\.hidden.sys", "x");
  drives.MakeHidden(folder + "\\.hidden.sys");
  drives.MakeFolder(folder + "\\folder.sys");

  EXPECT_TRUE(FileExists(folder + "\\ZEL1.SYS"));
  EXPECT_TRUE(FileExists(folder + "\\readonly.sys"));
  EXPECT_TRUE(FileExists(folder + "\\.hidden.sys"));
  // Names match without regard to case, as on Windows.
  EXPECT_TRUE(FileExists(ScratchDrives::Scratch() + "\\bin\\zel1.sys"));

  EXPECT_FALSE(FileExists(folder));
  EXPECT_FALSE(FileExists(folder + "\\folder.sys"));
  EXPECT_FALSE(FileExists(folder + "\\missing.sys"));
  EXPECT_FALSE(FileExists(ScratchDrives::Scratch() + "\\missing\\ZEL1.SYS"));
  EXPECT_FALSE(FileExists("Q:\\ZEL1.SYS"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(FileExists(folder + "\\ZEL1.SYS\\"));
}

}  // namespace
