// Whole-file replacement that never leaves a half-written file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform::posix {

// The steps of a replacement, in order; a test may make any of them fail.
enum class ReplaceStep { kCreateTemporary, kWrite, kFlush, kRename };

// Fault injection for tests: when set, called before each step; returning true makes
// that step fail as if the system call had failed.
using ReplaceFaultHook = std::function<bool(ReplaceStep)>;
void SetReplaceFaultHook(ReplaceFaultHook hook);

// What the caller saw of the file when it read it, to detect a change underneath.
struct FileIdentity {
  bool existed = false;
  unsigned long long device = 0, inode = 0, size = 0;
  long long modifiedSeconds = 0, modifiedNanoseconds = 0;
};

// Reads the whole file at `hostPath` into `bytes` and records its identity. False when
// it cannot be read: not a regular file (a folder, a FIFO), no permission, or a file
// that changed while it was being read. A missing file gives true with identity.existed
// false and no bytes.
bool ReadWholeFile(const std::string& hostPath, std::string& bytes, FileIdentity& identity);

// Replaces the contents of `hostPath` with `bytes`: writes a temporary file
// (".<name>.zelfix-XXXXXX") in the same folder, flushes it to disk, gives it the
// original's permission bits (and owner, where allowed) and renames it over the original;
// a symbolic link is followed, so its target is replaced and the link stays. A new file
// gets the permissions an ordinary creation would (0666 less the umask) and never
// replaces a file that appeared meanwhile. Refuses (false) when the file is read-only
// (no write permission bit, also for root; for others, no write access), when it changed
// or vanished since `identity` was taken (or appeared, when it was missing), when the
// folder cannot take the temporary file, or when any step fails; the original is then
// untouched and no temporary file is left behind. One exception: when only the final
// flush of the folder fails, the new contents are already in place but may not survive
// a crash, and the answer is still false.
bool ReplaceFile(const std::string& hostPath, std::string_view bytes, const FileIdentity& identity);

}  // namespace platform::posix
