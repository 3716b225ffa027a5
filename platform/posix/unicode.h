// Unicode helpers for the POSIX stand-in: UTF-8 decoding, UTF-16 unit counts and
// case-insensitive comparison of names the way Windows compares file and profile names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/utf8.h"

namespace platform::posix {

// Shared with the portable code (platform/utf8.h).
using platform::EncodeUtf16;
using platform::kReplacementCharacter;
using platform::NextCodePoint;

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
