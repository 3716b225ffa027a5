// Owners of the handles the win32 back-end makes: each is released exactly once, by the
// call that belongs to its kind, when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

namespace platform::win32 {

// A handle released by `Traits::Release`; `Traits::None()` stands for no handle.
template <typename Handle, typename Traits>
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(Handle handle) : handle_(handle) {}
  ~OwnedHandle() { Reset(); }
  OwnedHandle(OwnedHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Traits::None())) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::None(); }
  void Reset() {
    if (*this) {
      Traits::Release(std::exchange(handle_, Traits::None()));
    }
  }

 private:
  Handle handle_ = Traits::None();
};

template <typename Object>
struct GdiObjectTraits {
  static Object None() { return nullptr; }
  static void Release(Object object) { DeleteObject(object); }
};
// A font, pen or brush of our own (DeleteObject).
template <typename Object>
using GdiObject = OwnedHandle<Object, GdiObjectTraits<Object>>;
using Font = GdiObject<HFONT>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;

struct IconTraits {
  static HICON None() { return nullptr; }
  static void Release(HICON icon) { DestroyIcon(icon); }
};
// An icon loaded at a size of our choosing (DestroyIcon).
using Icon = OwnedHandle<HICON, IconTraits>;

struct FindTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE search) { FindClose(search); }
};
// A file search (FindFirstFileW ... FindClose).
using FindHandle = OwnedHandle<HANDLE, FindTraits>;

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
