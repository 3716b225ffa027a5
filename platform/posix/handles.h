// Owners of the system handles the posix back-end opens: each is released exactly once,
// when its owner goes, on every path out of the code that opened it.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace platform::posix {

// An open file descriptor (-1 for none).
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  // Gives the descriptor up without closing it: something else owns it now.
  int Release() { return std::exchange(fd_, -1); }
  // Closes now and says whether that worked: for a file written through this descriptor,
  // a failing close can mean that the data never reached the disk.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// An open folder stream (opendir, fdopendir); nullptr for none.
class FolderStream {
 public:
  explicit FolderStream(DIR* stream) : stream_(stream) {}
  ~FolderStream() {
    if (stream_ != nullptr) {
      ::closedir(stream_);
    }
  }
  FolderStream(const FolderStream&) = delete;
  FolderStream& operator=(const FolderStream&) = delete;

  DIR* get() const { return stream_; }

 private:
  DIR* stream_;
};

}  // namespace platform::posix
