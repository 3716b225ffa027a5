// What kind of drive a prefix's link leads to, told without a lookup on the drive: the
// prefix's configured drive type first, then the mount table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/driveprobe.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using platform::DriveKind;
using platform::DriveRef;
using namespace platform::posix;

TEST(DriveKinds, TheMountTableTellsByTheDeepestMountThatHoldsTheFolder) {
  const std::vector<Mount> mounts = ParseMountTable(
      "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "40 27 0:50 / /mnt/old\\040server rw shared:1 master:2 - cifs //old/share rw\n"
      "41 40 0:51 / /mnt/old\\040server/cache rw - tmpfs tmpfs rw\n"
      "42 27 0:52 / /media/ssh rw - fuse.sshfs host: rw\n"
      "43 27 8:17 / /media/card rw - vfat /dev/sdb1 rw\n"
      "44 27 0:53 / /srv rw - weirdfs none rw\n"
      "a line that is no mount\n");
  ASSERT_EQ(mounts.size(), 6u);
  EXPECT_EQ(mounts[1].folder, "/mnt/old server");
  EXPECT_EQ(mounts[4].major, 8u);
  const struct {
    const char* path;
    DriveKind kind;
  } cases[] = {
      {"/home/operator", DriveKind::kLocalDisk},
      {"/mnt/old server", DriveKind::kNetwork},
      {"/mnt/old server/zel", DriveKind::kNetwork},
      {"/mnt/old serverless", DriveKind::kLocalDisk},
      {"/mnt/old server/cache/x", DriveKind::kLocalDisk},
      {"/media/ssh/x", DriveKind::kUserSpace},
      {"/media/card", DriveKind::kLocalDisk},
      {"/srv/x", DriveKind::kUnknown},
  };
  for (const auto& c : cases) {
    const Mount* mount = MountHolding(mounts, c.path);
    ASSERT_NE(mount, nullptr) << c.path;
    EXPECT_EQ(KindOfMount(*mount, false), c.kind) << c.path;
  }
  EXPECT_EQ(KindOfMount(mounts[4], true), DriveKind::kRemovable);
}

TEST(DriveKinds, ADriveTypeSetInThePrefixComesFirstAndOnlyFromAPlainFile) {
  EXPECT_FALSE(ConfiguredDriveKind("", 'd'));
  const std::string registry =
      "WINE REGISTRY Version 2\r\n"
      "[Software\\\\Wine\\\\Drives] 1796843110\r\n#time=1dd88103661c60c\r\n"
      "\"d:\"=\"hd\"\r\n\"F:\"=\"network\"\r\n\"g:\"=\"cdrom\"\r\n\"h:\"=\"other\"\r\n\r\n"
      "[Software\\\\Wine\\\\Fonts] 1796843110\r\n\"m:\"=\"hd\"\r\n";
  EXPECT_EQ(ConfiguredDriveKind(registry, 'd'), DriveKind::kLocalDisk);
  EXPECT_EQ(ConfiguredDriveKind(registry, 'f'), DriveKind::kNetwork);
  EXPECT_EQ(ConfiguredDriveKind(registry, 'G'), DriveKind::kRemovable);
  EXPECT_FALSE(ConfiguredDriveKind(registry, 'h'));
  EXPECT_FALSE(ConfiguredDriveKind(registry, 'm'));

  testsupport::ScratchDrives drives;
  const std::string prefix = std::getenv("WINEPREFIX");
  const DriveRef d{prefix + "/dosdevices/d:", 'd'};
  const DriveKind unset = platform::ClassifyDrive(d);
  ASSERT_NE(unset, DriveKind::kNetwork);
  // The prefix may be an ordinary user's: a link there is not followed.
  std::ofstream(prefix + "/elsewhere.reg") << "[Software\\\\Wine\\\\Drives]\n\"d:\"=\"network\"\n";
  fs::create_symlink(prefix + "/elsewhere.reg", prefix + "/system.reg");
  EXPECT_EQ(platform::ClassifyDrive(d), unset);
  fs::remove(prefix + "/system.reg");
  fs::rename(prefix + "/elsewhere.reg", prefix + "/system.reg");
  EXPECT_EQ(platform::ClassifyDrive(d), DriveKind::kNetwork);
}

TEST(DriveKinds, LinksAreFollowedOnLocalDisksOnly) {
  testsupport::ScratchDrives drives;
  const fs::path prefix = fs::canonical(std::getenv("WINEPREFIX"));
  fs::create_directories(prefix / "data/sub");
  fs::create_directory_symlink(prefix / "data", prefix / "hop");
  const std::string link = (prefix / "dosdevices/m:").string();
  fs::create_directory_symlink("../hop/./sub/..", link);
  const std::vector<Mount> mounts = CurrentMounts();
  ASSERT_EQ(KindOfMount(*MountHolding(mounts, prefix.string()), false), DriveKind::kLocalDisk);
  EXPECT_EQ(FolderOfLink(link, mounts), (prefix / "data").string());
  // On a mount that may not answer, nothing is looked at: the name is taken as written.
  std::vector<Mount> network = mounts;
  network.push_back(Mount{prefix.string(), "nfs4", "server:/x"});
  EXPECT_EQ(FolderOfLink(link, network), (prefix / "hop").string());
}

}  // namespace
