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

// Why a profile read or write did not do its job, as far as the platform can tell.
enum class FileProblem {
  kNone,          // it did its job (a read that found nothing did too)
  kReadOnly,      // the file (or its file system) is read-only
  kAccessDenied,  // no right to the file or its folder
  kInUse,         // another program holds the file, or changed it meanwhile
  kRefusedText,   // posix: the file could not hold the value exactly
  kUnknown,       // the platform gave no reason that fits the above; see systemCode
  kUnsafePath,    // an elevated run may not reach it this way (a link an ordinary user
                  // can change, or another name of the file in such a folder:
                  // posix/guard.h, win32/pinnedpath.h); left untouched
  kTooLarge,      // larger than any settings file (16 MiB): not even read
};

// What became of one read or write. `systemCode` is the platform's own error number
// (errno on posix, GetLastError on win32) when there is one, else 0.
struct FileResult {
  FileProblem problem = FileProblem::kNone;
  int systemCode = 0;
};

// Reads the value of `key` in `section` of the profile file `path`. On return `value`
// holds what was copied into the buffer (UTF-8), cut to kProfileBufferUnits - 1 UTF-16
// units. Returns the number of UTF-16 units copied, 0 when there is nothing to read.
// `result` says why a file that is there could not be read (a file in use, no right to
// read it); a missing file, section or key, an empty value and a drive that does not
// answer are problem kNone with 0 returned. Never raises.
std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path, FileResult& result);

// Sets the value of `key` in `section` of the profile file `path`, adding the key, the
// section or the file when missing. Problem kNone when the value was written; otherwise
// why not (read-only file, access denied, missing folder, a full disk, or - on posix - a
// name or value that the file could not hold). Never raises.
FileResult PutProfileEntry(const std::string& section, const std::string& key,
                           const std::string& value, const std::string& path);

}  // namespace platform
