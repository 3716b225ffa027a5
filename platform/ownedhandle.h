// One owner for every kind of system handle the back-ends make: the handle is closed
// exactly once, by the call that belongs to its kind, when its owner goes - on every
// path out of the code that made it. Each back-end names its kinds (posix/handles.h,
// win32/handles.h).
#pragma once

#include <utility>

namespace platform {

template <typename Pointer>
constexpr Pointer NullHandle() {
  return nullptr;
}

// A handle of type `Handle`, given back by `kClose(handle)`; `kNone()` is the value that
// stands for no handle (null for pointers).
template <typename Handle, auto kClose, auto kNone = &NullHandle<Handle>>
class OwnedHandle {
 public:
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
  explicit operator bool() const { return handle_ != kNone(); }
  // Gives the handle up without closing it: something else owns it now.
  Handle release() { return std::exchange(handle_, kNone()); }
  void reset() {
    if (*this) {
      kClose(release());
    }
  }

 private:
  Handle handle_ = kNone();
};

}  // namespace platform
