// win32 process set-up: SetErrorMode, keeping whatever bits the process already has.
#include "platform/process.h"

#include <windows.h>

namespace platform {

void PrepareProcess(bool unattended) {
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX |
               (unattended ? SEM_NOGPFAULTERRORBOX : 0));
}

}  // namespace platform
