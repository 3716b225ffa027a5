// A process-wide setting that a test puts in place for a while: the guard sets the
// variable and, when it goes, puts back the value it found. Guards of one variable nest
// when they end in the reverse order of their making, as scoped objects do.
#pragma once

#include <utility>

namespace platform {

template <typename T>
class ScopedOverride {
 public:
  ScopedOverride(T& variable, T value)
      : variable_(variable), previous_(std::exchange(variable, std::move(value))) {}
  ~ScopedOverride() { variable_ = std::move(previous_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  T& variable_;
  T previous_;
};

}  // namespace platform
