// What kind of drive a prefix's link leads to, told without a lookup on the drive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/driveprobe.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveKind;
using namespace platform::posix;

TEST(DriveKinds, TheMountTableTellsByTheDeepestMountThatHoldsTheFolder) {
  const std::vector<Mount> mounts = ParseMountTable(
      "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
      "40 27 0:50 / /mnt/old\\040server rw shared:1 master:2 - cifs //old/share rw\n"
      "41 40 0:51 / /mnt/old\\040server/ssh rw - fuse.sshfs host: rw\n"
      "a line that is no mount\n");
  ASSERT_EQ(mounts.size(), 3u);
  const auto kind = [&](const char* path) {
    return KindOfMount(*MountHolding(mounts, path), false);
  };
  EXPECT_EQ(kind("/mnt/old server/zel"), DriveKind::kNetwork);
  EXPECT_EQ(kind("/mnt/old serverless"), DriveKind::kLocalDisk);
  EXPECT_EQ(kind("/mnt/old server/ssh"), DriveKind::kUserSpace);
  EXPECT_EQ(KindOfMount(mounts[0], true), DriveKind::kRemovable);
}

TEST(DriveKinds, ADriveTypeSetInThePrefixComesFirstAndOnlyFromAPlainFile) {
  testsupport::ScratchDrives drives;
  const std::string prefix = std::getenv("WINEPREFIX");
  const platform::DriveRef d{prefix + "/dosdevices/d:", 'd'};
  const DriveKind unset = platform::ClassifyDrive(d);
  ASSERT_NE(unset, DriveKind::kNetwork);
  // Wine's own format, from a plain file only: the prefix may be an ordinary user's.
  std::ofstream(prefix + "/elsewhere.reg")
      << "WINE REGISTRY Version 2\r\n[Software\\\\Wine\\\\Drives] 179684311\r\n#time=1d\r\n"
      << "\"D:\"=\"network\"\r\n\r\n[Software\\\\Wine\\\\Fonts] 1\r\n\"e:\"=\"hd\"\r\n";
  fs::create_symlink(prefix + "/elsewhere.reg", prefix + "/system.reg");
  EXPECT_EQ(platform::ClassifyDrive(d), unset);
  fs::rename(prefix + "/elsewhere.reg", prefix + "/system.reg");
  EXPECT_EQ(platform::ClassifyDrive(d), DriveKind::kNetwork);
  EXPECT_EQ(platform::ClassifyDrive({prefix + "/dosdevices/e:", 'e'}), unset);
}

}  // namespace
