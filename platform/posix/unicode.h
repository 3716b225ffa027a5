// Unicode helpers for the POSIX stand-in: UTF-8 decoding, UTF-16 unit counts and
// case-insensitive comparison of names the way Windows compares file and profile names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::posix {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Decodes the character at `position` and advances past it. A malformed or truncated
// sequence (or an encoded surrogate) yields kReplacementCharacter and advances one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& position);

// Appends `code` in UTF-8.
void AppendUtf8(std::string& out, char32_t code);

// How many UTF-16 units the character takes: 2 above U+FFFF, otherwise 1.
inline std::size_t Utf16Units(char32_t code) {
  return code > 0xFFFF ? 2 : 1;
}

// Decodes the character that starts at unit `position` of UTF-16 text, whose units
// `unitAt(i)` gives for i below `end`, and advances past it. A surrogate without its
// partner yields kReplacementCharacter and advances one unit.
template <typename UnitAt>
char32_t NextUtf16CodePoint(UnitAt unitAt, std::size_t& position, std::size_t end) {
  const char32_t unit = unitAt(position++);
  if (unit < 0xD800 || unit > 0xDFFF) {
    return unit;
  }
  if (unit <= 0xDBFF && position < end) {
    const char32_t next = unitAt(position);
    if (next >= 0xDC00 && next <= 0xDFFF) {
      ++position;
      return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
    }
  }
  return kReplacementCharacter;
}

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

// Total UTF-16 units of a UTF-8 text.
std::size_t Utf16Length(std::string_view text);

// The longest prefix of `text` that takes at most `units` UTF-16 units, never ending in
// the middle of a character.
std::string_view Utf16Prefix(std::string_view text, std::size_t units);

// Lower-case mapping of one character (full Unicode simple case mapping).
char32_t FoldCase(char32_t code);

// The whole UTF-8 text lower-cased, for sorting names without regard to case.
std::string FoldCase(std::string_view text);

// Compares two UTF-8 names without regard to letter case.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

// Sorts UTF-8 names by their FoldCase, names that fold alike in byte order. Each name is
// folded once: a folder may hold hundreds of thousands.
void SortIgnoringCase(std::vector<std::string>& names);

}  // namespace platform::posix
