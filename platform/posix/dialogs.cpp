// posix dialogs: the message box drawn on the terminal (terminal.h).
//
// Implements: the box with its caption, a word for its icon (错误 / 警告 / 信息 / 问题),
// its text line by line and its buttons with the default one marked; answers y / n / c
// (or 是 / 否 / 取消, or yes / no / cancel in any case; the only button of an OK box also
// takes o / ok / 确定 and y / 是 / yes), Enter or end of input for the default button;
// the beep as the terminal bell; the application pointer as a plain value; a transcript
// line per box in the file that ZELFIX_BOX_TRANSCRIPT names.
// Does not implement: button sets other than OK, Yes/No and Yes/No/Cancel (the others
// are drawn and answered as OK); system-modal and foreground flags, which mean nothing
// on a terminal.
//
// What a box looks like (the default button between > and <):
//
//   ┌─ [问题] 修复ZEL服务器迁移IP地址冲突
//   │ 检测到如下安装地址已完成修复
//   │ C:\Program Files\TAMO\ZEL1
//   └─ [ 是(Y) ]  [>否(N)<]
//   回答 y/n（Enter = 否）>
//
// Each text line is printed as it stands in the prompt, trailing spaces included, after
// "│ "; CR LF, a lone LF and a lone CR each end a line. Other control characters and
// bytes that are not UTF-8, in the caption and the text alike, are shown escaped
// (printable.h): a folder name must not drive the terminal.
#include "platform/dialogs.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

#include "platform/posix/terminal.h"
#include "platform/posix/unicode.h"
#include "platform/printable.h"
#include "platform/text.h"

namespace platform {

namespace {

struct Button {
  int code;
  const char* label;     // as drawn
  const char* key;       // the letter the prompt offers
  const char* word;      // the Chinese answer
  const char* longWord;  // the English answer
};

constexpr Button kOk{kIdOk, "确定", "o", "确定", "ok"};
constexpr Button kYes{kIdYes, "是(Y)", "y", "是", "yes"};
constexpr Button kNo{kIdNo, "否(N)", "n", "否", "no"};
constexpr Button kCancel{kIdCancel, "取消(C)", "c", "取消", "cancel"};

std::vector<Button> ButtonsOf(unsigned flags) {
  switch (flags & kMbTypeMask) {
    case kMbYesNoCancel:
      return {kYes, kNo, kCancel};
    case kMbYesNo:
      return {kYes, kNo};
    default:
      return {kOk};
  }
}

// As on Windows, a default button past the last one leaves the first as the default.
std::size_t DefaultIndexOf(unsigned flags, std::size_t buttonCount) {
  const std::size_t index = (flags & kMbDefaultMask) >> 8;
  return index < buttonCount ? index : 0;
}

const char* IconWord(unsigned flags) {
  switch (flags & kMbIconMask) {
    case kMbIconHand:
      return "错误";
    case kMbIconQuestion:
      return "问题";
    case kMbIconExclamation:
      return "警告";
    case kMbIconAsterisk:
      return "信息";
    default:
      return nullptr;
  }
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  return lines;
}

std::string Draw(const std::string& prompt, const std::string& caption, unsigned flags,
                 const std::vector<Button>& buttons, std::size_t defaultIndex) {
  std::string out = "\n┌─";
  if (const char* word = IconWord(flags)) {
    out += std::string(" [") + word + "]";
  }
  if (!caption.empty()) {
    out += " " + platform::Printable(caption);
  }
  out += "\n";
  for (const std::string& line : SplitLines(prompt)) {
    out += "│ " + platform::Printable(line) + "\n";
  }
  out += "└─";
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    out += i == 0 ? " " : "  ";
    out += i == defaultIndex ? std::string("[>") + buttons[i].label + "<]"
                             : std::string("[ ") + buttons[i].label + " ]";
  }
  out += "\n";
  return out;
}

std::string AnswerPrompt(const std::vector<Button>& buttons, std::size_t defaultIndex) {
  if (buttons.size() == 1) {
    return std::string("按 Enter ") + buttons[0].word + " > ";
  }
  std::string keys;
  for (const Button& button : buttons) {
    keys += keys.empty() ? "" : "/";
    keys += button.key;
  }
  return "回答 " + keys + "（Enter = " + buttons[defaultIndex].word + "）> ";
}

std::optional<int> Understand(const std::string& answer, const std::vector<Button>& buttons,
                              std::size_t defaultIndex) {
  const std::string text = AsciiLower(TrimSpacesAndTabs(answer));
  if (text.empty()) {
    return buttons[defaultIndex].code;
  }
  for (const Button& button : buttons) {
    if (text == button.key || text == button.word || text == button.longWord) {
      return button.code;
    }
  }
  // Whoever answers every box with y should not be stuck at one that only informs.
  if (buttons.size() == 1 && (text == kYes.key || text == kYes.word || text == kYes.longWord)) {
    return buttons[0].code;
  }
  return std::nullopt;
}

// A JSON string that any parser takes, whatever bytes `text` holds: UTF-8 is kept,
// control characters are escaped, and a byte that is not part of valid UTF-8 becomes
// the lone surrogate U+DC00 + byte, from which the byte can be had back.
std::string JsonString(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  const auto escapeAs = [](std::string& out, unsigned unit) {
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
      out += kHex[(unit >> shift) & 0x0F];
    }
  };
  std::string out = "\"";
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t start = position;
    const char32_t code = posix::NextCodePoint(text, position);
    if (code == posix::kReplacementCharacter && position - start == 1) {
      escapeAs(out, 0xDC00 + static_cast<unsigned char>(text[start]));
    } else if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (code == '\r' || code == '\n' || code == '\t') {
      out += code == '\r' ? "\\r" : code == '\n' ? "\\n" : "\\t";
    } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
      escapeAs(out, code);
    } else {
      out.append(text, start, position - start);
    }
  }
  return out + "\"";
}

// Scripts compare what the program showed without parsing the drawing: one JSON object
// per box, appended to the file named by ZELFIX_BOX_TRANSCRIPT (when it is set).
void AppendTranscript(const std::string& prompt, const std::string& caption, unsigned flags,
                      int answer) {
  const char* path = std::getenv("ZELFIX_BOX_TRANSCRIPT");
  if (path == nullptr || *path == '\0') {
    return;
  }
  std::ofstream file(path, std::ios::app | std::ios::binary);
  file << "{\"caption\":" << JsonString(caption) << ",\"prompt\":" << JsonString(prompt)
       << ",\"flags\":" << flags << ",\"answer\":" << answer << "}\n";
  file.flush();
  if (!file) {
    std::cerr << "zelfix: cannot append to the box transcript " << platform::Printable(path)
              << "\n";
  }
}

class TerminalDialogs : public Dialogs {
 public:
  int ShowMessageBox(const std::string& prompt, const std::string& caption,
                     unsigned flags) override {
    posix::Terminal& terminal = posix::Terminal::Current();
    const std::vector<Button> buttons = ButtonsOf(flags);
    const std::size_t defaultIndex = DefaultIndexOf(flags, buttons.size());
    terminal.Write(Draw(prompt, caption, flags, buttons, defaultIndex));

    int answer = buttons[defaultIndex].code;
    while (const std::optional<std::string> line =
               terminal.ReadLine(AnswerPrompt(buttons, defaultIndex))) {
      if (const std::optional<int> understood = Understand(*line, buttons, defaultIndex)) {
        answer = *understood;
        break;
      }
      terminal.Write("未能识别的回答：" + platform::Printable(*line) + "\n");
    }
    AppendTranscript(prompt, caption, flags, answer);
    return answer;
  }

  void Beep() override { posix::Terminal::Current().Bell(); }

  std::int16_t MousePointer() override { return pointer_; }

  void SetMousePointer(std::int16_t pointer) override { pointer_ = pointer; }

 private:
  std::int16_t pointer_ = kPointerDefault;
};

}  // namespace

Dialogs& BackendDialogs() {
  static TerminalDialogs dialogs;
  return dialogs;
}

}  // namespace platform
