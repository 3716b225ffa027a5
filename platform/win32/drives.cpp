// win32 drives and folders: GetLogicalDrives, GetVolumeInformationW,
// GetCurrentDirectoryW and the file search, each on a drive that answers
// (platform/driveprobe.h).
//
// Implements: every logical drive with its volume label, the process's current folder,
// the subfolders of a folder, whether a folder may be read; a drive that does not answer
// as one without a medium. Not implemented: per-drive current folders other than the
// process's own; a bound on network paths (\\server\share), which name no drive.
#include "platform/drives.h"

#include <windows.h>

#include <algorithm>

#include "platform/driveprobe.h"
#include "platform/filesearch.h"
#include "platform/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/reach.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

std::string LabelOf(const std::string& root) {
  wchar_t label[MAX_PATH + 1] = {};
  if (GetVolumeInformationW(win32::Widen(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr,
                            nullptr, nullptr, 0)) {
    return win32::Narrow(label);
  }
  return std::string();
}

bool IsRoot(const std::string& folder) {
  return folder.size() <= 3 && folder.size() >= 2 && folder[1] == ':';
}

// The search for every entry of `folder`, given with or without trailing separators.
std::string EveryEntryOf(std::string folder) {
  while (!folder.empty() && IsPathSeparator(folder.back())) {
    folder.pop_back();
  }
  return folder + "\\*";
}

}  // namespace

std::vector<DriveInfo> ListDrives() {
  const std::vector<DriveRef> refs = PresentDrives();
  // A drive that does not answer holds the list up only a moment; it is listed without
  // its label.
  const std::vector<bool> answered = ProcessDrives().AnsweredWithin(refs, kDriveListPatience);
  std::vector<DriveInfo> drives;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    drives.push_back(DriveInfo{refs[i].letter, answered[i] ? LabelOf(refs[i].root) : ""});
  }
  return drives;
}

std::string CurrentFolder() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
  buffer.resize(std::min<DWORD>(length, needed));
  std::string folder = win32::Narrow(buffer);
  if (folder.size() > 1 && folder.back() == '\\' && !IsRoot(folder)) {
    folder.pop_back();
  }
  return folder;
}

std::optional<std::vector<std::string>> ListSubfolders(const std::string& folder) {
  if (!win32::DriveOfPathAnswers(folder)) {
    return std::nullopt;
  }
  const DWORD attributes = GetFileAttributesW(win32::Widen(folder).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::nullopt;
  }
  const std::vector<FoundEntry> entries = FindEntries(EveryEntryOf(folder));
  // Every folder but a root lists "." and ".."; finding nothing there means it may not
  // be read.
  if (entries.empty() && !IsRoot(folder)) {
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (const FoundEntry& entry : entries) {
    const bool shown = (entry.attributes & kAttributeDirectory) != 0 &&
                       (entry.attributes & (kAttributeHidden | kAttributeSystem)) == 0 &&
                       entry.name != "." && entry.name != "..";
    if (shown) {
      names.push_back(entry.name);
    }
  }
  win32::SortIgnoringCase(names);
  return names;
}

FolderState CheckFolder(const std::string& folder) {
  if (!win32::DriveOfPathAnswers(folder)) {
    return FolderState::kMissing;
  }
  WIN32_FIND_DATAW data{};
  const win32::FindHandle search(FindFirstFileW(win32::Widen(EveryEntryOf(folder)).c_str(), &data));
  if (search) {
    return FolderState::kReadable;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    return FolderState::kAccessDenied;
  }
  // A root lists no "." and "..": an empty one finds nothing at all.
  const DWORD attributes = GetFileAttributesW(win32::Widen(folder).c_str());
  if (error == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return FolderState::kReadable;
  }
  return FolderState::kMissing;
}

}  // namespace platform
