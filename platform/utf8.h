// UTF-8 decoding and UTF-16 encoding that the platform's portable code and both back-ends
// share: the escaping of names for display and the report, the log's encodings, and the
// posix stand-in's own text handling. Portable code (platform/utf8.cpp).
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at `position` and advances past it. A malformed or truncated
// sequence (or an encoded surrogate) yields kReplacementCharacter and advances one byte,
// so that each byte of it can be told apart; a U+FFFD that stands in the text advances
// three.
char32_t NextCodePoint(std::string_view text, std::size_t& position);

// Writes `code` as UTF-16 into `units` and returns how many it takes (1 or 2).
inline std::size_t EncodeUtf16(char32_t code, char16_t units[2]) {
  if (code <= 0xFFFF) {
    units[0] = static_cast<char16_t>(code);
    return 1;
  }
  units[0] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
  units[1] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
  return 2;
}

}  // namespace platform
