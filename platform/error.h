// The one run-time error type of the program, shared by every layer.
//
// Expected conditions are answered, not raised (see common/Overflow.h for the rest
// of the convention). A RuntimeError carries a number that classifies it and a
// description that the operator reads, in Chinese.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <system_error>

namespace platform {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int number_;
};

// Error numbers follow the classic run-time error numbering, so that a number in a
// report means the same to anyone who supports the program.
inline constexpr int kOverflowErrorNumber = 6;
inline constexpr int kDeviceUnavailableErrorNumber = 68;
inline constexpr int kPermissionDeniedErrorNumber = 70;
inline constexpr int kPathNotFoundErrorNumber = 76;
inline constexpr int kPlatformErrorNumber = 51;

// Ready-made errors raised by the platform layer.
inline RuntimeError DeviceUnavailableError() {
  return RuntimeError(kDeviceUnavailableErrorNumber, "设备不可用");
}
inline RuntimeError PathNotFoundError() {
  return RuntimeError(kPathNotFoundErrorNumber, "路径未找到");
}
inline RuntimeError PermissionDeniedError() {
  return RuntimeError(kPermissionDeniedErrorNumber, "拒绝的权限");
}

// What the operator reads of any error that reaches a handler, in Chinese: a
// RuntimeError's own description; for an error of the C++ run-time library, whose own
// text is English, what it means ("内存不足" for running out of memory, "拒绝的权限" for
// a system call refused, and so on; "内部错误" for a fault of the program itself).
std::string DescribeError(const std::exception& error);

// A failed system call in Chinese, by what its code means rather than by its number,
// which differs from one system to the next; the number only where no text fits.
std::string DescribeSystemError(const std::error_code& code);

}  // namespace platform
