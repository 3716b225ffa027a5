// Whether a lookup may go to the drive a path lies on (platform/driveprobe.h).
#pragma once

#include <string>

namespace platform::win32 {

// Whether the drive of `path` answers: its drive letter, or the current folder's for a
// path without one. True for a network path (\\server\share), which names no drive.
bool DriveOfPathAnswers(const std::string& path);

}  // namespace platform::win32
