// posix drives and folders: the drives of the Wine prefix (platform/posix/winpath.h).
//
// Implements: every drive the prefix names, a link that leads nowhere listed as a drive
// without a medium; the volume label from a ".windows-label" file in the drive's root,
// as Wine keeps it; the current folder by its Windows name. Not implemented: per-drive
// current folders (only the process's one) and the system attribute (never set).
#include "platform/drives.h"

#include <algorithm>
#include <fstream>

#include "platform/filesearch.h"
#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"

namespace platform {

namespace {

std::string LabelOf(char drive) {
  const std::optional<std::string> root = posix::DriveRoot(drive);
  if (!root) {
    return std::string();
  }
  std::ifstream file(*root + "/.windows-label");
  std::string label;
  std::getline(file, label);
  while (!label.empty() && (label.back() == '\r' || label.back() == '\n')) {
    label.pop_back();
  }
  return label;
}

bool IsReadableFolder(const std::string& folder) {
  const std::optional<posix::WindowsPath> parsed = posix::ParseWindowsPath(folder);
  if (!parsed) {
    return false;
  }
  const posix::HostLocation location = posix::Locate(*parsed);
  return location.exists && posix::ReadFolderNames(location.hostPath).has_value();
}

}  // namespace

std::vector<DriveInfo> ListDrives() {
  std::vector<DriveInfo> drives;
  for (const char letter : posix::ListedDriveLetters()) {
    drives.push_back(DriveInfo{letter, LabelOf(letter)});
  }
  return drives;
}

std::string CurrentFolder() {
  return posix::CurrentWindowsFolder();
}

std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder) {
  // ReadFolderNames fails for a file as for a missing or unreadable folder.
  if (!IsReadableFolder(folder)) {
    return std::nullopt;
  }
  std::string pattern = folder;
  while (!pattern.empty() && (pattern.back() == '\\' || pattern.back() == '/')) {
    pattern.pop_back();
  }
  pattern += "\\*";

  std::vector<std::string> names;
  for (const FoundEntry& entry : FindEntries(pattern)) {
    const bool shown = (entry.attributes & kAttributeDirectory) != 0 &&
                       (entry.attributes & (kAttributeHidden | kAttributeSystem)) == 0 &&
                       entry.name != "." && entry.name != "..";
    if (shown) {
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string foldedA = posix::FoldCase(a);
    const std::string foldedB = posix::FoldCase(b);
    return foldedA != foldedB ? foldedA < foldedB : a < b;
  });
  return names;
}

}  // namespace platform
