// The one kind of run-time error in zelfix.
//
// Expected conditions (a missing installation, a missing file, an unreadable value, a
// failed write) are answered with false, an empty text or a count and never raise. What
// does raise is the unexpected: an overflow of a checked counter or of AnsiLength's
// 16-bit result, or a platform call that fails where the program cannot go on. Such an
// error travels up to the nearest handler, which reports its description to the
// operator; the description is therefore written in Chinese.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace common {

class RuntimeError : public std::runtime_error {
 public:
  // `number` classifies the error (see the constants below); `description` is what
  // the operator reads after "发现错误 - ".
  RuntimeError(int number, const std::string& description)
      : std::runtime_error(description), number_(number) {}

  int Number() const { return number_; }
  std::string Description() const { return what(); }

 private:
  int number_;
};

// Error numbers. They follow the classic run-time error numbering so that a number in
// a report means the same thing to anyone who supports the program.
inline constexpr int kOverflowErrorNumber = 6;
inline constexpr int kPlatformErrorNumber = 51;

// The overflow error: a checked counter or a 16-bit length went out of range.
RuntimeError OverflowError();

// Adds one to a checked 32-bit counter; raises OverflowError() instead of wrapping.
void CheckedIncrement(std::int32_t& counter);

}  // namespace common
