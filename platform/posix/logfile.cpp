// posix log file (logfile.h): opened with O_NOFOLLOW and O_NONBLOCK and checked with
// fstat, created with O_EXCL and mode 0644, locked with flock, appended with O_APPEND.
//
// Not implemented: a Windows path as the log's name (the log is a host path, as Linux
// deployment tools pass it).
#include "platform/logfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/error.h"
#include "platform/posix/handles.h"

namespace platform {

namespace {

std::string SystemReason(int error) {
  return DescribeSystemError(std::error_code(error, std::system_category()));
}

class PosixLogFile : public LogFile {
 public:
  explicit PosixLogFile(posix::Descriptor fd) : fd_(std::move(fd)) {}

  Lock TryLock() override {
    while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        return Lock::kBusy;
      }
      if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) {
        return Lock::kTaken;  // a file system without locks
      }
      if (errno != EINTR) {
        Failed();
        return Lock::kFailed;
      }
    }
    return Lock::kTaken;
  }

  void Unlock() override { ::flock(fd_.get(), LOCK_UN); }

  bool Size(std::uint64_t& size) override {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) {
      return Failed();
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  bool Read(std::uint64_t offset, std::size_t count, std::string& bytes) override {
    bytes.resize(count);
    ssize_t read = 0;
    do {
      read = ::pread(fd_.get(), bytes.data(), count, static_cast<off_t>(offset));
    } while (read < 0 && errno == EINTR);
    if (read < 0) {
      return Failed();
    }
    bytes.resize(static_cast<std::size_t>(read));
    return true;
  }

  bool Append(std::string_view bytes) override {
    return posix::WriteAll(fd_.get(), bytes) || Failed();
  }

  bool Truncate(std::uint64_t size) override {
    int result = 0;
    do {
      result = ::ftruncate(fd_.get(), static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 || Failed();
  }

  std::string Problem() const override { return problem_; }

 private:
  // Keeps errno's reason before anything else can change it.
  bool Failed() {
    problem_ = SystemReason(errno);
    return false;
  }

  posix::Descriptor fd_;
  std::string problem_;
};

// Why a file with `info` must not be the log; nothing when it may.
std::optional<std::string> Refusal(const struct stat& info) {
  if (S_ISLNK(info.st_mode)) {
    return "它是一个链接";
  }
  if (S_ISDIR(info.st_mode)) {
    return "它是一个目录";
  }
  if (!S_ISREG(info.st_mode)) {
    return "它不是普通文件，而是管道、套接字或设备";
  }
  if (info.st_nlink > 1) {
    return "它有多个硬链接";
  }
  if (info.st_uid != ::geteuid()) {
    return "它属于其他用户";
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<LogFile> OpenLogFile(const std::string& path, std::string& why) {
  // Looked at before it is opened, too: a device may act on being opened.
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (const auto refusal = Refusal(info)) {
      why = *refusal;
      return nullptr;
    }
  }
  // Read as well: what it holds decides how to append.
  constexpr int kFlags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  posix::Descriptor fd(::open(path.c_str(), kFlags));
  if (!fd && errno == ENOENT) {
    fd = posix::Descriptor(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0644));
    if (!fd && errno == EEXIST) {
      fd = posix::Descriptor(::open(path.c_str(), kFlags));  // another run was first
    }
  }
  if (!fd) {
    why = errno == ELOOP ? "它是一个链接" : errno == EISDIR ? "它是一个目录" : SystemReason(errno);
    return nullptr;
  }
  // What was opened, which may not be what was looked at.
  if (::fstat(fd.get(), &info) != 0) {
    why = SystemReason(errno);
    return nullptr;
  }
  if (const auto refusal = Refusal(info)) {
    why = *refusal;
    return nullptr;
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags == -1 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
    why = SystemReason(errno);
    return nullptr;
  }
  return std::make_unique<PosixLogFile>(std::move(fd));
}

LogEncoding NewLogEncoding() {
  return LogEncoding::kUtf8;
}

}  // namespace platform
