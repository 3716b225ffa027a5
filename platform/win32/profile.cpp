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

// What the last write answered, for LastProfileWriteProblem.
DWORD lastWriteError = ERROR_SUCCESS;
bool lastWriteReadOnly = false;
WriteProblem lastWriteRefusal = WriteProblem::kNone;  // refused before the profile call

// Why the file that `pin` reached must not go to the profile functions, or kNone.
WriteProblem Refusal(const win32::PinnedPath& pin) {
  if (pin.state() == win32::PinnedPath::State::kUnsafe) {
    return WriteProblem::kUnsafePath;
  }
  if (pin.state() == win32::PinnedPath::State::kPinned &&
      pin.size() > win32::kLargestSettingsFile) {
    return WriteProblem::kTooLarge;
  }
  return WriteProblem::kNone;
}

// Whether `path` still leads, by the same rule, to the file `pin` held during the call.
bool StillPinned(const std::wstring& path, const win32::PinnedPath& pin) {
  const win32::PinnedPath again = win32::PinnedPath::Pin(path, false);
  return again.state() == win32::PinnedPath::State::kPinned && again.SameFile(pin);
}

}  // namespace

std::size_t GetProfileEntry(const std::string& section, const std::string& key, std::string& value,
                            const std::string& path) {
  value.clear();
  if (!win32::DriveOfPathAnswers(path)) {
    return 0;
  }
  const std::wstring widePath = win32::Widen(path);
  const win32::PinnedPath pin = win32::PinnedPath::Pin(widePath, false);
  if (pin.state() != win32::PinnedPath::State::kPinned || Refusal(pin) != WriteProblem::kNone) {
    return 0;
  }
  wchar_t buffer[kProfileBufferUnits] = {};
  const DWORD copied =
      GetPrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(), L"",
                               buffer, static_cast<DWORD>(kProfileBufferUnits), pin.path().c_str());
  if (!StillPinned(widePath, pin)) {
    return 0;
  }
  value = win32::Narrow(buffer, copied);
  return copied;
}

bool PutProfileEntry(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& path) {
  lastWriteRefusal = WriteProblem::kNone;
  lastWriteReadOnly = false;
  if (!win32::DriveOfPathAnswers(path)) {
    lastWriteError = ERROR_NOT_READY;
    return false;
  }
  const std::wstring widePath = win32::Widen(path);
  const win32::PinnedPath pin = win32::PinnedPath::Pin(widePath, true);
  lastWriteRefusal = Refusal(pin);
  if (lastWriteRefusal != WriteProblem::kNone) {
    lastWriteError = pin.error();
    return false;
  }
  if (pin.state() == win32::PinnedPath::State::kMissing) {
    // Only the file is ever created, never its folders.
    lastWriteError = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (pin.state() != win32::PinnedPath::State::kPinned) {
    lastWriteError = pin.error();
    return false;
  }
  if (WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                 win32::Widen(value).c_str(), pin.path().c_str())) {
    if (!StillPinned(widePath, pin)) {
      lastWriteRefusal = WriteProblem::kUnsafePath;
      lastWriteError = ERROR_SUCCESS;
      return false;
    }
    lastWriteError = ERROR_SUCCESS;
    return true;
  }
  lastWriteError = GetLastError();
  // Windows answers a read-only file with "access denied" too: the attribute tells them apart.
  const DWORD attributes = GetFileAttributesW(pin.path().c_str());
  lastWriteReadOnly =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  return false;
}

WriteProblem LastProfileWriteProblem(int& systemCode) {
  systemCode = static_cast<int>(lastWriteError);
  if (lastWriteRefusal != WriteProblem::kNone) {
    return lastWriteRefusal;
  }
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
