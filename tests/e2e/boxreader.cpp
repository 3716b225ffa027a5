// The end-to-end suite's eyes inside Wine: waits for a message box or the folder window
// of another process and prints what it shows as one JSON line (UTF-8), then exits.
//
//   boxreader box <timeout ms>       a message box (class "#32770")
//   boxreader window <timeout ms>    the folder selection window
//   boxreader gone <hwnd> <timeout ms>   waits until that window is hidden or destroyed
//
// Wine's msgbox channel cuts a long text short; this reads the whole of it. The X window
// id (Wine keeps it as a window property) lets the suite take the screenshot. A window is
// reported once it is the foreground window: keys sent to it before that are lost.
// Exit code 0 when found (or gone), 2 on a timeout, 1 on a bad command line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  const int size = static_cast<int>(text.size());
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (const char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT is marshalled between processes; GetWindowTextW would not ask a control
  // of another process.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got =
      SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct Search {
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() && IsWindowVisible(window) &&
      ClassOf(window) == search.className) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitFor(const wchar_t* className, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search search{className, nullptr};
    EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      return search.found;
    }
    if (GetTickCount() - start > timeoutMs) {
      return nullptr;
    }
    Sleep(50);
  }
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
}

std::string Common(HWND window) {
  const auto xid = reinterpret_cast<ULONG_PTR>(GetPropA(window, "__wine_x11_whole_window"));
  return "\"hwnd\":" + std::to_string(reinterpret_cast<ULONG_PTR>(window)) +
         ",\"xid\":" + std::to_string(xid) + ",\"caption\":" + Json(TextOf(window)) +
         ",\"foreground\":" + (GetForegroundWindow() == window ? "true" : "false");
}

// Caption, the static text (id 0xFFFF), the buttons in order with the default one, the
// button that has the focus, and whether the box stays on top (system-modal).
void PrintBox(HWND box) {
  std::string text = "\"\"";
  std::string buttons;
  std::string defaultButton = "\"\"";
  const HWND focus = FocusOf(box);
  std::string focused = "\"\"";
  for (const HWND child : Children(box)) {
    if (GetDlgCtrlID(child) == 0xFFFF) {
      text = Json(TextOf(child));
    } else if (ClassOf(child) == L"Button" && IsWindowVisible(child)) {
      const std::string label = Json(TextOf(child));
      buttons += (buttons.empty() ? "" : ",") + label;
      if ((GetWindowLongW(child, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) {
        defaultButton = label;
      }
      if (child == focus) {
        focused = label;
      }
    }
  }
  const bool topmost = (GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  std::printf("{%s,\"text\":%s,\"buttons\":[%s],\"default\":%s,\"focus\":%s,\"topmost\":%s}\n",
              Common(box).c_str(), text.c_str(), buttons.c_str(), defaultButton.c_str(),
              focused.c_str(), topmost ? "true" : "false");
}

// Caption, the class of the control that has the focus, the drive list's text and the
// folder list's rows with the highlighted one: enough to check each key's effect.
void PrintWindow(HWND window) {
  const HWND focus = FocusOf(window);
  std::string drive = "\"\"";
  std::string rows;
  LRESULT highlighted = -1;
  for (const HWND child : Children(window)) {
    const std::wstring kind = ClassOf(child);
    if (kind == L"ComboBox") {
      drive = Json(TextOf(child));
    } else if (kind == L"ListBox") {
      // The program may refill the list between two of these messages: a buffer that
      // holds any folder name (at most 255 characters) cannot be overrun by a row that
      // grew meanwhile, and a row that is gone is left out; the suite reads again until
      // the window shows what it expects.
      const LRESULT count = SendMessageW(child, LB_GETCOUNT, 0, 0);
      for (LRESULT row = 0; row < count; ++row) {
        wchar_t text[1024] = {};
        const LRESULT got = SendMessageW(child, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
        if (got >= 0) {
          rows +=
              (rows.empty() ? "" : ",") + Json(std::wstring(text, static_cast<std::size_t>(got)));
        }
      }
      highlighted = SendMessageW(child, LB_GETCURSEL, 0, 0);
    }
  }
  std::printf("{%s,\"focus\":%s,\"drive\":%s,\"rows\":[%s],\"highlighted\":%d}\n",
              Common(window).c_str(), Json(focus != nullptr ? ClassOf(focus) : L"").c_str(),
              drive.c_str(), rows.c_str(), static_cast<int>(highlighted));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if ((mode == "box" || mode == "window") && argc == 3) {
    const DWORD timeout = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
    const DWORD start = GetTickCount();
    const HWND found = WaitFor(mode == "box" ? L"#32770" : L"zelfixFolderWindow", timeout);
    if (found == nullptr) {
      return 2;
    }
    while (GetForegroundWindow() != found && GetTickCount() - start <= timeout) {
      Sleep(50);
    }
    // A box's text is set while it is being created, before it becomes visible; give
    // the first paint a moment anyway, so a screenshot right after shows it.
    Sleep(150);
    mode == "box" ? PrintBox(found) : PrintWindow(found);
    std::fflush(stdout);
    return 0;
  }
  if (mode == "gone" && argc == 4) {
    const auto window = reinterpret_cast<HWND>(std::strtoull(argv[2], nullptr, 10));
    const DWORD timeout = static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10));
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
      if (GetTickCount() - start > timeout) {
        return 2;
      }
      Sleep(50);
    }
    std::printf("{\"hwnd\":%s,\"gone\":true}\n", argv[2]);
    return 0;
  }
  std::fprintf(stderr, "usage: boxreader box|window <timeout ms> | gone <hwnd> <timeout ms>\n");
  return 1;
}
