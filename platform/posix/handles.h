// The kinds of system handle the posix back-end opens, each with its owner
// (platform/ownedhandle.h).
#pragma once

#include <dirent.h>
#include <unistd.h>

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

}  // namespace platform::posix
