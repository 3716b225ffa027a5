#include "platform/posix/winpath.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>

#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

std::optional<std::string> DosDevicesFolder() {
  std::string prefix;
  if (const char* env = std::getenv("WINEPREFIX"); env != nullptr && *env != '\0') {
    prefix = env;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    prefix = std::string(home) + "/.wine";
  } else {
    return std::nullopt;
  }
  const std::string folder = prefix + "/dosdevices";
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return folder;
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

// The entry of `folder` (ending in "/") whose name equals `name` without regard to case; an exact
// match wins, otherwise the first in byte order, so the choice does not depend on readdir.
std::optional<std::string> FindName(const std::string& folder, const std::string& name) {
  if (Exists(folder + name)) {
    return name;
  }
  const std::optional<std::vector<std::string>> names = ReadFolderNames(folder);
  if (!names) {
    return std::nullopt;
  }
  std::optional<std::string> best;
  for (const std::string& candidate : *names) {
    if (candidate != "." && candidate != ".." && EqualIgnoringCase(candidate, name) &&
        (!best || candidate < *best)) {
      best = candidate;
    }
  }
  return best;
}

// Windows drops trailing dots and spaces from every name of a path.
std::string StripTrailingDotsAndSpaces(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    name.pop_back();
  }
  return name;
}

// Returns whether the last name vanished (only dots and spaces): Windows then names the
// folder before it, as if the text ended in a separator.
bool AppendComponents(std::string_view text, std::vector<std::string>& components) {
  bool lastVanished = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) {
      ++end;
    }
    const std::string raw(text.substr(start, end - start));
    lastVanished = false;
    if (raw == "..") {
      if (!components.empty()) {
        components.pop_back();
      }
    } else if (raw != "." && !raw.empty()) {
      std::string name = StripTrailingDotsAndSpaces(raw);
      if (!name.empty()) {
        components.push_back(std::move(name));
      } else {
        lastVanished = true;
      }
    }
    start = end + 1;
  }
  return lastVanished;
}

}  // namespace

std::optional<std::vector<std::string>> ReadFolderNames(const std::string& hostFolder) {
  DIR* dir = opendir(hostFolder.c_str());
  if (dir == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

std::optional<std::string> DriveRoot(char drive) {
  drive = static_cast<char>(std::tolower(static_cast<unsigned char>(drive)));
  if (drive < 'a' || drive > 'z') {
    return std::nullopt;
  }
  const std::optional<std::string> devices = DosDevicesFolder();
  if (!devices) {
    return drive == 'z' ? std::optional<std::string>("/") : std::nullopt;
  }
  const std::string link = *devices + "/" + drive + ":";
  struct stat info {};
  if (stat(link.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return std::nullopt;
  }
  return link;
}

std::vector<char> DriveLetters() {
  std::vector<char> letters;
  for (char drive = 'a'; drive <= 'z'; ++drive) {
    if (DriveRoot(drive)) {
      letters.push_back(drive);
    }
  }
  return letters;
}

std::vector<char> ListedDriveLetters() {
  const std::optional<std::string> devices = DosDevicesFolder();
  if (!devices) {
    return {'z'};
  }
  std::vector<char> letters;
  for (char drive = 'a'; drive <= 'z'; ++drive) {
    // lstat, not stat: the link itself counts even when it leads nowhere.
    if (Exists(*devices + "/" + drive + ":")) {
      letters.push_back(drive);
    }
  }
  return letters;
}

std::optional<WindowsPath> ParseWindowsPath(std::string_view path) {
  if (path.empty()) {
    return std::nullopt;
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\?\C:\..." is a plain path in disguise; other network and device paths are not
    // supported.
    if (path.size() >= 6 && path[2] == '?' && IsSeparator(path[3]) && path[5] == ':') {
      path.remove_prefix(4);
    } else {
      return std::nullopt;
    }
  }

  WindowsPath parsed;
  std::string_view rest = path;
  const bool hasDrive =
      path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
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
    parsed.drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    rest.remove_prefix(2);
    if (rest.empty() || !IsSeparator(rest[0])) {
      if (currentFolder().drive == parsed.drive) {
        parsed.components = currentFolder().components;
      }
    }
  } else {
    parsed.drive = currentFolder().drive;
    if (!IsSeparator(rest[0])) {
      parsed.components = currentFolder().components;
    }
  }
  if (!DriveRoot(parsed.drive)) {
    return std::nullopt;
  }
  const bool lastVanished = AppendComponents(rest, parsed.components);
  parsed.trailingSeparator = (!rest.empty() && IsSeparator(rest.back())) || lastVanished;
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
  for (std::size_t i = 0; i < count && i < path.components.size(); ++i) {
    const std::string& name = path.components[i];
    if (location.hostPath.back() != '/') {
      location.hostPath += '/';
    }
    if (location.exists) {
      if (const std::optional<std::string> found = FindName(location.hostPath, name)) {
        location.hostPath += *found;
        continue;
      }
      location.exists = false;
    }
    location.hostPath += name;
  }
  return location;
}

std::optional<std::string> WindowsNameOf(const std::string& hostPath) {
  const std::optional<std::string> real = RealPath(hostPath);
  if (!real) {
    return std::nullopt;
  }
  char bestDrive = 0;
  std::size_t bestLength = 0;
  for (const char drive : DriveLetters()) {
    const std::optional<std::string> target = RealPath(*DriveRoot(drive));
    if (!target) {
      continue;
    }
    const std::string& folder = *target;
    const bool inside =
        *real == folder ||
        (folder == "/" ? real->size() > 1
                       : real->compare(0, folder.size(), folder) == 0 &&
                             real->size() > folder.size() && (*real)[folder.size()] == '/');
    // Z: (the whole file system) names only what no other drive holds.
    const std::size_t length = folder == "/" ? 0 : folder.size();
    if (inside && (bestDrive == 0 || length > bestLength)) {
      bestDrive = drive;
      bestLength = length;
    }
  }
  if (bestDrive == 0) {
    return std::nullopt;
  }
  std::string name(1, static_cast<char>(std::toupper(static_cast<unsigned char>(bestDrive))));
  name += ":\\";
  std::string below = bestLength < real->size() ? real->substr(bestLength) : std::string();
  while (!below.empty() && below.front() == '/') {
    below.erase(below.begin());
  }
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
