// Changes the process's current folder to a Windows folder on the scratch drives for as
// long as the object lives: the drive list and the folder list start there, and a drive
// text opens it when it is on that drive. Declare it after the ScratchDrives it points
// into, so that it goes back before the drives go away.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/ScratchDrives.h"

namespace testsupport {

class ScopedCurrentFolder {
 public:
  // The folder is mapped to the host by ScratchDrives, never by the program's own path
  // resolution, which the tests that start here check.
  ScopedCurrentFolder(const ScratchDrives& drives, const std::string& windowsFolder)
      : saved_(std::filesystem::current_path()) {
    std::error_code error;
    std::filesystem::current_path(drives.HostPath(windowsFolder), error);
    if (error) {
      ADD_FAILURE() << "cannot change to " << windowsFolder << ": " << error.message();
    }
  }
  ~ScopedCurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(saved_, ignored);
  }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::filesystem::path saved_;
};

}  // namespace testsupport
