// The kinds of system handle the posix back-end opens, each with its owner
// (platform/ownedhandle.h).
#pragma once

#include <dirent.h>
#include <unistd.h>

#include "platform/ownedhandle.h"

namespace platform::posix {

struct DescriptorTraits {
  using Handle = int;
  static int None() { return -1; }
  static void Close(int fd) { ::close(fd); }
};

// An open file descriptor (-1 for none).
class Descriptor : public OwnedHandle<DescriptorTraits> {
 public:
  using OwnedHandle::OwnedHandle;

  // Closes now and says whether that worked: for a file written through this descriptor,
  // a failing close can mean that the data never reached the disk.
  bool Close() { return ::close(release()) == 0; }
};

// An open folder stream (opendir, fdopendir).
using FolderStream = OwnedHandle<PointerHandleTraits<DIR*, &::closedir>>;

}  // namespace platform::posix
