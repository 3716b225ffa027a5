// File and profile routines shared by the whole program.
//
// None of them raises: a missing file, an unreadable value and a failed write are
// answered with false, the caller's default or the write's reason.
#pragma once

#include <string>

#include "platform/profile.h"

namespace common {

// True when `path` names an existing file that is not a folder. Read-only, hidden and
// system files count as files. False for a folder, a missing file, folder or drive, the
// empty path, and a path ending in a backslash (the platform search rejects it).
bool FileExists(std::string path);

// The value of `key` in `section` of the profile file `file`, with the spaces at both
// of its ends removed and any NUL character dropped. Gives `defaultValue` exactly as
// passed when there is nothing to read: a missing or unreadable file, section or key,
// or an empty value. At most 254 UTF-16 units of a value are read.
std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue);
// The same, telling in `result` why a file that is there could not be read (problem
// kNone for a missing file, section or key).
std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue, platform::FileResult& result);

// Sets the value of `key` in `section` of the profile file `file`. Problem kNone when
// the platform wrote it, otherwise why not; a blank section or key name is refused
// (kUnknown, no system number) without touching the file.
platform::FileResult WriteProfileString(std::string file, std::string section, std::string key,
                                        std::string value);

}  // namespace common
