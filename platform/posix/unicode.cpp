#include "platform/posix/unicode.h"

#include <locale.h>
#include <wctype.h>

#include "platform/text.h"

namespace platform::posix {

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::size_t Utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t position = 0; position < text.size();) {
    units += Utf16Units(NextCodePoint(text, position));
  }
  return units;
}

std::string_view Utf16Prefix(std::string_view text, std::size_t units) {
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t next = position;
    const std::size_t needed = Utf16Units(NextCodePoint(text, next));
    if (needed > units) {
      break;
    }
    units -= needed;
    position = next;
  }
  return text.substr(0, position);
}

char32_t FoldCase(char32_t code) {
  if (code < 0x80) {
    return (code >= 'A' && code <= 'Z') ? code + ('a' - 'A') : code;
  }
  // The C.UTF-8 locale carries the Unicode case tables, whatever the process locale.
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (unicode == static_cast<locale_t>(0)) {
    return code;
  }
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), unicode));
}

std::string FoldCase(std::string_view text) {
  std::string folded;
  folded.reserve(text.size());
  for (std::size_t position = 0; position < text.size();) {
    AppendUtf8(folded, FoldCase(NextCodePoint(text, position)));
  }
  return folded;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) {
      return false;
    }
  }
  return i == a.size() && j == b.size();
}

void SortIgnoringCase(std::vector<std::string>& names) {
  SortByKey(names, [](const std::string& name) { return FoldCase(name); });
}

}  // namespace platform::posix
