// win32 process set-up: DLLs from System32 only and RedirectionGuard
// (platform/win32/systemlibrary.h), then SetErrorMode, keeping whatever bits the process
// already has.
#include "platform/process.h"

#include <windows.h>

#include "platform/win32/systemlibrary.h"

namespace platform {

void PrepareProcess(bool unattended) {
  win32::HardenProcess();
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX |
               (unattended ? SEM_NOGPFAULTERRORBOX : 0));
}

}  // namespace platform
