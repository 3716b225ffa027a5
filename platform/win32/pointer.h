// The application-wide mouse pointer on Windows: one process-wide value that the
// program's windows show whenever the mouse is over them (WM_SETCURSOR).
#pragma once

#include <cstdint>

namespace platform::win32 {

// 0 the default arrow, 11 the hourglass; other values show the arrow.
std::int16_t ApplicationPointer();
// Sets the value and shows it at once.
void SetApplicationPointer(std::int16_t pointer);

}  // namespace platform::win32
