// The folder selection window on the terminal: what it draws and which events its
// commands report, driven by a script on string streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "messages/CM_MessageControl.h"
#include "platform/dialogs.h"
#include "platform/error.h"
#include "platform/posix/terminal.h"
#include "platform/window.h"
#include "tests/support/ScopedCurrentFolder.h"
#include "tests/support/ScratchDrives.h"
#include "ui/frmfixPath.h"

namespace {

using platform::posix::ScopedTerminal;
using platform::posix::Terminal;

const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";
const std::string kZel1 = "C:\\zelfix-test\\TAMO\\ZEL1";

// Records every event with what the window showed at that moment.
class RecordingEvents : public platform::WindowEvents {
 public:
  void Loaded(platform::Window& loaded) override {
    window = &loaded;
    loaded.SetCaption(kTitle);
    events.push_back("Loaded");
    if (onLoaded) {
      onLoaded();
    }
  }
  void DriveChanged() override { events.push_back("DriveChanged " + window->Drive()); }
  void FolderClicked() override {
    events.push_back("FolderClicked " + window->FolderPathAt(window->HighlightedFolderIndex()));
  }
  void FolderChanged() override { events.push_back("FolderChanged " + window->FolderPathAt(-1)); }
  void ButtonClicked(const std::string& name) override {
    events.push_back("ButtonClicked " + name);
    if (name == "cmdOK" && failOnOk) {
      throw platform::PathNotFoundError();
    }
    if (name == "Command2" && unloadOnCancel) {
      window->Unload();
    }
  }

  platform::Window* window = nullptr;
  std::vector<std::string> events;
  std::function<void()> onLoaded;
  bool unloadOnCancel = true;
  bool failOnOk = false;
};

// Scratch drives C: to G:, D: labelled DATA, and H: whose link leads nowhere; the
// current folder is C:\zelfix-test\TAMO\ZEL1 with the subfolders BIN and LOG.
class TerminalWindow : public testing::Test {
 protected:
  TerminalWindow() {
    drives.MakeFolder(kZel1 + "\\BIN");
    drives.MakeFolder(kZel1 + "\\LOG");
    drives.WriteFile("D:\\.windows-label", "DATA\n");
    std::filesystem::create_directory_symlink(
        "../drive_h", std::filesystem::path(std::getenv("WINEPREFIX")) / "dosdevices" / "h:");
    current.emplace(drives, kZel1);
  }
  // Opens and shows the window, then runs the event loop on `script`; the output.
  std::string Run(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    Terminal terminal(in, out, false);
    ScopedTerminal scoped(terminal);
    window = platform::OpenWindow(ui::frmfixPath::Layout(), events);
    window->Show();
    platform::RunEventLoop();
    return out.str();
  }

  testsupport::ScratchDrives drives;
  std::optional<testsupport::ScopedCurrentFolder> current;
  RecordingEvents events;
  std::unique_ptr<platform::Window> window;
};

TEST_F(TerminalWindow, DrawsCaptionDrivesIndexedFoldersAndButtons) {
  const std::string output = Run("");
  const std::string drawing =
      "\n"
      "┌─ [窗口] 修复ZEL服务器迁移IP地址冲突\n"
      "│ 指定本地安装磁盘:\n"
      "│   >c:<  d: [DATA]  e:  f:  g:  h:\n"
      "│ 指定本地安装目录:  可定位在 tamo\\zel1\\bin 任意一层\n"
      "│     -4   C:\\\n"
      "│     -3     zelfix-test\n"
      "│     -2       TAMO\n"
      "│   > -1 *       ZEL1\n"
      "│      0           BIN\n"
      "│      1           LOG\n"
      "│   （> 高亮的目录  * 打开的目录）\n"
      "│ 指定后按【确定】进行修复\n"
      "└─ [确定] ok  [取消] cancel\n"
      "命令（? 帮助）> \n";
  EXPECT_EQ(output, drawing);
  // End of input pressed Cancel, which unloaded the window and ended the loop.
  EXPECT_EQ(events.events, (std::vector<std::string>{"Loaded", "ButtonClicked Command2"}));
  EXPECT_FALSE(window->IsLoaded());
}

TEST_F(TerminalWindow, CommandsReportTheirEvents) {
  const std::string output =
      Run("c -2\n"  // a click highlights ...
          "O 0\n"   // ... a double click opens and reports no click; commands ignore case
          "D E:\n"  // another drive, with or without a colon
          "d h\n"   // a drive without a medium is chosen like any other
          "d H:\n"  // the same drive again changes nothing
          "OK\n"
          "Cancel\n");
  EXPECT_EQ(events.events, (std::vector<std::string>{
                               "Loaded",
                               "FolderClicked C:\\zelfix-test\\TAMO",
                               "FolderChanged " + kZel1 + "\\BIN",
                               "DriveChanged e:",
                               "DriveChanged h:",
                               "ButtonClicked cmdOK",
                               "ButtonClicked Command2",
                           }));
  EXPECT_EQ(window->Drive(), "h:");
  EXPECT_EQ(window->FolderPathAt(-1), kZel1 + "\\BIN");
  // Each command is echoed after the prompt and the window drawn again.
  EXPECT_NE(output.find("命令（? 帮助）> c -2\n"), std::string::npos);
  EXPECT_NE(output.find("│   > -2       TAMO\n"), std::string::npos);
  EXPECT_NE(output.find("│   > -1 *         BIN\n"), std::string::npos);
  EXPECT_NE(output.find("│    c:  d: [DATA] >e:<  f:  g:  h:\n"), std::string::npos);
  EXPECT_NE(output.find("│    c:  d: [DATA]  e:  f:  g: >h:<\n"), std::string::npos);
}

TEST_F(TerminalWindow, MistakesAreAnsweredWithoutEvents) {
  // Each command, echoed, and the answer to it; what the operator typed is shown whole
  // and escaped.
  const std::vector<std::pair<std::string, std::string>> mistakes = {
      {"d q", "d q\n没有驱动器 q:\n"},
      {"d exyz", "d exyz\n没有驱动器 exyz（驱动器是一个字母，如 d e）\n"},
      {"d e:\\", "d e:\\\n没有驱动器 e:\\（驱动器是一个字母，如 d e）\n"},
      {"d é", "d é\n没有驱动器 é（驱动器是一个字母，如 d e）\n"},
      {"d \xc3", "d \\xc3\n没有驱动器 \\xc3（驱动器是一个字母，如 d e）\n"},
      {"d :", "d :\n没有驱动器 :（驱动器是一个字母，如 d e）\n"},
      {"c 9", "c 9\n没有第 9 项目录\n"},
      {"o 1", "o 1\n无法打开该目录：路径未找到\n"},  // LOG, gone since it was listed
      {"o x\x1b[2J", "o x\\x1b[2J\n没有第 x\\x1b[2J 项目录\n"},
      {"c", "c\n未知命令：c\n"},
      {"frob\x9b", "frob\\x9b\n未知命令：frob\\x9b\n"},
      {"?", "?\n命令:\n"},
  };
  events.onLoaded = [] {
    std::filesystem::remove(std::filesystem::path(std::getenv("WINEPREFIX")) / "dosdevices" / "c:" /
                            "zelfix-test" / "TAMO" / "ZEL1" / "LOG");
  };
  std::string script;
  for (const auto& mistake : mistakes) {
    script += mistake.first + "\n";
  }
  const std::string output = Run(script);
  for (const auto& mistake : mistakes) {
    EXPECT_NE(output.find("命令（? 帮助）> " + mistake.second), std::string::npos)
        << mistake.second << "\nin\n"
        << output;
  }
  EXPECT_EQ(output.find('\x1b'), std::string::npos);
  EXPECT_NE(output.find("  o N      双击第 N 项目录（打开）\n"), std::string::npos);
  // Only the first drawing, and Cancel at the end of input.
  EXPECT_EQ(output.find("┌─", output.find("┌─") + 1), std::string::npos);
  EXPECT_EQ(events.events, (std::vector<std::string>{"Loaded", "ButtonClicked Command2"}));
}

TEST_F(TerminalWindow, EndOfInputClosesTheWindowEvenWhenCancelKeepsIt) {
  events.unloadOnCancel = false;
  Run("cancel\n");
  EXPECT_EQ(events.events, (std::vector<std::string>{"Loaded", "ButtonClicked Command2",
                                                     "ButtonClicked Command2"}));
  EXPECT_FALSE(window->IsLoaded());
}

TEST_F(TerminalWindow, CloseUnloadsWithoutAnEvent) {
  const std::string output = Run("Close\nok\n");
  EXPECT_EQ(events.events, std::vector<std::string>{"Loaded"});
  EXPECT_FALSE(window->IsLoaded());
  // The loop ended with the window: the line after "close" was never read.
  EXPECT_EQ(output.find("ok\n"), std::string::npos);
}

// Shows each box on standard error, so that a death test can see it.
class StderrDialogs : public platform::Dialogs {
 public:
  int ShowMessageBox(const std::string& prompt, const std::string& caption,
                     unsigned flags) override {
    std::fprintf(stderr, "box %u [%s] %s\n", flags, caption.c_str(), prompt.c_str());
    return platform::kIdOk;
  }
  void Beep() override {}
  std::int16_t MousePointer() override { return 0; }
  void SetMousePointer(std::int16_t) override {}
};

TEST_F(TerminalWindow, ErrorEscapingAHandlerIsReportedAndEndsTheProgram) {
  events.failOnOk = true;
  EXPECT_EXIT(
      {
        StderrDialogs dialogs;
        platform::ScopedDialogs guard(dialogs);
        Run("ok\n");
      },
      testing::ExitedWithCode(1), "box 4112 \\[修复ZEL服务器迁移IP地址冲突\\] 路径未找到");
}

TEST_F(TerminalWindow, DrivesTheFolderSelectionWindow) {
  messages::SetMessageTitle(kTitle);
  std::vector<std::string> repaired;
  ui::frmfixPath form([&](std::string Folder) {
    repaired.push_back(Folder);
    return true;
  });
  std::istringstream in("d h\nc 0\nok\n");
  std::ostringstream out;
  Terminal terminal(in, out, false);
  ScopedTerminal scoped(terminal);
  form.Show();
  platform::RunEventLoop();

  EXPECT_EQ(repaired, std::vector<std::string>{kZel1 + "\\BIN"});
  EXPECT_FALSE(form.IsLoaded());
  const std::string output = out.str();
  EXPECT_EQ(output.rfind("\n┌─ [窗口] 修复ZEL服务器迁移IP地址冲突\n", 0), 0u);
  // H: has no medium: the drive list shows it, the folder list stays where it was.
  EXPECT_NE(output.find("│    c:  d: [DATA]  e:  f:  g: >h:<\n"
                        "│ 指定本地安装目录:  可定位在 tamo\\zel1\\bin 任意一层\n"
                        "│     -4   C:\\\n"),
            std::string::npos);
  EXPECT_NE(output.find("│   >  0           BIN\n"), std::string::npos);
}

TEST_F(TerminalWindow, NamesAreShownEscapedButTheRealFolderIsRepaired) {
  const std::string hostile = "\x1b[2J\x1b]0;x\x07\xff";
  drives.MakeFolder(kZel1 + "\\" + hostile);
  drives.WriteFile("D:\\.windows-label", "\x1b[31mDATA\n");
  messages::SetMessageTitle(kTitle);
  std::vector<std::string> repaired;
  ui::frmfixPath form([&](std::string Folder) {
    repaired.push_back(Folder);
    return true;
  });
  std::istringstream in("o 0\nok\n");
  std::ostringstream out;
  Terminal terminal(in, out, false);
  ScopedTerminal scoped(terminal);
  form.Show();
  platform::RunEventLoop();

  EXPECT_EQ(repaired, std::vector<std::string>{kZel1 + "\\" + hostile});
  const std::string output = out.str();
  EXPECT_NE(output.find("│   >c:<  d: [\\x1b[31mDATA]  e:"), std::string::npos) << output;
  EXPECT_NE(output.find("│      0           \\x1b[2J\\x1b]0;x\\x07\\xff\n"), std::string::npos);
  EXPECT_NE(output.find("│   > -1 *         \\x1b[2J\\x1b]0;x\\x07\\xff\n"), std::string::npos);
  EXPECT_EQ(output.find_first_of("\x1b\x07\xff"), std::string::npos);
}

}  // namespace
