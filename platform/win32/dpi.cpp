// DPI, fonts and text sizes as Windows reports them. The per-DPI functions of user32
// exist from Windows 10 1607 on; before that the system's values are scaled.
#include "platform/win32/dpi.h"

namespace platform::win32 {

namespace {

constexpr wchar_t kSongtiFace[] = L"\u5B8B\u4F53";  // 宋体
constexpr int kSongtiCentipoints = 975;

// A user32 function that older Windows versions lack, or nullptr.
template <typename Function>
Function OptionalUser32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const FARPROC address = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
  // void(*)() converts to any function pointer type without a cast-function-type warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

int SystemDpi() {
  const WindowDC screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

int DpiOfWindow(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow =
      OptionalUser32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) {
      return static_cast<int>(dpi);
    }
  }
  return SystemDpi();
}

int SystemMetricForDpi(int metric, int dpi) {
  using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
  static const auto forDpi =
      OptionalUser32Function<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
  if (forDpi != nullptr) {
    return forDpi(metric, static_cast<UINT>(dpi));
  }
  return ScaleRounded(GetSystemMetrics(metric), dpi, SystemDpi());
}

void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi) {
  using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto forDpi =
      OptionalUser32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  if (forDpi == nullptr || !forDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
}

Font CreateDialogFont(int dpi) {
  using ParametersForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto forDpi =
      OptionalUser32Function<ParametersForDpiFunction>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (forDpi == nullptr ||
      !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    LOGFONTW& font = metrics.lfMessageFont;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
      GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    }
    // Both answer at the system DPI.
    font.lfHeight = ScaleRounded(font.lfHeight, dpi, SystemDpi());
  }
  return Font(CreateFontIndirectW(&metrics.lfMessageFont));
}

Font CreateSongtiFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = FontHeight(kSongtiCentipoints, dpi);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  wcscpy_s(font.lfFaceName, LF_FACESIZE, kSongtiFace);
  return Font(CreateFontIndirectW(&font));
}

int LineHeight(HFONT font) {
  const WindowDC screen(nullptr);
  const SelectedObject selected(screen.get(), font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen.get(), &metrics);
  return static_cast<int>(metrics.tmHeight);
}

int TextWidth(HFONT font, const std::wstring& text) {
  const WindowDC screen(nullptr);
  const SelectedObject selected(screen.get(), font);
  RECT box{0, 0, 0, 0};
  DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &box,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  return static_cast<int>(box.right - box.left);
}

}  // namespace platform::win32
