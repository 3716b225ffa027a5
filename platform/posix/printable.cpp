#include "platform/posix/printable.h"

#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsControl(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// A name's CR or LF as the program holds it (winpath.h).
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
  return IsControl(code) || IsLineBreakStandIn(code) ||
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

}  // namespace platform::posix
