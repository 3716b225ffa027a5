// win32 user folders: GetSystemWindowsDirectoryW, GetProfilesDirectoryW (userenv, loaded
// from System32 at run time: platform/win32/systemlibrary.h) and the file search.
//
// Implements: the system drive, the profiles folder as the system names it, and its
// subfolders that are not reparse points. Not implemented: profiles that the registry's
// profile list places outside the profiles folder; they are not looked at.
#include "platform/userfolders.h"

#include <windows.h>

#include <cwchar>

#include "platform/filesearch.h"
#include "platform/win32/systemlibrary.h"
#include "platform/win32/wide.h"

namespace platform {

std::string SystemDrive() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
  if (length < 2 || length > MAX_PATH || folder[1] != L':') {
    return std::string();
  }
  return win32::Narrow(folder, 2);
}

std::string ProfilesFolder() {
  using GetProfilesDirectory = BOOL(WINAPI*)(LPWSTR, LPDWORD);
  const auto getProfilesDirectory =
      win32::SystemFunction<GetProfilesDirectory>(L"userenv.dll", "GetProfilesDirectoryW");
  if (getProfilesDirectory == nullptr) {
    return std::string();
  }
  DWORD size = 0;
  getProfilesDirectory(nullptr, &size);
  if (size == 0) {
    return std::string();
  }
  std::wstring buffer(size, L'\0');
  if (!getProfilesDirectory(buffer.data(), &size)) {
    return std::string();
  }
  buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
  while (buffer.size() > 3 && buffer.back() == L'\\') {
    buffer.pop_back();
  }
  return win32::Narrow(buffer);
}

std::vector<std::string> ProfileFolders() {
  const std::string folder = ProfilesFolder();
  if (folder.empty()) {
    return {};
  }
  std::vector<std::string> profiles;
  for (const FoundEntry& entry : FindEntries(folder + "\\*")) {
    const bool profile = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                         (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
                         entry.name != "." && entry.name != "..";
    if (profile) {
      profiles.push_back(folder + "\\" + entry.name);
    }
  }
  // All in one folder: the paths sort as the names do.
  win32::SortIgnoringCase(profiles);
  return profiles;
}

}  // namespace platform
