// Windows paths on a POSIX system, resolved the way Wine resolves them.
//
// Drive letters come from the links in the Wine prefix's "dosdevices" folder
// ($WINEPREFIX, else ~/.wine): "c:" -> ../drive_c and so on. Without a prefix the only
// drive is Z:, the root of the file system. Backslashes and forward slashes separate
// folders. "." and ".." are resolved by the text alone, trailing dots and spaces of a
// name are dropped, and each name is matched without regard to letter case, so
// C:\Program Files\TAMO\ZEL1\BIN\ZEL1.SYS finds .../program files/tamo/zel1/bin/zel1.sys.
//
// Not supported: network paths (\\server\share) and device names; they resolve to
// nothing. Drive-relative paths ("D:foo") are taken relative to the current folder when
// it is on that drive, otherwise to the drive's root.
//
// Nothing is cached: the prefix and the file system are read on every call.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

// A Windows path taken apart: an absolute location on a drive, "." and ".." resolved.
struct WindowsPath {
  char drive = 'c';                     // lower-case drive letter
  std::vector<std::string> components;  // folder and file names below the drive's root
  // The text ended in "\" or "/", or in a name of only dots and spaces, which Windows
  // drops ("C:\x\   " names "C:\x\").
  bool trailingSeparator = false;
};

// Parses `path` against the current folder. Nothing for an empty path, a network or
// device path, or a drive letter the prefix does not have.
std::optional<WindowsPath> ParseWindowsPath(std::string_view path);

// The host folder a drive letter stands for, or nothing when there is no such drive.
std::optional<std::string> DriveRoot(char drive);

// The drive letters present, lower case, in alphabetical order.
std::vector<char> DriveLetters();

// Every drive letter the prefix names, ready or not: a link whose target is missing is a
// drive without a medium (DriveRoot has nothing for it, so nothing on it resolves).
// Lower case, alphabetical; without a prefix only 'z'.
std::vector<char> ListedDriveLetters();

// Where the first `count` components of `path` are on the host: each existing name is
// matched without regard to case (an exact match preferred); from the first missing one
// on, the names are appended as written. `exists` tells whether all of them were found.
struct HostLocation {
  std::string hostPath;
  bool exists = false;
};
HostLocation Locate(const WindowsPath& path, std::size_t count);
inline HostLocation Locate(const WindowsPath& path) {
  return Locate(path, path.components.size());
}

// The Windows name of a host path: under the drive whose folder holds it (the deepest
// one when several do), else under Z:. Nothing when no drive can name it.
std::optional<std::string> WindowsNameOf(const std::string& hostPath);

// The process's current folder by its Windows name ("Z:\" when it has none).
std::string CurrentWindowsFolder();

// Every name in a host folder, "." and ".." included, in no particular order; nothing
// when the folder cannot be read.
std::optional<std::vector<std::string>> ReadFolderNames(const std::string& hostFolder);

// Whether a name matches a Windows wildcard pattern ("*" and "?", "*.*" matching names
// without a dot too), without regard to case.
bool MatchesPattern(std::string_view pattern, std::string_view name);

}  // namespace platform::posix
