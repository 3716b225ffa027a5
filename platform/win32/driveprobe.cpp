// win32 drive probe: GetLogicalDrives, GetDriveTypeW, and a lookup in the drive's root.
//
// Implements: the drive types Windows reports (a subst drive reports the type of the
// drive it stands on). Not implemented: telling a USB disk that reports itself fixed
// from an internal one (both get the local disk's bound). The boxes say nothing of a
// drive given up: it is one without a medium.
#include "platform/driveprobe.h"

#include <windows.h>

#include "platform/win32/reach.h"
#include "platform/win32/wide.h"

namespace platform {

std::vector<DriveRef> PresentDrives() {
  std::vector<DriveRef> drives;
  const DWORD present = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((present & (1u << i)) != 0) {
      drives.push_back(win32::DriveOf(static_cast<char>('a' + i)));
    }
  }
  return drives;
}

DriveKind ClassifyDrive(const DriveRef& drive) {
  // Windows answers from what it knows of the device; Wine looks at the file system
  // behind the drive, which is why this runs on the probe's worker.
  switch (GetDriveTypeW(win32::Widen(drive.root).c_str())) {
    case DRIVE_FIXED:
    case DRIVE_RAMDISK:
      return DriveKind::kLocalDisk;
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
      return DriveKind::kRemovable;
    case DRIVE_REMOTE:
      return DriveKind::kNetwork;
    default:
      return DriveKind::kUnknown;
  }
}

void LookAtDrive(const DriveRef& drive) {
  const std::wstring root = win32::Widen(drive.root);
  GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0);
  // A name below the root: a volume's data may come from a cache, a lookup goes to the
  // drive. Not a listing: under Wine a listing holds a lock that every other listing of
  // the process waits for.
  GetFileAttributesW((root + L"Program Files").c_str());
}

void TellSilentDrive(const SilentDrive&) {}

}  // namespace platform
