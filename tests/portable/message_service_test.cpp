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

// Every test starts from a known title and leaves the stored one as it found it.
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

struct FormatCase {
  const char* name;
  std::string messageTemplate;
  std::vector<std::string> values;  // %1 to %5
  std::string expected;
};

TEST(FormatMessageTemplates, FillsPlaceholdersInTurn) {
  const std::vector<FormatCase> cases = {
      {"longer number", "%10", {"A", "", "", "", ""}, "A0"},
      {"every occurrence", "%1-%1", {"x", "", "", "", ""}, "x-x"},
      {"first value holding %2", "%1", {"a%2b", "Z", "", "", ""}, "aZb"},
      {"second value keeps %1", "%2", {"Q", "%1", "", "", ""}, "%1"},
      {"inserted text not rescanned", "%1", {"%1%1", "", "", "", ""}, "%1%1"},
      {"all five", "%5%4%3%2%1", {"a", "b", "c", "d", "e"}, "edcba"},
      {"marker upper case", "a<CR2>b", {"", "", "", "", ""}, "a\r\n\r\nb"},
      {"marker mixed case, twice", "<Cr2><cR2>", {"", "", "", "", ""}, "\r\n\r\n\r\n\r\n"},
      {"marker inside a value", "%1", {"x<cr2>y", "", "", "", ""}, "x\r\n\r\ny"},
      {"incomplete marker", "<cr2 cr2>", {"", "", "", "", ""}, "<cr2 cr2>"},
      {"empty value deletes", "[%3]", {"a", "b", "", "d", "e"}, "[]"},
      {"no placeholders", "100% 完成", {"a", "b", "c", "d", "e"}, "100% 完成"},
      {"empty template", "", {"a", "b", "c", "d", "e"}, ""},
      {"percent before placeholder", "%%11", {"A", "", "", "", ""}, "%A1"},
      {"headline", "%1", {"系统自动修复已完成", "", "", "", ""}, "系统自动修复已完成"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(messages::FormatMessage(c.messageTemplate, c.values[0], c.values[1], c.values[2],
                                      c.values[3], c.values[4]),
              c.expected)
        << c.name;
  }
}

TEST(MessageTitle, EmptyTitleCanBeStored) {
  const std::string saved = messages::MessageTitle();
  messages::SetMessageTitle(kTitle);
  EXPECT_EQ(messages::MessageTitle(), kTitle);
  messages::SetMessageTitle("");
  EXPECT_EQ(messages::MessageTitle(), "");
  messages::SetMessageTitle(saved);
}

struct BoxCase {
  const char* name;
  std::string title;
  std::function<void()> show;
  std::string expectedPrompt;
  unsigned expectedFlags;
};

TEST_F(MessageService, PromptsAreWidenedOnlyUnderAWiderTitle) {
  const std::string threeLines = "指定目录\r\n指定目录\r\n指定目录";  // 28 bytes, lines of 8
  const std::string twoLines = "指定\r\n目录";                        // 10 bytes
  const std::string titleWide = " " + kTitle + " ";                   // trimmed: exactly 27
  const std::vector<BoxCase> cases = {
      {"short text", kTitle, [] { messages::ShowInformation(kShort, ""); }, kShort + Spaces(9 + 10),
       4160},
      {"43-byte text", kTitle, [] { messages::ShowWarning(kLong, ""); }, kLong + Spaces(10), 4144},
      {"lines count with their breaks", kTitle, [&] { messages::ShowError(threeLines, ""); },
       threeLines + Spaces(10), 4112},
      {"short lines widened by the whole", kTitle, [&] { messages::ShowError(twoLines, ""); },
       twoLines + Spaces(17 + 10), 4112},
      {"trimmed when widened", kTitle, [] { messages::ShowInformation("  " + kShort + "  ", ""); },
       kShort + Spaces(9 + 10), 4160},
      {"kept untrimmed when not widened", kTitle,
       [] { messages::ShowWarning("  " + kLong + "  ", ""); }, "  " + kLong + Spaces(2 + 10), 4144},
      {"as wide as the title", kTitle, [&] { messages::ShowInformation(titleWide, ""); },
       titleWide + Spaces(10), 4160},
      {"empty title", "", [] { messages::ShowInformation("  x ", ""); }, "  x " + Spaces(10), 4160},
      {"blank texts", kTitle, [] { messages::ShowError("   ", " "); }, Spaces(27 + 10), 4112},
      {"empty texts", kTitle, [] { messages::ShowWarning("", ""); }, Spaces(27 + 10), 4144},
  };
  for (const BoxCase& c : cases) {
    RecordingDialogs local;
    messages::SetMessageTitle(c.title);
    c.show();
    ASSERT_EQ(local.boxes.size(), 1u) << c.name;
    EXPECT_EQ(local.boxes[0].prompt, c.expectedPrompt) << c.name;
    EXPECT_EQ(local.boxes[0].caption, c.title) << c.name;
    EXPECT_EQ(local.boxes[0].flags, c.expectedFlags) << c.name;
  }
  EXPECT_TRUE(dialogs.boxes.empty());  // the inner doubles took every box
}

TEST_F(MessageService, SecondTextIsShownWhenNotBlank) {
  messages::ShowInformation("标题", kLong);
  messages::ShowError(kLong, "  ");
  messages::AskQuestion("标题", "继续吗?", false, 0);
  ASSERT_EQ(dialogs.boxes.size(), 3u);
  EXPECT_EQ(dialogs.boxes[0].prompt, kLong + Spaces(10));
  EXPECT_EQ(dialogs.boxes[1].prompt, kLong + Spaces(10));
  EXPECT_EQ(dialogs.boxes[2].prompt, "继续吗?" + Spaces(5));
}

TEST_F(MessageService, KindLettersAreMatchedExactly) {
  const std::vector<std::pair<std::string, unsigned>> cases = {
      {"S", 4112}, {"E", 4112}, {"W", 4144}, {"N", 4160},  {"I", 4160}, {"e", 4096},
      {"w", 4096}, {"i", 4096}, {"C", 4096}, {"EE", 4096}, {"", 4096},  {" E", 4096}};
  for (const auto& [kind, flags] : cases) {
    RecordingDialogs local;
    messages::ShowMessage(kind, "", kLong);
    ASSERT_EQ(local.boxes.size(), 1u) << kind;
    EXPECT_EQ(local.boxes[0].flags, flags) << "kind \"" << kind << "\"";
    EXPECT_EQ(local.boxes[0].prompt, kLong + Spaces(10)) << "kind \"" << kind << "\"";
    EXPECT_EQ(local.beeps, 1) << kind;
  }
}

TEST_F(MessageService, QuestionFlagsFollowCancelAndDefaultButton) {
  struct QuestionCase {
    bool cancel;
    std::int16_t defaultButton;
    unsigned flags;
  };
  const std::vector<QuestionCase> cases = {
      {false, 0, 65828},     {false, 2, 65828},  {false, 3, 65828}, {false, 200, 65828},
      {false, 1, 65572},     {false, -1, 65572}, {true, 0, 66083},  {true, 3, 66083},
      {true, 5, 66083},      {true, 2, 65827},   {true, 1, 65571},  {true, -4, 65571},
      {true, -32768, 65571},
  };
  for (const QuestionCase& c : cases) {
    RecordingDialogs local;
    messages::AskQuestion("如冲突问题还存在?", "", c.cancel, c.defaultButton);
    ASSERT_EQ(local.boxes.size(), 1u);
    EXPECT_EQ(local.boxes[0].flags, c.flags)
        << "cancel " << c.cancel << ", default button " << c.defaultButton;
    EXPECT_EQ(local.boxes[0].prompt, "如冲突问题还存在?" + Spaces(5));  // never widened
    EXPECT_EQ(local.boxes[0].caption, kTitle);
  }
}

TEST_F(MessageService, QuestionReturnsThePressedButton) {
  for (const int pressed : {platform::kIdYes, platform::kIdNo, platform::kIdCancel}) {
    RecordingDialogs local;
    local.Answer(pressed);
    EXPECT_EQ(messages::AskQuestion("q", "", true, 0), pressed);
  }
  // Main's question: Yes and No, No the default.
  EXPECT_EQ(messages::AskQuestion("q", "", false, 0), platform::kIdNo);
}

TEST_F(MessageService, OnlyErrorWarningAndInformationBeepAndFirst) {
  messages::ShowError(kShort, "");
  messages::ShowWarning(kShort, "");
  messages::ShowInformation(kShort, "");
  messages::AskQuestion(kShort, "", false, 0);
  messages::AskQuestion(kShort, "", true, 1);
  EXPECT_EQ(dialogs.beeps, 3);
  const std::vector<std::string> oneMessage = {"beep", "pointer 0", "box", "pointer 0"};
  const std::vector<std::string> oneQuestion = {"pointer 0", "box", "pointer 0"};
  std::vector<std::string> expected;
  for (int i = 0; i < 3; ++i) {
    expected.insert(expected.end(), oneMessage.begin(), oneMessage.end());
  }
  for (int i = 0; i < 2; ++i) {
    expected.insert(expected.end(), oneQuestion.begin(), oneQuestion.end());
  }
  EXPECT_EQ(dialogs.events, expected);
}

TEST_F(MessageService, BusyPointerIsDefaultWhileOpenAndRestored) {
  const std::vector<std::function<void()>> boxes = {
      [] { messages::ShowError(kShort, ""); },
      [] { messages::ShowMessage("x", "", kShort); },
      [] { messages::AskQuestion(kShort, "", false, 0); },
  };
  for (const auto& show : boxes) {
    RecordingDialogs local;
    local.pointer = platform::kPointerBusy;
    show();
    ASSERT_EQ(local.boxes.size(), 1u);
    EXPECT_EQ(local.boxes[0].pointerWhileOpen, platform::kPointerDefault);
    EXPECT_EQ(local.pointer, platform::kPointerBusy);
  }
}

TEST_F(MessageService, PointerIsRestoredWhenTheBoxFails) {
  const std::vector<std::function<void()>> boxes = {
      [] { messages::ShowWarning(kShort, ""); },
      [] { messages::AskQuestion(kShort, "", true, 0); },
  };
  for (const auto& show : boxes) {
    RecordingDialogs local;
    local.pointer = platform::kPointerBusy;
    local.FailNextBox(platform::RuntimeError(platform::kPlatformErrorNumber, "无法显示"));
    EXPECT_THROW(show(), platform::RuntimeError);
    EXPECT_TRUE(local.boxes.empty());
    EXPECT_EQ(local.pointer, platform::kPointerBusy);
  }
}

TEST_F(MessageService, TitleBeyondSixteenBitsRaisesWithoutABox) {
  dialogs.pointer = platform::kPointerBusy;
  messages::SetMessageTitle(std::string(32768, 'T'));
  EXPECT_THROW(messages::ShowInformation(kShort, ""), platform::RuntimeError);
  EXPECT_TRUE(dialogs.boxes.empty());
  EXPECT_EQ(dialogs.pointer, platform::kPointerBusy);
}

}  // namespace
