// Whole-file replacement that never leaves a half-written file, nor a temporary one.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/posix/handles.h"
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

// The largest file ReadWholeFile reads: settings files are a few KB, and reading a huge
// one whole (a sparse file of terabytes) would take the memory the rest of the run needs.
inline constexpr unsigned long long kLargestFile = 16ULL << 20;

// Why a file was refused before it was read.
enum class FileRefusal {
  kNone,
  kUnsafePath,  // an elevated run may not reach it this way (guard.h)
  kTooLarge,    // larger than kLargestFile
};

// A file as ReadWholeFile found it, kept open, so that its replacement works on the very
// file that was read: the new file goes into the folder it lay in, and takes its owner,
// mode and attributes from the file read, whatever the path names by then.
struct FileAsRead {
  FileIdentity identity;
  FileRefusal refusal = FileRefusal::kNone;
  Descriptor folder;         // where it lies (a followed link's target's folder); none
                             // when that folder is missing
  std::string name;          // its name there
  Descriptor file;           // the file read; none when it is missing
  bool throughLink = false;  // the path's last name was a symbolic link
};

// Reads the whole file at `hostPath` into `bytes`. The path is walked one name at a time
// (guard.h: an elevated run follows only the links root controls, and refuses a file with
// another name in a folder that others control). False when it cannot be read: refused
// (`read.refusal` says why), or else with errno saying why: not a regular file (a folder:
// EISDIR; a FIFO: EINVAL), no permission, or a file that changed while it was being read
// (EBUSY). A missing file gives true with identity.existed false and no bytes.
bool ReadWholeFile(const std::string& hostPath, std::string& bytes, FileAsRead& read);

// Replaces the contents of the file that `read` found with `bytes`. The new contents go to
// an unnamed file in the same folder (O_TMPFILE; where the file system has none, or /proc
// is not there to name one, a file named ".<name>.zelfix-XXXXXX" from the start), which
// is given the original's owner (where allowed), every extended attribute (the ACL among
// them) and permission bits - all read from the file as it was opened for reading, never
// again by its name - flushed to disk, named ".<name>.zelfix-XXXXXX" and renamed over the
// original; then the folder is flushed. A symbolic link that was followed stays, and its
// target is replaced; other hard links of the file keep the old contents. A new file gets
// the permissions an ordinary creation would (0666 less the umask) and never replaces a
// file that appeared meanwhile.
//
// Refuses (false) when the read was refused or found no folder, when a missing file was
// named through a link (one that leads nowhere), when the file is read-only (no write
// permission bit, also for root; for others, no write access), when the name no longer
// holds the file that was read (or holds one, when it was missing), when the folder
// cannot take the new file, when an extended attribute cannot be given to the new file
// (security.* ones excepted where the system does not let us set them: the new file then
// has what the system gives it), or when any step fails; the original is then untouched
// and no temporary file is left behind. One exception: when only the final flush of the
// folder fails, the new contents are already in place but may not survive a crash, and
// the answer is still false. On false, errno says why: the failing call's own error
// (ENOSPC for a full disk), EACCES for a read-only file, EBUSY for a file changed,
// removed or created since it was read.
//
// The temporary file is locked (flock) while it exists; each replacement first removes
// the temporary files of this file's name that nobody holds, left by a process that was
// killed. SIGINT, SIGTERM and SIGHUP, when their disposition is the default one, are
// caught during the replacement: the temporary file is removed and the process ends by
// the same signal. Signals that are ignored or that the program handles itself are left
// as they are; the handlers are put back afterwards. Not for use from several threads
// at once.
bool ReplaceFile(const FileAsRead& read, std::string_view bytes);

// A file with no write bit at all is read-only for everyone, root included, as the
// read-only attribute is on Windows; ReplaceFile refuses it.
inline bool IsReadOnlyMode(mode_t mode) {
  return (mode & 0222) == 0;
}

}  // namespace platform::posix
