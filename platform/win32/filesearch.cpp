// win32 file search: FindFirstFileW / FindNextFileW / FindClose, on a drive that answers
// (platform/driveprobe.h).
#include "platform/filesearch.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/reach.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

FoundEntry ToEntry(const WIN32_FIND_DATAW& data) {
  return FoundEntry{win32::Narrow(data.cFileName), data.dwFileAttributes};
}

}  // namespace

std::optional<FoundEntry> FindFirstEntry(const std::string& path) {
  if (!win32::DriveOfPathAnswers(path)) {
    return std::nullopt;
  }
  WIN32_FIND_DATAW data{};
  const win32::FindHandle search(FindFirstFileW(win32::Widen(path).c_str(), &data));
  if (!search) {
    return std::nullopt;
  }
  return ToEntry(data);
}

std::vector<FoundEntry> FindEntries(const std::string& path) {
  std::vector<FoundEntry> entries;
  if (!win32::DriveOfPathAnswers(path)) {
    return entries;
  }
  WIN32_FIND_DATAW data{};
  const win32::FindHandle search(FindFirstFileW(win32::Widen(path).c_str(), &data));
  if (!search) {
    return entries;
  }
  do {
    entries.push_back(ToEntry(data));
  } while (FindNextFileW(search.get(), &data));
  return entries;
}

}  // namespace platform
