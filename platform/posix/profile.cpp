// posix profile files: our own engine (profile_engine.h) over Windows paths
// (winpath.h), with atomic replacement (atomic_file.h).
//
// Differences from Windows, on purpose: a write changes only the value's bytes instead
// of rewriting the file from its parse, refuses what the file could not hold exactly
// instead of writing a lossy copy, and treats a file without any write permission bit as
// read-only even for root. Reads cut a value at 254 UTF-16 units without splitting a
// character.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

#include "platform/posix/atomic_file.h"
#include "platform/posix/printable.h"
#include "platform/posix/profile_engine.h"
#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"

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

WriteProblem lastWriteProblem = WriteProblem::kNone;

// Why the file at `hostPath` could not be replaced, told from its state afterwards: no
// write permission bit at all is the read-only attribute's counterpart. Access is asked
// as the thread acts on the file system (guard.h), not as the process's real user.
WriteProblem ProblemWith(const std::string& hostPath) {
  struct stat info {};
  if (::stat(hostPath.c_str(), &info) == 0 && posix::IsReadOnlyMode(info.st_mode)) {
    return WriteProblem::kReadOnly;
  }
  const std::string::size_type slash = hostPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : hostPath.substr(0, slash + 1);
  if (::faccessat(AT_FDCWD, hostPath.c_str(), W_OK, AT_EACCESS) != 0 ||
      ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0) {
    return errno == EROFS ? WriteProblem::kReadOnly : WriteProblem::kAccessDenied;
  }
  return WriteProblem::kUnknown;
}

// Says on standard error, once per file and reason, why a settings file was refused
// before it was read; the report names the refusal too.
void TellRefusal(posix::FileRefusal refusal, const std::string& path, const std::string& hostPath) {
  static std::set<std::string> told;
  if (refusal == posix::FileRefusal::kNone ||
      !told.insert(std::to_string(static_cast<int>(refusal)) + path).second) {
    return;
  }
  const std::string file = posix::Printable(path) + " (" + posix::Printable(hostPath) + ")";
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

WriteProblem ProblemOf(posix::FileRefusal refusal) {
  return refusal == posix::FileRefusal::kUnsafePath ? WriteProblem::kUnsafePath
                                                    : WriteProblem::kTooLarge;
}

}  // namespace

std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path) {
  value.clear();
  const std::optional<posix::HostLocation> file = LocateProfile(path);
  if (!file || !file->exists) {
    return 0;
  }
  std::string bytes;
  posix::FileAsRead read;
  if (!posix::ReadWholeFile(file->hostPath, bytes, read) || !read.identity.existed) {
    TellRefusal(read.refusal, path, file->hostPath);
    return 0;
  }
  const std::optional<std::string> found = posix::profile::ReadValue(bytes, section, key);
  if (!found) {
    return 0;
  }
  value = std::string(posix::Utf16Prefix(*found, kProfileBufferUnits - 1));
  return posix::Utf16Length(value);
}

bool PutProfileEntry(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) {
  lastWriteProblem = WriteProblem::kUnknown;
  const std::optional<posix::HostLocation> file = LocateProfile(path);
  if (!file) {
    return false;
  }
  std::string bytes;
  posix::FileAsRead read;
  if (!posix::ReadWholeFile(file->hostPath, bytes, read)) {
    TellRefusal(read.refusal, path, file->hostPath);
    lastWriteProblem = read.refusal != posix::FileRefusal::kNone ? ProblemOf(read.refusal)
                                                                 : ProblemWith(file->hostPath);
    return false;
  }
  const std::optional<std::string> updated = posix::profile::WriteValue(bytes, section, key, value);
  if (!updated) {
    lastWriteProblem = WriteProblem::kRefusedText;
    return false;
  }
  if (!posix::ReplaceFile(read, *updated)) {
    lastWriteProblem = ProblemWith(file->hostPath);
    return false;
  }
  lastWriteProblem = WriteProblem::kNone;
  return true;
}

WriteProblem LastProfileWriteProblem(int& systemCode) {
  systemCode = 0;
  return lastWriteProblem;
}

}  // namespace platform
