// win32 drives and folders: GetLogicalDriveStringsW, GetVolumeInformationW,
// GetCurrentDirectoryW and the file search.
//
// Implements: every logical drive with its volume label, the process's current folder,
// the subfolders of a folder, whether a folder may be read. Not implemented: per-drive
// current folders other than the process's own.
#include "platform/drives.h"

#include <windows.h>

#include <algorithm>

#include "platform/filesearch.h"
#include "platform/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// A drive without a medium must answer "not ready", not ask the operator to insert a
// disk.
class QuietDriveErrors {
 public:
  QuietDriveErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previous_); }
  ~QuietDriveErrors() { SetThreadErrorMode(previous_, nullptr); }
  QuietDriveErrors(const QuietDriveErrors&) = delete;
  QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

 private:
  DWORD previous_ = 0;
};

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
  QuietDriveErrors quiet;
  std::vector<DriveInfo> drives;
  const DWORD needed = GetLogicalDriveStringsW(0, nullptr);
  if (needed == 0) {
    return drives;
  }
  std::wstring buffer(needed, L'\0');
  const DWORD length = GetLogicalDriveStringsW(needed, buffer.data());
  buffer.resize(std::min<DWORD>(length, needed));
  // "C:\<NUL>D:\<NUL>...": one root per NUL-terminated piece.
  for (std::size_t start = 0; start < buffer.size();) {
    const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    const std::wstring root = buffer.substr(start, end - start);
    start = end + 1;
    if (root.empty() || !iswalpha(root[0])) {
      continue;
    }
    DriveInfo drive;
    drive.letter = static_cast<char>(towlower(root[0]));
    wchar_t label[MAX_PATH + 1] = {};
    if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr,
                              0)) {
      drive.label = win32::Narrow(label);
    }
    drives.push_back(drive);
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
  QuietDriveErrors quiet;
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
  QuietDriveErrors quiet;
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
