// The posix drive probe's parts (platform/driveprobe.h): what kind of drive a link of the
// Wine prefix leads to, told without a lookup on that drive.
//
// As Wine does, a drive type set in the prefix's registry (winecfg, Drives, Type; the
// key HKLM\Software\Wine\Drives) comes first; otherwise the mount table tells, by the
// file system that holds the drive's folder (/proc/self/mountinfo and the removable flag
// of its block device in /sys). Nothing here calls statfs or looks into the drive.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/driveprobe.h"

namespace platform::posix {

// One mount of the mount table.
struct Mount {
  std::string folder;  // where it is mounted, its escapes undone
  std::string type;    // "ext4", "nfs4", "fuse.sshfs"
  std::string source;  // "/dev/sda1", "server:/share"
  unsigned major = 0;  // its device; major 0 for those without a block device
  unsigned minor = 0;
};

// The mounts in the text of /proc/self/mountinfo, in its order; lines that do not parse
// are left out.
std::vector<Mount> ParseMountTable(std::string_view mountinfo);

// The mount that holds `hostPath` (absolute, without "." and ".." and doubled slashes):
// the one on the deepest folder that contains it, the latest of those mounted on the
// same folder. Nothing when none does.
const Mount* MountHolding(const std::vector<Mount>& mounts, std::string_view hostPath);

// The kind of drive a mounted file system makes; `removable` says that its block device
// is removable.
DriveKind KindOfMount(const Mount& mount, bool removable);

// The drive type that the text of a prefix's system.reg sets for `letter`; nothing when
// it sets none that Wine knows.
std::optional<DriveKind> ConfiguredDriveKind(std::string_view registry, char letter);

// The host folder that a link of the prefix leads to, with "." and ".." resolved and the
// links on the way followed as long as they lie on local disks; below a mount that may
// not answer the rest is taken as written, as nothing may look there. The link itself
// when it cannot be read.
std::string FolderOfLink(const std::string& link, const std::vector<Mount>& mounts);

// The mount table of this process; nothing when it cannot be read.
std::vector<Mount> CurrentMounts();

}  // namespace platform::posix
