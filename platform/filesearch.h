// File search: the entries of a folder that match a name or a wildcard pattern, with
// their Windows attributes.
//
// `path` is a Windows path; its last component may hold the wildcards "*" and "?",
// matched without regard to letter case (as "*.*" matches every name, with or without a
// dot). A path that ends in a separator, an empty path, a missing drive or folder, or a
// folder that may not be read all give no entries; nothing here raises.
//
// win32: FindFirstFileW / FindNextFileW / FindClose.
// posix: the folder is resolved as platform/posix/winpath.h says; "." and ".." are
//        listed first for a pattern that matches them (a drive's root has neither, as
//        on Windows), the other entries follow sorted without regard to case. Names
//        starting with "." are hidden; a file without any write permission bit is
//        read-only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Attribute bits of a found entry, with their Windows values.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

struct FoundEntry {
  std::string name;  // the entry's own name, not a path
  std::uint32_t attributes = 0;
};

// The first entry that `path` matches, or nothing.
std::optional<FoundEntry> FindFirstEntry(const std::string& path);

// Every entry that `path` matches, in the platform's order.
std::vector<FoundEntry> FindEntries(const std::string& path);

// The classic directory search with an attribute mask: the name of the first entry
// that `path` (a file or folder name, or a pattern with wildcards in its last part)
// matches, or empty text. Plain files always count; folders count when the mask has
// kAttributeDirectory (16), hidden entries when it has kAttributeHidden (2), system
// entries when it has kAttributeSystem (4). A path ending in a separator searches the
// folder's contents, which list "." first below a drive's root: with kAttributeDirectory
// in the mask, "D:\empty\" answers "." - the folder exists even when it is empty.
// Portable code over FindEntries, the same on both back-ends.
std::string DirectorySearch(const std::string& path, std::uint32_t mask);

}  // namespace platform
