// posix window: the folder selection window drawn on the terminal (terminal.h) and
// driven by short commands, one a line, read from standard input.
//
// Implements: the caption, the visible labels, the drive list (the selected drive
// between > and <), the folder list with each entry's index, indented like a directory
// tree (the open folder marked *, the highlighted entry marked >), the visible text
// fields and the buttons with their commands; the commands below; the window's own
// close command; the event loop; unhandled errors reported in an error box.
// Does not implement: positions, sizes, fonts and colours (a terminal has none); typing
// into a text field; buttons without a role (no command presses them).
//
// What the window looks like, every line as printed:
/*
   ┌─ [窗口] 修复ZEL服务器迁移IP地址冲突
   │ 指定本地安装磁盘:
   │   >c:<  d: [DATA]  e:
   │ 指定本地安装目录:  可定位在 tamo\zel1\bin 任意一层
   │     -3   C:\
   │     -2     Program Files
   │   > -1 *     TAMO
   │      0         ZEL1
   │   （> 高亮的目录  * 打开的目录）
   │ 指定后按【确定】进行修复
   └─ [确定] ok  [取消] cancel
   命令（? 帮助）>
*/
// Commands: "d E" (or "d E:") chooses drive E: (a click in the drive list), "c 2" clicks
// entry 2, "o 0" opens entry 0 (a double click), "ok" and "cancel" press the buttons of
// those roles, "close" is the window's close command, "?" lists the commands, an empty
// line draws the window again; commands ignore case. End of input presses Cancel (and
// closes the window if that left it open). The window is drawn when shown and after
// every command that reached it. Every text it prints that it did not write itself
// (names of folders and drives, the operator's input) goes through Printable(): a
// folder's name must not drive the terminal.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>

#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/folderlists.h"
#include "platform/listwindow.h"
#include "platform/posix/terminal.h"
#include "platform/printable.h"
#include "platform/text.h"

namespace platform {

namespace {

const char kPrompt[] = "命令（? 帮助）> ";

const char kHelp[] =
    "命令:\n"
    "  d X      选择驱动器 X（如 d e）\n"
    "  c N      单击第 N 项目录（高亮）\n"
    "  o N      双击第 N 项目录（打开）\n"
    "  ok       按【确定】\n"
    "  cancel   按【取消】\n"
    "  close    关闭窗口\n"
    "  ?        显示本帮助\n"
    "空行重画窗口；输入结束等于按【取消】。\n";

class TerminalWindow;

// Loaded windows, the latest last: the event loop talks to the latest.
std::vector<TerminalWindow*>& LoadedWindows() {
  static std::vector<TerminalWindow*> windows;
  return windows;
}

// The drive letter, lower case, of "e", "E" or "e:"; nothing for any other text.
std::optional<char> ParseDriveLetter(const std::string& text) {
  const std::string letter = AsciiLower(text);
  if ((letter.size() == 1 || (letter.size() == 2 && letter[1] == ':')) && letter[0] >= 'a' &&
      letter[0] <= 'z') {
    return letter[0];
  }
  return std::nullopt;
}

std::optional<int> ParseIndex(const std::string& text) {
  std::istringstream in(text);
  int index = 0;
  if (!(in >> index) || !(in >> std::ws).eof()) {
    return std::nullopt;
  }
  return index;
}

std::string Padded(int number, std::size_t width) {
  std::string text = std::to_string(number);
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

class TerminalWindow : public ListWindow {
 public:
  TerminalWindow(const WindowSpec& layout, WindowEvents& events)
      : ListWindow(events), layout_(layout) {
    caption_ = layout.caption;
    for (const ControlSpec& control : layout.controls) {
      texts_[control.name] = control.text;
    }
    LoadedWindows().push_back(this);
  }

  ~TerminalWindow() override { Forget(); }

  void Show() override {
    if (loaded_ && !shown_) {
      shown_ = true;
      Draw();
    }
  }

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  std::string Caption() const override { return caption_; }

  void Unload() override {
    loaded_ = false;
    Forget();
  }
  bool IsLoaded() const override { return loaded_; }

  void SetText(const std::string& control, const std::string& text) override {
    texts_[control] = text;
  }

  // Reads and carries out one command; end of input presses Cancel.
  void ReadCommand() {
    posix::Terminal& terminal = posix::Terminal::Current();
    const std::optional<std::string> line = terminal.ReadLine(kPrompt);
    if (!line) {
      Press(ButtonRole::kCancel);
      if (loaded_) {
        Unload();
      }
      return;
    }
    if (Execute(TrimSpacesAndTabs(*line)) && loaded_) {
      Draw();
    }
  }

 private:
  void Forget() {
    auto& windows = LoadedWindows();
    for (auto it = windows.begin(); it != windows.end(); ++it) {
      if (*it == this) {
        windows.erase(it);
        break;
      }
    }
  }

  void Say(const std::string& text) { posix::Terminal::Current().Write(text); }

  // An error that escapes a handler of the operator's action ends the program.
  template <typename Action>
  void Dispatch(Action action) {
    try {
      action();
    } catch (const std::exception& error) {
      ReportUnhandledError(DescribeError(error));
    }
  }

  // Carries out a command; true when it reached the window (which is then drawn again).
  bool Execute(const std::string& command) {
    if (command.empty()) {
      return true;
    }
    const std::size_t space = command.find(' ');
    const std::string verb = AsciiLower(command.substr(0, space));
    const std::string argument =
        space == std::string::npos ? std::string() : TrimSpacesAndTabs(command.substr(space + 1));
    if (verb == "?" || verb == "help") {
      Say(kHelp);
      return false;
    }
    if (verb == "d" && !argument.empty()) {
      return ChooseDrive(argument);
    }
    if ((verb == "c" || verb == "o") && !argument.empty()) {
      const std::optional<int> index = ParseIndex(argument);
      if (!index || Folders().PathAt(*index).empty()) {
        Say("没有第 " + platform::Printable(argument) + " 项目录\n");
        return false;
      }
      return verb == "c" ? Click(*index) : DoubleClick(*index);
    }
    if (argument.empty() && (verb == "ok" || verb == "cancel")) {
      return Press(verb == "ok" ? ButtonRole::kOk : ButtonRole::kCancel);
    }
    if (argument.empty() && verb == "close") {
      Unload();
      return true;
    }
    Say("未知命令：" + platform::Printable(command) + "\n" + kHelp);
    return false;
  }

  bool ChooseDrive(const std::string& drive) {
    const std::optional<char> letter = ParseDriveLetter(drive);
    if (!letter) {
      Say("没有驱动器 " + platform::Printable(drive) + "（驱动器是一个字母，如 d e）\n");
      return false;
    }
    const std::vector<DriveInfo>& entries = Drives().Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (*letter == entries[i].letter) {
        Dispatch([&] { SelectDrive(static_cast<int>(i)); });
        return true;
      }
    }
    Say(std::string("没有驱动器 ") + *letter + ":\n");
    return false;
  }

  bool Click(int index) {
    Dispatch([&] { HighlightFolder(index); });
    return true;
  }

  bool DoubleClick(int index) {
    std::optional<RuntimeError> failure;
    Dispatch([&] { failure = OpenFolder(index); });
    if (failure) {
      Say("无法打开该目录：" + platform::Printable(failure->Description()) + "\n");
      return false;
    }
    return true;
  }

  bool Press(ButtonRole role) {
    for (const ControlSpec& control : layout_.controls) {
      if (control.kind == ControlKind::kButton && control.role == role) {
        Dispatch([&] { Events().ButtonClicked(control.name); });
        return true;
      }
    }
    return false;
  }

  void Draw() {
    std::string out = "\n┌─ [窗口] " + platform::Printable(caption_) + "\n";
    std::string buttons;
    for (const ControlSpec& control : layout_.controls) {
      if (!control.visible) {
        continue;
      }
      switch (control.kind) {
        case ControlKind::kLabel:
          out += "│ " + platform::Printable(TextOf(control.name)) + "\n";
          break;
        case ControlKind::kTextField:
          out += "│   [" + platform::Printable(TextOf(control.name)) + "]\n";
          break;
        case ControlKind::kDriveList:
          out += DrawDrives();
          break;
        case ControlKind::kFolderList:
          out += DrawFolders();
          break;
        case ControlKind::kButton:
          buttons += " [" + platform::Printable(TextOf(control.name)) + "]";
          if (control.role == ButtonRole::kOk) {
            buttons += " ok ";
          } else if (control.role == ButtonRole::kCancel) {
            buttons += " cancel ";
          }
          break;
      }
    }
    while (!buttons.empty() && buttons.back() == ' ') {
      buttons.pop_back();
    }
    out += "└─" + buttons + "\n";
    Say(out);
  }

  std::string TextOf(const std::string& control) const {
    const auto found = texts_.find(control);
    return found == texts_.end() ? std::string() : found->second;
  }

  std::string DrawDrives() const {
    std::string line = "│  ";
    const std::vector<DriveInfo>& entries = Drives().Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string name = platform::Printable(DriveText(entries[i]));
      const bool selected = static_cast<int>(i) == Drives().SelectedIndex();
      line += selected ? " >" + name + "<" : "  " + name;
    }
    return line + "\n";
  }

  std::string DrawFolders() const {
    const FolderList& folders = Folders();
    std::string out;
    const int ancestors = folders.AncestorCount();
    for (int index = -ancestors - 1; index < folders.SubfolderCount(); ++index) {
      // The root at depth 0, each folder one step further in than its parent.
      const int depth = index < 0 ? ancestors + 1 + index : ancestors + 1;
      out += "│   ";
      out += index == folders.HighlightedIndex() ? ">" : " ";
      out += Padded(index, 3);
      out += index == -1 ? " * " : "   ";
      out += std::string(static_cast<std::size_t>(depth) * 2, ' ') +
             platform::Printable(folders.NameAt(index)) + "\n";
    }
    if (folders.Path().empty()) {
      out += "│   （没有可打开的目录）\n";
    }
    return out + "│   （> 高亮的目录  * 打开的目录）\n";
  }

  WindowSpec layout_;
  std::string caption_;
  std::map<std::string, std::string> texts_;
  bool loaded_ = true;
  bool shown_ = false;
};

}  // namespace

std::unique_ptr<Window> OpenWindow(const WindowSpec& layout, WindowEvents& events) {
  auto window = std::make_unique<TerminalWindow>(layout, events);
  events.Loaded(*window);
  return window;
}

void RunEventLoop() {
  while (!LoadedWindows().empty()) {
    LoadedWindows().back()->ReadCommand();
  }
}

void ReportUnhandledError(const std::string& description) {
  // The box carries the window's caption, the program's title, when there is a window.
  const std::string caption =
      LoadedWindows().empty() ? std::string("zelfix") : LoadedWindows().back()->Caption();
  try {
    CurrentDialogs().ShowMessageBox(description, caption, kMbOk + kMbIconHand + kMbSystemModal);
  } catch (const std::exception& error) {
    std::cerr << "zelfix: " << platform::Printable(description) << " ("
              << platform::Printable(DescribeError(error)) << ")\n";
  }
  std::exit(1);
}

}  // namespace platform
