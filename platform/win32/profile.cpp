// win32 profile files: GetPrivateProfileStringW / WritePrivateProfileStringW.
//
// The wide entry points keep Chinese texts and paths intact whatever the system's code
// page; Windows converts to and from the file's own encoding. A file on a drive that
// does not answer (platform/driveprobe.h) reads empty and is not written.
//
// The profile functions open the file by its name. So each read and each write first
// pins the path (platform/win32/pinnedpath.h): its folders are held open, checked, from
// the drive's root down, and the functions get the path that was checked. A path through
// a link that an ordinary user could have made, or a file with a second name, is neither
// read nor written, nor is a file larger than any settings file (which the functions
// would read whole into memory). After the call the path is pinned again: should the
// file itself have been swapped meanwhile in its folder (which a held folder does not
// prevent), the read is dropped and the write reported as refused.
#include "platform/profile.h"

#include <windows.h>

#include "platform/win32/pinnedpath.h"
#include "platform/win32/reach.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// What `error` (GetLastError after a profile call on `widePath`) says about the file.
// `writing`: whether the call wrote, so that being read-only can be why it failed.
FileResult ResultOf(DWORD error, const std::wstring& widePath, bool writing) {
  FileResult result;
  result.systemCode = static_cast<int>(error);
  // Windows answers a read-only file with "access denied" too: the attribute tells them
  // apart. A read is never refused for it.
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (error == ERROR_WRITE_PROTECT ||
      (writing && error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
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

// Why the file that `pin` reached must not go to the profile functions; kNone when it
// may. A file or folder that is not there is no refusal.
FileResult Refusal(const win32::PinnedPath& pin, const std::wstring& widePath, bool writing) {
  switch (pin.state()) {
    case win32::PinnedPath::State::kUnsafe:
      return FileResult{FileProblem::kUnsafePath, 0};
    case win32::PinnedPath::State::kPinned:
      if (pin.size() > win32::kLargestSettingsFile) {
        return FileResult{FileProblem::kTooLarge, 0};
      }
      return FileResult();
    case win32::PinnedPath::State::kMissing:
      return FileResult();
    case win32::PinnedPath::State::kFailed:
      break;
  }
  return ResultOf(pin.error(), widePath, writing);
}

// Whether `path` still leads, by the same rule, to the file `pin` held during the call.
bool StillPinned(const std::wstring& path, const win32::PinnedPath& pin) {
  const win32::PinnedPath again = win32::PinnedPath::Pin(path, false);
  return again.state() == win32::PinnedPath::State::kPinned && again.SameFile(pin);
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
  const win32::PinnedPath pin = win32::PinnedPath::Pin(widePath, false);
  result = Refusal(pin, widePath, false);
  if (pin.state() != win32::PinnedPath::State::kPinned || result.problem != FileProblem::kNone) {
    return 0;
  }
  wchar_t buffer[kProfileBufferUnits] = {};
  SetLastError(ERROR_SUCCESS);
  const DWORD copied =
      GetPrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"",
                               buffer, static_cast<DWORD>(kProfileBufferUnits), pin.path().c_str());
  // Nothing read: a missing file, section or key is "file not found" (or nothing at all);
  // any other error kept the file from being read.
  const DWORD error = copied == 0 ? GetLastError() : ERROR_SUCCESS;
  if (!StillPinned(widePath, pin)) {
    result = FileResult{FileProblem::kUnsafePath, 0};
    return 0;
  }
  if (copied == 0) {
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      result = ResultOf(error, pin.path(), false);
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
  const win32::PinnedPath pin = win32::PinnedPath::Pin(widePath, true);
  if (const FileResult refused = Refusal(pin, widePath, true);
      refused.problem != FileProblem::kNone) {
    return refused;
  }
  if (pin.state() == win32::PinnedPath::State::kMissing) {
    // Only the file is ever created, never its folders.
    return FileResult{FileProblem::kUnknown, ERROR_PATH_NOT_FOUND};
  }
  SetLastError(ERROR_SUCCESS);
  if (WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                 win32::Widen(value).c_str(), pin.path().c_str())) {
    return StillPinned(widePath, pin) ? FileResult() : FileResult{FileProblem::kUnsafePath, 0};
  }
  return ResultOf(GetLastError(), pin.path(), true);
}

}  // namespace platform
