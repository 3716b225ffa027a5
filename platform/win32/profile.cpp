// win32 profile files: GetPrivateProfileStringW / WritePrivateProfileStringW.
//
// The wide entry points keep Chinese texts and paths intact whatever the system's code
// page; Windows converts to and from the file's own encoding. A file on a drive that
// does not answer (platform/driveprobe.h) reads empty and is not written.
#include "platform/profile.h"

#include <windows.h>

#include "platform/win32/reach.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// What the last write answered, for LastProfileWriteProblem.
DWORD lastWriteError = ERROR_SUCCESS;
bool lastWriteReadOnly = false;

}  // namespace

std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path) {
  value.clear();
  if (!win32::DriveOfPathAnswers(path)) {
    return 0;
  }
  wchar_t buffer[kProfileBufferUnits] = {};
  const DWORD copied = GetPrivateProfileStringW(
      win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"", buffer,
      static_cast<DWORD>(kProfileBufferUnits), win32::Widen(path).c_str());
  value = win32::Narrow(buffer, copied);
  return copied;
}

bool PutProfileEntry(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) {
  if (!win32::DriveOfPathAnswers(path)) {
    lastWriteError = ERROR_NOT_READY;
    lastWriteReadOnly = false;
    return false;
  }
  const std::wstring widePath = win32::Widen(path);
  if (WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                 win32::Widen(value).c_str(), widePath.c_str())) {
    lastWriteError = ERROR_SUCCESS;
    return true;
  }
  lastWriteError = GetLastError();
  // Windows answers a read-only file with "access denied" too: the attribute tells them apart.
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  lastWriteReadOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return false;
}

WriteProblem LastProfileWriteProblem(int& systemCode) {
  systemCode = static_cast<int>(lastWriteError);
  if (lastWriteError == ERROR_SUCCESS) {
    return WriteProblem::kNone;
  }
  if (lastWriteReadOnly || lastWriteError == ERROR_WRITE_PROTECT) {
    return WriteProblem::kReadOnly;
  }
  switch (lastWriteError) {
    case ERROR_ACCESS_DENIED:
      return WriteProblem::kAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return WriteProblem::kInUse;
    default:
      return WriteProblem::kUnknown;
  }
}

}  // namespace platform
