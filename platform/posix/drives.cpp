// posix drives and folders: the drives of the Wine prefix (platform/posix/winpath.h).
//
// Implements: every drive the prefix names, a link that leads nowhere listed as a drive
// without a medium, one that does not answer as well (platform/driveprobe.h); the volume
// label from a ".windows-label" file in the drive's root, as Wine keeps it; the current
// folder by its Windows name; folders that may not be read told apart from missing ones.
// Not implemented: per-drive current folders (only the process's one) and the system
// attribute (never set).
#include "platform/drives.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <utility>

#include "platform/driveprobe.h"
#include "platform/posix/unicode.h"
#include "platform/posix/winpath.h"
#include "platform/text.h"

namespace platform {

namespace {

// The volume label as Wine keeps it, in a file in the drive's root.
std::string LabelIn(const std::string& root) {
  std::ifstream file(root + "/.windows-label");
  std::string label;
  std::getline(file, label);
  while (!label.empty() && (label.back() == '\r' || label.back() == '\n')) {
    label.pop_back();
  }
  return label;
}

// Whether an entry of a listing is a folder: its type says so, except for a link (which
// counts as what it leads to) and where the file system does not say.
bool IsFolder(const std::string& hostPath, unsigned char type) {
  if (type != DT_LNK && type != DT_UNKNOWN) {
    return type == DT_DIR;
  }
  struct stat info {};
  return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The host folder that `folder` names and its listing; nothing when it cannot be read.
std::optional<std::pair<std::string, std::shared_ptr<const std::vector<posix::FolderEntry>>>>
ReadWindowsFolder(const std::string& folder, FolderState& state) {
  state = FolderState::kMissing;
  const std::optional<posix::WindowsPath> parsed = posix::ParseWindowsPath(folder);
  if (!parsed) {
    return std::nullopt;
  }
  const posix::HostLocation location = posix::Locate(*parsed);
  if (!location.exists) {
    state = location.accessDenied ? FolderState::kAccessDenied : FolderState::kMissing;
    return std::nullopt;
  }
  int error = 0;
  auto entries = posix::ReadFolder(location.hostPath, &error);
  if (!entries) {
    state = error == EACCES ? FolderState::kAccessDenied : FolderState::kMissing;
    return std::nullopt;
  }
  state = FolderState::kReadable;
  return std::make_pair(location.hostPath, std::move(entries));
}

}  // namespace

std::vector<DriveInfo> ListDrives() {
  // A drive that does not answer holds the list up only a moment; it is listed without
  // its label.
  const std::vector<DriveRef> drives = posix::PrefixDrives();
  const std::vector<bool> answered = ProcessDrives().AnsweredWithin(drives, kDriveListPatience);
  std::vector<DriveInfo> listed;
  for (std::size_t i = 0; i < drives.size(); ++i) {
    listed.push_back(DriveInfo{drives[i].letter, answered[i] ? LabelIn(drives[i].root) : ""});
  }
  return listed;
}

std::string CurrentFolder() {
  return posix::CurrentWindowsFolder();
}

std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder) {
  FolderState state = FolderState::kMissing;
  const auto listed = ReadWindowsFolder(folder, state);
  if (!listed) {
    return std::nullopt;
  }
  const std::string& hostFolder = listed->first;
  std::vector<std::string> names;
  for (const posix::FolderEntry& entry : *listed->second) {
    // Names starting with "." are hidden, "." and ".." among them.
    if (entry.name.front() != '.' && IsFolder(hostFolder + "/" + entry.name, entry.type)) {
      names.push_back(posix::WindowsEntryName(entry.name));
    }
  }
  posix::SortIgnoringCase(names);
  return names;
}

FolderState CheckFolder(const std::string& folder) {
  FolderState state = FolderState::kMissing;
  ReadWindowsFolder(folder, state);
  return state;
}

}  // namespace platform
