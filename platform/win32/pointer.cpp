// win32 application pointer: one value for the process, shown at once and again by the
// windows whenever they are asked for their cursor (WM_SETCURSOR).
#include "platform/win32/pointer.h"

#include <windows.h>

#include "platform/dialogs.h"

namespace platform::win32 {

namespace {
// Everything runs on the one user-interface thread; no lock is needed.
std::int16_t applicationPointer = kPointerDefault;
}  // namespace

std::int16_t ApplicationPointer() {
  return applicationPointer;
}

void SetApplicationPointer(std::int16_t pointer) {
  applicationPointer = pointer;
  SetCursor(LoadCursorW(nullptr, pointer == kPointerBusy ? IDC_WAIT : IDC_ARROW));
}

}  // namespace platform::win32
