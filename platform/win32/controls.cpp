#include "platform/win32/controls.h"

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "platform/win32/dpi.h"
#include "platform/win32/wide.h"

namespace platform::win32 {

namespace {

constexpr int kDriveListDropItems = 8;

// A label grows to show its text on one line: down to the font's line height, and to
// the right up to the next visible control beside it or the client area's margin.
PixelRect LabelRect(const WindowSpec& layout, std::size_t index, PixelRect rect, HFONT font,
                    int dpi) {
  rect.bottom = std::max(rect.bottom, rect.top + LineHeight(font));
  const int clientWidth = TwipsToPixels(layout.clientWidth, dpi);
  int limit = std::max(rect.right, clientWidth - rect.left);
  for (std::size_t other = 0; other < layout.controls.size(); ++other) {
    const ControlSpec& neighbour = layout.controls[other];
    if (other == index || !neighbour.visible) {
      continue;
    }
    const PixelRect box =
        TwipsRectToPixels(neighbour.left, neighbour.top, neighbour.width, neighbour.height, dpi);
    const bool beside = box.top < rect.bottom && rect.top < box.bottom;
    if (beside && box.left >= rect.right) {
      limit = std::min(limit, box.left - ScalePixels(4, dpi));
    }
  }
  const int needed = rect.left + TextWidth(font, Widen(layout.controls[index].text));
  rect.right = std::max(rect.right, std::min(needed, limit));
  return rect;
}

// The closed drop-down list gets the height of the layout when its font allows: the
// selection field grows by the difference, never shrinks below the font.
void FitDriveListHeight(HWND combo, int height) {
  RECT box{};
  GetWindowRect(combo, &box);
  const int missing = height - static_cast<int>(box.bottom - box.top);
  if (missing > 0) {
    const LRESULT field = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    if (field != CB_ERR) {
      SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + missing);
    }
  }
}

}  // namespace

HWND CreateControl(const ControlSpec& described, HWND parent, int id, HFONT font) {
  DWORD style = WS_CHILD | (described.visible ? WS_VISIBLE : 0);
  DWORD exStyle = 0;
  const wchar_t* windowClass = L"STATIC";
  std::wstring text = Widen(described.text);
  switch (described.kind) {
    case ControlKind::kLabel:
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
    case ControlKind::kDriveList:
      windowClass = L"COMBOBOX";
      style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
      text.clear();
      break;
    case ControlKind::kFolderList:
      windowClass = L"LISTBOX";
      style |= LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT |
               WS_VSCROLL | WS_TABSTOP;
      exStyle |= WS_EX_CLIENTEDGE;
      text.clear();
      break;
    case ControlKind::kTextField:
      windowClass = L"EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      exStyle |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::kButton:
      windowClass = L"BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
  }
  const HWND control = CreateWindowExW(exStyle, windowClass, text.c_str(), style, 0, 0, 0, 0,
                                       parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                       GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) {
    throw RuntimeError(kPlatformErrorNumber, "无法创建控件 " + described.name + "（错误 " +
                                                 std::to_string(GetLastError()) + "）");
  }
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void PlaceControl(const WindowSpec& layout, std::size_t index, HWND control, HFONT font, int dpi) {
  const ControlSpec& described = layout.controls[index];
  PixelRect rect =
      TwipsRectToPixels(described.left, described.top, described.width, described.height, dpi);
  int windowHeight = rect.Height();
  if (described.kind == ControlKind::kLabel) {
    rect = LabelRect(layout, index, rect, font, dpi);
    windowHeight = rect.Height();
  } else if (described.kind == ControlKind::kDriveList) {
    // A combo box's height includes its dropped-down list.
    windowHeight += kDriveListDropItems * LineHeight(font);
  }
  SetWindowPos(control, nullptr, rect.left, rect.top, rect.Width(), windowHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (described.kind == ControlKind::kDriveList) {
    FitDriveListHeight(control, rect.Height());
  }
}

void PlaceFrame(HWND window, const WindowSpec& layout, DWORD style, DWORD exStyle, int dpi,
                const POINT* topLeft) {
  RECT frame{0, 0, TwipsToPixels(layout.clientWidth, dpi), TwipsToPixels(layout.clientHeight, dpi)};
  AdjustFrameForDpi(frame, style, exStyle, dpi);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  POINT position{};
  if (topLeft != nullptr) {
    position = *topLeft;
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    position.x = area.left + std::max(0L, (area.right - area.left - width) / 2);
    position.y = area.top + std::max(0L, (area.bottom - area.top - height) / 2);
  }
  SetWindowPos(window, nullptr, position.x, position.y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform::win32
