// Whole-file replacement that never leaves a half-written file, nor a temporary one.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/scopedoverride.h"

namespace platform::posix {

// The steps of a replacement, in order; a test may make any of them fail.
enum class ReplaceStep { kCreateTemporary, kWrite, kCopyAttributes, kFlush, kRename };

// Fault injection for tests: while the guard lives, `hook` is called before each step;
// returning true makes that step fail as if the system call had failed. kRename comes
// after the temporary file has been given its name.
using ReplaceFaultHook = std::function<bool(ReplaceStep)>;
class ScopedReplaceFaultHook : public ScopedOverride<ReplaceFaultHook> {
 public:
  explicit ScopedReplaceFaultHook(ReplaceFaultHook hook);
};

// For tests: while the guard lives, `named` true makes every replacement take the way
// used on file systems without unnamed files (a named temporary file from the start);
// false is the usual way.
class ScopedNamedTemporaryFiles : public ScopedOverride<bool> {
 public:
  explicit ScopedNamedTemporaryFiles(bool named);
};

// What the caller saw of the file when it read it, to detect a change underneath.
struct FileIdentity {
  bool existed = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long modifiedSeconds = 0, modifiedNanoseconds = 0;
};

// Reads the whole file at `hostPath` into `bytes` and records its identity. False, with
// errno saying why, when it cannot be read: not a regular file (a folder: EISDIR; a
// FIFO: EINVAL), no permission, or a file that changed while it was being read (EBUSY).
// A missing file gives true with identity.existed false and no bytes.
bool ReadWholeFile(const std::string& hostPath, std::string& bytes, FileIdentity& identity);

// Replaces the contents of `hostPath` with `bytes`. The new contents go to an unnamed
// file in the same folder (O_TMPFILE; where the file system has none, or /proc is not
// there to name one, a file named ".<name>.zelfix-XXXXXX" from the start), which is
// given the original's owner (where allowed), every extended attribute (the ACL among
// them) and permission bits, flushed to disk, named ".<name>.zelfix-XXXXXX" and renamed
// over the original; then the folder is flushed. A symbolic link is followed, so its
// target is replaced and the link stays; other hard links of the file keep the old
// contents. A new file gets the permissions an ordinary creation would (0666 less the
// umask) and never replaces a file that appeared meanwhile.
//
// Refuses (false) when the file is read-only (no write permission bit, also for root;
// for others, no write access), when it changed or vanished since `identity` was taken
// (or appeared, when it was missing), when the folder cannot take the new file, when an
// extended attribute cannot be given to the new file (security.* ones excepted where
// the system does not let us set them: the new file then has what the system gives it),
// or when any step fails; the original is then untouched and no temporary file is left
// behind. One exception: when only the final flush of the folder fails, the new
// contents are already in place but may not survive a crash, and the answer is still
// false. On false, errno says why: the failing call's own error (ENOSPC for a full
// disk), EACCES for a read-only file, EBUSY for a file changed, removed or created since
// `identity` was taken.
//
// The temporary file is locked (flock) while it exists; each replacement first removes
// the temporary files of this file's name that nobody holds, left by a process that was
// killed. SIGINT, SIGTERM and SIGHUP, when their disposition is the default one, are
// caught during the replacement: the temporary file is removed and the process ends by
// the same signal. Signals that are ignored or that the program handles itself are left
// as they are; the handlers are put back afterwards. Not for use from several threads
// at once.
bool ReplaceFile(const std::string& hostPath, std::string_view bytes, const FileIdentity& identity);

// A file with no write bit at all is read-only for everyone, root included, as the
// read-only attribute is on Windows; ReplaceFile refuses it.
inline bool IsReadOnlyMode(mode_t mode) {
  return (mode & 0222) == 0;
}

}  // namespace platform::posix
