// win32 process set-up: SetErrorMode, keeping whatever bits the process already has.
#include "platform/process.h"

#include <windows.h>

namespace platform {

void PrepareProcess() {
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

}  // namespace platform
