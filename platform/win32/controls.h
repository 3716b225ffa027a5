// The window's controls as real Windows controls: the window class and styles that each
// kind of control becomes, and where a control and the window's frame go at a DPI.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/window.h"

namespace platform::win32 {

// Creates the control that `described` lays out - a static, a drop-down combo box, an owner-drawn
// list box, an edit field or a push button - as a child of `parent` with identifier `id`
// and font `font`, not yet placed. Raises RuntimeError when Windows refuses.
HWND CreateControl(const ControlSpec& described, HWND parent, int id, HFONT font);

// Puts `control`, the control `index` of `layout` drawn in `font`, at its twips at `dpi`.
// A label grows to show its text on one line. The drop-down list's window includes its
// dropped-down part, and the closed list has the layout's height where the font allows.
void PlaceControl(const WindowSpec& layout, std::size_t index, HWND control, HFONT font, int dpi);

// Sizes the frame of `window`, which has these styles, around the layout's client area
// at `dpi`; centres it on its monitor's work area, or puts its top left corner at
// `*topLeft` when given.
void PlaceFrame(HWND window, const WindowSpec& layout, DWORD style, DWORD exStyle, int dpi,
                const POINT* topLeft);

}  // namespace platform::win32
