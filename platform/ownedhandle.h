// One owner for every kind of system handle the back-ends make: the handle is closed
// exactly once, by the call that belongs to its kind, when its owner goes - on every
// path out of the code that made it. Each back-end names its kinds (posix/handles.h,
// win32/handles.h).
#pragma once

#include <utility>

namespace platform {

// `Traits` says what a kind of handle is: `Handle` its type, `None()` the value that
// stands for no handle, `Close(handle)` the call that gives it back.
template <typename Traits>
class OwnedHandle {
 public:
  using Handle = typename Traits::Handle;

  OwnedHandle() = default;
  explicit OwnedHandle(Handle handle) : handle_(handle) {}
  ~OwnedHandle() { reset(); }
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::None(); }
  // Gives the handle up without closing it: something else owns it now.
  Handle release() { return std::exchange(handle_, Traits::None()); }
  void reset() {
    if (*this) {
      Traits::Close(release());
    }
  }

 private:
  Handle handle_ = Traits::None();
};

// The traits of a kind of handle that is a pointer, null for none, closed by `kClose`.
template <typename PointerHandle, auto kClose>
struct PointerHandleTraits {
  using Handle = PointerHandle;
  static Handle None() { return nullptr; }
  static void Close(Handle handle) { kClose(handle); }
};

}  // namespace platform
