// win32 window: the folder selection window made of real controls, and the event loop.
//
// Implements:
// - a top-level window of our own class with a fixed frame and a minimise box, centred on
//   the screen, its client area and controls sized from twips at the window's DPI (laid
//   out again on WM_DPICHANGED under per-monitor awareness);
// - the controls in tab order: static labels, a drop-down list for the drives, an
//   owner-drawn list box for the folders (ancestors indented step by step, open-folder
//   glyphs down to the open folder, closed ones for its subfolders), an edit field, push
//   buttons; hidden controls stay hidden;
// - keyboard navigation through IsDialogMessage in RunEventLoop: Tab and the arrows move,
//   Enter opens the highlighted folder or presses the focused button, Escape presses the
//   button whose role is kCancel; focus is kept across deactivation;
// - input ignored while an event handler runs: handlers show modal boxes, whose message
//   loops would otherwise deliver a second OK press into the first;
// - the icon from the executable's resources (platform/win32/res), the application
//   pointer (pointer.h) over the client area, ReportUnhandledError.
// Does not implement: resizing (nothing in the window reacts to a size), drive icons in
// the drive list, access keys (no text carries one), horizontal scrolling of deep paths.
#include "platform/window.h"

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <numeric>

#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/folderlists.h"
#include "platform/win32/dpi.h"
#include "platform/win32/pointer.h"
#include "platform/win32/res/resource.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

using win32::Narrow;
using win32::PixelRect;
using win32::ScalePixels;
using win32::Widen;

constexpr wchar_t kWindowClass[] = L"zelfixFolderWindow";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// Control identifiers start clear of IDOK and IDCANCEL, which IsDialogMessage sends for
// Enter and Escape.
constexpr int kFirstControlId = 100;

constexpr wchar_t kSongtiFace[] = L"\u5B8B\u4F53";  // 宋体
constexpr int kSongtiCentipoints = 975;
constexpr int kDriveListDropItems = 8;
// Folder list rows, in pixels at 96 DPI.
constexpr int kFolderGlyph = 16;
constexpr int kFolderIndent = 10;
constexpr int kFolderMargin = 2;
constexpr int kFolderTextGap = 3;

// Every window of ours that exists, for the event loop and the dialog keys.
std::vector<HWND>& LiveWindows() {
  static std::vector<HWND> windows;
  return windows;
}

// Set while an unhandled error is being reported: no window takes input any more.
bool reportingUnhandledError = false;

// A user32 function that older Windows versions lack, or nullptr.
template <typename Function>
Function OptionalUser32Function(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const FARPROC address = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
  // void(*)() converts to any function pointer type without a cast-function-type warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

int SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) {
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : win32::kDefaultDpi;
}

// The DPI the window is drawn at: its monitor's under per-monitor awareness (Windows 10
// 1607 on), the system's before that.
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
  return win32::ScaleRounded(GetSystemMetrics(metric), dpi, SystemDpi());
}

void AdjustFrameForDpi(RECT& rect, int dpi) {
  using AdjustForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto forDpi =
      OptionalUser32Function<AdjustForDpiFunction>("AdjustWindowRectExForDpi");
  if (forDpi == nullptr || !forDpi(&rect, kWindowStyle, FALSE, kWindowExStyle, dpi)) {
    AdjustWindowRectEx(&rect, kWindowStyle, FALSE, kWindowExStyle);
  }
}

// The dialog font: the system's message font at `dpi`.
HFONT CreateDialogFont(int dpi) {
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
    font.lfHeight = win32::ScaleRounded(font.lfHeight, dpi, SystemDpi());
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

HFONT CreateSongtiFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = win32::FontHeight(kSongtiCentipoints, dpi);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  wcscpy_s(font.lfFaceName, LF_FACESIZE, kSongtiFace);
  return CreateFontIndirectW(&font);
}

// The line height of `font`, internal leading included.
int LineHeight(HFONT font) {
  const HDC screen = GetDC(nullptr);
  const HGDIOBJ previous = SelectObject(screen, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen, &metrics);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return static_cast<int>(metrics.tmHeight);
}

// The width of one line of `text` in `font`.
int TextWidth(HFONT font, const std::wstring& text) {
  const HDC screen = GetDC(nullptr);
  const HGDIOBJ previous = SelectObject(screen, font);
  RECT box{0, 0, 0, 0};
  DrawTextW(screen, text.c_str(), static_cast<int>(text.size()), &box,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return static_cast<int>(box.right - box.left);
}

std::string DriveEntryText(const DriveInfo& drive) {
  std::string text = std::string(1, drive.letter) + ":";
  if (!drive.label.empty()) {
    text += " [" + drive.label + "]";
  }
  return text;
}

// A folder glyph on a 16-unit grid drawn at `size` pixels: a tab and a body, and for an
// open folder the front flap tipped forward.
void DrawFolderGlyph(HDC dc, int x, int y, int size, bool open) {
  const auto at = [&](int gridX, int gridY) {
    return POINT{x + win32::ScaleRounded(gridX, size, 16),
                 y + win32::ScaleRounded(gridY, size, 16)};
  };
  const HPEN edge = CreatePen(PS_SOLID, std::max(1, size / 16), RGB(128, 96, 0));
  const HBRUSH back = CreateSolidBrush(open ? RGB(216, 168, 40) : RGB(255, 208, 80));
  const HBRUSH front = CreateSolidBrush(RGB(255, 232, 128));
  const HGDIOBJ previousPen = SelectObject(dc, edge);
  const HGDIOBJ previousBrush = SelectObject(dc, back);
  const POINT body[] = {at(1, 3), at(6, 3), at(7, 4), at(14, 4), at(14, 13), at(1, 13)};
  Polygon(dc, body, 6);
  if (open) {
    SelectObject(dc, front);
    const POINT flap[] = {at(3, 7), at(16, 7), at(14, 13), at(1, 13)};
    Polygon(dc, flap, 4);
  }
  SelectObject(dc, previousBrush);
  SelectObject(dc, previousPen);
  DeleteObject(front);
  DeleteObject(back);
  DeleteObject(edge);
}

class Win32Window final : public Window {
 public:
  Win32Window(const WindowSpec& layout, WindowEvents& events)
      : layout_(layout), events_(events), caption_(layout.caption) {}

  ~Win32Window() override {
    if (hwnd_ != nullptr) {
      DestroyWindow(hwnd_);
    }
    *alive_ = false;
    DeleteFonts();
    DestroyIcons();
  }

  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  void Create();

  void Show() override {
    if (hwnd_ == nullptr) {
      return;
    }
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetForegroundWindow(hwnd_);
    if (GetActiveWindow() == hwnd_) {
      RestoreFocus();
    }
  }

  void SetCaption(const std::string& caption) override {
    caption_ = caption;
    if (hwnd_ != nullptr) {
      SetWindowTextW(hwnd_, Widen(caption).c_str());
    }
  }

  std::string Caption() const override { return caption_; }

  void Unload() override {
    if (hwnd_ != nullptr) {
      unloading_ = true;
      DestroyWindow(hwnd_);
    }
  }

  bool IsLoaded() const override { return hwnd_ != nullptr; }

  std::string Drive() const override { return drives_.Drive(); }

  void SetDrive(const std::string& drive) override {
    if (drives_.SetDrive(drive)) {
      ShowDrives();
      Fire([this] { events_.DriveChanged(); });
    }
  }

  void SetFolderPath(const std::string& pathOrDrive) override {
    const bool changed = folders_.SetPath(pathOrDrive);
    ShowFolders();
    if (changed) {
      Fire([this] { events_.FolderChanged(); });
    }
  }

  std::string FolderPath() const override { return folders_.Path(); }
  int HighlightedFolderIndex() const override { return folders_.HighlightedIndex(); }
  std::string FolderPathAt(int index) const override { return folders_.PathAt(index); }

  // Unknown names are ignored: the layout and the handlers come from the same code.
  void SetText(const std::string& control, const std::string& text) override {
    const HWND handle = ControlNamed(control);
    if (handle != nullptr) {
      SetWindowTextW(handle, Widen(text).c_str());
    }
  }

  std::string Text(const std::string& control) const override {
    return WindowText(ControlNamed(control));
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND control);
  void OnDpiChanged(int dpi, const RECT& suggested);
  void DrawFolderRow(const DRAWITEMSTRUCT& item);

  void CreateControl(std::size_t index);
  void CreateFonts();
  void DeleteFonts();
  void LoadIcons();
  void DestroyIcons();
  // Places the controls and sizes the frame at dpi_; centres the window or puts its top
  // left corner at `topLeft`.
  void LayOut(const POINT* topLeft);
  PixelRect LabelRect(std::size_t index, PixelRect rect) const;
  void FitDriveListHeight(HWND combo, int height);
  int FolderRowHeight() const;

  void ShowDrives();
  void ShowFolders();
  void CommitDriveSelection();
  void HighlightFolderRow();
  void OpenHighlightedFolder();
  void PressButton(std::size_t index);
  void PressButtonWithRole(ButtonRole role);
  void RestoreFocus();

  // Runs an event handler. Answers whether this object still exists afterwards; the
  // caller touches nothing of it otherwise.
  template <typename Handler>
  bool Fire(Handler handler);
  bool Busy() const { return busy_ > 0 || reportingUnhandledError; }

  // Folder list rows, top to bottom: the root, each further ancestor, the open folder,
  // its subfolders.
  int RowOf(int index) const { return index + folders_.AncestorCount() + 1; }
  int IndexOfRow(int row) const { return row - (folders_.AncestorCount() + 1); }

  HWND Control(ControlKind kind) const;
  HWND ControlNamed(const std::string& name) const;
  HFONT FontOf(std::size_t index) const {
    return layout_.controls[index].songtiFont ? songti_ : dialog_;
  }
  static std::string WindowText(HWND window);

  const WindowSpec layout_;
  WindowEvents& events_;
  std::string caption_;
  DriveList drives_;
  FolderList folders_;

  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;  // parallel to layout_.controls
  HWND focus_ = nullptr;        // the control that gets the focus back on activation
  int dpi_ = win32::kDefaultDpi;
  HFONT songti_ = nullptr;
  HFONT dialog_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;

  int busy_ = 0;  // event handlers running
  bool unloading_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

template <typename Handler>
bool Win32Window::Fire(Handler handler) {
  const std::shared_ptr<bool> alive = alive_;
  struct Running {
    const std::shared_ptr<bool>& alive;
    int& busy;
    ~Running() {
      if (*alive) {
        --busy;
      }
    }
  } running{alive, busy_};
  ++busy_;
  handler();
  return *alive;
}

void Win32Window::Create() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &Win32Window::Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  if (!registered) {
    throw RuntimeError(kPlatformErrorNumber, "无法注册窗口类");
  }

  CreateWindowExW(kWindowExStyle, kWindowClass, Widen(caption_).c_str(), kWindowStyle,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                  GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr) {
    throw RuntimeError(kPlatformErrorNumber,
                       "无法创建窗口（错误 " + std::to_string(GetLastError()) + "）");
  }
  dpi_ = DpiOfWindow(hwnd_);
  CreateFonts();

  // Created in tab order, so that Tab follows it; the labels take no focus.
  std::vector<std::size_t> order(layout_.controls.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return layout_.controls[a].tabIndex < layout_.controls[b].tabIndex;
  });
  controls_.assign(layout_.controls.size(), nullptr);
  for (const std::size_t index : order) {
    CreateControl(index);
  }
  for (const std::size_t index : order) {
    const HWND control = controls_[index];
    if ((GetWindowLongW(control, GWL_STYLE) & (WS_TABSTOP | WS_VISIBLE)) ==
        (WS_TABSTOP | WS_VISIBLE)) {
      focus_ = control;
      break;
    }
  }
  LoadIcons();
  LayOut(nullptr);
  ShowDrives();
  ShowFolders();
}

void Win32Window::CreateControl(std::size_t index) {
  const ControlSpec& layout = layout_.controls[index];
  DWORD style = WS_CHILD | (layout.visible ? WS_VISIBLE : 0);
  DWORD exStyle = 0;
  const wchar_t* windowClass = L"STATIC";
  std::wstring text = Widen(layout.text);
  switch (layout.kind) {
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
  const HWND control = CreateWindowExW(
      exStyle, windowClass, text.c_str(), style, 0, 0, 0, 0, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index))),
      GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) {
    throw RuntimeError(kPlatformErrorNumber, "无法创建控件 " + layout.name + "（错误 " +
                                                 std::to_string(GetLastError()) + "）");
  }
  controls_[index] = control;
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(index)), FALSE);
}

void Win32Window::CreateFonts() {
  songti_ = CreateSongtiFont(dpi_);
  dialog_ = CreateDialogFont(dpi_);
  if (songti_ == nullptr || dialog_ == nullptr) {
    throw RuntimeError(kPlatformErrorNumber, "无法创建字体");
  }
}

void Win32Window::DeleteFonts() {
  for (HFONT* font : {&songti_, &dialog_}) {
    if (*font != nullptr) {
      DeleteObject(*font);
      *font = nullptr;
    }
  }
}

void Win32Window::LoadIcons() {
  DestroyIcons();
  const auto load = [this](int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(ZELFIX_ICON_ID), IMAGE_ICON,
                                         SystemMetricForDpi(widthMetric, dpi_),
                                         SystemMetricForDpi(heightMetric, dpi_), LR_DEFAULTCOLOR));
  };
  // A program without the icon resource (a test) keeps the default icon.
  bigIcon_ = load(SM_CXICON, SM_CYICON);
  smallIcon_ = load(SM_CXSMICON, SM_CYSMICON);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

void Win32Window::DestroyIcons() {
  for (HICON* icon : {&bigIcon_, &smallIcon_}) {
    if (*icon != nullptr) {
      DestroyIcon(*icon);
      *icon = nullptr;
    }
  }
}

void Win32Window::LayOut(const POINT* topLeft) {
  for (std::size_t index = 0; index < layout_.controls.size(); ++index) {
    const ControlSpec& layout = layout_.controls[index];
    const HWND control = controls_[index];
    PixelRect rect =
        win32::TwipsRectToPixels(layout.left, layout.top, layout.width, layout.height, dpi_);
    int windowHeight = rect.Height();
    if (layout.kind == ControlKind::kLabel) {
      rect = LabelRect(index, rect);
      windowHeight = rect.Height();
    } else if (layout.kind == ControlKind::kDriveList) {
      // A combo box's height includes its dropped-down list.
      windowHeight += kDriveListDropItems * LineHeight(FontOf(index));
    } else if (layout.kind == ControlKind::kFolderList) {
      SendMessageW(control, LB_SETITEMHEIGHT, 0, FolderRowHeight());
    }
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.Width(), windowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout.kind == ControlKind::kDriveList) {
      FitDriveListHeight(control, rect.Height());
    }
  }

  RECT frame{0, 0, win32::TwipsToPixels(layout_.clientWidth, dpi_),
             win32::TwipsToPixels(layout_.clientHeight, dpi_)};
  AdjustFrameForDpi(frame, dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  POINT position{};
  if (topLeft != nullptr) {
    position = *topLeft;
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    position.x = area.left + std::max(0L, (area.right - area.left - width) / 2);
    position.y = area.top + std::max(0L, (area.bottom - area.top - height) / 2);
  }
  SetWindowPos(hwnd_, nullptr, position.x, position.y, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// A label grows to show its text on one line: down to the font's line height, and to
// the right up to the next visible control beside it or the client area's margin.
PixelRect Win32Window::LabelRect(std::size_t index, PixelRect rect) const {
  const ControlSpec& layout = layout_.controls[index];
  const HFONT font = FontOf(index);
  rect.bottom = std::max(rect.bottom, rect.top + LineHeight(font));
  const int clientWidth = win32::TwipsToPixels(layout_.clientWidth, dpi_);
  int limit = std::max(rect.right, clientWidth - rect.left);
  for (std::size_t other = 0; other < layout_.controls.size(); ++other) {
    const ControlSpec& neighbour = layout_.controls[other];
    if (other == index || !neighbour.visible) {
      continue;
    }
    const PixelRect box = win32::TwipsRectToPixels(neighbour.left, neighbour.top, neighbour.width,
                                                   neighbour.height, dpi_);
    const bool beside = box.top < rect.bottom && rect.top < box.bottom;
    if (beside && box.left >= rect.right) {
      limit = std::min(limit, box.left - ScalePixels(4, dpi_));
    }
  }
  const int needed = rect.left + TextWidth(font, Widen(layout.text));
  rect.right = std::max(rect.right, std::min(needed, limit));
  return rect;
}

// The closed drop-down list gets the height of the layout when its font allows: the
// selection field grows by the difference, never shrinks below the font.
void Win32Window::FitDriveListHeight(HWND combo, int height) {
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

// Also asked while the list is being created, before its handle is known.
int Win32Window::FolderRowHeight() const {
  HFONT font = songti_;
  for (std::size_t index = 0; index < layout_.controls.size(); ++index) {
    if (layout_.controls[index].kind == ControlKind::kFolderList) {
      font = FontOf(index);
    }
  }
  return std::max(LineHeight(font), ScalePixels(kFolderGlyph, dpi_)) + ScalePixels(2, dpi_);
}

void Win32Window::ShowDrives() {
  const HWND combo = Control(ControlKind::kDriveList);
  if (combo == nullptr) {
    return;
  }
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const DriveInfo& drive : drives_.Entries()) {
    SendMessageW(combo, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Widen(DriveEntryText(drive)).c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(drives_.SelectedIndex()), 0);
}

void Win32Window::ShowFolders() {
  const HWND list = Control(ControlKind::kFolderList);
  if (list == nullptr) {
    return;
  }
  const int first = IndexOfRow(0);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  if (!folders_.Path().empty()) {
    for (int index = first; index < folders_.SubfolderCount(); ++index) {
      SendMessageW(list, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Widen(folders_.NameAt(index)).c_str()));
    }
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(RowOf(folders_.HighlightedIndex())), 0);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void Win32Window::DrawFolderRow(const DRAWITEMSTRUCT& item) {
  const HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_WINDOW));
  if (item.itemID == static_cast<UINT>(-1)) {
    return;
  }
  const int row = static_cast<int>(item.itemID);
  const int index = IndexOfRow(row);
  // Each ancestor one step further in; the subfolders one step beyond the open folder.
  const int steps = std::min(row, folders_.AncestorCount() + 1);

  const int glyph = ScalePixels(kFolderGlyph, dpi_);
  const int x = item.rcItem.left + ScalePixels(kFolderMargin, dpi_) +
                steps * ScalePixels(kFolderIndent, dpi_);
  const int rowHeight = item.rcItem.bottom - item.rcItem.top;
  DrawFolderGlyph(dc, x, item.rcItem.top + (rowHeight - glyph) / 2, glyph, index < 0);

  const std::wstring name = Widen(folders_.NameAt(index));
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const HGDIOBJ previousFont = SelectObject(dc, font);
  const int padding = ScalePixels(2, dpi_);
  RECT text = item.rcItem;
  text.left = x + glyph + ScalePixels(kFolderTextGap, dpi_);
  text.right = text.left + TextWidth(font, name) + 2 * padding;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  RECT inner = text;
  inner.left += padding;
  DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &inner,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    DrawFocusRect(dc, &text);
  }
  SelectObject(dc, previousFont);
}

void Win32Window::CommitDriveSelection() {
  const HWND combo = Control(ControlKind::kDriveList);
  const int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  if (index >= 0 && drives_.Select(index)) {
    Fire([this] { events_.DriveChanged(); });
  }
}

void Win32Window::HighlightFolderRow() {
  const HWND list = Control(ControlKind::kFolderList);
  const int row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (row < 0) {
    return;
  }
  folders_.Highlight(IndexOfRow(row));
  Fire([this] { events_.FolderClicked(); });
}

void Win32Window::OpenHighlightedFolder() {
  bool changed = false;
  try {
    changed = folders_.Open(folders_.HighlightedIndex());
  } catch (const RuntimeError&) {
    // The folder went away since the list was filled; the list stays as it was.
    MessageBeep(MB_OK);
    return;
  }
  ShowFolders();
  if (changed) {
    Fire([this] { events_.FolderChanged(); });
  }
}

void Win32Window::PressButton(std::size_t index) {
  const std::string name = layout_.controls[index].name;
  Fire([this, &name] { events_.ButtonClicked(name); });
}

void Win32Window::PressButtonWithRole(ButtonRole role) {
  for (std::size_t index = 0; index < layout_.controls.size(); ++index) {
    const ControlSpec& layout = layout_.controls[index];
    if (layout.kind == ControlKind::kButton && layout.role == role &&
        IsWindowVisible(controls_[index]) && IsWindowEnabled(controls_[index])) {
      PressButton(index);
      return;
    }
  }
}

void Win32Window::RestoreFocus() {
  if (focus_ != nullptr && IsWindow(focus_) && IsWindowVisible(focus_)) {
    SetFocus(focus_);
  }
}

void Win32Window::OnCommand(int id, int code, HWND control) {
  if (unloading_) {
    return;
  }
  if (Busy()) {
    // A selection made meanwhile is taken back; nothing else happens.
    if (control != nullptr && control == Control(ControlKind::kDriveList)) {
      SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(drives_.SelectedIndex()), 0);
    } else if (control != nullptr && control == Control(ControlKind::kFolderList)) {
      SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(RowOf(folders_.HighlightedIndex())),
                   0);
    }
    return;
  }
  if (id == IDCANCEL) {  // Escape
    PressButtonWithRole(ButtonRole::kCancel);
    return;
  }
  if (id == IDOK) {  // Enter on a control that does not take it itself
    const HWND focus = GetFocus();
    if (focus == Control(ControlKind::kFolderList)) {
      OpenHighlightedFolder();
      return;
    }
    for (std::size_t index = 0; index < controls_.size(); ++index) {
      if (controls_[index] == focus && layout_.controls[index].kind == ControlKind::kButton) {
        PressButton(index);
        return;
      }
    }
    return;
  }
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls_.size()) ||
      controls_[static_cast<std::size_t>(index)] != control) {
    return;
  }
  switch (layout_.controls[static_cast<std::size_t>(index)].kind) {
    case ControlKind::kDriveList:
      // While the list is dropped down the arrows only browse; the choice counts when it
      // closes.
      if ((code == CBN_SELCHANGE && !SendMessageW(control, CB_GETDROPPEDSTATE, 0, 0)) ||
          code == CBN_CLOSEUP) {
        CommitDriveSelection();
      }
      break;
    case ControlKind::kFolderList:
      if (code == LBN_SELCHANGE) {
        HighlightFolderRow();
      } else if (code == LBN_DBLCLK) {
        OpenHighlightedFolder();
      }
      break;
    case ControlKind::kButton:
      if (code == BN_CLICKED) {
        PressButton(static_cast<std::size_t>(index));
      }
      break;
    case ControlKind::kLabel:
    case ControlKind::kTextField:
      break;
  }
}

void Win32Window::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  const HFONT oldSongti = songti_;
  const HFONT oldDialog = dialog_;
  songti_ = CreateSongtiFont(dpi_);
  dialog_ = CreateDialogFont(dpi_);
  for (std::size_t index = 0; index < controls_.size(); ++index) {
    SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(index)), TRUE);
  }
  DeleteObject(oldSongti);
  DeleteObject(oldDialog);
  LoadIcons();
  const POINT topLeft{suggested.left, suggested.top};
  LayOut(&topLeft);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;

    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      item.itemHeight = static_cast<UINT>(FolderRowHeight());
      return TRUE;
    }

    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.hwndItem == Control(ControlKind::kFolderList)) {
        DrawFolderRow(item);
        return TRUE;
      }
      break;
    }

    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lParam);
      for (std::size_t index = 0; index < controls_.size(); ++index) {
        if (controls_[index] == control && layout_.controls[index].buttonFaceBackground) {
          const auto dc = reinterpret_cast<HDC>(wParam);
          SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
          SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
          return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
      }
      break;
    }

    case WM_SETCURSOR:
      // The hourglass covers the controls too; the arrow lets each control show its own.
      if (win32::ApplicationPointer() == kPointerBusy && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;

    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) {
          focus_ = focus;
        }
      } else if (HIWORD(wParam) == 0) {  // not minimised
        RestoreFocus();
      }
      return 0;

    case WM_SETFOCUS:
      RestoreFocus();
      return 0;

    case WM_CLOSE:
      if (!Busy()) {
        Unload();
      }
      return 0;

    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;

    case WM_DESTROY:
      unloading_ = true;
      return 0;

    case WM_NCDESTROY: {
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      std::vector<HWND>& live = LiveWindows();
      live.erase(std::remove(live.begin(), live.end(), hwnd_), live.end());
      const HWND window = hwnd_;
      hwnd_ = nullptr;
      std::fill(controls_.begin(), controls_.end(), nullptr);
      focus_ = nullptr;
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Win32Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
    LiveWindows().push_back(window);
  }
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  // Nothing may unwind through user32's frames.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (const RuntimeError& error) {
    ReportUnhandledError(error.Description());
  } catch (const std::exception& error) {
    ReportUnhandledError(error.what());
  } catch (...) {
    ReportUnhandledError("未知错误");
  }
}

HWND Win32Window::Control(ControlKind kind) const {
  for (std::size_t index = 0; index < controls_.size(); ++index) {
    if (layout_.controls[index].kind == kind) {
      return controls_[index];
    }
  }
  return nullptr;
}

HWND Win32Window::ControlNamed(const std::string& name) const {
  for (std::size_t index = 0; index < controls_.size(); ++index) {
    if (layout_.controls[index].name == name) {
      return controls_[index];
    }
  }
  return nullptr;
}

std::string Win32Window::WindowText(HWND window) {
  if (window == nullptr) {
    return std::string();
  }
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  const int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return Narrow(text.data(), static_cast<std::size_t>(std::max(length, 0)));
}

// The caption of the unhandled-error box: the window's caption (the program's title)
// while a window is loaded, else the program's file name.
std::string UnhandledErrorCaption() {
  for (const HWND window : LiveWindows()) {
    wchar_t caption[256] = {};
    if (GetWindowTextW(window, caption, 256) > 0) {
      return Narrow(caption);
    }
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  name = name.substr(name.find_last_of(L"\\/") + 1);
  return Narrow(name.substr(0, name.rfind(L'.')));
}

}  // namespace

std::unique_ptr<Window> OpenWindow(const WindowSpec& layout, WindowEvents& events) {
  auto window = std::make_unique<Win32Window>(layout, events);
  window->Create();
  events.Loaded(*window);
  return window;
}

void RunEventLoop() {
  // The count is checked after every message: a window is only ever destroyed while one
  // is being handled, so no WM_QUIT is needed (one posted too early would close the
  // next message box instead).
  MSG message{};
  while (!LiveWindows().empty()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      return;
    }
    bool handled = false;
    for (const HWND window : LiveWindows()) {
      if (message.hwnd == window || IsChild(window, message.hwnd)) {
        handled = IsDialogMessageW(window, &message) != FALSE;
        break;
      }
    }
    if (!handled) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

void ReportUnhandledError(const std::string& description) {
  reportingUnhandledError = true;
  for (const HWND window : LiveWindows()) {
    EnableWindow(window, FALSE);
  }
  try {
    CurrentDialogs().ShowMessageBox(description, UnhandledErrorCaption(),
                                    kMbIconHand | kMbSystemModal);
  } catch (...) {
    // Nothing more can be told; the program ends all the same.
  }
  std::fflush(nullptr);
  ExitProcess(1);
}

}  // namespace platform
