// Changes the process's current folder to a Windows folder for as long as the object
// lives: the drive list and the folder list start there, and a drive text opens it when
// it is on that drive. Declare it after the ScratchDrives it points into, so that it
// goes back before the drives go away.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifndef _WIN32
#include "platform/posix/winpath.h"
#endif

namespace testsupport {

class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& windowsFolder)
      : saved_(std::filesystem::current_path()) {
    std::error_code error;
    std::filesystem::current_path(HostPath(windowsFolder), error);
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
  static std::filesystem::path HostPath(const std::string& windowsFolder) {
#ifdef _WIN32
    return std::filesystem::u8path(windowsFolder);
#else
    const auto parsed = platform::posix::ParseWindowsPath(windowsFolder);
    return parsed ? std::filesystem::path(platform::posix::Locate(*parsed).hostPath)
                  : std::filesystem::path("/nonexistent-scratch-folder");
#endif
  }

  std::filesystem::path saved_;
};

}  // namespace testsupport
