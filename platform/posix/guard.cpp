#include "platform/posix/guard.h"

#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "platform/printable.h"

namespace platform::posix {

namespace {

// As many links as the kernel follows in one path.
constexpr int kMostLinks = 40;

// Whom a thread acts as on the file system.
struct Identity {
  uid_t user = 0;
  gid_t group = 0;
  std::vector<gid_t> groups;  // supplementary
  std::string name;           // for notes; empty when the user database has none
};

// The thread's own file-system identity now. setfsuid and setfsgid answer the previous
// value; -1 is no identity, so nothing changes.
uid_t FileSystemUser() {
  return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
}
gid_t FileSystemGroup() {
  return static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1)));
}

// Makes the calling thread act as `identity` on the file system. Only this thread: glibc's
// setgroups would change every thread of the process (the drive probes that hang in a
// dead mount among them, which it would wait for), so the system call is made directly.
// The supplementary groups go first, while the thread still has root's rights over files;
// leaving uid 0 drops them, coming back to it restores them.
bool ActAs(const Identity& identity) {
  if (FileSystemUser() == identity.user && FileSystemGroup() == identity.group) {
    return true;
  }
#ifdef SYS_setgroups32
  const long setgroups = SYS_setgroups32;
#else
  const long setgroups = SYS_setgroups;
#endif
  if (::syscall(setgroups, identity.groups.size(), identity.groups.data()) != 0) {
    return false;
  }
  ::setfsgid(identity.group);
  ::setfsuid(identity.user);
  return FileSystemUser() == identity.user && FileSystemGroup() == identity.group;
}

// The run's own identity, as the process started.
const Identity& OwnIdentity() {
  static const Identity own = [] {
    Identity identity{::geteuid(), ::getegid(), {}, {}};
    const int count = ::getgroups(0, nullptr);
    identity.groups.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    if (count > 0 && ::getgroups(count, identity.groups.data()) != count) {
      identity.groups.clear();
    }
    return identity;
  }();
  return own;
}

// The user `user` with the primary and supplementary groups the user database gives
// them; one it does not know gets the overflow group alone, never one of root's.
Identity IdentityOf(uid_t user) {
  Identity identity{user, 65534, {}, {}};
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
    identity.groups.push_back(identity.group);
    return identity;
  }
  identity.group = entry.pw_gid;
  identity.name = entry.pw_name;
  int count = 64;
  identity.groups.resize(static_cast<std::size_t>(count));
  if (::getgrouplist(entry.pw_name, entry.pw_gid, identity.groups.data(), &count) < 0) {
    identity.groups.resize(static_cast<std::size_t>(count));
    if (::getgrouplist(entry.pw_name, entry.pw_gid, identity.groups.data(), &count) < 0) {
      count = 0;
    }
  }
  identity.groups.resize(static_cast<std::size_t>(count));
  return identity;
}

// The names of `path` in reverse order, for taking them from the back.
void PushNames(const std::string& path, std::vector<std::string>& todo) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > start) {
      names.push_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  todo.insert(todo.end(), names.rbegin(), names.rend());
}

std::optional<std::string> ReadLink(int link) {
  char target[PATH_MAX];
  const ssize_t length = ::readlinkat(link, "", target, sizeof target);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
    return std::nullopt;
  }
  return std::string(target, static_cast<std::size_t>(length));
}

Descriptor OpenPath(int at, const char* name, int flags = 0) {
  return Descriptor(::openat(at, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | flags));
}

// The primary group of `user`, or -1 when the user database does not know them.
gid_t PrimaryGroupOf(uid_t user) {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  return ::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
             ? entry.pw_gid
             : static_cast<gid_t>(-1);
}

// Whether users other than a folder's owner may put entries into it: anyone, or its
// group, unless that is the owner's own primary group (a user's private group, where a
// umask of 002 leaves every folder group-writable).
bool OthersMayWrite(const struct stat& folder) {
  return (folder.st_mode & S_IWOTH) != 0 ||
         ((folder.st_mode & S_IWGRP) != 0 && folder.st_gid != PrimaryGroupOf(folder.st_uid));
}

// Whether a user other than root may put an entry into a folder with this status (the
// sticky bit only keeps them from the entries of others).
bool OthersMayChange(const struct stat& folder) {
  return folder.st_uid != 0 || OthersMayWrite(folder);
}

// The prefix in use, for every thread.
struct Prefix {
  bool known = false;
  std::string configured;  // as given
  std::string path;        // to use
  bool present = false;    // whether the walk reached the prefix's folder
  struct stat info {};     // of that folder when it was examined
  std::string refusal;     // why an elevated run may not enter it; empty when it may
  Identity actAs;
  std::string note;  // said once, by the caller
  bool devicesKnown = false;
  dev_t devicesDevice = 0;
  ino_t devicesInode = 0;
};

std::mutex prefixMutex;
Prefix prefixInUse;

// Who controls the prefix at `configured`: walks its path from the root, following its
// links, and notes the owner of each folder whose entry it takes and of each link. A
// folder that others may write in, without the sticky bit, lets anyone swap what lies
// below it.
Prefix Examine(const std::string& configured) {
  Prefix prefix;
  prefix.known = true;
  prefix.configured = configured;
  prefix.path = configured;
  std::vector<std::string> todo;
  if (configured.empty() || configured[0] != '/') {
    char current[PATH_MAX];
    if (::getcwd(current, sizeof current) != nullptr) {
      PushNames(configured, todo);
      PushNames(current, todo);
    }
  } else {
    PushNames(configured, todo);
  }
  std::set<uid_t> owners;
  std::string shared;
  std::vector<std::string> walked;
  Descriptor at = OpenPath(AT_FDCWD, "/", O_DIRECTORY);
  int links = 0;
  bool complete = at.get() >= 0;
  while (complete && !todo.empty()) {
    const std::string name = std::move(todo.back());
    todo.pop_back();
    if (name == ".") {
      continue;
    }
    struct stat folder {};
    if (::fstat(at.get(), &folder) != 0) {
      complete = false;
      break;
    }
    if (name == "..") {
      at = OpenPath(at.get(), "..", O_DIRECTORY);
      if (!walked.empty()) {
        walked.pop_back();
      }
      complete = at.get() >= 0;
      continue;
    }
    if (folder.st_uid != 0) {
      owners.insert(folder.st_uid);
    }
    if (OthersMayWrite(folder) && (folder.st_mode & S_ISVTX) == 0 && shared.empty()) {
      shared = "/";
      for (const std::string& part : walked) {
        shared += part + "/";
      }
    }
    Descriptor child = OpenPath(at.get(), name.c_str());
    struct stat info {};
    if (child.get() < 0 || ::fstat(child.get(), &info) != 0) {
      complete = false;
      break;
    }
    if (S_ISLNK(info.st_mode)) {
      const std::optional<std::string> target = ReadLink(child.get());
      if (!target || ++links > kMostLinks) {
        complete = false;
        break;
      }
      if (info.st_uid != 0) {
        owners.insert(info.st_uid);
      }
      PushNames(*target, todo);
      if ((*target)[0] == '/') {
        at = OpenPath(AT_FDCWD, "/", O_DIRECTORY);
        walked.clear();
      }
      continue;
    }
    if (!S_ISDIR(info.st_mode)) {
      complete = false;
      break;
    }
    at = std::move(child);
    walked.push_back(name);
  }
  if (complete) {
    // The prefix's own owner controls its drives.
    prefix.present = ::fstat(at.get(), &prefix.info) == 0;
    if (prefix.present && prefix.info.st_uid != 0) {
      owners.insert(prefix.info.st_uid);
    }
    if (prefix.present && OthersMayWrite(prefix.info) && shared.empty()) {
      shared = "its own folder";
    }
    prefix.path.clear();
    for (const std::string& part : walked) {
      prefix.path += "/" + part;
    }
    if (prefix.path.empty()) {
      prefix.path = "/";
    }
  }
  // What is not there yet is the concern of whoever controls the folders that are.
  const std::string where = "the Wine prefix " + Printable(configured);
  if (!shared.empty()) {
    prefix.refusal = where + " lies where more than one user may change it (" + Printable(shared) +
                     " may be written by others)";
  } else if (owners.size() > 1) {
    std::string users;
    for (const uid_t owner : owners) {
      users += (users.empty() ? "uid " : " and uid ") + std::to_string(owner);
    }
    prefix.refusal = where + " is controlled by more than one user (" + users + ")";
  } else if (owners.size() == 1) {
    prefix.actAs = IdentityOf(*owners.begin());
    const std::string name = prefix.actAs.name.empty() ? "" : " (" + prefix.actAs.name + ")";
    prefix.note = where + " belongs to uid " + std::to_string(prefix.actAs.user) + name +
                  ": working in it as that user, not as root";
  } else {
    prefix.actAs = OwnIdentity();
  }
  if (!prefix.refusal.empty()) {
    prefix.refusal += ": as root, nothing in it is looked at; run as its owner instead";
  }
  return prefix;
}

// Whether the prefix examined is still the one at its path: the same folder, owner and
// permission bits, or still missing.
bool StillTheSame(const Prefix& prefix) {
  struct stat now {};
  const bool present = ::stat(prefix.path.c_str(), &now) == 0;
  return prefix.known && present == prefix.present &&
         (!present || (now.st_dev == prefix.info.st_dev && now.st_ino == prefix.info.st_ino &&
                       now.st_uid == prefix.info.st_uid && now.st_mode == prefix.info.st_mode));
}

// A drive link of the prefix in use: "x:" in its dosdevices folder.
bool IsDriveLink(const struct stat& folder, const std::string& name) {
  if (name.size() != 2 || name[1] != ':' || name[0] < 'a' || name[0] > 'z') {
    return false;
  }
  const std::lock_guard<std::mutex> lock(prefixMutex);
  return prefixInUse.devicesKnown && folder.st_dev == prefixInUse.devicesDevice &&
         folder.st_ino == prefixInUse.devicesInode;
}

// Whether the run may follow the link `name` (status `link`) in a folder with the status
// `folder`: any run by an ordinary user; an elevated one only where root alone controls
// the link, or for the prefix's drive links.
bool MayFollow(const struct stat& folder, const struct stat& link, const std::string& name) {
  if (!Elevated()) {
    return true;
  }
  if (folder.st_uid == 0 &&
      (!OthersMayWrite(folder) || ((folder.st_mode & S_ISVTX) != 0 && link.st_uid == 0))) {
    return true;
  }
  return IsDriveLink(folder, name);
}

}  // namespace

bool Elevated() {
  return ::geteuid() == 0;
}

std::optional<std::string> EnterPrefix(const std::string& prefix, std::string& note) {
  note.clear();
  if (!Elevated()) {
    return prefix;
  }
  const std::lock_guard<std::mutex> lock(prefixMutex);
  if (prefixInUse.configured != prefix || !StillTheSame(prefixInUse)) {
    // Examined with the run's own rights, whoever the thread acted for until now.
    if (!ActAs(OwnIdentity())) {
      note = "cannot take back root's own rights on the file system: " +
             std::string(std::strerror(errno));
      return std::nullopt;
    }
    prefixInUse = Examine(prefix);
    if (prefixInUse.refusal.empty()) {
      struct stat devices {};
      prefixInUse.devicesKnown = ActAs(prefixInUse.actAs) &&
                                 ::stat((prefixInUse.path + "/dosdevices").c_str(), &devices) == 0;
      prefixInUse.devicesDevice = devices.st_dev;
      prefixInUse.devicesInode = devices.st_ino;
    }
  }
  if (!prefixInUse.refusal.empty()) {
    note = prefixInUse.refusal;
    return std::nullopt;
  }
  if (!ActAs(prefixInUse.actAs)) {
    note = "cannot act as uid " + std::to_string(prefixInUse.actAs.user) + ", the owner of " +
           "the Wine prefix " + Printable(prefix) + " (" + std::strerror(errno) +
           "): as root, nothing in it is looked at; run as its owner instead";
    ActAs(OwnIdentity());
    return std::nullopt;
  }
  note = prefixInUse.note;
  return prefixInUse.path;
}

Reach ReachEntry(const std::string& hostPath, EntryLocation& where) {
  where = EntryLocation();
  std::vector<std::string> todo;
  PushNames(hostPath, todo);
  Descriptor at =
      OpenPath(AT_FDCWD, !hostPath.empty() && hostPath[0] == '/' ? "/" : ".", O_DIRECTORY);
  int links = 0;
  while (at.get() >= 0 && !todo.empty()) {
    std::string name = std::move(todo.back());
    todo.pop_back();
    const bool last = todo.empty();
    struct stat folder {};
    if (name == "." || name == "..") {
      if (last) {
        break;  // names a folder, not an entry in one
      }
      if (name == "..") {
        at = OpenPath(at.get(), "..", O_DIRECTORY);
      }
      continue;
    }
    if (::fstat(at.get(), &folder) != 0) {
      return Reach::kFailed;
    }
    Descriptor child = OpenPath(at.get(), name.c_str());
    struct stat info {};
    if (child.get() < 0 || ::fstat(child.get(), &info) != 0) {
      if (!(last && errno == ENOENT)) {
        return Reach::kFailed;
      }
    } else if (S_ISLNK(info.st_mode)) {
      if (!MayFollow(folder, info, name)) {
        return Reach::kUnsafe;
      }
      const std::optional<std::string> target = ReadLink(child.get());
      if (!target || ++links > kMostLinks) {
        errno = target ? ELOOP : ENOENT;
        return Reach::kFailed;
      }
      where.throughLink = where.throughLink || last;
      PushNames(*target, todo);
      if ((*target)[0] == '/') {
        at = OpenPath(AT_FDCWD, "/", O_DIRECTORY);
      }
      continue;
    } else if (!last) {
      if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return Reach::kFailed;
      }
      at = std::move(child);
      continue;
    }
    where.folder = std::move(at);
    where.folderInfo = folder;
    where.name = std::move(name);
    return Reach::kReached;
  }
  if (at.get() >= 0) {
    errno = EISDIR;
  }
  return Reach::kFailed;
}

bool UnsafeHardLink(const struct stat& file, const struct stat& folder) {
  return Elevated() && file.st_nlink > 1 && OthersMayChange(folder);
}

}  // namespace platform::posix
