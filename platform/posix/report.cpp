// posix report services: gethostname, localtime_r, standard output and error.
//
// Implements: everything in report.h, in UTF-8.
#include "platform/report.h"

#include <unistd.h>

#include <ctime>

#include "platform/posix/handles.h"

namespace platform {

std::string ComputerName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) {
    return std::string();
  }
  return name;
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) {
    return std::string();
  }
  char text[40] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &local);
  std::string result = text;
  // "+0800" as "+08:00", as ISO 8601 writes it with the date's dashes.
  if (result.size() >= 5) {
    result.insert(result.size() - 2, ":");
  }
  return result;
}

bool WriteStandardOutput(const std::string& text) {
  return posix::WriteAll(STDOUT_FILENO, text);
}

bool WriteStandardError(const std::string& text) {
  return posix::WriteAll(STDERR_FILENO, text);
}

bool HasStandardOutput() {
  return true;
}

}  // namespace platform
