// Twips, points and pixels at a given DPI: the arithmetic behind the window's layout, and
// what Windows says about DPI, fonts and text sizes (platform/win32/dpi.cpp).
//
// The arithmetic is pure integer arithmetic, checked on its own. Rounding is to the
// nearest pixel, halves away from zero, the way MulDiv rounds.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/handles.h"

namespace platform::win32 {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDefaultDpi = 96;  // 15 twips a pixel

// value * numerator / denominator, rounded like MulDiv (denominator > 0).
constexpr int ScaleRounded(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator
                                       : -((-product + half) / denominator));
}

constexpr int TwipsToPixels(int twips, int dpi) {
  return ScaleRounded(twips, dpi, kTwipsPerInch);
}

// A length given in pixels at 96 DPI, at `dpi`.
constexpr int ScalePixels(int pixelsAt96, int dpi) {
  return ScaleRounded(pixelsAt96, dpi, kDefaultDpi);
}

// LOGFONT's lfHeight for a font of `centipoints` (hundredths of a point): negative, so
// that it names the character height without the internal leading.
constexpr int FontHeight(int centipoints, int dpi) {
  return -ScaleRounded(centipoints, dpi, 72 * 100);
}

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr bool operator==(const PixelRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

// A rectangle in twips, in pixels. The edges are scaled, not the sizes, so that
// controls whose edges meet in twips still meet in pixels at any DPI.
constexpr PixelRect TwipsRectToPixels(int left, int top, int width, int height, int dpi) {
  return PixelRect{TwipsToPixels(left, dpi), TwipsToPixels(top, dpi),
                   TwipsToPixels(left + width, dpi), TwipsToPixels(top + height, dpi)};
}

// The screen's DPI, for a process that is not aware of each monitor's.
int SystemDpi();

// The DPI `window` is drawn at: its monitor's under per-monitor awareness (Windows 10
// 1607 on), the system's before that.
int DpiOfWindow(HWND window);

// GetSystemMetrics at `dpi`.
int SystemMetricForDpi(int metric, int dpi);

// Grows a client rectangle to the frame of a window with these styles, at `dpi`.
void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi);

// The dialog font: the system's message font at `dpi`.
Font CreateDialogFont(int dpi);
// "宋体" 9.75 pt with the GB2312 character set, at `dpi`.
Font CreateSongtiFont(int dpi);

// The line height of `font`, internal leading included.
int LineHeight(HFONT font);
// The width of one line of `text` in `font`.
int TextWidth(HFONT font, const std::wstring& text);

}  // namespace platform::win32
