#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "platform/posix/guard.h"
#include "platform/posix/handles.h"

namespace platform::posix {

namespace {

ReplaceFaultHook& FaultHook() {
  static ReplaceFaultHook hook;
  return hook;
}

bool& NamedOnly() {
  static bool force = false;
  return force;
}

// Whether the test hook wants `step` to fail; sets errno as the system call would.
bool Injected(ReplaceStep step) {
  const ReplaceFaultHook& hook = FaultHook();
  if (!hook || !hook(step)) {
    return false;
  }
  errno = step == ReplaceStep::kWrite            ? ENOSPC
          : step == ReplaceStep::kCopyAttributes ? ENOTSUP
                                                 : EIO;
  return true;
}

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.existed = true;
  identity.device = static_cast<unsigned long long>(info.st_dev);
  identity.inode = static_cast<unsigned long long>(info.st_ino);
  identity.size = static_cast<unsigned long long>(info.st_size);
  identity.modifiedSeconds = static_cast<long long>(info.st_mtim.tv_sec);
  identity.modifiedNanoseconds = static_cast<long long>(info.st_mtim.tv_nsec);
  return identity;
}

bool SameIdentity(const FileIdentity& a, const FileIdentity& b) {
  return a.existed == b.existed && a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modifiedSeconds == b.modifiedSeconds && a.modifiedNanoseconds == b.modifiedNanoseconds;
}

// --- Signals ------------------------------------------------------------------------------

// The signals that end the program by default and that a user or the system sends to
// stop it; on them the temporary file is removed first.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The temporary file's name while it has one, for the handler to remove: set and
// cleared only with the ending signals blocked, so the handler never sees half of it.
volatile sig_atomic_t pendingFolder = -1;
char pendingName[NAME_MAX + 1];

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kEndingSignals) {
    sigaddset(&set, signal);
  }
  return set;
}

// Only async-signal-safe calls: remove the file, then end by the same signal.
void RemoveTemporaryAndEnd(int signal) {
  if (pendingFolder >= 0) {
    ::unlinkat(pendingFolder, pendingName, 0);
  }
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  sigemptyset(&standard.sa_mask);
  ::sigaction(signal, &standard, nullptr);
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, signal);
  ::sigprocmask(SIG_UNBLOCK, &own, nullptr);
  ::raise(signal);
}

// Keeps the ending signals blocked while it lives: for the moments in which the
// temporary file gets or loses its name and the record of it must change with it.
class BlockedSignals {
 public:
  BlockedSignals() {
    const sigset_t set = EndingSignals();
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockedSignals() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

 private:
  sigset_t previous_;
};

void SetPending(int folder, const std::string& name) {
  std::memcpy(pendingName, name.c_str(), name.size() + 1);
  pendingFolder = folder;
}

void ClearPending() {
  pendingFolder = -1;
}

// Catches the ending signals whose disposition is the default one while it lives, then
// puts back what was there. Ignored signals and the program's own handlers stay: an
// unattended run's only request a stop (process.h), and the replacement then finishes.
class SignalGuard {
 public:
  SignalGuard() {
    struct sigaction ours {};
    ours.sa_handler = RemoveTemporaryAndEnd;
    ours.sa_mask = EndingSignals();
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      installed_[i] = ::sigaction(kEndingSignals[i], nullptr, &previous_[i]) == 0 &&
                      !(previous_[i].sa_flags & SA_SIGINFO) && previous_[i].sa_handler == SIG_DFL &&
                      ::sigaction(kEndingSignals[i], &ours, nullptr) == 0;
    }
  }
  ~SignalGuard() {
    for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
      if (installed_[i]) {
        ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
      }
    }
  }
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;

 private:
  struct sigaction previous_[std::size(kEndingSignals)]{};
  bool installed_[std::size(kEndingSignals)] = {};
};

// --- Temporary files ----------------------------------------------------------------------

constexpr std::string_view kNameLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr std::size_t kRandomLetters = 6;

// ".<name>.zelfix-", the file's name cut to leave room for the rest within the longest
// name allowed.
std::string TemporaryPrefix(const std::string& name) {
  return "." + name.substr(0, NAME_MAX - 16) + ".zelfix-";
}

bool IsTemporaryName(std::string_view prefix, std::string_view entry) {
  return entry.size() == prefix.size() + kRandomLetters &&
         entry.substr(0, prefix.size()) == prefix &&
         entry.find_first_not_of(kNameLetters, prefix.size()) == std::string_view::npos;
}

std::string RandomName(const std::string& prefix) {
  unsigned char random[kRandomLetters];
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    // No randomness yet, so early after boot: a name already taken only costs another try.
    static unsigned long long state = 0;
    state = state * 6364136223846793005ULL + 1442695040888963407ULL +
            static_cast<unsigned long long>(
                std::chrono::steady_clock::now().time_since_epoch().count()) +
            static_cast<unsigned long long>(::getpid());
    for (std::size_t i = 0; i < kRandomLetters; ++i) {
      random[i] = static_cast<unsigned char>(state >> (8 * i + 8));
    }
  }
  std::string name = prefix;
  for (const unsigned char byte : random) {
    name += kNameLetters[byte % kNameLetters.size()];
  }
  return name;
}

// Takes the lock that tells other writers the file is in use. A file system without
// flock lets nobody lock, so nobody removes the file either: it goes on unlocked.
void Lock(int fd) {
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

// Removes the temporary files of earlier replacements of this file that nobody holds:
// left by a process that was killed. A writer holds the lock on its own for as long as
// the file has a name, so what can be locked is stale.
void RemoveStaleTemporaries(int folder, const std::string& prefix) {
  Descriptor listing(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const FolderStream entries(listing.get() < 0 ? nullptr : ::fdopendir(listing.get()));
  if (entries.get() == nullptr) {
    return;
  }
  listing.release();  // the stream closes it
  while (const dirent* entry = ::readdir(entries.get())) {
    if (!IsTemporaryName(prefix, entry->d_name)) {
      continue;
    }
    const Descriptor file(
        ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat held {};
    struct stat named {};
    // Still the same file under that name once locked: never remove another in its place.
    if (file.get() >= 0 && ::fstat(file.get(), &held) == 0 && S_ISREG(held.st_mode) &&
        ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
      ::unlinkat(folder, entry->d_name, 0);
    }
  }
}

// A new, empty temporary file in `folder`, open for writing and locked: unnamed where
// the file system allows (and /proc is there to name it later), else under a fresh
// name, which is then set in `name` and recorded for the signal handler. No descriptor
// on failure.
Descriptor CreateTemporary(int folder, const std::string& prefix, std::string& name) {
  name.clear();
  if (!NamedOnly() && ::access("/proc/self/fd", X_OK) == 0) {
    Descriptor file(::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (file.get() >= 0) {
      Lock(file.get());
      return file;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      return Descriptor();
    }
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = RandomName(prefix);
    Descriptor file;
    int error = 0;
    {
      const BlockedSignals blocked;
      file = Descriptor(::openat(folder, candidate.c_str(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      error = errno;
      if (file.get() >= 0) {
        SetPending(folder, candidate);
      }
    }
    if (file.get() < 0) {
      if (error == EEXIST) {
        continue;
      }
      errno = error;
      return Descriptor();
    }
    // Another writer may have taken it for stale in the instant before the lock.
    Lock(file.get());
    struct stat info {};
    if (::fstat(file.get(), &info) == 0 && info.st_nlink > 0) {
      name = candidate;
      return file;
    }
    const BlockedSignals blocked;
    ClearPending();
    file.Close();
  }
  errno = EEXIST;
  return Descriptor();
}

// Gives the unnamed file open as `fd` a fresh temporary name in `folder`.
bool NameTemporary(int fd, int folder, const std::string& prefix, std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = RandomName(prefix);
    const BlockedSignals blocked;
    int linked = ::linkat(AT_FDCWD, self.c_str(), folder, candidate.c_str(), AT_SYMLINK_FOLLOW);
    if (linked != 0 && errno == ENOENT) {
      // /proc went away; this way needs a privilege on older kernels.
      linked = ::linkat(fd, "", folder, candidate.c_str(), AT_EMPTY_PATH);
    }
    if (linked == 0) {
      SetPending(folder, candidate);
      name = candidate;
      return true;
    }
    if (errno != EEXIST) {
      return false;
    }
  }
  errno = EEXIST;
  return false;
}

void RemoveTemporary(int folder, const std::string& name) {
  const BlockedSignals blocked;
  if (!name.empty()) {
    ::unlinkat(folder, name.c_str(), 0);
  }
  ClearPending();
}

// Renames the finished temporary file over `name`. For a file that did not exist the
// rename must not replace one that appeared meanwhile.
bool RenameInto(int folder, const std::string& temporary, const std::string& name, bool existed) {
  const BlockedSignals blocked;
  bool renamed = false;
  if (!existed) {
    renamed = ::renameat2(folder, temporary.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0;
    if (!renamed && errno != EINVAL && errno != ENOSYS) {
      return false;
    }
    // Otherwise the file system cannot refuse to replace: the plain rename follows.
  }
  renamed = renamed || ::renameat(folder, temporary.c_str(), folder, name.c_str()) == 0;
  if (renamed) {
    ClearPending();
  }
  return renamed;
}

// --- Extended attributes ------------------------------------------------------------------

// The names of the extended attributes of the file open as `fd`, or nothing when they
// cannot be listed. A file system without them lists none.
std::optional<std::vector<std::string>> AttributeNames(int fd) {
  std::vector<char> list;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) {
      return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
    }
    list.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got >= 0) {
      list.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) {
      return std::nullopt;  // ERANGE: one was added meanwhile
    }
  }
  std::vector<std::string> names;
  for (std::size_t at = 0; at < list.size();) {
    names.emplace_back(list.data() + at);
    at += names.back().size() + 1;
  }
  return names;
}

// The attribute's value (of the file open as `fd`); nothing with errno set when it cannot
// be read, ENODATA when there is no such attribute.
std::optional<std::string> AttributeValue(int fd, const std::string& name) {
  std::string value;
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) {
      return std::nullopt;
    }
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<std::size_t>(got));
      return value;
    }
    if (errno != ERANGE) {
      return std::nullopt;
    }
  }
}

// Labels and integrity data belong to the system, which gives a new file its own.
bool IsSystemManaged(const std::string& name) {
  return name.compare(0, 9, "security.") == 0;
}

// Makes the extended attributes of the new file open as `fd` those of the file open as
// `source`: each one copied (the access ACL too), and none that the source lacks (one
// given by the folder's default ACL, say). False when one cannot be given or removed;
// a security.* one the system does not let us set is left as the system made it.
bool CopyAttributes(int source, int fd) {
  const std::optional<std::vector<std::string>> names = AttributeNames(source);
  if (!names) {
    return false;
  }
  for (const std::string& name : *names) {
    const std::optional<std::string> value = AttributeValue(source, name);
    if (!value) {
      if (errno == ENODATA) {
        continue;  // removed meanwhile
      }
      return false;
    }
    if (::fsetxattr(fd, name.c_str(), value->data(), value->size(), 0) == 0) {
      continue;
    }
    const int error = errno;
    if (AttributeValue(fd, name) == value) {
      continue;  // it has it already
    }
    if (!(IsSystemManaged(name) && (error == EPERM || error == EACCES))) {
      errno = error;
      return false;
    }
  }
  const std::optional<std::vector<std::string>> own = AttributeNames(fd);
  if (!own) {
    return false;
  }
  for (const std::string& name : *own) {
    if (!IsSystemManaged(name) && std::find(names->begin(), names->end(), name) == names->end() &&
        ::fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA) {
      return false;
    }
  }
  return true;
}

// --- Replacement --------------------------------------------------------------------------

// Whether the file `name` in `folder` may be replaced by one made from what was read as
// `identity`: the name still holds the same file (not a link put in its place), or is
// still free, and the file is writable. The rename itself needs only the folder's
// permission, so the file's own is checked here, with the identity the thread acts as.
bool MayReplace(int folder, const std::string& name, const FileIdentity& identity) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      return false;
    }
    errno = EBUSY;  // removed by another program since it was read
    return !identity.existed;
  }
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  // Root would pass access().
  if (IsReadOnlyMode(info.st_mode)) {
    errno = EACCES;
    return false;
  }
  if (::faccessat(folder, name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0) {
    return false;
  }
  errno = EBUSY;  // for a file that another program changed since it was read
  return SameIdentity(IdentityOf(info), identity);
}

mode_t CreationMode() {
  // umask can only be read by setting it; the program does not create files from other
  // threads meanwhile.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Gives the new file open as `fd` the owner, extended attributes and permission bits of
// the original, open as `source` (status `original`), or, for a new file (`original`
// null), the permissions an ordinary creation would.
bool GiveAttributes(int fd, int source, const struct stat* original) {
  if (original == nullptr) {
    return !Injected(ReplaceStep::kCopyAttributes) && ::fchmod(fd, CreationMode()) == 0;
  }
  // Owner first: changing it may clear the set-id bits and file capabilities. Only root
  // may give a file away; anyone else keeps the copy as their own. The mode last: it
  // also sets the ACL's mask, as the original's mode does.
  if (::fchown(fd, original->st_uid, original->st_gid) != 0 && errno != EPERM) {
    return false;
  }
  return !Injected(ReplaceStep::kCopyAttributes) && CopyAttributes(source, fd) &&
         ::fchmod(fd, original->st_mode & 07777) == 0;
}

// The new contents on their way in: a locked temporary file in the target's folder.
// Unless the rename has put it in the target's place, it is removed when the object
// goes, name and all, before its descriptors are closed (and with them the lock).
class TemporaryFile {
 public:
  TemporaryFile(int folder, std::string prefix) : folder_(folder), prefix_(std::move(prefix)) {}
  ~TemporaryFile() {
    if (!committed_) {
      RemoveTemporary(folder_, name_);
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool Create() {
    file_ = CreateTemporary(folder_, prefix_, name_);
    return file_.get() >= 0;
  }
  // The descriptor to write through, until CloseForWriting.
  int fd() const { return file_.get(); }

  // Closes the descriptor written through, whose close may report a failed write. A
  // second one keeps the lock, and lets an unnamed file be named.
  bool CloseForWriting() {
    held_ = Descriptor(::fcntl(file_.get(), F_DUPFD_CLOEXEC, 0));
    return held_.get() >= 0 && file_.Close();
  }

  // Gives an unnamed file its temporary name; a named one has it already.
  bool Name() { return !name_.empty() || NameTemporary(held_.get(), folder_, prefix_, name_); }

  bool RenameOver(const std::string& name, bool existed) {
    committed_ = RenameInto(folder_, name_, name, existed);
    return committed_;
  }

 private:
  const int folder_;
  const std::string prefix_;
  std::string name_;  // once it has one
  Descriptor file_;
  Descriptor held_;
  bool committed_ = false;
};

}  // namespace

ScopedReplaceFaultHook::ScopedReplaceFaultHook(ReplaceFaultHook hook)
    : ScopedOverride(FaultHook(), std::move(hook)) {}

ScopedNamedTemporaryFiles::ScopedNamedTemporaryFiles(bool named)
    : ScopedOverride(NamedOnly(), named) {}

bool ReadWholeFile(const std::string& hostPath, std::string& bytes, FileAsRead& read) {
  bytes.clear();
  read = FileAsRead();
  EntryLocation where;
  switch (ReachEntry(hostPath, where)) {
    case Reach::kUnsafe:
      read.refusal = FileRefusal::kUnsafePath;
      return false;
    case Reach::kFailed:
      return errno == ENOENT;  // a missing folder holds no file
    case Reach::kReached:
      break;
  }
  read.folder = std::move(where.folder);
  read.name = std::move(where.name);
  read.throughLink = where.throughLink;
  // The other name is refused before anything is opened: the file may be one its maker
  // could not even read.
  struct stat named {};
  if (::fstatat(read.folder.get(), read.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT;
  }
  if (UnsafeHardLink(named, where.folderInfo)) {
    read.refusal = FileRefusal::kUnsafePath;
    return false;
  }
  // O_NONBLOCK: a FIFO in the file's place must not hang the program; it is refused below.
  read.file = Descriptor(::openat(read.folder.get(), read.name.c_str(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const int fd = read.file.get();
  struct stat before {};
  if (fd < 0 || ::fstat(fd, &before) != 0) {
    return false;
  }
  if (!S_ISREG(before.st_mode)) {
    errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  if (before.st_dev != named.st_dev || before.st_ino != named.st_ino) {
    errno = EBUSY;  // a link or another file put in its place meanwhile is no better
    return false;
  }
  if (UnsafeHardLink(before, where.folderInfo)) {
    read.refusal = FileRefusal::kUnsafePath;
    return false;
  }
  if (static_cast<unsigned long long>(before.st_size) > kLargestFile) {
    read.refusal = FileRefusal::kTooLarge;
    return false;
  }
  // Straight into the string, sized as the file: one copy, whatever the file's size. A
  // file that grows meanwhile is read on, up to the bound, and then refused below.
  std::size_t done = 0;
  bytes.resize(static_cast<std::size_t>(before.st_size) + 1);
  for (;;) {
    if (done == bytes.size()) {
      if (done > kLargestFile) {
        bytes.clear();
        read.refusal = FileRefusal::kTooLarge;
        return false;
      }
      bytes.resize(std::min<std::size_t>(bytes.size() * 2, kLargestFile + 1));
    }
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      bytes.clear();
      return false;
    }
    if (got == 0) {
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  // A file that changed while it was read gives no consistent picture to write back.
  struct stat after {};
  if (::fstat(fd, &after) != 0) {
    bytes.clear();
    return false;
  }
  read.identity = IdentityOf(after);
  if (!SameIdentity(IdentityOf(before), read.identity) || bytes.size() != read.identity.size) {
    bytes.clear();
    read.identity = FileIdentity();
    errno = EBUSY;  // another program is writing it
    return false;
  }
  return true;
}

bool ReplaceFile(const FileAsRead& read, std::string_view bytes) {
  const FileIdentity& identity = read.identity;
  // A link that leads nowhere: nothing sensible to create at its far end.
  if (read.refusal != FileRefusal::kNone || read.folder.get() < 0 ||
      (!identity.existed && read.throughLink)) {
    errno = ENOENT;
    return false;
  }
  const std::string& name = read.name;
  const Descriptor folder(::openat(read.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat original {};
  if (folder.get() < 0 || (identity.existed && ::fstat(read.file.get(), &original) != 0) ||
      !MayReplace(folder.get(), name, identity)) {
    return false;
  }
  const std::string prefix = TemporaryPrefix(name);
  RemoveStaleTemporaries(folder.get(), prefix);

  const SignalGuard signals;
  if (Injected(ReplaceStep::kCreateTemporary)) {
    return false;
  }
  TemporaryFile temporary(folder.get(), prefix);
  if (!temporary.Create()) {
    return false;
  }
  if (Injected(ReplaceStep::kWrite) || !WriteAll(temporary.fd(), bytes)) {
    return false;
  }
  if (!GiveAttributes(temporary.fd(), read.file.get(), identity.existed ? &original : nullptr)) {
    return false;
  }
  if (Injected(ReplaceStep::kFlush) || ::fsync(temporary.fd()) != 0) {
    return false;
  }
  if (!temporary.CloseForWriting()) {
    return false;
  }
  // Check again right before the rename: the shorter the window, the less can slip in.
  if (!MayReplace(folder.get(), name, identity) || !temporary.Name()) {
    return false;
  }
  if (Injected(ReplaceStep::kRename) || !temporary.RenameOver(name, identity.existed)) {
    return false;
  }
  // The new contents are in place; a folder that cannot be flushed may still lose the
  // rename in a crash, which the caller hears about as a failed write. Some file systems
  // cannot flush a folder at all; the rename is then as safe as it gets.
  return ::fsync(folder.get()) == 0 || errno == EINVAL;
}

}  // namespace platform::posix
