#include "platform/printable.h"

#include "platform/utf8.h"

namespace platform {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsControl(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// Invisible characters that reorder, join, hide or break the text around them.
bool IsFormatCharacter(char32_t code) {
  static constexpr struct {
    char32_t first, last;
  } kRanges[] = {
      {0x00AD, 0x00AD}, {0x061C, 0x061C}, {0x180E, 0x180E}, {0x200B, 0x200F}, {0x2028, 0x202E},
      {0x2060, 0x2064}, {0x2066, 0x2069}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0xE0000, 0xE007F},
  };
  for (const auto& range : kRanges) {
    if (code >= range.first && code <= range.last) {
      return true;
    }
  }
  return false;
}

// A name's CR or LF as the program holds it (posix/winpath.h).
bool IsLineBreakStandIn(char32_t code) {
  return code == 0xF000 + U'\r' || code == 0xF000 + U'\n';
}

// Whether the character starting at `position` is shown escaped; `length` is its size
// in bytes, `code` the character.
bool Escaped(std::string_view text, std::size_t position, std::size_t& length, char32_t& code) {
  std::size_t next = position;
  code = NextCodePoint(text, next);
  length = next - position;
  // A replacement character decoded from a single byte was a malformed sequence; one
  // that stands in the text takes three bytes.
  return IsControl(code) || IsFormatCharacter(code) || IsLineBreakStandIn(code) ||
         (code == kReplacementCharacter && length == 1);
}

void AppendEscape(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    std::size_t length = 0;
    char32_t code = 0;
    if (Escaped(text, position, length, code)) {
      if (IsLineBreakStandIn(code)) {
        AppendEscape(out, static_cast<unsigned char>(code - 0xF000));
      } else {
        for (std::size_t i = 0; i < length; ++i) {
          AppendEscape(out, static_cast<unsigned char>(text[position + i]));
        }
      }
    } else if (text[position] == '\\') {
      const std::size_t next = position + 1;
      std::size_t nextLength = 0;
      char32_t nextCode = 0;
      const bool looksLikeEscape =
          next < text.size() && (text[next] == '\\' || Escaped(text, next, nextLength, nextCode) ||
                                 (text[next] == 'x' && next + 2 < text.size() &&
                                  IsHexDigit(text[next + 1]) && IsHexDigit(text[next + 2])));
      out += looksLikeEscape ? "\\\\" : "\\";
    } else {
      out.append(text, position, length);
    }
    position += length;
  }
  return out;
}

std::string ReportCell(std::string_view text) {
  if (text.empty()) {
    return std::string();
  }
  switch (text.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
      return "'" + Printable(text);
    case '\'': {
      std::string cell;
      AppendEscape(cell, '\'');
      return cell + Printable(text.substr(1));
    }
    default:
      return Printable(text);
  }
}

}  // namespace platform
