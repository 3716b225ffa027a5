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
    return false;
  }
  return WritePrivateProfileStringW(win32::Widen(section).c_str(), win32::Widen(key).c_str(),
                                    win32::Widen(value).c_str(),
                                    win32::Widen(path).c_str()) != FALSE;
}

}  // namespace platform
