// win32 file search: FindFirstFileW / FindNextFileW / FindClose, nothing added.
#include "platform/filesearch.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

FoundEntry ToEntry(const WIN32_FIND_DATAW& data) {
  return FoundEntry{win32::Narrow(data.cFileName), data.dwFileAttributes};
}

}  // namespace

std::optional<FoundEntry> FindFirstEntry(const std::string& path) {
  WIN32_FIND_DATAW data{};
  const win32::FindHandle search(FindFirstFileW(win32::Widen(path).c_str(), &data));
  if (!search) {
    return std::nullopt;
  }
  return ToEntry(data);
}

std::vector<FoundEntry> FindEntries(const std::string& path) {
  std::vector<FoundEntry> entries;
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
