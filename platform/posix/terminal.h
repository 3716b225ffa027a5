// The terminal that the POSIX stand-in draws its boxes and its window on.
//
// Output goes to standard output. Answers come from standard input one line at a time;
// when standard input is not a terminal (a script feeds it), each line read is echoed
// (escaped like any text that is not the program's own, printable.h) so that a
// transcript shows what was answered. End of input is reported as nothing, and
// every caller then takes its default (a box its default button, the window Cancel).
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/scopedoverride.h"

namespace platform::posix {

class Terminal {
 public:
  Terminal(std::istream& in, std::ostream& out, bool interactive);

  // The process's terminal: std::cin / std::cout, interactive when stdin is a tty.
  static Terminal& Standard();

  // The terminal in use: Standard() unless a test put another in place (ScopedTerminal).
  static Terminal& Current();

  // Writes `prompt` (no line break) and reads one line, without its line break (a CR
  // before the LF is dropped too). Nothing at end of input.
  std::optional<std::string> ReadLine(const std::string& prompt);

  void Write(const std::string& text);
  void Bell();
  bool Interactive() const { return interactive_; }

 private:
  std::istream& in_;
  std::ostream& out_;
  bool interactive_;
};

// Puts `terminal` in place of the current one for as long as the guard lives (for tests).
class ScopedTerminal : public ScopedOverride<Terminal*> {
 public:
  explicit ScopedTerminal(Terminal& terminal);
};

}  // namespace platform::posix
