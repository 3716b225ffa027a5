#include "platform/posix/terminal.h"

#include <unistd.h>

#include <iostream>

#include "platform/printable.h"

namespace platform::posix {

namespace {
Terminal* current = nullptr;
}

Terminal::Terminal(std::istream& in, std::ostream& out, bool interactive)
    : in_(in), out_(out), interactive_(interactive) {}

Terminal& Terminal::Standard() {
  static Terminal standard(std::cin, std::cout, isatty(STDIN_FILENO) == 1);
  return standard;
}

Terminal& Terminal::Current() {
  return current != nullptr ? *current : Standard();
}

ScopedTerminal::ScopedTerminal(Terminal& terminal) : ScopedOverride(current, &terminal) {}

std::optional<std::string> Terminal::ReadLine(const std::string& prompt) {
  out_ << prompt << std::flush;
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << '\n' << std::flush;
    return std::nullopt;
  }
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  if (!interactive_) {
    out_ << Printable(line) << '\n' << std::flush;
  }
  return line;
}

void Terminal::Write(const std::string& text) {
  out_ << text << std::flush;
}

void Terminal::Bell() {
  out_ << '\a' << std::flush;
}

}  // namespace platform::posix
