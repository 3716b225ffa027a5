// The message service: templates, and the prompt, caption and flags of every box as the
// operator gets them, through a recording double of the platform's dialogs.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "messages/CM_MessageControl.h"
#include "platform/error.h"
#include "tests/support/RecordingDialogs.h"

#ifdef _WIN32
// Last on purpose: windows.h makes FormatMessage a macro, and our calls must survive it.
#include <windows.h>
#endif

namespace {

using testsupport::RecordingDialogs;

const std::string kTitle = "修复ZEL服务器迁移IP地址冲突";                 // 27 ANSI bytes
const std::string kShort = "指定目录已完成修复";                          // 18
const std::string kLong = "系统没有定位到ZEL检测系统的安装目录，请指定";  // 43

std::string Spaces(std::size_t count) {
  return std::string(count, ' ');
}

TEST(FormatMessageTemplates, FillsPlaceholdersInTurn) {
  struct Case {
    std::string messageTemplate, v1, v2, v3, expected;
  };
  const std::vector<Case> cases = {
      {"%10", "A", "", "", "A0"},
      {"%1-%1", "x", "", "", "x-x"},
      {"%1", "a%2b", "Z", "", "aZb"},  // a value is searched by the later steps
      {"%2", "Q", "%1", "", "%1"},     // but not by the earlier ones
      {"%1", "%1%1", "", "", "%1%1"},  // nor by its own step
      {"a<CR2>b<Cr2>", "", "", "", "a\r\n\r\nb\r\n\r\n"},
      {"%1", "x<cr2>y", "", "", "x\r\n\r\ny"},
      {"[%3]", "a", "b", "", "[]"},
      {"100% <cr2 完成", "a", "b", "c", "100% <cr2 完成"},
      {"", "a", "b", "c", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(messages::FormatMessage(c.messageTemplate, c.v1, c.v2, c.v3, "", ""), c.expected)
        << c.messageTemplate;
  }
  EXPECT_EQ(messages::FormatMessage("%5%4%3%2%1", "a", "b", "c", "d", "e"), "edcba");
}

// Every test starts from the real title and leaves the stored one as it found it.
class MessageService : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = messages::MessageTitle();
    messages::SetMessageTitle(kTitle);
  }
  void TearDown() override { messages::SetMessageTitle(saved_); }

  RecordingDialogs dialogs;

 private:
  std::string saved_;
};

TEST_F(MessageService, PromptsAreWidenedOnlyUnderAWiderTitle) {
  struct Case {
    const char* name;
    std::string title;
    std::function<void()> show;
    std::string prompt;
    unsigned flags;
  };
  const std::string threeLines = "指定目录\r\n指定目录\r\n指定目录";  // 28 bytes, lines of 8
  const std::string twoLines = "指定\r\n目录";                        // 10 bytes
  const std::string asWide = " " + kTitle + " ";                      // trimmed: 27
  const std::vector<Case> cases = {
      {"short", kTitle, [] { messages::ShowInformation(kShort, ""); }, kShort + Spaces(19), 4160},
      {"43 bytes", kTitle, [] { messages::ShowWarning(kLong, ""); }, kLong + Spaces(10), 4144},
      {"lines with breaks", kTitle, [&] { messages::ShowError(threeLines, ""); },
       threeLines + Spaces(10), 4112},
      {"short lines", kTitle, [&] { messages::ShowError(twoLines, ""); }, twoLines + Spaces(27),
       4112},
      {"trimmed", kTitle, [] { messages::ShowInformation("  " + kShort + " ", ""); },
       kShort + Spaces(19), 4160},
      {"untrimmed", kTitle, [] { messages::ShowWarning(" " + kLong, ""); },
       " " + kLong + Spaces(10), 4144},
      {"as wide", kTitle, [&] { messages::ShowInformation(asWide, ""); }, asWide + Spaces(10),
       4160},
      {"empty title", "", [] { messages::ShowInformation(" x ", ""); }, " x " + Spaces(10), 4160},
      {"blank", kTitle, [] { messages::ShowError("   ", " "); }, Spaces(37), 4112},
      {"second text", kTitle, [] { messages::ShowInformation("标题", kLong); }, kLong + Spaces(10),
       4160},
  };
  for (const Case& c : cases) {
    RecordingDialogs local;
    messages::SetMessageTitle(c.title);
    c.show();
    ASSERT_EQ(local.boxes.size(), 1u) << c.name;
    EXPECT_EQ(local.boxes[0].prompt, c.prompt) << c.name;
    EXPECT_EQ(local.boxes[0].caption, c.title) << c.name;
    EXPECT_EQ(local.boxes[0].flags, c.flags) << c.name;
  }
}

TEST_F(MessageService, KindLettersAreMatchedExactly) {
  const std::vector<std::pair<std::string, unsigned>> cases = {
      {"S", 4112}, {"E", 4112}, {"W", 4144}, {"N", 4160},  {"I", 4160},
      {"e", 4096}, {"i", 4096}, {"C", 4096}, {"EE", 4096}, {"", 4096}};
  for (const auto& [kind, flags] : cases) {
    RecordingDialogs local;
    messages::ShowMessage(kind, "", kLong);
    ASSERT_EQ(local.boxes.size(), 1u) << kind;
    EXPECT_EQ(local.boxes[0].flags, flags) << "kind \"" << kind << "\"";
    EXPECT_EQ(local.boxes[0].prompt, kLong + Spaces(10)) << "kind \"" << kind << "\"";
  }
}

TEST_F(MessageService, QuestionFlagsAndAnswers) {
  struct Case {
    bool cancel;
    std::int16_t defaultButton;
    unsigned flags;
  };
  const std::vector<Case> cases = {
      {false, 0, 65828}, {false, 2, 65828},  {false, 3, 65828}, {false, 200, 65828},
      {false, 1, 65572}, {false, -1, 65572}, {true, 0, 66083},  {true, 3, 66083},
      {true, 5, 66083},  {true, 2, 65827},   {true, 1, 65571},  {true, -4, 65571},
  };
  for (const Case& c : cases) {
    RecordingDialogs local;
    local.Answer(c.cancel ? platform::kIdCancel : platform::kIdYes);
    EXPECT_EQ(messages::AskQuestion("继续?", "", c.cancel, c.defaultButton),
              c.cancel ? platform::kIdCancel : platform::kIdYes);
    ASSERT_EQ(local.boxes.size(), 1u);
    EXPECT_EQ(local.boxes[0].flags, c.flags) << c.cancel << ", " << c.defaultButton;
    EXPECT_EQ(local.boxes[0].prompt, "继续?" + Spaces(5));  // never widened
    EXPECT_EQ(local.boxes[0].caption, kTitle);
  }
  EXPECT_EQ(messages::AskQuestion("继续?", "", false, 0), platform::kIdNo);  // Main's question
}

TEST_F(MessageService, OnlyErrorWarningAndInformationBeepAndBeforeTheBox) {
  messages::ShowError(kShort, "");
  messages::ShowWarning(kShort, "");
  messages::ShowInformation(kShort, "");
  messages::AskQuestion(kShort, "", true, 1);
  const std::vector<std::string> message = {"beep", "pointer 0", "box", "pointer 0"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) {
    expected.insert(expected.end(), message.begin(), message.end());
  }
  expected.insert(expected.end(), {"pointer 0", "box", "pointer 0"});
  EXPECT_EQ(dialogs.events, expected);
}

TEST_F(MessageService, BusyPointerIsDefaultWhileOpenAndRestoredEvenOnErrors) {
  enum Failure { kNone, kBox, kLongTitle };
  struct Case {
    const char* name;
    std::function<void()> show;
    Failure failure;
  };
  const std::vector<Case> cases = {
      {"message", [] { messages::ShowMessage("x", "", kShort); }, kNone},
      {"question", [] { messages::AskQuestion(kShort, "", false, 0); }, kNone},
      {"failing box", [] { messages::ShowWarning(kShort, ""); }, kBox},
      {"failing question", [] { messages::AskQuestion(kShort, "", true, 0); }, kBox},
      {"title beyond 16 bits", [] { messages::ShowError(kShort, ""); }, kLongTitle},
  };
  for (const Case& c : cases) {
    RecordingDialogs local;
    local.pointer = platform::kPointerBusy;
    if (c.failure == kBox) {
      local.FailNextBox(platform::RuntimeError(platform::kPlatformErrorNumber, "无法显示"));
    } else if (c.failure == kLongTitle) {
      messages::SetMessageTitle(std::string(32768, 'T'));
    }
    if (c.failure == kNone) {
      c.show();
      ASSERT_EQ(local.boxes.size(), 1u) << c.name;
      EXPECT_EQ(local.boxes[0].pointerWhileOpen, platform::kPointerDefault) << c.name;
    } else {
      EXPECT_THROW(c.show(), platform::RuntimeError) << c.name;
      EXPECT_TRUE(local.boxes.empty()) << c.name;
    }
    EXPECT_EQ(local.pointer, platform::kPointerBusy) << c.name;
    messages::SetMessageTitle(kTitle);
  }
}

}  // namespace
