// Drives and folders: the directory primitives under the drive list and the folder list.
//
// win32: GetLogicalDriveStringsW, GetVolumeInformationW, GetCurrentDirectoryW and the
//        file search.
// posix: the drives of the Wine prefix (platform/posix/winpath.h); a drive whose link
//        leads nowhere is listed but not ready, like a drive without a medium.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct DriveInfo {
  char letter = 'c';  // lower case
  std::string label;  // volume label; empty when there is none or the drive is not ready
};

// The drives present, in alphabetical order.
std::vector<DriveInfo> ListDrives();

// The process's current folder as a full Windows path ("C:\" for a root, no trailing
// backslash otherwise).
std::string CurrentFolder();

// The names of the subfolders of `folder` (a full path), without "." and "..", hidden
// and system folders left out, sorted without regard to case. Nothing when the folder
// cannot be read: missing, not a folder, or its drive not ready.
std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder);

}  // namespace platform
