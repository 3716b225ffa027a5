#include "platform/text.h"

namespace platform {

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    c = AsciiLower(c);
  }
  return text;
}

std::string TrimSpacesAndTabs(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return std::string();
  }
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool AppendPathNames(std::string_view text, std::vector<std::string>& names,
                     DotsAndSpaces dotsAndSpaces) {
  bool lastDropped = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = start;
    while (end < text.size() && !IsPathSeparator(text[end])) {
      ++end;
    }
    const std::string_view name = text.substr(start, end - start);
    lastDropped = false;
    if (name == "..") {
      if (!names.empty()) {
        names.pop_back();
      }
    } else if (!name.empty() && name != ".") {
      lastDropped = dotsAndSpaces == DotsAndSpaces::kDropped &&
                    name.find_first_not_of(". ") == std::string_view::npos;
      if (!lastDropped) {
        names.emplace_back(name);
      }
    }
    start = end + 1;
  }
  return lastDropped;
}

}  // namespace platform
