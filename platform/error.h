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

// The one word for an error that the program cannot name: a fault of the program itself.
inline constexpr char kInternalErrorText[] = "内部错误";

// What the operator reads of any error that reaches a handler, in Chinese: a
// RuntimeError's own description; for an error of the C++ run-time library, whose own
// text is English, what it means ("内存不足" for running out of memory, "拒绝的权限" for
// a system call refused - with its number, as DescribeSystemError gives it, where no
// text fits - and so on; kInternalErrorText for anything else).
std::string DescribeError(const std::exception& error);

// The one describer of a failed system call, for reports and logs: in Chinese, by what
// its code means rather than by its number, which differs from one system to the next,
// followed by the number for support: "磁盘已满（系统错误 28）", "原因不明（系统错误 N）"
// where no text fits. A platform's own error number (errno, GetLastError) is
// std::error_code(number, std::system_category()) on either back-end.
std::string DescribeSystemError(const std::error_code& code);

}  // namespace platform
