// Profile (INI) files: read and write the value of one key in one section.
//
// The rules both back-ends keep, as far as the program relies on them:
// - "[name]" opens a section (spaces around the name are ignored); key=value lines
//   belong to the section above them. Section and key names match without regard to
//   letter case; spaces and tabs around names, the "=" and the value are ignored. The
//   first matching section and the first matching key in it win.
// - A value enclosed in a pair of single or double quotation marks is read without them.
// - Files in the ANSI code page (GBK) and files with a UTF-8 or UTF-16 byte-order mark
//   are read (and, on posix, written) in their own encoding.
//
// win32: GetPrivateProfileStringW / WritePrivateProfileStringW. Note that Windows
//        rewrites the whole file from its own parse when it writes.
// posix: our own engine (platform/posix/profile_engine.h), which changes only the bytes
//        of the one value and replaces the file atomically.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Size of the read buffer in UTF-16 units, terminating NUL included: at most 254 units
// of a value are ever read.
inline constexpr std::size_t kProfileBufferUnits = 255;

// Reads the value of `key` in `section` of the profile file `path`. On return `value`
// holds what was copied into the buffer (UTF-8), cut to kProfileBufferUnits - 1 UTF-16
// units. Returns the number of UTF-16 units copied, 0 when there is nothing to read: a
// missing or unreadable file, section or key, or an empty value; on win32 also a file
// that PutProfileEntry would refuse as kUnsafePath or kTooLarge, which is not read at
// all. Never raises.
std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path);

// Sets the value of `key` in `section` of the profile file `path`, adding the key, the
// section or the file when missing. Returns true when the value was written, false
// otherwise (read-only file, access denied, missing folder, or - on posix - a name or
// value that the file could not hold). Never raises.
bool PutProfileEntry(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path);

// Why a write failed, as far as the platform can tell; the unattended report names it.
enum class WriteProblem {
  kNone,          // the last write succeeded
  kReadOnly,      // the file (or its file system) is read-only
  kAccessDenied,  // no right to write the file or its folder
  kInUse,         // another program holds the file
  kRefusedText,   // posix: the file could not hold the value exactly
  kUnknown,       // the platform gave no reason that fits the above
  kUnsafePath,    // win32: the path passes a link an ordinary user could have made, or the
                  // file has another name (platform/win32/pinnedpath.h); left untouched
  kTooLarge,      // win32: the file is larger than any settings file; left untouched
};

// What became of the last PutProfileEntry of the process: kNone when it answered true.
// `systemCode` receives the platform's own error number when there is one (else 0).
WriteProblem LastProfileWriteProblem(int& systemCode);

}  // namespace platform
