// win32 window: the folder selection window made of real controls, and the event loop.
//
// Implements:
// - a top-level window of our own class with a fixed frame and a minimise box, centred on
//   the screen, its client area and controls sized from twips at the window's DPI (laid
//   out again on WM_DPICHANGED under per-monitor awareness);
// - the controls in tab order (made and placed by controls.h): static labels, a
//   drop-down list for the drives, an owner-drawn list box for the folders (its rows
//   painted by folderrow.h), an edit field, push buttons; hidden controls stay hidden;
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
#include <optional>
#include <utility>

#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/listwindow.h"
#include "platform/win32/controls.h"
#include "platform/win32/dpi.h"
#include "platform/win32/folderrow.h"
#include "platform/win32/handles.h"
#include "platform/win32/pointer.h"
#include "platform/win32/res/resource.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

using win32::FolderIndexOfRow;
using win32::FolderRowOf;
using win32::Narrow;
using win32::Widen;

constexpr wchar_t kWindowClass[] = L"zelfixFolderWindow";
constexpr DWORD kWindowStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;
// Control identifiers start clear of IDOK and IDCANCEL, which IsDialogMessage sends for
// Enter and Escape.
constexpr int kFirstControlId = 100;

// Every window of ours that exists, for the event loop and the dialog keys.
std::vector<HWND>& LiveWindows() {
  static std::vector<HWND> windows;
  return windows;
}

// Set while an unhandled error is being reported: no window takes input any more.
bool reportingUnhandledError = false;

class Win32Window final : public ListWindow {
 public:
  Win32Window(const WindowSpec& layout, WindowEvents& events)
      : ListWindow(events), layout_(layout), caption_(layout.caption) {}

  ~Win32Window() override {
    if (hwnd_ != nullptr) {
      DestroyWindow(hwnd_);
    }
    *alive_ = false;
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

  // Unknown names are ignored: the layout and the handlers come from the same code.
  void SetText(const std::string& control, const std::string& text) override {
    const HWND handle = ControlNamed(control);
    if (handle != nullptr) {
      SetWindowTextW(handle, Widen(text).c_str());
    }
  }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  void ShowDrives() override;
  void ShowFolders() override;
  void Report(void (WindowEvents::*event)()) override {
    Fire([this, event] { (Events().*event)(); });
  }

 private:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND control);
  void OnDpiChanged(int dpi, const RECT& suggested);

  void CreateFonts();
  void LoadIcons();
  // Places the controls and sizes the frame at dpi_; centres the window or puts its top
  // left corner at `topLeft`.
  void LayOut(const POINT* topLeft);
  int FolderRowHeight() const;

  void CommitDriveSelection();
  void HighlightFolderRow();
  void OpenHighlightedFolder();
  void PressButton(std::size_t index);
  void PressButtonWithRole(ButtonRole role);
  void RestoreFocus();

  // Runs an event handler, the window taking no input meanwhile (Busy). The handler may
  // destroy this object (the form replaces a window it has unloaded when it next needs
  // one), so the caller touches nothing of it afterwards.
  template <typename Handler>
  void Fire(Handler handler);
  bool Busy() const { return busy_ > 0 || reportingUnhandledError; }

  // The first control whose layout is `wanted`, or nullptr.
  template <typename Wanted>
  HWND FirstControl(Wanted wanted) const;
  HWND Control(ControlKind kind) const;
  HWND ControlNamed(const std::string& name) const;
  HFONT FontOf(std::size_t index) const {
    return layout_.controls[index].songtiFont ? songti_.get() : dialog_.get();
  }

  const WindowSpec layout_;
  std::string caption_;

  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;  // parallel to layout_.controls
  HWND focus_ = nullptr;        // the control that gets the focus back on activation
  int dpi_ = win32::kDefaultDpi;
  win32::Font songti_;
  win32::Font dialog_;
  win32::Icon bigIcon_;
  win32::Icon smallIcon_;

  int busy_ = 0;  // event handlers running
  bool unloading_ = false;
  // Cleared by the destructor: a running Fire looks at it to know whether busy_ is still
  // there to count down.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

template <typename Handler>
void Win32Window::Fire(Handler handler) {
  struct Running {
    const std::shared_ptr<bool> alive;
    int& busy;
    ~Running() {
      if (*alive) {
        --busy;
      }
    }
  } running{alive_, busy_};
  ++busy_;
  handler();
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
  dpi_ = win32::DpiOfWindow(hwnd_);
  CreateFonts();

  // Created in tab order, so that Tab follows it; the labels take no focus.
  std::vector<std::size_t> order(layout_.controls.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return layout_.controls[a].tabIndex < layout_.controls[b].tabIndex;
  });
  controls_.assign(layout_.controls.size(), nullptr);
  for (const std::size_t index : order) {
    controls_[index] = win32::CreateControl(
        layout_.controls[index], hwnd_, kFirstControlId + static_cast<int>(index), FontOf(index));
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

void Win32Window::CreateFonts() {
  songti_ = win32::CreateSongtiFont(dpi_);
  dialog_ = win32::CreateDialogFont(dpi_);
  if (!songti_ || !dialog_) {
    throw RuntimeError(kPlatformErrorNumber, "无法创建字体");
  }
}

void Win32Window::LoadIcons() {
  const auto load = [this](int widthMetric, int heightMetric) {
    return win32::Icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ZELFIX_ICON_ID), IMAGE_ICON,
                   win32::SystemMetricForDpi(widthMetric, dpi_),
                   win32::SystemMetricForDpi(heightMetric, dpi_), LR_DEFAULTCOLOR)));
  };
  // A program without the icon resource (a test) keeps the default icon.
  win32::Icon big = load(SM_CXICON, SM_CYICON);
  win32::Icon small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  // The icons of an earlier DPI go only now that the window no longer shows them.
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void Win32Window::LayOut(const POINT* topLeft) {
  for (std::size_t index = 0; index < layout_.controls.size(); ++index) {
    if (layout_.controls[index].kind == ControlKind::kFolderList) {
      SendMessageW(controls_[index], LB_SETITEMHEIGHT, 0, FolderRowHeight());
    }
    win32::PlaceControl(layout_, index, controls_[index], FontOf(index), dpi_);
  }
  win32::PlaceFrame(hwnd_, layout_, kWindowStyle, kWindowExStyle, dpi_, topLeft);
}

// Also asked while the list is being created, before its handle is known.
int Win32Window::FolderRowHeight() const {
  HFONT font = songti_.get();
  for (std::size_t index = 0; index < layout_.controls.size(); ++index) {
    if (layout_.controls[index].kind == ControlKind::kFolderList) {
      font = FontOf(index);
    }
  }
  return win32::FolderRowHeight(font, dpi_);
}

void Win32Window::ShowDrives() {
  const HWND combo = Control(ControlKind::kDriveList);
  if (combo == nullptr) {
    return;
  }
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const DriveInfo& drive : Drives().Entries()) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(DriveText(drive)).c_str()));
  }
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(Drives().SelectedIndex()), 0);
}

void Win32Window::ShowFolders() {
  const HWND list = Control(ControlKind::kFolderList);
  if (list == nullptr) {
    return;
  }
  const FolderList& folders = Folders();
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  if (!folders.Path().empty()) {
    for (int index = FolderIndexOfRow(folders, 0); index < folders.SubfolderCount(); ++index) {
      SendMessageW(list, LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Widen(folders.NameAt(index)).c_str()));
    }
    SendMessageW(list, LB_SETCURSEL,
                 static_cast<WPARAM>(FolderRowOf(folders, folders.HighlightedIndex())), 0);
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void Win32Window::CommitDriveSelection() {
  const HWND combo = Control(ControlKind::kDriveList);
  const int index = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
  if (index >= 0) {
    SelectDrive(index);
  }
}

void Win32Window::HighlightFolderRow() {
  const HWND list = Control(ControlKind::kFolderList);
  const int row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  if (row < 0) {
    return;
  }
  HighlightFolder(FolderIndexOfRow(Folders(), row));
}

void Win32Window::OpenHighlightedFolder() {
  const std::optional<RuntimeError> failure = OpenFolder(Folders().HighlightedIndex());
  if (failure) {
    // The folder went away since the list was filled; the list stays as it was.
    MessageBeep(MB_OK);
  }
}

void Win32Window::PressButton(std::size_t index) {
  const std::string name = layout_.controls[index].name;
  Fire([this, &name] { Events().ButtonClicked(name); });
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
      SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(Drives().SelectedIndex()), 0);
    } else if (control != nullptr && control == Control(ControlKind::kFolderList)) {
      SendMessageW(control, LB_SETCURSEL,
                   static_cast<WPARAM>(FolderRowOf(Folders(), Folders().HighlightedIndex())), 0);
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
  {
    // The controls let go of the old fonts before they are deleted.
    const win32::Font oldSongti = std::exchange(songti_, win32::CreateSongtiFont(dpi_));
    const win32::Font oldDialog = std::exchange(dialog_, win32::CreateDialogFont(dpi_));
    for (std::size_t index = 0; index < controls_.size(); ++index) {
      SendMessageW(controls_[index], WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(index)), TRUE);
    }
  }
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
        win32::DrawFolderRow(item, Folders(), dpi_);
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
  } catch (const std::exception& error) {
    ReportUnhandledError(DescribeError(error));
  } catch (...) {
    ReportUnhandledError(kInternalErrorText);
  }
}

template <typename Wanted>
HWND Win32Window::FirstControl(Wanted wanted) const {
  for (std::size_t index = 0; index < controls_.size(); ++index) {
    if (wanted(layout_.controls[index])) {
      return controls_[index];
    }
  }
  return nullptr;
}

HWND Win32Window::Control(ControlKind kind) const {
  return FirstControl([kind](const ControlSpec& control) { return control.kind == kind; });
}

HWND Win32Window::ControlNamed(const std::string& name) const {
  return FirstControl([&name](const ControlSpec& control) { return control.name == name; });
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
