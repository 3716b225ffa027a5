// The kinds of handle the win32 back-end makes, each with its owner
// (platform/ownedhandle.h), and the device context borrowed for a while.
#pragma once

#include <windows.h>

#include "platform/ownedhandle.h"

namespace platform::win32 {

// A font, pen or brush of our own (DeleteObject).
template <typename Object>
using GdiObject = OwnedHandle<Object, &DeleteObject>;
using Font = GdiObject<HFONT>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;

// An icon loaded at a size of our choosing (DestroyIcon).
using Icon = OwnedHandle<HICON, &DestroyIcon>;

// What CreateFileW and FindFirstFileW answer for no handle (not null).
inline HANDLE InvalidHandle() {
  return INVALID_HANDLE_VALUE;
}
// A file search (FindFirstFileW ... FindClose).
using FindHandle = OwnedHandle<HANDLE, &FindClose, &InvalidHandle>;
// An open file (CreateFileW ... CloseHandle).
using FileHandle = OwnedHandle<HANDLE, &CloseHandle, &InvalidHandle>;
// Another kernel object, for which null is no handle: a token, a thread (CloseHandle).
using KernelHandle = OwnedHandle<HANDLE, &CloseHandle>;

// Memory that a system call allocated for its answer (CommandLineToArgvW, a security
// descriptor from GetSecurityInfo or ConvertStringSidToSidW ... LocalFree).
using LocalMemory = OwnedHandle<HLOCAL, &LocalFree>;

// The device context of a window, or of the screen for nullptr (GetDC ... ReleaseDC).
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_ != nullptr) {
      ReleaseDC(window_, dc_);
    }
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;

  HDC get() const { return dc_; }

 private:
  const HWND window_;
  const HDC dc_;
};

// An object selected into a device context while the guard lives; the one it replaced
// goes back after.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectedObject() { SelectObject(dc_, previous_); }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  const HDC dc_;
  const HGDIOBJ previous_;
};

}  // namespace platform::win32
