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
  std::string pattern = parsed->components[last];

  if (!HasWildcards(pattern)) {
    const posix::HostLocation entry = posix::Locate(*parsed);
    if (entry.exists) {
      const std::string name = entry.hostPath.substr(entry.hostPath.rfind('/') + 1);
      entries.push_back(FoundEntry{name, AttributesOf(entry.hostPath, name)});
    }
    return entries;
  }

  // A pattern is taken as Windows takes every name: without its trailing dots and spaces.
  while (pattern.back() == '.' || pattern.back() == ' ') {
    pattern.pop_back();
  }
  const auto listed = posix::ReadFolder(folder.hostPath);
  if (!listed) {
    return entries;
  }
  // "." and ".." first, as Windows lists them; then by name without regard to case, each
  // name folded once.
  struct Match {
    int rank;
    std::string folded;
    const std::string* name;
  };
  std::vector<Match> matches;
  const bool everything = pattern == "*" || pattern == "*.*";
  // A drive's root has no "." and "..".
  const bool root = last == 0;
  for (const posix::FolderEntry& entry : *listed) {
    if (root && (entry.name == "." || entry.name == "..")) {
      continue;
    }
    if (everything || posix::MatchesPattern(pattern, entry.name)) {
      const int rank = entry.name == "." ? 0 : entry.name == ".." ? 1 : 2;
      matches.push_back(Match{rank, posix::FoldCase(entry.name), &entry.name});
    }
  }
  std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) {
    if (a.rank != b.rank) {
      return a.rank < b.rank;
    }
    return a.folded != b.folded ? a.folded < b.folded : *a.name < *b.name;
  });
  entries.reserve(matches.size());
  for (const Match& match : matches) {
    entries.push_back(
        FoundEntry{*match.name, AttributesOf(folder.hostPath + "/" + *match.name, *match.name)});
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
