#include "messages/CM_MessageControl.h"

#include <cstddef>

#include "common/CM_GeneralRoutines.h"
#include "platform/dialogs.h"
#include "platform/text.h"

namespace messages {

namespace {

// A function-local object, so that a box shown while statics are still being set up
// finds an empty title rather than an unconstructed one.
std::string& StoredTitle() {
  static std::string title;
  return title;
}

bool MatchesAt(const std::string& text, std::size_t position, const std::string& pattern) {
  if (text.size() - position < pattern.size()) {
    return false;
  }
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (platform::AsciiLower(text[position + i]) != platform::AsciiLower(pattern[i])) {
      return false;
    }
  }
  return true;
}

// Replaces every occurrence of `pattern`, ignoring ASCII letter case, in one left-to-right
// pass: what was just inserted is never searched again. Only ASCII letters are folded;
// the bytes of a multi-byte UTF-8 character never equal an ASCII byte, so a match never
// starts or ends inside one.
std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement) {
  std::string result;
  result.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    if (MatchesAt(text, position, pattern)) {
      result += replacement;
      position += pattern.size();
    } else {
      result += text[position];
      ++position;
    }
  }
  return result;
}

// When the message is passed as the heading with a blank text, the heading becomes the
// text: every caller passes its message that way.
void ApplyTwoTextRule(std::string& heading, std::string& text) {
  if (common::IsBlank(text)) {
    text = heading;
    heading.clear();
  }
}

// Puts the default pointer up for as long as a box is open and the earlier one back
// afterwards, also when showing the box raises.
class DefaultPointerWhileOpen {
 public:
  explicit DefaultPointerWhileOpen(platform::Dialogs& dialogs)
      : dialogs_(dialogs), saved_(dialogs.MousePointer()) {
    dialogs_.SetMousePointer(platform::kPointerDefault);
  }
  ~DefaultPointerWhileOpen() { dialogs_.SetMousePointer(saved_); }
  DefaultPointerWhileOpen(const DefaultPointerWhileOpen&) = delete;
  DefaultPointerWhileOpen& operator=(const DefaultPointerWhileOpen&) = delete;

 private:
  platform::Dialogs& dialogs_;
  std::int16_t saved_;
};

const std::string kMessageTrailer(10, ' ');
const std::string kQuestionTrailer(5, ' ');

}  // namespace

std::string MessageTitle() {
  return StoredTitle();
}

void SetMessageTitle(std::string title) {
  StoredTitle() = std::move(title);
}

std::string FormatMessage(std::string messageTemplate, std::string value1, std::string value2,
                          std::string value3, std::string value4, std::string value5) {
  std::string text = std::move(messageTemplate);
  text = ReplaceAll(text, "%1", value1);
  text = ReplaceAll(text, "%2", value2);
  text = ReplaceAll(text, "%3", value3);
  text = ReplaceAll(text, "%4", value4);
  text = ReplaceAll(text, "%5", value5);
  return ReplaceAll(text, "<cr2>", "\r\n\r\n");
}

void ShowMessage(std::string kind, std::string /*heading: not shown*/, std::string text) {
  platform::Dialogs& dialogs = platform::CurrentDialogs();
  dialogs.Beep();

  // A kind outside the table gets a box without an icon; its text is still shown, as a
  // box that hides its message would tell the operator nothing.
  unsigned icon = 0;
  if (kind == "S" || kind == "E") {
    icon = platform::kMbIconHand;
  } else if (kind == "W") {
    icon = platform::kMbIconExclamation;
  } else if (kind == "N" || kind == "I") {
    icon = platform::kMbIconAsterisk;
  }

  DefaultPointerWhileOpen pointer(dialogs);

  // Short messages are widened so that the box is at least as wide as its caption needs;
  // Windows sizes a box by its text, not by its caption.
  const std::int16_t titleWidth = common::AnsiLength(MessageTitle());
  const std::string trimmed = common::TrimSpaces(text);
  const std::int16_t textWidth = common::AnsiLength(trimmed);
  if (titleWidth > textWidth) {
    text = trimmed + std::string(static_cast<std::size_t>(titleWidth - textWidth), ' ');
  }

  dialogs.ShowMessageBox(text + kMessageTrailer, MessageTitle(),
                         icon + platform::kMbOk + platform::kMbSystemModal);
}

void ShowError(std::string heading, std::string text) {
  ApplyTwoTextRule(heading, text);
  ShowMessage("E", std::move(heading), std::move(text));
}

void ShowWarning(std::string heading, std::string text) {
  ApplyTwoTextRule(heading, text);
  ShowMessage("W", std::move(heading), std::move(text));
}

void ShowInformation(std::string heading, std::string text) {
  ApplyTwoTextRule(heading, text);
  ShowMessage("I", std::move(heading), std::move(text));
}

std::int16_t AskQuestion(std::string heading, std::string text, bool cancel,
                         std::int16_t defaultButton) {
  ApplyTwoTextRule(heading, text);

  unsigned flags = platform::kMbIconQuestion;
  int buttons = 0;
  if (cancel) {
    flags += platform::kMbYesNoCancel;
    buttons = 3;
  } else {
    flags += platform::kMbYesNo;
    buttons = 2;
  }

  // 0 or a number past the last button makes the last button the default; a negative
  // number leaves the first.
  const unsigned lastButton = buttons == 3 ? platform::kMbDefButton3 : platform::kMbDefButton2;
  if (defaultButton != 0 && defaultButton <= buttons) {
    if (defaultButton == 2) {
      flags += platform::kMbDefButton2;
    } else if (defaultButton == 3) {
      flags += platform::kMbDefButton3;
    } else {
      flags += platform::kMbDefButton1;
    }
  } else {
    flags += lastButton;
  }

  platform::Dialogs& dialogs = platform::CurrentDialogs();
  DefaultPointerWhileOpen pointer(dialogs);
  const int answer = dialogs.ShowMessageBox(text + kQuestionTrailer, MessageTitle(),
                                            flags + platform::kMbSetForeground);
  return static_cast<std::int16_t>(answer);
}

}  // namespace messages
