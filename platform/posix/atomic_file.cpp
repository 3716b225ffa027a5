#include "platform/posix/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace platform::posix {

namespace {

ReplaceFaultHook& FaultHook() {
  static ReplaceFaultHook hook;
  return hook;
}

// Whether the test hook wants `step` to fail; sets errno as the system call would.
bool Injected(ReplaceStep step) {
  const ReplaceFaultHook& hook = FaultHook();
  if (!hook || !hook(step)) {
    return false;
  }
  errno = (step == ReplaceStep::kWrite) ? ENOSPC : EIO;
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

// Closes a descriptor once; the destructor is only for paths that already failed.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // A failing close can mean that written data never reached the disk.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// Whether the file at `target` may be replaced by one made from what was read as
// `identity`: it is still the same file, or still missing, and it is writable. The
// rename itself needs only the folder's permission, so the file's own is checked here.
bool MayReplace(const std::string& target, const FileIdentity& identity, struct stat& info) {
  if (::stat(target.c_str(), &info) != 0) {
    return errno == ENOENT && !identity.existed;
  }
  if (!S_ISREG(info.st_mode)) {
    return false;
  }
  // Root would pass access(); a file with no write bit at all is read-only for everyone,
  // as the read-only attribute is on Windows.
  if ((info.st_mode & 0222) == 0) {
    return false;
  }
  if (::geteuid() != 0 && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
    return false;
  }
  return SameIdentity(IdentityOf(info), identity);
}

// The file a path stands for: a symbolic link's final target, so that the link stays.
bool ResolveTarget(const std::string& hostPath, std::string& target) {
  struct stat info {};
  if (::lstat(hostPath.c_str(), &info) != 0) {
    if (errno != ENOENT) {
      return false;
    }
    target = hostPath;
    return true;
  }
  if (!S_ISLNK(info.st_mode)) {
    target = hostPath;
    return true;
  }
  char* resolved = ::realpath(hostPath.c_str(), nullptr);
  if (resolved == nullptr) {
    return false;  // a dangling or looping link: nothing sensible to replace
  }
  target = resolved;
  std::free(resolved);
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  Descriptor descriptor(fd);
  // Some file systems cannot flush a folder at all; the rename is then as safe as it gets.
  if (::fsync(fd) != 0 && errno != EINVAL) {
    return false;
  }
  return descriptor.Close();
}

mode_t CreationMode() {
  // umask can only be read by setting it; the program does not create files from other
  // threads meanwhile.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Renames the finished temporary file over `target`. For a file that did not exist the
// rename must not replace one that appeared meanwhile.
bool RenameInto(const std::string& temporary, const std::string& target, bool existed) {
  if (Injected(ReplaceStep::kRename)) {
    return false;
  }
  if (!existed) {
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
      return false;
    }
    // The file system cannot refuse to replace; fall back to the plain rename.
  }
  return ::rename(temporary.c_str(), target.c_str()) == 0;
}

}  // namespace

void SetReplaceFaultHook(ReplaceFaultHook hook) {
  FaultHook() = std::move(hook);
}

bool ReadWholeFile(const std::string& hostPath, std::string& bytes, FileIdentity& identity) {
  bytes.clear();
  identity = FileIdentity();
  // O_NONBLOCK: a FIFO in the file's place must not hang the program; it is refused below.
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno == ENOENT;
  }
  Descriptor descriptor(fd);
  struct stat before {};
  if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
    return false;
  }
  // Straight into the string, sized as the file: one copy, whatever the file's size. A
  // file that grows meanwhile is read on to its end and then refused below.
  std::size_t done = 0;
  bytes.resize(static_cast<std::size_t>(before.st_size) + 1);
  for (;;) {
    if (done == bytes.size()) {
      bytes.resize(bytes.size() * 2);
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
  if (::fstat(fd, &after) != 0 || !descriptor.Close()) {
    return false;
  }
  identity = IdentityOf(after);
  if (!SameIdentity(IdentityOf(before), identity) || bytes.size() != identity.size) {
    bytes.clear();
    identity = FileIdentity();
    return false;
  }
  return true;
}

bool ReplaceFile(const std::string& hostPath, std::string_view bytes,
                 const FileIdentity& identity) {
  std::string target;
  struct stat original {};
  if (!ResolveTarget(hostPath, target) || !MayReplace(target, identity, original)) {
    return false;
  }
  const std::size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  // Room for ".", ".zelfix-XXXXXX" and the file's name within the longest name allowed.
  if (name.size() > NAME_MAX - 16) {
    name.resize(NAME_MAX - 16);
  }
  std::string temporary = folder + "/." + name + ".zelfix-XXXXXX";

  if (Injected(ReplaceStep::kCreateTemporary)) {
    return false;
  }
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  Descriptor descriptor(fd);
  bool ok = !Injected(ReplaceStep::kWrite) && WriteAll(fd, bytes);
  if (ok && identity.existed) {
    // Owner first: changing it may clear the set-id bits that fchmod then restores.
    // Only root may give a file away; anyone else keeps the copy as their own.
    ok = ::fchown(fd, original.st_uid, original.st_gid) == 0 || errno == EPERM;
    ok = ok && ::fchmod(fd, original.st_mode & 07777) == 0;
  } else if (ok) {
    ok = ::fchmod(fd, CreationMode()) == 0;
  }
  ok = ok && !Injected(ReplaceStep::kFlush) && ::fsync(fd) == 0;
  ok = ok && descriptor.Close();
  // Check again right before the rename: the shorter the window, the less can slip in.
  struct stat current {};
  ok = ok && MayReplace(target, identity, current);
  ok = ok && RenameInto(temporary, target, identity.existed);
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The new contents are in place; a folder that cannot be flushed may still lose the
  // rename in a crash, which the caller hears about as a failed write.
  return SyncFolder(folder);
}

}  // namespace platform::posix
