// Small text routines that the platform code and the layers above share: ASCII letter
// case, and the names in a Windows path. Portable code (platform/text.cpp).
//
// Letter case here is ASCII only, whatever the C library's locale says: drive letters,
// commands and answers, and the program's own names are ASCII, and a byte of a UTF-8 or
// GBK character must never change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool IsAsciiLetter(char c) {
  return AsciiLower(c) >= 'a' && AsciiLower(c) <= 'z';
}

// `text` with its ASCII letters in lower case.
std::string AsciiLowerCase(std::string text);

// `text` without the spaces and tabs at its ends: a line the operator typed.
std::string TrimSpacesAndTabs(std::string_view text);

// Windows takes both "\" and "/" for a separator between folders.
inline bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}

// What AppendPathNames does with a name of only dots and spaces other than "." and ".."
// ("...", " "): keep it as written, or drop it as Windows does.
enum class DotsAndSpaces { kKept, kDropped };

// Appends the names of `text` (a Windows path without its drive, or a part of one) to
// `names`, resolving "." and ".." by the text alone: the pieces between separators, with
// empty pieces and "." skipped, and ".." taking back the name before it (nothing when
// there is none, as at a drive's root). Returns whether the last piece was a name of
// only dots and spaces that was dropped.
bool AppendPathNames(std::string_view text, std::vector<std::string>& names,
                     DotsAndSpaces dotsAndSpaces);

}  // namespace platform
