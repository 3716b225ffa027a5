// Windows paths on a POSIX system, resolved through a Wine prefix.
//
// Drive letters come from the links in the Wine prefix's "dosdevices" folder
// ($WINEPREFIX, else ~/.wine): "c:" -> ../drive_c and so on. Without a prefix the only
// drive is Z:, the root of the file system, and standard error says so once, naming the
// prefix that was looked for. Run as root, the program enters a prefix as guard.h says:
// as the user who controls it, or not at all (then there is no drive, not even Z:).
// Backslashes and forward slashes separate folders; "." and ".." are resolved by the text
// alone, and a name of only dots and spaces is dropped.
//
// Each name is resolved exact-first: a name that exists exactly as written is used as it
// is, so that of the Linux siblings "inst." and "inst", or "Name" and "name", the one
// named is the one used. Only when no entry has exactly that name is it matched the
// Windows way: without regard to case and ignoring trailing dots and spaces (on both
// sides), so C:\Program Files\TAMO\ZEL1\BIN\ZEL1.SYS. finds .../program files/tamo/
// zel1/bin/zel1.sys. A name that matches nothing stands for a new entry, named as
// Windows would name it (trailing dots and spaces dropped).
//
// Not supported: network paths (\\server\share) and device names; they resolve to
// nothing. Drive-relative paths ("D:foo") are taken relative to the current folder when
// it is on that drive, otherwise to the drive's root.
//
// The listing of a large folder (10 000 entries or more), which the Windows-way matching
// needs, is kept for the rest of the run and dropped as soon as the folder changes
// (inotify tells), so that such a folder is read twice at most however many paths go
// through it. Smaller folders, and every folder where inotify is not available, are read
// again each time. The prefix itself is read on every call.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/driveprobe.h"

namespace platform::posix {

// A Windows path taken apart: an absolute location on a drive, "." and ".." resolved.
struct WindowsPath {
  char drive = 'c';                     // lower-case drive letter
  std::vector<std::string> components;  // names below the drive's root, as written
  // The text ended in "\" or "/", or in a name of only dots and spaces, which Windows
  // drops ("C:\x\   " names "C:\x\").
  bool trailingSeparator = false;
};

// Parses `path` against the current folder. Nothing for an empty path, a network or
// device path, or a drive letter the prefix does not have.
std::optional<WindowsPath> ParseWindowsPath(std::string_view path);

// The host folder a drive letter stands for, or nothing when there is no such drive or
// it does not answer (platform/driveprobe.h): nothing looks below a link to a mount
// whose server has gone. Probes that drive alone, when it has not been probed yet.
std::optional<std::string> DriveRoot(char drive);

// Every drive the prefix names, ready or not, as the drive probes know it
// (platform/driveprobe.h): its link in the prefix and its letter, in alphabetical order.
// A link whose target is missing is a drive without a medium (DriveRoot has nothing for
// it, so nothing on it resolves). Without a prefix only Z:, the root of the file system; in
// a prefix that an elevated run may not enter (guard.h), none.
// Nothing here looks into a drive.
std::vector<DriveRef> PrefixDrives();

// Where the first `count` components of `path` are on the host, each name resolved
// exact-first (see above); from the first missing one on, the names are appended in the
// form Windows would create them. `exists` tells whether all of them were found;
// `accessDenied` that the search stopped at a folder that may not be searched or read.
// Standard error names such a folder, once per run.
struct HostLocation {
  std::string hostPath;
  bool exists = false;
  bool accessDenied = false;
};
HostLocation Locate(const WindowsPath& path, std::size_t count);
inline HostLocation Locate(const WindowsPath& path) {
  return Locate(path, path.components.size());
}

// An entry to find or create: its path taken apart, and the host folder that holds it.
// Nothing when `path` names no entry - it does not parse, ends in a separator or is a
// drive's root - or when the folder that would hold it is missing or is no folder.
struct EntryInFolder {
  WindowsPath path;
  std::string hostFolder;
};
std::optional<EntryInFolder> LocateInFolder(std::string_view path);

// The Windows name of a host path: under the drive whose folder holds it (the deepest
// one when several do), else under Z:. Nothing when no drive can name it.
std::optional<std::string> WindowsNameOf(const std::string& hostPath);

// The process's current folder by its Windows name ("Z:\" when it has none).
std::string CurrentWindowsFolder();

// A Windows name holds no line break; a host name may. Every name that goes from the host
// to the program (listings, the current folder, WindowsNameOf) has each CR and LF
// replaced by U+F000 plus its code, U+F00D and U+F00A, characters of Unicode's private
// use area that break no line in a box, on a terminal or in a log; Printable() shows them
// as \x0d and \x0a. Such a name still resolves to the real entry: exact-first, as every
// name, so that an entry whose name holds U+F00A itself is the one a name holding U+F00A
// names when both exist. Every other character passes as it is (a terminal is kept safe
// from them where they are printed).
std::string WindowsEntryName(std::string_view hostName);
// The host name that a name from WindowsEntryName came from.
std::string HostEntryName(std::string_view windowsName);

// One entry of a host folder: its name and its type as the folder records it (d_type:
// DT_DIR, DT_REG, DT_LNK, or DT_UNKNOWN when the file system does not say).
struct FolderEntry {
  std::string name;
  unsigned char type = 0;
};

// Every entry of a host folder, "." and ".." included, in no particular order; from the
// kept listing when the folder has not changed since it was read. Nothing when the
// folder cannot be read; then `error` (when given) holds the errno value.
std::shared_ptr<const std::vector<FolderEntry>> ReadFolder(const std::string& hostFolder,
                                                           int* error = nullptr);

// How many folder entries were read from the file system rather than from a kept
// listing since the process started ("." and ".." included): for tests and measurements.
std::size_t FolderEntriesRead();

// Whether a name matches a Windows wildcard pattern ("*" and "?", "*.*" matching names
// without a dot too), without regard to case.
bool MatchesPattern(std::string_view pattern, std::string_view name);

}  // namespace platform::posix
