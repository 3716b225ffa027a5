// The Windows window on a real display (ctest runs it under Wine inside Xvfb; without a
// display the tests skip): layout at the window's DPI, fonts, focus and keys, the folder
// list's rows, what reaches the handlers, and the event loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/win32/dpi.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/window.h"
#include "ui/frmfixPath.h"

namespace {

using platform::win32::PixelRect;
using platform::win32::TwipsRectToPixels;
using platform::win32::TwipsToPixels;
using platform::win32::Widen;

const char kCaption[] = "修复ZEL服务器迁移IP地址冲突";

}  // namespace

namespace platform::win32 {
// For gtest's messages.
void PrintTo(const PixelRect& rect, std::ostream* out) {
  *out << "(" << rect.left << "," << rect.top << ")-(" << rect.right << "," << rect.bottom << ")";
}
}  // namespace platform::win32

namespace {

bool HaveDisplay() {
  static const bool have = [] {
    const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
    if (probe == nullptr) {
      return false;
    }
    DestroyWindow(probe);
    return true;
  }();
  return have;
}

// Records the events; acts on them like the real handlers where a test needs it.
class Recorder : public platform::WindowEvents {
 public:
  void Loaded(platform::Window& window) override {
    window_ = &window;
    window.SetCaption(kCaption);
  }
  void DriveChanged() override {
    log.push_back("DriveChanged " + window_->Drive());
    try {
      window_->SetFolderPath(window_->Drive());
    } catch (const platform::RuntimeError&) {
    }
  }
  void FolderClicked() override {
    log.push_back("FolderClicked " + std::to_string(window_->HighlightedFolderIndex()));
  }
  void FolderChanged() override { log.push_back("FolderChanged " + window_->FolderPathAt(-1)); }
  void ButtonClicked(const std::string& name) override {
    log.push_back("ButtonClicked " + name);
    if (onButton) {
      onButton(name);
    }
  }

  std::vector<std::string> log;
  std::function<void(const std::string&)> onButton;

 private:
  platform::Window* window_ = nullptr;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// The window's controls, found the way any program would find them.
struct Controls {
  HWND window = nullptr;
  HWND drives = nullptr, folders = nullptr, path = nullptr, ok = nullptr, cancel = nullptr;
  std::vector<HWND> labels;
};

BOOL CALLBACK CollectControl(HWND child, LPARAM found) {
  Controls& controls = *reinterpret_cast<Controls*>(found);
  const std::wstring kind = ClassOf(child);
  if (GetParent(child) != controls.window) {
    return TRUE;  // the parts of a combo box
  }
  if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
    controls.drives = child;
  } else if (_wcsicmp(kind.c_str(), L"ListBox") == 0) {
    controls.folders = child;
  } else if (_wcsicmp(kind.c_str(), L"Edit") == 0) {
    controls.path = child;
  } else if (_wcsicmp(kind.c_str(), L"Button") == 0) {
    (TextOf(child) == Widen("确定") ? controls.ok : controls.cancel) = child;
  } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
    controls.labels.push_back(child);
  }
  return TRUE;
}

platform::ControlSpec SpecOf(const std::string& name) {
  for (const platform::ControlSpec& control : ui::frmfixPath::Layout().controls) {
    if (control.name == name) {
      return control;
    }
  }
  ADD_FAILURE() << "no control " << name;
  return {};
}

PixelRect PixelsOf(const platform::ControlSpec& layout, int dpi) {
  return TwipsRectToPixels(layout.left, layout.top, layout.width, layout.height, dpi);
}

LOGFONTW FontOf(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font;
}

int DpiOf(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi != nullptr) {
    return static_cast<int>(getDpi(window));
  }
  const platform::win32::WindowDC screen(nullptr);
  return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) {
      GTEST_SKIP() << "no display";
    }
    window_ = platform::OpenWindow(ui::frmfixPath::Layout(), events_);
    window_->Show();
    controls_.window = FindWindowW(nullptr, Widen(kCaption).c_str());
    ASSERT_NE(controls_.window, nullptr);
    EnumChildWindows(controls_.window, &CollectControl, reinterpret_cast<LPARAM>(&controls_));
    Pump();
  }

  void TearDown() override {
    window_.reset();
    if (!scratch_.empty()) {
      for (const wchar_t* folder : {L"\\TAMO\\ZEL1\\cfg", L"\\TAMO\\ZEL1\\BIN",
                                    L"\\TAMO\\ZEL1\\DATA", L"\\TAMO\\ZEL1", L"\\TAMO", L""}) {
        RemoveDirectoryW((scratch_ + folder).c_str());
      }
    }
  }

  // The message loop's work for what is queued, the dialog keys included.
  void Pump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsWindow(controls_.window) || !IsDialogMessageW(controls_.window, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }

  void Press(UINT key) {
    const HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
    Pump();
  }

  PixelRect InClient(HWND control) const {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, controls_.window, reinterpret_cast<POINT*>(&rect), 2);
    return PixelRect{rect.left, rect.top, rect.right, rect.bottom};
  }

  // %TEMP%\zelfix-window-test\TAMO\ZEL1 with the subfolders BIN, DATA and cfg.
  std::string MakeInstallationFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    scratch_ = std::wstring(temp) + L"zelfix-window-test";
    for (const wchar_t* folder : {L"", L"\\TAMO", L"\\TAMO\\ZEL1", L"\\TAMO\\ZEL1\\BIN",
                                  L"\\TAMO\\ZEL1\\DATA", L"\\TAMO\\ZEL1\\cfg"}) {
      CreateDirectoryW((scratch_ + folder).c_str(), nullptr);
    }
    return platform::win32::Narrow(scratch_ + L"\\TAMO\\ZEL1");
  }

  std::string RowText(int row) const {
    wchar_t text[MAX_PATH] = {};
    SendMessageW(controls_.folders, LB_GETTEXT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(text));
    return platform::win32::Narrow(text);
  }

  void ClickRow(int row, bool twice) {
    RECT item{};
    SendMessageW(controls_.folders, LB_GETITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM(item.left + 30, (item.top + item.bottom) / 2);
    SendMessageW(controls_.folders, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(controls_.folders, WM_LBUTTONUP, 0, at);
    if (twice) {
      SendMessageW(controls_.folders, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
      SendMessageW(controls_.folders, WM_LBUTTONUP, 0, at);
    }
    Pump();
  }

  Recorder events_;
  std::unique_ptr<platform::Window> window_;
  Controls controls_;
  std::wstring scratch_;
};

TEST_F(WindowTest, ClientAreaAndControlsSitAtTheirTwipsAtTheWindowsDpi) {
  const int dpi = DpiOf(controls_.window);
  RECT client{};
  GetClientRect(controls_.window, &client);
  EXPECT_EQ(client.right, TwipsToPixels(5310, dpi));
  EXPECT_EQ(client.bottom, TwipsToPixels(6975, dpi));

  EXPECT_EQ(InClient(controls_.folders), PixelsOf(SpecOf("DirPath"), dpi));
  EXPECT_EQ(InClient(controls_.ok), PixelsOf(SpecOf("cmdOK"), dpi));
  EXPECT_EQ(InClient(controls_.cancel), PixelsOf(SpecOf("Command2"), dpi));
  // The closed drop-down list: its height is the font's when that is taller.
  const PixelRect drives = InClient(controls_.drives);
  const PixelRect driveSpec = PixelsOf(SpecOf("drvSource"), dpi);
  EXPECT_EQ(drives.left, driveSpec.left);
  EXPECT_EQ(drives.top, driveSpec.top);
  EXPECT_EQ(drives.right, driveSpec.right);
  EXPECT_GE(drives.bottom, driveSpec.bottom);

  EXPECT_FALSE(IsWindowVisible(controls_.path));

  // Every shown label shows its whole text and covers no other control.
  int shownLabels = 0;
  for (const HWND label : controls_.labels) {
    if (!IsWindowVisible(label)) {
      EXPECT_EQ(TextOf(label), L"Path :");
      continue;
    }
    ++shownLabels;
    const PixelRect box = InClient(label);
    RECT text{};
    const std::wstring words = TextOf(label);
    {
      const platform::win32::WindowDC dc(label);
      const platform::win32::SelectedObject font(
          dc.get(), reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
      DrawTextW(dc.get(), words.c_str(), -1, &text, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    EXPECT_LE(text.right, box.Width()) << platform::win32::Narrow(words);
    EXPECT_LE(text.bottom, box.Height()) << platform::win32::Narrow(words);
    for (const HWND other : {controls_.drives, controls_.folders, controls_.ok, controls_.cancel}) {
      const PixelRect rect = InClient(other);
      const bool overlap = box.left < rect.right && rect.left < box.right &&
                           box.top < rect.bottom && rect.top < box.bottom;
      EXPECT_FALSE(overlap) << platform::win32::Narrow(words);
    }
  }
  EXPECT_EQ(shownLabels, 3);

  // A fixed frame with a minimise box, centred on the work area.
  const LONG style = GetWindowLongW(controls_.window, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
  RECT frame{};
  RECT area{};
  GetWindowRect(controls_.window, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  EXPECT_NEAR(frame.left + frame.right, area.left + area.right, 1);
  EXPECT_NEAR(frame.top + frame.bottom, area.top + area.bottom, 1);
}

TEST_F(WindowTest, SongtiForTheListsAndThePathTheDialogFontForTheRest) {
  const int dpi = DpiOf(controls_.window);
  std::vector<HWND> songti = {controls_.drives, controls_.folders, controls_.path};
  for (const HWND label : controls_.labels) {
    if (!IsWindowVisible(label)) {
      songti.push_back(label);  // Label5
    }
  }
  for (const HWND control : songti) {
    const LOGFONTW font = FontOf(control);
    EXPECT_EQ(std::wstring(font.lfFaceName), L"\u5B8B\u4F53");
    EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(font.lfHeight, platform::win32::FontHeight(975, dpi));
    EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  std::vector<HWND> dialogFont = {controls_.ok, controls_.cancel};
  for (const HWND label : controls_.labels) {
    if (IsWindowVisible(label)) {
      dialogFont.push_back(label);
    }
  }
  for (const HWND control : dialogFont) {
    EXPECT_EQ(std::wstring(FontOf(control).lfFaceName), metrics.lfMessageFont.lfFaceName);
  }
}

TEST_F(WindowTest, FocusStartsOnTheDriveListAndTabFollowsTheTabOrder) {
  EXPECT_EQ(GetFocus(), controls_.drives);
  for (const HWND next : {controls_.folders, controls_.ok, controls_.cancel, controls_.drives}) {
    Press(VK_TAB);
    EXPECT_EQ(GetFocus(), next);  // labels and the hidden path field are passed over
  }
}

TEST_F(WindowTest, FolderListShowsAncestorsTheOpenFolderAndItsSubfolders) {
  const std::string zel1 = MakeInstallationFolder();
  window_->SetFolderPath(zel1);
  ASSERT_EQ(events_.log, std::vector<std::string>{"FolderChanged " + zel1});
  events_.log.clear();

  // Root first, then every ancestor, the open folder, its subfolders without regard to case.
  const int count = static_cast<int>(SendMessageW(controls_.folders, LB_GETCOUNT, 0, 0));
  ASSERT_GE(count, 5);
  const int open = count - 4;
  EXPECT_EQ(RowText(0), "C:\\");
  EXPECT_EQ(RowText(open - 1), "TAMO");
  EXPECT_EQ(RowText(open), "ZEL1");
  EXPECT_EQ(RowText(open + 1), "BIN");
  EXPECT_EQ(RowText(open + 2), "cfg");
  EXPECT_EQ(RowText(open + 3), "DATA");
  EXPECT_EQ(SendMessageW(controls_.folders, LB_GETCURSEL, 0, 0), open);

  // A click highlights; the list still shows ZEL1 open.
  ClickRow(open + 1, false);
  EXPECT_EQ(events_.log, std::vector<std::string>{"FolderClicked 0"});
  EXPECT_EQ(window_->FolderPathAt(window_->HighlightedFolderIndex()), zel1 + "\\BIN");
  EXPECT_EQ(window_->FolderPathAt(-1), zel1);

  // A double click opens: BIN becomes the open folder, highlighted.
  events_.log.clear();
  ClickRow(open + 1, true);
  ASSERT_FALSE(events_.log.empty());  // the first click of the two may report a click
  EXPECT_EQ(events_.log.back(), "FolderChanged " + zel1 + "\\BIN");
  EXPECT_EQ(std::count(events_.log.begin(), events_.log.end(), events_.log.back()), 1);
  EXPECT_EQ(window_->HighlightedFolderIndex(), -1);
  EXPECT_EQ(SendMessageW(controls_.folders, LB_GETCOUNT, 0, 0), open + 2);

  // From the keyboard: Up highlights the parent, Enter opens it.
  events_.log.clear();
  SetFocus(controls_.folders);
  Press(VK_UP);
  Press(VK_RETURN);
  EXPECT_EQ(events_.log, (std::vector<std::string>{"FolderClicked -2", "FolderChanged " + zel1}));
}

TEST_F(WindowTest, ChoosingADriveOpensItAndAMissingDriveRaises) {
  const LRESULT d = SendMessageW(controls_.drives, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(L"d:"));
  ASSERT_NE(d, CB_ERR) << "the Wine prefix has a D: drive";
  SendMessageW(controls_.drives, CB_SETCURSEL, static_cast<WPARAM>(d), 0);
  SendMessageW(controls_.window, WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(controls_.drives), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(controls_.drives));
  ASSERT_EQ(events_.log.size(), 2u);
  EXPECT_EQ(events_.log[0].rfind("DriveChanged d:", 0), 0u);
  EXPECT_EQ(events_.log[1], "FolderChanged D:\\");

  const std::string drive = window_->Drive();
  try {
    window_->SetDrive("q:");
    ADD_FAILURE() << "no exception";
  } catch (const platform::RuntimeError& error) {
    EXPECT_EQ(error.Number(), platform::kDeviceUnavailableErrorNumber);
  }
  EXPECT_EQ(window_->Drive(), drive);
  EXPECT_EQ(SendMessageW(controls_.drives, CB_GETCURSEL, 0, 0), d);
}

TEST_F(WindowTest, EscapePressesCancelAndTheWindowStaysUsableAfterUnload) {
  events_.onButton = [this](const std::string& name) {
    if (name == "Command2") {
      window_->Unload();
    }
  };
  Press(VK_ESCAPE);
  EXPECT_EQ(events_.log, std::vector<std::string>{"ButtonClicked Command2"});
  EXPECT_FALSE(window_->IsLoaded());
  EXPECT_FALSE(IsWindow(controls_.window));
  EXPECT_EQ(window_->Caption(), kCaption);
}

TEST_F(WindowTest, TheCloseBoxUnloadsWithoutAnEvent) {
  PostMessageW(controls_.window, WM_CLOSE, 0, 0);
  platform::RunEventLoop();  // returns once the window is gone
  EXPECT_FALSE(window_->IsLoaded());
  EXPECT_TRUE(events_.log.empty());
  platform::RunEventLoop();  // and at once when none is loaded
}

TEST_F(WindowTest, InputWhileAHandlerRunsIsIgnored) {
  // The handler pumps messages as a message box does, while the operator clicks OK again
  // and the close box.
  events_.onButton = [this](const std::string&) {
    PostMessageW(controls_.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(controls_.ok), BN_CLICKED),
                 reinterpret_cast<LPARAM>(controls_.ok));
    PostMessageW(controls_.window, WM_CLOSE, 0, 0);
    Pump();
  };
  SendMessageW(controls_.ok, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(events_.log, std::vector<std::string>{"ButtonClicked cmdOK"});
  EXPECT_TRUE(window_->IsLoaded());
}

TEST_F(WindowTest, ANewDpiScalesTheLayoutAndTheFonts) {
  RECT suggested{};
  GetWindowRect(controls_.window, &suggested);
  SendMessageW(controls_.window, WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(InClient(controls_.folders), PixelsOf(SpecOf("DirPath"), 144));
  EXPECT_EQ(InClient(controls_.cancel), PixelsOf(SpecOf("Command2"), 144));
  EXPECT_EQ(FontOf(controls_.folders).lfHeight, -20);
}

// Writes every box to standard error, where the death test reads it.
class StderrDialogs : public platform::Dialogs {
 public:
  int ShowMessageBox(const std::string& prompt, const std::string& caption,
                     unsigned flags) override {
    std::fprintf(stderr, "box flags=%u caption=%s prompt=%s\n", flags, caption.c_str(),
                 prompt.c_str());
    return platform::kIdOk;
  }
  void Beep() override {}
  std::int16_t MousePointer() override { return 0; }
  void SetMousePointer(std::int16_t) override {}
};

TEST(WindowDeathTest, AnErrorEscapingAHandlerIsReportedAndEndsTheProgram) {
  if (!HaveDisplay()) {
    GTEST_SKIP() << "no display";
  }
  EXPECT_EXIT(
      {
        StderrDialogs dialogs;
        platform::ScopedDialogs scoped(dialogs);
        Recorder events;
        events.onButton = [](const std::string&) {
          throw platform::RuntimeError(platform::kPlatformErrorNumber, "handler failed");
        };
        auto window = platform::OpenWindow(ui::frmfixPath::Layout(), events);
        Controls controls;
        controls.window = FindWindowW(nullptr, Widen(kCaption).c_str());
        EnumChildWindows(controls.window, &CollectControl, reinterpret_cast<LPARAM>(&controls));
        SendMessageW(controls.window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(controls.ok), BN_CLICKED),
                     reinterpret_cast<LPARAM>(controls.ok));
        std::fprintf(stderr, "returned\n");
      },
      ::testing::ExitedWithCode(1), "box flags=4112 caption=.+ prompt=handler failed");
}

BOOL CALLBACK CollectOwnWindows(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

// At log-off the system asks each top-level window if the session may end: all that a
// window program run by a deployment tool hears of it. In a child: the handlers stay.
TEST(WindowDeathTest, UnattendedTheSessionsEndRequestsAStop) {
  if (!HaveDisplay()) {
    GTEST_SKIP() << "no display";
  }
  EXPECT_EXIT(
      {
        platform::PrepareProcess(true);
        std::vector<HWND> windows;
        for (int tries = 0; windows.empty() && tries < 1000; ++tries) {
          Sleep(10);
          EnumWindows(&CollectOwnWindows, reinterpret_cast<LPARAM>(&windows));
        }
        for (const HWND window : windows) {
          SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, 0, 10000, nullptr);
        }
        std::fprintf(stderr, "windows %zu stop %d\n", windows.size(), platform::StopRequested());
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "stop 1");
}

}  // namespace
