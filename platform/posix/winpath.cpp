#include "platform/posix/winpath.h"

#include <dirent.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>

#include "platform/posix/driveprobe.h"
#include "platform/posix/guard.h"
#include "platform/posix/handles.h"
#include "platform/posix/unicode.h"
#include "platform/printable.h"
#include "platform/text.h"

namespace platform::posix {

namespace {

// Says `text` on standard error the first time `key` comes up in this run.
void NoteOnce(const std::string& key, const std::string& text) {
  static std::mutex mutex;
  static std::set<std::string> said;
  const std::lock_guard<std::mutex> lock(mutex);
  if (said.insert(key).second) {
    std::fprintf(stderr, "zelfix: %s\n", text.c_str());
  }
}

// The prefix's dosdevices folder. Without one, `zOnly` tells whether Z: stands in (no
// prefix) or no drive does (a prefix that an elevated run may not enter, guard.h).
struct DosDevices {
  std::optional<std::string> folder;
  bool zOnly = true;
};

DosDevices DosDevicesFolder() {
  const char* env = std::getenv("WINEPREFIX");
  const bool fromEnvironment = env != nullptr && *env != '\0';
  std::string prefix;
  if (fromEnvironment) {
    prefix = env;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    prefix = std::string(home) + "/.wine";
  } else {
    NoteOnce("no prefix",
             "neither WINEPREFIX nor HOME is set, so there is no Wine prefix: using Z: (the "
             "root of the file system) as the only drive");
    return DosDevices{};
  }
  std::string note;
  const std::optional<std::string> entered = EnterPrefix(prefix, note);
  if (!note.empty()) {
    NoteOnce("entered " + prefix + note, note);
  }
  if (!entered) {
    return DosDevices{std::nullopt, false};
  }
  const std::string folder = *entered + "/dosdevices";
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    const std::string what =
        fromEnvironment ? "WINEPREFIX=" + prefix +
                              " has no dosdevices folder (mistyped, or a prefix that "
                              "Wine never started)"
                        : "WINEPREFIX is not set and " + prefix + " has no dosdevices folder";
    NoteOnce("prefix " + prefix,
             what + ": using Z: (the root of the file system) as the only drive");
    return DosDevices{};
  }
  return DosDevices{folder, false};
}

std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
  if (!resolved) {
    return std::nullopt;
  }
  return std::string(resolved.get());
}

bool Exists(const std::string& hostPath) {
  struct stat info {};
  return lstat(hostPath.c_str(), &info) == 0;
}

// Windows drops trailing dots and spaces from every name of a path.
std::string StripTrailingDotsAndSpaces(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    name.pop_back();
  }
  return name;
}

// What two names that Windows takes for the same one have in common.
std::string WindowsKey(const std::string& name) {
  return FoldCase(StripTrailingDotsAndSpaces(name));
}

std::shared_ptr<const std::vector<FolderEntry>> ReadFromDisk(const std::string& hostFolder,
                                                             int& error) {
  const FolderStream folder(opendir(hostFolder.c_str()));
  if (folder.get() == nullptr) {
    error = errno;
    return nullptr;
  }
  auto entries = std::make_shared<std::vector<FolderEntry>>();
  errno = 0;
  while (const dirent* entry = readdir(folder.get())) {
    entries->push_back(FolderEntry{entry->d_name, entry->d_type});
  }
  error = errno;
  if (error != 0) {
    return nullptr;
  }
  return entries;
}

// The listings of large folders read in this run, keyed by the folder's identity - so
// that a folder reached by two paths is read once, and a path that has come to name
// another folder is not answered from the old one. Each is dropped when inotify reports a
// change in its folder: an entry created, deleted or renamed, attributes changed (the
// folder's own too, as when it becomes unreadable), or the folder itself deleted or
// moved.
//
// Only large folders are kept: once the process has watched a folder, closing the
// watch when it ends costs a wait of several milliseconds in the kernel, more than
// reading a small folder a few more times. A folder is known to be large only once it
// has been read, and it must be watched before it is read, so a large folder is read
// twice: the first time, and once more under watch.
class FolderCache {
 public:
  // Never destroyed: freeing large listings as the process ends is time spent for nothing.
  static FolderCache& Instance() {
    static FolderCache* const cache = new FolderCache;
    return *cache;
  }

  std::shared_ptr<const std::vector<FolderEntry>> Entries(const std::string& hostFolder,
                                                          int& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::shared_ptr<Listing> listing = Find(hostFolder, error);
    return listing ? listing->entries : nullptr;
  }

  // The names in the folder whose WindowsKey is `key`.
  std::optional<std::vector<std::string>> Matching(const std::string& hostFolder,
                                                   const std::string& key, int& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::shared_ptr<Listing> listing = Find(hostFolder, error);
    if (!listing) {
      return std::nullopt;
    }
    if (!listing->indexed) {
      listing->byKey.reserve(listing->entries->size());
      for (const FolderEntry& entry : *listing->entries) {
        if (entry.name != "." && entry.name != "..") {
          listing->byKey.emplace(WindowsKey(WindowsEntryName(entry.name)), entry.name);
        }
      }
      listing->indexed = true;
    }
    std::vector<std::string> names;
    const auto range = listing->byKey.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
      names.push_back(it->second);
    }
    return names;
  }

  std::size_t EntriesRead() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return entriesRead_;
  }

 private:
  using Identity = std::pair<dev_t, ino_t>;
  struct Listing {
    std::shared_ptr<const std::vector<FolderEntry>> entries;
    std::unordered_multimap<std::string, std::string> byKey;  // built on first need
    bool indexed = false;
  };

  // From how many entries on a folder is kept.
  static constexpr std::size_t kLargeFolder = 10000;
  // A bound on the folders watched at once; past it everything kept is let go.
  static constexpr std::size_t kMaxFolders = 64;
  static constexpr std::uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                            IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

  std::shared_ptr<Listing> Find(const std::string& hostFolder, int& error) {
    if (owner_ != getpid()) {
      Restart();
    }
    Drain();
    struct stat info {};
    if (stat(hostFolder.c_str(), &info) != 0) {
      error = errno;
      return nullptr;
    }
    if (!S_ISDIR(info.st_mode)) {
      error = ENOTDIR;
      return nullptr;
    }
    const Identity identity(info.st_dev, info.st_ino);
    if (const auto kept = listings_.find(identity); kept != listings_.end()) {
      return kept->second;
    }
    // Watched before it is read, so that a change while reading drops what was read.
    int watch = -1;
    if (large_.count(identity) != 0) {
      if (inotify_.get() < 0) {
        inotify_ = Descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
      }
      if (listings_.size() >= kMaxFolders) {
        Forget();
      }
      if (inotify_.get() >= 0) {
        watch = inotify_add_watch(inotify_.get(), hostFolder.c_str(), kChanges);
      }
    }
    auto listing = std::make_shared<Listing>();
    listing->entries = ReadFromDisk(hostFolder, error);
    if (!listing->entries) {
      return nullptr;
    }
    entriesRead_ += listing->entries->size();
    if (listing->entries->size() >= kLargeFolder) {
      large_.insert(identity);
    }
    if (watch >= 0) {
      watches_[watch] = identity;
      listings_[identity] = listing;
    }
    return listing;
  }

  // One inotify instance per process: a child made by fork shares its parent's, and
  // must not take the parent's events away from it.
  void Restart() {
    inotify_ = Descriptor();
    listings_.clear();
    watches_.clear();
    owner_ = getpid();
  }

  void Drain() {
    if (inotify_.get() < 0) {
      return;
    }
    alignas(inotify_event) char buffer[16384];
    for (;;) {
      const ssize_t length = read(inotify_.get(), buffer, sizeof buffer);
      if (length <= 0) {
        return;
      }
      for (ssize_t offset = 0; offset < length;) {
        inotify_event event;
        std::memcpy(&event, buffer + offset, sizeof event);
        offset += static_cast<ssize_t>(sizeof event + event.len);
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
          listings_.clear();
          continue;
        }
        const auto watched = watches_.find(event.wd);
        if (watched == watches_.end()) {
          continue;
        }
        listings_.erase(watched->second);
        if ((event.mask & IN_IGNORED) != 0) {
          watches_.erase(watched);
        }
      }
    }
  }

  void Forget() {
    for (const auto& watch : watches_) {
      inotify_rm_watch(inotify_.get(), watch.first);
    }
    watches_.clear();
    listings_.clear();
  }

  std::mutex mutex_;
  pid_t owner_ = 0;
  Descriptor inotify_;
  std::map<Identity, std::shared_ptr<Listing>> listings_;
  std::unordered_map<int, Identity> watches_;
  std::set<Identity> large_;  // folders found large when read
  std::size_t entriesRead_ = 0;
};

// The entry of `folder` (ending in "/") that `name` names: the name itself when an entry
// is called exactly that; otherwise one that Windows takes for the same name, preferring
// one that differs only in case, then the first in byte order, so that the choice does
// not depend on the order of the listing. Without one, `error` says why (0: no such
// entry, EACCES: the folder may not be searched or read).
std::optional<std::string> FindName(const std::string& folder, const std::string& name,
                                    int& error) {
  error = 0;
  struct stat info {};
  if (lstat((folder + name).c_str(), &info) == 0) {
    return name;
  }
  if (errno == EACCES) {
    error = EACCES;
    return std::nullopt;
  }
  if (const std::string hostName = HostEntryName(name);
      hostName != name && lstat((folder + hostName).c_str(), &info) == 0) {
    return hostName;
  }
  const std::optional<std::vector<std::string>> matching =
      FolderCache::Instance().Matching(folder, WindowsKey(name), error);
  if (!matching) {
    return std::nullopt;
  }
  error = 0;
  std::optional<std::string> best;
  bool bestOnlyCase = false;
  for (const std::string& candidate : *matching) {
    const bool onlyCase = EqualIgnoringCase(WindowsEntryName(candidate), name);
    if (!best || (onlyCase && !bestOnlyCase) || (onlyCase == bestOnlyCase && candidate < *best)) {
      best = candidate;
      bestOnlyCase = onlyCase;
    }
  }
  return best;
}

}  // namespace

std::shared_ptr<const std::vector<FolderEntry>> ReadFolder(const std::string& hostFolder,
                                                           int* error) {
  int ignored = 0;
  return FolderCache::Instance().Entries(hostFolder, error != nullptr ? *error : ignored);
}

std::size_t FolderEntriesRead() {
  return FolderCache::Instance().EntriesRead();
}

std::optional<std::string> DriveRoot(char drive) {
  drive = AsciiLower(drive);
  if (drive < 'a' || drive > 'z') {
    return std::nullopt;
  }
  const DosDevices devices = DosDevicesFolder();
  if (!devices.folder) {
    return drive == 'z' && devices.zOnly ? std::optional<std::string>("/") : std::nullopt;
  }
  const std::string link = *devices.folder + "/" + drive + ":";
  // lstat first: the link itself lies in the prefix and always answers.
  struct stat info {};
  if (lstat(link.c_str(), &info) != 0 || !ProcessDrives().Answers(DriveRef{link, drive}) ||
      stat(link.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return link;
}

std::vector<DriveRef> PrefixDrives() {
  const DosDevices devices = DosDevicesFolder();
  if (!devices.folder) {
    return devices.zOnly ? std::vector<DriveRef>{DriveRef{"/", 'z'}} : std::vector<DriveRef>{};
  }
  std::vector<DriveRef> drives;
  for (char drive = 'a'; drive <= 'z'; ++drive) {
    const std::string link = *devices.folder + "/" + drive + ":";
    if (Exists(link)) {
      drives.push_back(DriveRef{link, drive});
    }
  }
  return drives;
}

std::optional<WindowsPath> ParseWindowsPath(std::string_view path) {
  if (path.empty()) {
    return std::nullopt;
  }
  if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1])) {
    // "\\?\C:\..." is a plain path in disguise; other network and device paths are not
    // supported.
    if (path.size() >= 6 && path[2] == '?' && IsPathSeparator(path[3]) && path[5] == ':') {
      path.remove_prefix(4);
    } else {
      return std::nullopt;
    }
  }

  WindowsPath parsed;
  std::string_view rest = path;
  const bool hasDrive = path.size() >= 2 && path[1] == ':' && IsAsciiLetter(path[0]);
  std::optional<WindowsPath> current;
  const auto currentFolder = [&]() -> const WindowsPath& {
    if (!current) {
      current = ParseWindowsPath(CurrentWindowsFolder());
      if (!current) {
        current = WindowsPath{'z', {}, true};
      }
    }
    return *current;
  };

  if (hasDrive) {
    parsed.drive = AsciiLower(path[0]);
    rest.remove_prefix(2);
    if (rest.empty() || !IsPathSeparator(rest[0])) {
      if (currentFolder().drive == parsed.drive) {
        parsed.components = currentFolder().components;
      }
    }
  } else {
    parsed.drive = currentFolder().drive;
    if (!IsPathSeparator(rest[0])) {
      parsed.components = currentFolder().components;
    }
  }
  if (!DriveRoot(parsed.drive)) {
    return std::nullopt;
  }
  // Windows drops a name of only dots and spaces; when the last one goes, it names the
  // folder before it, as if the text ended in a separator.
  const bool lastVanished = AppendPathNames(rest, parsed.components, DotsAndSpaces::kDropped);
  parsed.trailingSeparator = (!rest.empty() && IsPathSeparator(rest.back())) || lastVanished;
  return parsed;
}

HostLocation Locate(const WindowsPath& path, std::size_t count) {
  HostLocation location;
  const std::optional<std::string> root = DriveRoot(path.drive);
  if (!root) {
    return location;
  }
  location.hostPath = *root;
  location.exists = true;
  // The folder reached so far by its Windows name, for the note on a locked folder.
  std::string windowsFolder(1, AsciiUpper(path.drive));
  windowsFolder += ":\\";
  for (std::size_t i = 0; i < count && i < path.components.size(); ++i) {
    const std::string& name = path.components[i];
    if (location.hostPath.back() != '/') {
      location.hostPath += '/';
    }
    if (location.exists) {
      int error = 0;
      if (const std::optional<std::string> found = FindName(location.hostPath, name, error)) {
        location.hostPath += *found;
        windowsFolder += (windowsFolder.back() == '\\' ? "" : "\\") + WindowsEntryName(*found);
        continue;
      }
      location.exists = false;
      if (error == EACCES) {
        location.accessDenied = true;
        const std::string hostFolder = location.hostPath.substr(0, location.hostPath.size() - 1);
        NoteOnce("denied " + hostFolder,
                 "permission denied: cannot look into " + Printable(windowsFolder) + " (" +
                     Printable(hostFolder) + "), so nothing in it can be found");
      }
    }
    location.hostPath += StripTrailingDotsAndSpaces(name);
  }
  return location;
}

std::optional<EntryInFolder> LocateInFolder(std::string_view path) {
  std::optional<WindowsPath> parsed = ParseWindowsPath(path);
  if (!parsed || parsed->trailingSeparator || parsed->components.empty()) {
    return std::nullopt;
  }
  const HostLocation folder = Locate(*parsed, parsed->components.size() - 1);
  struct stat info {};
  if (!folder.exists || stat(folder.hostPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return EntryInFolder{std::move(*parsed), folder.hostPath};
}

std::optional<std::string> WindowsNameOf(const std::string& hostPath) {
  const std::optional<std::string> real = RealPath(hostPath);
  if (!real) {
    return std::nullopt;
  }
  // Each drive's folder as far as it can be told without a lookup on the drive: naming a
  // folder on one drive never waits for another.
  const std::vector<Mount> mounts = CurrentMounts();
  char bestDrive = 0;
  std::size_t bestLength = 0;
  for (const DriveRef& drive : PrefixDrives()) {
    const std::string folder = drive.root == "/" ? "/" : FolderOfLink(drive.root, mounts);
    const bool inside =
        *real == folder ||
        (folder == "/" ? real->size() > 1
                       : real->compare(0, folder.size(), folder) == 0 &&
                             real->size() > folder.size() && (*real)[folder.size()] == '/');
    // Z: (the whole file system) names only what no other drive holds.
    const std::size_t length = folder == "/" ? 0 : folder.size();
    if (inside && (bestDrive == 0 || length > bestLength)) {
      bestDrive = drive.letter;
      bestLength = length;
    }
  }
  if (bestDrive == 0) {
    return std::nullopt;
  }
  std::string name(1, AsciiUpper(bestDrive));
  name += ":\\";
  std::string below = bestLength < real->size() ? real->substr(bestLength) : std::string();
  while (!below.empty() && below.front() == '/') {
    below.erase(below.begin());
  }
  below = WindowsEntryName(below);  // a line break is no separator: each name alike
  std::replace(below.begin(), below.end(), '/', '\\');
  return name + below;
}

std::string CurrentWindowsFolder() {
  char buffer[PATH_MAX];
  if (getcwd(buffer, sizeof buffer) != nullptr) {
    if (const std::optional<std::string> name = WindowsNameOf(buffer)) {
      return *name;
    }
  }
  return "Z:\\";
}

namespace {

// U+F00D and U+F00A in UTF-8.
constexpr std::string_view kCarriageReturnStandIn = "\xef\x80\x8d";
constexpr std::string_view kLineFeedStandIn = "\xef\x80\x8a";

}  // namespace

std::string WindowsEntryName(std::string_view hostName) {
  std::string name;
  name.reserve(hostName.size());
  for (const char c : hostName) {
    if (c == '\r') {
      name += kCarriageReturnStandIn;
    } else if (c == '\n') {
      name += kLineFeedStandIn;
    } else {
      name += c;
    }
  }
  return name;
}

std::string HostEntryName(std::string_view windowsName) {
  std::string name;
  name.reserve(windowsName.size());
  for (std::size_t i = 0; i < windowsName.size(); ++i) {
    const std::string_view rest = windowsName.substr(i);
    if (rest.substr(0, 3) == kCarriageReturnStandIn || rest.substr(0, 3) == kLineFeedStandIn) {
      name += rest[2] == kLineFeedStandIn[2] ? '\n' : '\r';
      i += 2;
    } else {
      name += windowsName[i];
    }
  }
  return name;
}

bool MatchesPattern(std::string_view pattern, std::string_view name) {
  // Classic backtracking wildcard match over characters, case-folded.
  std::vector<char32_t> p;
  std::vector<char32_t> n;
  for (std::size_t i = 0; i < pattern.size();) {
    p.push_back(FoldCase(NextCodePoint(pattern, i)));
  }
  for (std::size_t i = 0; i < name.size();) {
    n.push_back(FoldCase(NextCodePoint(name, i)));
  }
  std::size_t pi = 0;
  std::size_t ni = 0;
  std::size_t starP = std::string::npos;
  std::size_t starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
      ++pi, ++ni;
    } else if (pi < p.size() && p[pi] == U'*') {
      starP = pi++;
      starN = ni;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') {
    ++pi;
  }
  if (pi == p.size()) {
    return true;
  }
  // "name.*" also matches "name" without any extension.
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
         MatchesPattern(pattern.substr(0, pattern.size() - 2), name);
}

}  // namespace platform::posix
