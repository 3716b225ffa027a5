// posix user folders: the Wine prefix's C:, with the profiles in "C:\users" as Wine
// keeps them.
//
// Implements: the system drive (always C:, where Wine keeps its Windows folder), the
// profiles folder and its subfolders. Not implemented: a profiles folder moved elsewhere
// in the prefix's registry.
#include "platform/userfolders.h"

#include <sys/stat.h>

#include <optional>
#include <vector>

#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"

namespace platform {

std::string SystemDrive() {
  return "C:";
}

std::string ProfilesFolder() {
  return "C:\\users";
}

std::vector<std::string> ProfileFolders() {
  const std::string folder = ProfilesFolder();
  const std::optional<posix::WindowsPath> parsed = posix::ParseWindowsPath(folder);
  if (!parsed) {
    return {};
  }
  const posix::HostLocation location = posix::Locate(*parsed);
  const auto entries = location.exists ? posix::ReadFolder(location.hostPath) : nullptr;
  if (!entries) {
    return {};
  }
  std::vector<std::string> profiles;
  for (const posix::FolderEntry& entry : *entries) {
    const std::string& name = entry.name;
    struct stat info {};
    const std::string hostPath = location.hostPath + "/" + name;
    if (name != "." && name != ".." && lstat(hostPath.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode)) {
      profiles.push_back(folder + "\\" + posix::WindowsEntryName(name));
    }
  }
  // All in one folder: the paths sort as the names do.
  posix::SortIgnoringCase(profiles);
  return profiles;
}

}  // namespace platform
