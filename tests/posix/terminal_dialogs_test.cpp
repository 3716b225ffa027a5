// The stand-in's message box on the terminal: what it draws, how it is answered, and the
// transcript that scripts read.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/posix/terminal.h"

namespace {

using platform::posix::Terminal;

const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";

constexpr unsigned kOkInformation = 4160;
constexpr unsigned kYesNoDefaultNo = 65828;
constexpr unsigned kYesNoDefaultYes = 65572;
constexpr unsigned kYesNoCancelDefaultCancel = 66083;
constexpr unsigned kYesNoCancelDefaultNo = 65827;

// A terminal fed by a script: `input` is what standard input holds.
class ScriptedTerminal {
 public:
  explicit ScriptedTerminal(const std::string& input) : in_(input), terminal_(in_, out_, false) {}

  int Show(const std::string& prompt, unsigned flags) {
    return platform::BackendDialogs().ShowMessageBox(prompt, kTitle, flags);
  }
  std::string Output() const { return out_.str(); }

 private:
  std::istringstream in_;
  std::ostringstream out_;
  Terminal terminal_;
  platform::posix::ScopedTerminal scoped_{terminal_};
};

TEST(TerminalDialogs, AnswersTakeTheirButtons) {
  struct AnswerCase {
    unsigned flags;
    std::string input;
    int expected;
    int refused = 0;  // answers not understood, each asked for again
  };
  const std::vector<AnswerCase> cases = {
      {kYesNoCancelDefaultCancel, "y\n", platform::kIdYes},
      {kYesNoCancelDefaultCancel, "n\n", platform::kIdNo},
      {kYesNoCancelDefaultCancel, "c\n", platform::kIdCancel},
      {kYesNoCancelDefaultCancel, "是\n", platform::kIdYes},
      {kYesNoCancelDefaultCancel, "否\n", platform::kIdNo},
      {kYesNoCancelDefaultCancel, "取消\n", platform::kIdCancel},
      {kYesNoCancelDefaultCancel, " YES \r\n", platform::kIdYes},
      {kYesNoCancelDefaultCancel, "Cancel\n", platform::kIdCancel},
      {kYesNoCancelDefaultCancel, "\n", platform::kIdCancel},  // Enter
      {kYesNoCancelDefaultCancel, "", platform::kIdCancel},    // end of input
      {kYesNoCancelDefaultNo, "\n", platform::kIdNo},
      {kYesNoCancelDefaultNo, "maybe\n\n", platform::kIdNo, 1},       // then Enter
      {kYesNoCancelDefaultNo, "maybe\ny\nn\n", platform::kIdYes, 1},  // one answer per box
      {kYesNoDefaultNo, "y", platform::kIdYes},                       // last line without a break
      {kYesNoDefaultNo, "\n", platform::kIdNo},
      {kYesNoDefaultNo, "c\n", platform::kIdNo, 1},  // no Cancel here; then end of input
      {kYesNoDefaultNo, "c\ny\n", platform::kIdYes, 1},
      {kYesNoDefaultNo, "O\nok\n确定\n", platform::kIdNo, 3},  // no OK here
      {kYesNoDefaultYes, "\n", platform::kIdYes},
      {kYesNoDefaultYes, "", platform::kIdYes},
      {kOkInformation, "\n", platform::kIdOk},
      {kOkInformation, "", platform::kIdOk},
      {kOkInformation, "确定\n", platform::kIdOk},
      {kOkInformation, "O\n", platform::kIdOk},
      {kOkInformation, "Ok\n", platform::kIdOk},
      {kOkInformation, "y\n", platform::kIdOk},  // the only button takes yes too
      {kOkInformation, " YES\n", platform::kIdOk},
      {kOkInformation, "是\n", platform::kIdOk},
      {kOkInformation, "n\nno\ncancel\n", platform::kIdOk, 3},
  };
  for (const AnswerCase& c : cases) {
    ScriptedTerminal terminal(c.input);
    EXPECT_EQ(terminal.Show("问题?     ", c.flags), c.expected)
        << "flags " << c.flags << ", input \"" << c.input << "\"";
    const std::string output = terminal.Output();
    int refused = 0;
    for (std::size_t at = output.find("未能识别的回答"); at != std::string::npos;
         at = output.find("未能识别的回答", at + 1)) {
      ++refused;
    }
    EXPECT_EQ(refused, c.refused) << "flags " << c.flags << ", input \"" << c.input << "\"";
  }
}

TEST(TerminalDialogs, UnclearAnswerIsAskedForAgain) {
  ScriptedTerminal terminal("x\x1b[2J\xc3\nn\n");
  EXPECT_EQ(terminal.Show("q", kYesNoDefaultNo), platform::kIdNo);
  // The answer is echoed and repeated escaped, never raw.
  const std::string prompt = "回答 y/n（Enter = 否）> ";
  EXPECT_NE(terminal.Output().find(prompt + "x\\x1b[2J\\xc3\n未能识别的回答：x\\x1b[2J\\xc3\n" +
                                   prompt + "n\n"),
            std::string::npos)
      << terminal.Output();
}

TEST(TerminalDialogs, DrawsCaptionKindTextAndButtons) {
  struct DrawCase {
    std::string prompt;
    unsigned flags;
    std::string expected;
  };
  const std::vector<DrawCase> cases = {
      {"检测到如下安装地址已完成修复\r\nC:\\Program Files\\TAMO\\ZEL1\r\n\r\n是否?     ",
       kYesNoDefaultNo,
       "\n┌─ [问题] 修复ZEL服务器迁移IP地址冲突\n"
       "│ 检测到如下安装地址已完成修复\n"
       "│ C:\\Program Files\\TAMO\\ZEL1\n"
       "│ \n"
       "│ 是否?     \n"
       "└─ [ 是(Y) ]  [>否(N)<]\n"
       "回答 y/n（Enter = 否）> \n"},
      {"a\nb\rc", 4112,
       "\n┌─ [错误] 修复ZEL服务器迁移IP地址冲突\n│ a\n│ b\n│ c\n└─ [>确定<]\n按 Enter 确定 > \n"},
      {"x", 4096, "\n┌─ 修复ZEL服务器迁移IP地址冲突\n│ x\n└─ [>确定<]\n按 Enter 确定 > \n"},
      // Line breaks end lines; other controls and bytes that are not UTF-8 are escaped,
      // and a backslash is doubled only where it would read as an escape.
      {"C:\\A\x1b]0;t\x07\\\x1b\r"
       "\\x41 \\\\ \\xg \\x4\tA\xff\xc2\x9b\x7f\xe9\xed\xa0\x80é\xe4\xb8\\",
       4096,
       "\n┌─ 修复ZEL服务器迁移IP地址冲突\n"
       "│ C:\\A\\x1b]0;t\\x07\\\\\\x1b\n"
       "│ \\\\x41 \\\\\\ \\xg \\x4\\x09A\\xff\\xc2\\x9b\\x7f\\xe9\\xed\\xa0\\x80é\\xe4\\xb8\\\n"
       "└─ [>确定<]\n按 Enter 确定 > \n"},
      // A folder name's line break (U+F00A, see winpath.h) breaks no line.
      {"指定目录修复失败\r\n\r\nC:\\a\uF00A│ 系统自动修复已完成\uF00D", 4112,
       "\n┌─ [错误] 修复ZEL服务器迁移IP地址冲突\n│ 指定目录修复失败\n│ \n"
       "│ C:\\a\\x0a│ 系统自动修复已完成\\x0d\n└─ [>确定<]\n按 Enter 确定 > \n"},
      {"q", kYesNoCancelDefaultCancel,
       "\n┌─ [问题] 修复ZEL服务器迁移IP地址冲突\n│ q\n"
       "└─ [ 是(Y) ]  [ 否(N) ]  [>取消(C)<]\n回答 y/n/c（Enter = 取消）> \n"},
  };
  for (const DrawCase& c : cases) {
    ScriptedTerminal terminal("");  // end of input: the box is drawn and answered at once
    terminal.Show(c.prompt, c.flags);
    EXPECT_EQ(terminal.Output(), c.expected);
  }
}

TEST(TerminalDialogs, BeepIsTheBell) {
  ScriptedTerminal terminal("");
  platform::BackendDialogs().Beep();
  EXPECT_EQ(terminal.Output(), "\a");
}

TEST(TerminalDialogs, TranscriptHoldsOneLinePerBox) {
  char path[] = "/tmp/zelfix-transcript-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_NE(fd, -1);
  close(fd);
  setenv("ZELFIX_BOX_TRANSCRIPT", path, 1);
  {
    ScriptedTerminal terminal("n\n");
    terminal.Show("第一行\r\n\"C:\\x\"\t     ", kYesNoDefaultNo);
    terminal.Show("完成          ", kOkInformation);
    // Any name: controls escaped, a byte that is not UTF-8 as the surrogate U+DC00 + byte.
    terminal.Show("C:\\\x1b[2J\xff\xc2\x85\x7f\x01é\xe4\xb8", kOkInformation);
  }
  unsetenv("ZELFIX_BOX_TRANSCRIPT");
  std::ifstream file(path, std::ios::binary);
  std::stringstream bytes;
  bytes << file.rdbuf();
  std::remove(path);
  EXPECT_EQ(
      bytes.str(),
      "{\"caption\":\"修复ZEL服务器迁移IP地址冲突\",\"prompt\":\"第一行\\r\\n\\\"C:\\\\x\\\"\\t"
      "     \",\"flags\":65828,\"answer\":7}\n"
      "{\"caption\":\"修复ZEL服务器迁移IP地址冲突\",\"prompt\":\"完成          \","
      "\"flags\":4160,\"answer\":1}\n"
      "{\"caption\":\"修复ZEL服务器迁移IP地址冲突\",\"prompt\":\"C:\\\\\\u001b[2J\\udcff\\u0085"
      "\\u007f\\u0001é\\udce4\\udcb8\",\"flags\":4160,\"answer\":1}\n");
}

}  // namespace
