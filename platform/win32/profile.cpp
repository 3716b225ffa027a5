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

// What `error` (GetLastError after a profile call on `widePath`) says about the file.
FileResult ResultOf(DWORD error, const std::wstring& widePath) {
  FileResult result;
  result.systemCode = static_cast<int>(error);
  // Windows answers a read-only file with "access denied" too: the attribute tells them apart.
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (error == ERROR_WRITE_PROTECT ||
      (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
       (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
           FILE_ATTRIBUTE_READONLY)) {
    result.problem = FileProblem::kReadOnly;
    return result;
  }
  switch (error) {
    case ERROR_ACCESS_DENIED:
      result.problem = FileProblem::kAccessDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      result.problem = FileProblem::kInUse;
      break;
    default:
      result.problem = FileProblem::kUnknown;
      break;
  }
  return result;
}

}  // namespace

std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path, FileResult& result) {
  value.clear();
  result = FileResult();
  if (!win32::DriveOfPathAnswers(path)) {
    return 0;
  }
  const std::wstring widePath = win32::Widen(path);
  wchar_t buffer[kProfileBufferUnits] = {};
  SetLastError(ERROR_SUCCESS);
  const DWORD copied =
      GetPrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"",
                               buffer, static_cast<DWORD>(kProfileBufferUnits), widePath.c_str());
  if (copied == 0) {
    // Nothing read: a missing file, section or key is "file not found" (or nothing at
    // all); any other error kept the file from being read.
    const DWORD error = GetLastError();
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      result = ResultOf(error, widePath);
    }
    return 0;
  }
  value = win32::Narrow(buffer, copied);
  return copied;
}

FileResult PutProfileEntry(const std::string& section, const std::string& key,
                           const std::string& value, const std::string& path) {
  if (!win32::DriveOfPathAnswers(path)) {
    return FileResult{FileProblem::kUnknown, ERROR_NOT_READY};
  }
  const std::wstring widePath = win32::Widen(path);
  if (WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                 win32::Widen(value).c_str(), widePath.c_str())) {
    return FileResult();
  }
  return ResultOf(GetLastError(), widePath);
}

}  // namespace platform
