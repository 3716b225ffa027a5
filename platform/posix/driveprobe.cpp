// posix drive probe: the kind of a prefix's drive from its configured type or the mount
// table, a lookup in its root, and a line on standard error for a drive given up.
//
// Implements: the drive types Wine knows ("hd", "ramdisk", "network", "floppy", "cdrom"),
// the file system types of local disks, network shares and FUSE, removable block
// devices. Not implemented: telling a USB disk that reports itself fixed from an internal
// one (both get the local disk's bound, as on Windows).
#include "platform/posix/driveprobe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>

#include "platform/posix/handles.h"
#include "platform/posix/winpath.h"
#include "platform/text.h"

namespace platform::posix {

namespace {

// A registry larger than this is not read: a prefix's is a few MiB.
constexpr off_t kLargestRegistry = 64 << 20;
// Links followed on the way to a drive's folder, as many as the kernel follows.
constexpr int kMostLinks = 40;

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The mount table's escapes: "\040" for a space, and so on.
std::string Unescaped(std::string_view field) {
  std::string text;
  const auto octal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                (field[i + 3] - '0'));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

// The names of a host path, "." and ".." resolved by the text alone ("/a/./b/../c//":
// "a", "c").
std::vector<std::string> HostNames(std::string_view path) {
  std::vector<std::string> names;
  while (!path.empty()) {
    const std::size_t slash = std::min(path.find('/'), path.size());
    const std::string_view name = path.substr(0, slash);
    if (name == "..") {
      if (!names.empty()) {
        names.pop_back();
      }
    } else if (!name.empty() && name != ".") {
      names.emplace_back(name);
    }
    path.remove_prefix(std::min(slash + 1, path.size()));
  }
  return names;
}

bool OneOf(const std::string& type, std::initializer_list<const char*> types) {
  return std::any_of(types.begin(), types.end(), [&](const char* known) { return type == known; });
}

std::optional<std::string> ReadLink(const std::string& path) {
  std::array<char, 4096> buffer{};
  const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    return std::nullopt;
  }
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The folder that holds `path`: "/a" for "/a/b".
std::string FolderPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

bool IsMountFolder(const std::vector<Mount>& mounts, const std::string& folder) {
  return std::any_of(mounts.begin(), mounts.end(),
                     [&](const Mount& mount) { return mount.folder == folder; });
}

// Whether the system says the block device of `mount` (or the disk it is a partition of)
// is removable.
bool OnRemovableDevice(const Mount& mount) {
  if (mount.major == 0) {
    return false;
  }
  const std::string device =
      "/sys/dev/block/" + std::to_string(mount.major) + ":" + std::to_string(mount.minor);
  for (const char* flag : {"/removable", "/../removable"}) {
    std::ifstream file(device + flag);
    char removable = 0;
    if (file >> removable) {
      return removable == '1';
    }
  }
  return false;
}

// The prefix's system.reg, read without following a link and without waiting on
// anything that is not a plain file: the prefix may belong to someone else.
std::optional<std::string> ReadRegistry(const std::string& prefix) {
  const Descriptor file(
      open((prefix + "/system.reg").c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size > kLargestRegistry) {
    return std::nullopt;
  }
  std::string text;
  std::array<char, 65536> buffer{};
  while (text.size() <= static_cast<std::size_t>(kLargestRegistry)) {
    const ssize_t length = read(file.get(), buffer.data(), buffer.size());
    if (length < 0 && errno == EINTR) {
      continue;
    }
    if (length <= 0) {
      return length == 0 ? std::optional<std::string>(text) : std::nullopt;
    }
    text.append(buffer.data(), static_cast<std::size_t>(length));
  }
  return std::nullopt;
}

}  // namespace

std::vector<Mount> ParseMountTable(std::string_view mountinfo) {
  std::vector<Mount> mounts;
  std::istringstream lines{std::string(mountinfo)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    const std::vector<std::string> fields{std::istream_iterator<std::string>(words),
                                          std::istream_iterator<std::string>()};
    // id parent major:minor root folder options [optional fields] - type source options
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") {
      ++separator;
    }
    Mount mount;
    if (separator + 2 >= fields.size() ||
        std::sscanf(fields[2].c_str(), "%u:%u", &mount.major, &mount.minor) != 2) {
      continue;
    }
    mount.folder = Unescaped(fields[4]);
    mount.type = Unescaped(fields[separator + 1]);
    mount.source = Unescaped(fields[separator + 2]);
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

const Mount* MountHolding(const std::vector<Mount>& mounts, std::string_view hostPath) {
  const Mount* holding = nullptr;
  for (const Mount& mount : mounts) {
    const std::string& folder = mount.folder;
    const bool holds = folder == "/" || hostPath == folder ||
                       (StartsWith(hostPath, folder) && hostPath.size() > folder.size() &&
                        hostPath[folder.size()] == '/');
    if (holds && (holding == nullptr || folder.size() >= holding->folder.size())) {
      holding = &mount;
    }
  }
  return holding;
}

DriveKind KindOfMount(const Mount& mount, bool removable) {
  const std::string& type = mount.type;
  if (type == "fuse" || type == "fuseblk" || StartsWith(type, "fuse.")) {
    return DriveKind::kUserSpace;
  }
  if (OneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs",
                   "9p", "lustre", "coda"})) {
    return DriveKind::kNetwork;
  }
  if (OneOf(type, {"iso9660", "udf"})) {
    return DriveKind::kRemovable;
  }
  if (OneOf(type,
            {"ext2",     "ext3",   "ext4",    "xfs",   "btrfs", "f2fs",     "jfs",     "reiserfs",
             "vfat",     "msdos",  "exfat",   "ntfs",  "ntfs3", "hfs",      "hfsplus", "zfs",
             "bcachefs", "nilfs2", "overlay", "tmpfs", "ramfs", "squashfs", "erofs"})) {
    return removable ? DriveKind::kRemovable : DriveKind::kLocalDisk;
  }
  return DriveKind::kUnknown;
}

std::optional<DriveKind> ConfiguredDriveKind(std::string_view registry, char letter) {
  std::istringstream lines{std::string(registry)};
  bool inDrives = false;
  const std::string name = std::string("\"") + AsciiLower(letter) + ":\"=";
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    line = AsciiLower(line);
    if (StartsWith(line, "[")) {
      // The file doubles each backslash of a key's name.
      inDrives = StartsWith(line, "[software\\\\wine\\\\drives]");
    } else if (inDrives && StartsWith(line, name)) {
      const std::string type = line.substr(name.size());
      if (type == "\"hd\"" || type == "\"ramdisk\"") {
        return DriveKind::kLocalDisk;
      }
      if (type == "\"network\"") {
        return DriveKind::kNetwork;
      }
      if (type == "\"floppy\"" || type == "\"cdrom\"") {
        return DriveKind::kRemovable;
      }
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::string FolderOfLink(const std::string& link, const std::vector<Mount>& mounts) {
  const std::optional<std::string> target = ReadLink(link);
  if (!target) {
    return link;
  }
  std::string path = *target;
  if (!StartsWith(path, "/")) {
    // The prefix's own folder answers: it holds the links.
    char* const real = realpath(FolderPart(link).c_str(), nullptr);
    path = (real != nullptr ? std::string(real) : FolderPart(link)) + "/" + path;
    std::free(real);
  }
  std::vector<std::string> names = HostNames(path);
  std::string folder;
  int links = 0;
  std::size_t i = 0;
  while (i < names.size()) {
    const std::string next = folder + "/" + names[i];
    const Mount* holding = MountHolding(mounts, folder.empty() ? "/" : folder);
    // A mount's own folder is a real folder; looking at it would reach the mounted drive.
    const bool mayLook = holding != nullptr && !IsMountFolder(mounts, next) &&
                         KindOfMount(*holding, false) == DriveKind::kLocalDisk;
    struct stat info {};
    std::optional<std::string> hop;
    if (mayLook && links < kMostLinks && lstat(next.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      hop = ReadLink(next);
    }
    if (!hop) {
      folder = next;
      ++i;
      continue;
    }
    std::string restart = StartsWith(*hop, "/") ? *hop : folder + "/" + *hop;
    for (std::size_t j = i + 1; j < names.size(); ++j) {
      restart += "/" + names[j];
    }
    names = HostNames(restart);
    folder.clear();
    i = 0;
    ++links;
  }
  return folder.empty() ? "/" : folder;
}

std::vector<Mount> CurrentMounts() {
  std::ifstream file("/proc/self/mountinfo");
  std::ostringstream text;
  text << file.rdbuf();
  return ParseMountTable(text.str());
}

}  // namespace platform::posix

namespace platform {

std::vector<DriveRef> PresentDrives() {
  return posix::PrefixDrives();
}

DriveKind ClassifyDrive(const DriveRef& drive) {
  // A link in "<prefix>/dosdevices"; without a prefix the root of the file system.
  if (drive.root != "/") {
    const std::string prefix = posix::FolderPart(posix::FolderPart(drive.root));
    if (const std::optional<std::string> registry = posix::ReadRegistry(prefix)) {
      if (const auto kind = posix::ConfiguredDriveKind(*registry, drive.letter)) {
        return *kind;
      }
    }
  }
  const std::vector<posix::Mount> mounts = posix::CurrentMounts();
  const std::string folder = drive.root == "/" ? "/" : posix::FolderOfLink(drive.root, mounts);
  const posix::Mount* mount = posix::MountHolding(mounts, folder);
  return mount != nullptr ? posix::KindOfMount(*mount, posix::OnRemovableDevice(*mount))
                          : DriveKind::kUnknown;
}

void LookAtDrive(const DriveRef& drive) {
  // A name below the root, where the candidate folders lie: the root's own attributes may
  // be cached, a lookup has to reach the drive.
  struct stat info {};
  lstat((drive.root + "/Program Files").c_str(), &info);
}

void TellSilentDrive(const SilentDrive& drive) {
  std::fprintf(stderr,
               "zelfix: drive %c: did not answer within %.1f s: it counts as missing for the "
               "rest of the run\n",
               AsciiUpper(drive.letter), static_cast<double>(drive.waited.count()) / 1000.0);
}

}  // namespace platform
