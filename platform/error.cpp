#include "platform/error.h"

#include <ios>
#include <new>
#include <system_error>

namespace platform {

namespace {

// What `code` means in Chinese, or nothing when no text fits.
const char* KnownSystemError(const std::error_code& code) {
  const struct {
    std::errc condition;
    const char* description;
  } kKnown[] = {
      {std::errc::not_enough_memory, "内存不足"},
      {std::errc::permission_denied, "拒绝的权限"},
      {std::errc::operation_not_permitted, "拒绝的权限"},
      {std::errc::read_only_file_system, "拒绝的权限"},
      {std::errc::no_such_file_or_directory, "路径未找到"},
      {std::errc::not_a_directory, "路径未找到"},
      {std::errc::no_such_device, "设备不可用"},
      {std::errc::no_space_on_device, "磁盘已满"},
      {std::errc::file_too_large, "文件过大"},
      {std::errc::io_error, "设备 I/O 错误"},
      {std::errc::too_many_files_open, "打开的文件太多"},
      {std::errc::too_many_files_open_in_system, "打开的文件太多"},
      {std::errc::file_exists, "文件已存在"},
      {std::errc::filename_too_long, "文件名太长"},
      {std::errc::resource_unavailable_try_again, "资源暂时不可用"},
      {std::errc::device_or_resource_busy, "文件正被其他程序使用"},
  };
  for (const auto& known : kKnown) {
    if (code == known.condition) {
      return known.description;
    }
  }
  if (code == std::io_errc::stream) {
    return "设备 I/O 错误";
  }
  return nullptr;
}

}  // namespace

std::string DescribeSystemError(const std::error_code& code) {
  const char* known = KnownSystemError(code);
  return std::string(known != nullptr ? known : "原因不明") + "（系统错误 " +
         std::to_string(code.value()) + "）";
}

std::string DescribeError(const std::exception& error) {
  if (const auto* own = dynamic_cast<const RuntimeError*>(&error)) {
    return own->Description();
  }
  // What follows comes from the C++ run-time library, whose texts are English.
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr ||
      dynamic_cast<const std::length_error*>(&error) != nullptr) {
    // A length error is a request larger than any string or array can hold.
    return "内存不足";
  }
  // Failed file-system and stream operations, and threads and locks, among others.
  if (const auto* system = dynamic_cast<const std::system_error*>(&error)) {
    const char* known = KnownSystemError(system->code());
    return known != nullptr ? known : DescribeSystemError(system->code());
  }
  if (dynamic_cast<const std::out_of_range*>(&error) != nullptr) {
    return "下标越界";
  }
  if (dynamic_cast<const std::overflow_error*>(&error) != nullptr ||
      dynamic_cast<const std::underflow_error*>(&error) != nullptr ||
      dynamic_cast<const std::range_error*>(&error) != nullptr) {
    return "溢出";
  }
  if (dynamic_cast<const std::invalid_argument*>(&error) != nullptr ||
      dynamic_cast<const std::domain_error*>(&error) != nullptr) {
    return "无效的过程调用或参数";
  }
  return kInternalErrorText;
}

}  // namespace platform
