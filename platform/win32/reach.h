// Whether a lookup may go to the drive a path lies on (platform/driveprobe.h).
#pragma once

#include <string>

#include "platform/driveprobe.h"

namespace platform::win32 {

// The drive with this letter ("X:\" as its root), as the probes know it.
DriveRef DriveOf(char letter);

// Whether the drive of `path` answers: its drive letter, or the current folder's for a
// path without one; probes that drive alone, when it has not been probed yet. True for a
// network path (\\server\share), which names no drive.
bool DriveOfPathAnswers(const std::string& path);

}  // namespace platform::win32
