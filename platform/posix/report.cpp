// posix report services: argv, gethostname, localtime_r, an O_APPEND file, stdout.
//
// Implements: everything in report.h, the report in UTF-8. Not implemented: a Windows
// path as the log's name (the log is a host path, as Linux deployment tools pass it).
#include "platform/report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/error.h"
#include "platform/posix/handles.h"

namespace platform {

namespace {

class PosixReportFile : public ReportFile {
 public:
  explicit PosixReportFile(posix::Descriptor fd) : fd_(std::move(fd)) {}

  bool Append(const std::string& text) override { return posix::WriteAll(fd_.get(), text); }
  bool Empty() override {
    struct stat info {};
    return ::fstat(fd_.get(), &info) == 0 && info.st_size == 0;
  }

 private:
  posix::Descriptor fd_;
};

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

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

std::unique_ptr<ReportFile> OpenReportFile(const std::string& path, std::string& error) {
  posix::Descriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (!fd) {
    error = "无法打开日志文件 " + path + ": " +
            DescribeSystemError(std::error_code(errno, std::generic_category()));
    return nullptr;
  }
  return std::make_unique<PosixReportFile>(std::move(fd));
}

bool WriteToConsole(const std::string& text, bool toError) {
  return posix::WriteAll(toError ? STDERR_FILENO : STDOUT_FILENO, text);
}

bool HasStandardOutput() {
  return true;
}

}  // namespace platform
