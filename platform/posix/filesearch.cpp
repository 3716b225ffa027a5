// posix file search over Windows paths (see platform/posix/winpath.h).
//
// Implements: wildcard patterns in the last name, the read-only, hidden, folder and
// archive attributes. Not implemented: the system attribute (never set), short 8.3
// names, and the DOS wildcards "<", ">" and '"'.
#include "platform/filesearch.h"

#include <sys/stat.h>

#include <map>
#include <utility>

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
  // A trailing separator or a bare drive root names no entry to find.
  const std::optional<posix::EntryInFolder> located = posix::LocateInFolder(path);
  if (!located) {
    return entries;
  }
  const std::string& folder = located->hostFolder;
  const std::size_t last = located->path.components.size() - 1;
  std::string pattern = located->path.components[last];

  if (!HasWildcards(pattern)) {
    const posix::HostLocation entry = posix::Locate(located->path);
    if (entry.exists) {
      const std::string name =
          posix::WindowsEntryName(entry.hostPath.substr(entry.hostPath.rfind('/') + 1));
      entries.push_back(FoundEntry{name, AttributesOf(entry.hostPath, name)});
    }
    return entries;
  }

  // A pattern is taken as Windows takes every name: without its trailing dots and spaces.
  while (pattern.back() == '.' || pattern.back() == ' ') {
    pattern.pop_back();
  }
  const auto listed = posix::ReadFolder(folder);
  if (!listed) {
    return entries;
  }
  const bool everything = pattern == "*" || pattern == "*.*";
  // "." and ".." first, as Windows lists them (a drive's root has neither); then the
  // others without regard to case.
  std::vector<std::string> dots;
  std::vector<std::string> names;
  std::map<std::string, std::string> hostNames;  // of the names that differ from them
  for (const posix::FolderEntry& entry : *listed) {
    const bool dotOrDotDot = entry.name == "." || entry.name == "..";
    std::string name = posix::WindowsEntryName(entry.name);
    if ((dotOrDotDot && last == 0) || !(everything || posix::MatchesPattern(pattern, name))) {
      continue;
    }
    if (name != entry.name) {
      hostNames[name] = entry.name;
    }
    (dotOrDotDot ? dots : names).push_back(std::move(name));
  }
  posix::SortIgnoringCase(dots);
  posix::SortIgnoringCase(names);
  names.insert(names.begin(), dots.begin(), dots.end());
  entries.reserve(names.size());
  for (std::string& name : names) {
    const auto renamed = hostNames.find(name);
    const std::uint32_t attributes =
        AttributesOf(folder + "/" + (renamed == hostNames.end() ? name : renamed->second), name);
    entries.push_back(FoundEntry{std::move(name), attributes});
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
