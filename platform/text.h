// Small text routines that the platform code and the layers above share: ASCII letter
// case, and the names in a Windows path. Portable code (platform/text.cpp).
//
// Letter case here is ASCII only, whatever the C library's locale says: drive letters,
// commands and answers, and the program's own names are ASCII, and a byte of a UTF-8 or
// GBK character must never change.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// `text` with its ASCII letters in lower case.
std::string AsciiLower(std::string text);

// `text` without the spaces and tabs at its ends: a line the operator typed.
std::string TrimSpacesAndTabs(std::string_view text);

// Sorts `names` by `makeKey(name)`, names with equal keys in byte order: each back-end's
// SortIgnoringCase, with its own case mapping for the key. Each key is made once and the
// sort moves no names: a folder may hold hundreds of thousands.
template <typename MakeKey>
void SortByKey(std::vector<std::string>& names, MakeKey makeKey) {
  std::vector<std::pair<decltype(makeKey(names.front())), std::size_t>> keyed;
  keyed.reserve(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    keyed.emplace_back(makeKey(names[i]), i);
  }
  std::sort(keyed.begin(), keyed.end(), [&names](const auto& a, const auto& b) {
    const int order = a.first.compare(b.first);
    return order != 0 ? order < 0 : names[a.second] < names[b.second];
  });
  std::vector<std::string> sorted;
  sorted.reserve(names.size());
  for (const auto& key : keyed) {
    sorted.push_back(std::move(names[key.second]));
  }
  names = std::move(sorted);
}

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
