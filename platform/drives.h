// Drives and folders: the directory primitives under the drive list and the folder list.
//
// win32: GetLogicalDrives, GetVolumeInformationW, GetCurrentDirectoryW and the
//        file search.
// posix: the drives of the Wine prefix (platform/posix/winpath.h); a drive whose link
//        leads nowhere is listed but not ready, like a drive without a medium.
// Both: a drive that does not answer is listed without its label and counts as not
//        ready (platform/driveprobe.h).
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
// cannot be read: missing, not a folder, its drive not ready, or access denied.
std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder);

// Whether `folder` (a full path) is a folder that can be read, told apart from one that
// is missing (or a file, or on a drive that is not ready) and one that exists but may
// not be read - it or a folder on the way to it - so that a caller can say why a folder
// cannot be opened.
enum class FolderState { kReadable, kMissing, kAccessDenied };
FolderState CheckFolder(const std::string& folder);

}  // namespace platform
