// posix profile files: our own engine (profile_engine.h) over Windows paths
// (winpath.h), with atomic replacement (atomic_file.h).
//
// Differences from Windows, on purpose: a write changes only the value's bytes instead
// of rewriting the file from its parse, refuses what the file could not hold exactly
// instead of writing a lossy copy, and treats a file without any write permission bit as
// read-only even for root. Reads cut a value at 254 UTF-16 units without splitting a
// character.
#include "platform/profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "platform/posix/atomic_file.h"
#include "platform/posix/profile_engine.h"
#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"
#include "platform/printable.h"

namespace platform {

namespace {

// The host path of the profile file that `path` names, or nothing when it cannot name
// one: no such drive or folder, or a path that ends in a separator.
std::optional<posix::HostLocation> LocateProfile(const std::string& path) {
  const std::optional<posix::EntryInFolder> entry = posix::LocateInFolder(path);
  if (!entry) {
    return std::nullopt;
  }
  return posix::Locate(entry->path);
}

// What `error` (errno of a failed read or replacement) says, as Windows would class it.
FileResult ResultOf(int error) {
  FileResult result{FileProblem::kUnknown, error};
  switch (error) {
    case EROFS:
      result.problem = FileProblem::kReadOnly;
      break;
    case EACCES:
    case EPERM:
    case EISDIR:  // Windows answers a folder opened as a file with "access denied"
      result.problem = FileProblem::kAccessDenied;
      break;
    case EBUSY:  // the file changed since it was read
    case ETXTBSY:
      result.problem = FileProblem::kInUse;
      break;
    default:
      break;
  }
  return result;
}

// Why the file at `hostPath` could not be replaced: no write permission bit at all is
// the read-only attribute's counterpart, whatever the call that refused said.
FileResult WriteResultOf(int error, const std::string& hostPath) {
  FileResult result = ResultOf(error);
  struct stat info {};
  if (::stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
      posix::IsReadOnlyMode(info.st_mode)) {
    result.problem = FileProblem::kReadOnly;
  }
  return result;
}

// Says on standard error, once per file and reason, why a settings file was refused
// before it was read; the report names the refusal too.
void TellRefusal(posix::FileRefusal refusal, const std::string& path, const std::string& hostPath) {
  static std::set<std::string> told;
  if (refusal == posix::FileRefusal::kNone ||
      !told.insert(std::to_string(static_cast<int>(refusal)) + path).second) {
    return;
  }
  const std::string file = platform::Printable(path) + " (" + platform::Printable(hostPath) + ")";
  if (refusal == posix::FileRefusal::kUnsafePath) {
    std::fprintf(stderr,
                 "zelfix: %s is reached through a link that an ordinary user can change, or "
                 "has another name in a folder one can change: as root it is neither read "
                 "nor written\n",
                 file.c_str());
  } else {
    std::fprintf(stderr, "zelfix: %s is larger than %llu MiB: not read, and left as it is\n",
                 file.c_str(), posix::kLargestFile >> 20);
  }
}

// The reason of a read that failed: a refusal before errno, which a refusal leaves alone.
FileResult ReadResultOf(const posix::FileAsRead& read, int error) {
  switch (read.refusal) {
    case posix::FileRefusal::kUnsafePath:
      return FileResult{FileProblem::kUnsafePath, 0};
    case posix::FileRefusal::kTooLarge:
      return FileResult{FileProblem::kTooLarge, 0};
    case posix::FileRefusal::kNone:
      break;
  }
  return ResultOf(error);
}

}  // namespace

std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path, FileResult& result) {
  value.clear();
  result = FileResult();
  const std::optional<posix::HostLocation> file = LocateProfile(path);
  if (!file || !file->exists) {
    return 0;
  }
  std::string bytes;
  posix::FileAsRead read;
  if (!posix::ReadWholeFile(file->hostPath, bytes, read)) {
    const int error = errno;
    TellRefusal(read.refusal, path, file->hostPath);
    result = ReadResultOf(read, error);
    return 0;
  }
  if (!read.identity.existed) {
    return 0;
  }
  const std::optional<std::string> found = posix::profile::ReadValue(bytes, section, key);
  if (!found) {
    return 0;
  }
  value = std::string(posix::Utf16Prefix(*found, kProfileBufferUnits - 1));
  return posix::Utf16Length(value);
}

FileResult PutProfileEntry(const std::string& section, const std::string& key,
                           const std::string& value, const std::string& path) {
  const std::optional<posix::HostLocation> file = LocateProfile(path);
  if (!file) {
    return FileResult{FileProblem::kUnknown, ENOENT};
  }
  std::string bytes;
  posix::FileAsRead read;
  if (!posix::ReadWholeFile(file->hostPath, bytes, read)) {
    const int error = errno;
    TellRefusal(read.refusal, path, file->hostPath);
    return read.refusal != posix::FileRefusal::kNone ? ReadResultOf(read, error)
                                                     : WriteResultOf(error, file->hostPath);
  }
  const std::optional<std::string> updated = posix::profile::WriteValue(bytes, section, key, value);
  if (!updated) {
    return FileResult{FileProblem::kRefusedText, 0};
  }
  if (!posix::ReplaceFile(read, *updated)) {
    return WriteResultOf(errno, file->hostPath);
  }
  return FileResult();
}

}  // namespace platform
