// A test double for the platform's dialogs: records every box instead of showing it and
// answers from a queue.
//
// It puts itself in place of the back-end's dialogs (platform::ScopedDialogs) for as long
// as it lives, so a test only declares one:
//
//   testsupport::RecordingDialogs dialogs;
//   dialogs.Answer(platform::kIdYes);          // the next box answers Yes
//   ... code under test ...
//   EXPECT_EQ(dialogs.boxes.at(0).prompt, "...");
//
// A box with no queued answer gets its default button, read from its flags as Windows
// reads them (a default past the last button is the first). `events` keeps the order of
// everything that happened ("beep", "pointer 0", "box", "pointer 11") for tests of order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/error.h"

namespace testsupport {

struct RecordedBox {
  std::string prompt;
  std::string caption;
  unsigned flags = 0;
  std::int16_t pointerWhileOpen = 0;
  int answer = 0;
};

class RecordingDialogs : public platform::Dialogs {
 public:
  RecordingDialogs() : guard_(*this) {}

  // The code the next box answers with (in the order queued).
  void Answer(int code) { answers_.push_back(code); }
  // The next box raises `error` instead of being shown (and is not recorded).
  template <typename Error>
  void FailNextBox(Error error) {
    failure_ = std::make_exception_ptr(std::move(error));
  }

  // The button a box with these flags takes when the operator just presses Enter.
  static int DefaultButtonOf(unsigned flags) {
    std::vector<int> buttons;
    switch (flags & platform::kMbTypeMask) {
      case platform::kMbYesNoCancel:
        buttons = {platform::kIdYes, platform::kIdNo, platform::kIdCancel};
        break;
      case platform::kMbYesNo:
        buttons = {platform::kIdYes, platform::kIdNo};
        break;
      default:
        buttons = {platform::kIdOk};
    }
    const std::size_t index = (flags & platform::kMbDefaultMask) >> 8;
    return index < buttons.size() ? buttons[index] : buttons[0];
  }

  int ShowMessageBox(const std::string& prompt, const std::string& caption,
                     unsigned flags) override {
    if (failure_) {
      const std::exception_ptr error = failure_;
      failure_ = nullptr;
      events.push_back("box failed");
      std::rethrow_exception(error);
    }
    RecordedBox box{prompt, caption, flags, pointer, DefaultButtonOf(flags)};
    if (!answers_.empty()) {
      box.answer = answers_.front();
      answers_.pop_front();
    }
    boxes.push_back(box);
    events.push_back("box");
    if (onBox) {
      onBox(box);
    }
    return box.answer;
  }

  void Beep() override {
    ++beeps;
    events.push_back("beep");
  }

  std::int16_t MousePointer() override { return pointer; }

  void SetMousePointer(std::int16_t value) override {
    pointer = value;
    events.push_back("pointer " + std::to_string(value));
  }

  std::vector<RecordedBox> boxes;
  std::vector<std::string> events;
  int beeps = 0;
  std::int16_t pointer = platform::kPointerDefault;  // set it to start from another pointer
  std::function<void(const RecordedBox&)> onBox;     // called while each box is open

 private:
  std::deque<int> answers_;
  std::exception_ptr failure_;
  platform::ScopedDialogs guard_;  // last: installs a fully built double
};

}  // namespace testsupport
