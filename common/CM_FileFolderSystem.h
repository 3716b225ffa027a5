// File and profile routines shared by the whole program.
//
// None of them raises: a missing file, an unreadable value and a failed write are
// answered with false or the caller's default.
#pragma once

#include <string>

namespace common {

// True when `path` names an existing file that is not a folder. Read-only, hidden and
// system files count as files. False for a folder, a missing file, folder or drive, the
// empty path, and a path ending in a backslash (the platform search rejects it).
bool FileExists(std::string path);

// The value of `key` in `section` of the profile file `file`, with the spaces at both
// of its ends removed and any NUL character dropped. Gives `defaultValue` exactly as
// passed when there is nothing to read: a missing or unreadable file, section or key,
// or an empty value - cases it does not tell apart. At most 254 UTF-16 units of a value
// are read.
std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue);

// Sets the value of `key` in `section` of the profile file `file`. False without
// touching the file when the section or key name is blank; otherwise the platform's
// answer: true when the value was written.
bool WriteProfileString(std::string file, std::string section, std::string key, std::string value);

}  // namespace common
