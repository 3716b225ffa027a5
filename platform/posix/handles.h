// The kinds of system handle the posix back-end opens, each with its owner
// (platform/ownedhandle.h).
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/ownedhandle.h"

namespace platform::posix {

constexpr int NoDescriptor() {
  return -1;
}

// An open file descriptor (-1 for none).
class Descriptor : public OwnedHandle<int, &::close, &NoDescriptor> {
 public:
  using OwnedHandle::OwnedHandle;

  // Closes now and says whether that worked: for a file written through this descriptor,
  // a failing close can mean that the data never reached the disk.
  bool Close() { return ::close(release()) == 0; }
};

// An open folder stream (opendir, fdopendir).
using FolderStream = OwnedHandle<DIR*, &::closedir>;

// Writes all of `bytes` to `fd`, going on after an interrupted or partial write. False
// with errno set when a write fails; a write that takes nothing counts as a full disk.
inline bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace platform::posix
