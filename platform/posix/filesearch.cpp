// posix file search over Windows paths (see platform/posix/winpath.h).
//
// Implements: wildcard patterns in the last name, the read-only, hidden, folder and
// archive attributes. Not implemented: the system attribute (never set), short 8.3
// names, and the DOS wildcards "<", ">" and '"'.
#include "platform/filesearch.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"

namespace platform {

namespace {

std::uint32_t AttributesOf(const std::string& hostPath, const std::string& name) {
  struct stat info {};
  if (stat(hostPath.c_str(), &info) != 0 && lstat(hostPath.c_str(), &info) != 0) {
    return 0;
  }
  std::uint32_t attributes = S_ISDIR(info.st_mode) ? kAttributeDirectory : kAttributeArchive;
  if (name != "." && name != "..") {
    if (name.front() == '.') {
      attributes |= kAttributeHidden;
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      attributes |= kAttributeReadOnly;
    }
  }
  return attributes;
}

bool HasWildcards(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

}  // namespace

std::vector<FoundEntry> FindEntries(const std::string& path) {
  std::vector<FoundEntry> entries;
  const std::optional<posix::WindowsPath> parsed = posix::ParseWindowsPath(path);
  // A trailing separator or a bare drive root names no entry to find.
  if (!parsed || parsed->trailingSeparator || parsed->components.empty()) {
    return entries;
  }
  const std::size_t last = parsed->components.size() - 1;
  const posix::HostLocation folder = posix::Locate(*parsed, last);
  struct stat info {};
  if (!folder.exists || stat(folder.hostPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    return entries;
  }
  const std::string& pattern = parsed->components[last];

  if (!HasWildcards(pattern)) {
    const posix::HostLocation entry = posix::Locate(*parsed);
    if (entry.exists) {
      const std::string name = entry.hostPath.substr(entry.hostPath.rfind('/') + 1);
      entries.push_back(FoundEntry{name, AttributesOf(entry.hostPath, name)});
    }
    return entries;
  }

  std::optional<std::vector<std::string>> listed = posix::ReadFolderNames(folder.hostPath);
  if (!listed) {
    return entries;
  }
  std::vector<std::string>& names = *listed;
  // "." and ".." first, as Windows lists them; then by name without regard to case.
  const auto rank = [](const std::string& name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    if (rank(a) != rank(b)) {
      return rank(a) < rank(b);
    }
    const std::string foldedA = posix::FoldCase(a);
    const std::string foldedB = posix::FoldCase(b);
    return foldedA != foldedB ? foldedA < foldedB : a < b;
  });
  for (const std::string& name : names) {
    if (posix::MatchesPattern(pattern, name)) {
      entries.push_back(FoundEntry{name, AttributesOf(folder.hostPath + "/" + name, name)});
    }
  }
  return entries;
}

std::optional<FoundEntry> FindFirstEntry(const std::string& path) {
  std::vector<FoundEntry> entries = FindEntries(path);
  if (entries.empty()) {
    return std::nullopt;
  }
  return std::move(entries.front());
}

}  // namespace platform
