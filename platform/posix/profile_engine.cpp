#include "platform/posix/profile_engine.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/posix/gbk.h"
#include "platform/posix/unicode.h"
#include "platform/text.h"

namespace platform::posix::profile {

namespace {

// Blanks around names and values; Ctrl-Z is one because old DOS editors end files with it.
bool IsBlank(std::uint32_t unit) {
  return unit == ' ' || unit == '\t' || unit == '\v' || unit == '\f' || unit == '\r' ||
         unit == 0x1A;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

// Whether `text` is well-formed UTF-8 and, unless `allowReplacement`, free of U+FFFD. A
// name asked for never holds U+FFFD, so undecodable bytes in a file (read as U+FFFD)
// can never match one.
bool IsCleanUtf8(std::string_view text, bool allowReplacement) {
  for (std::size_t position = 0; position < text.size();) {
    const std::size_t before = position;
    if (NextCodePoint(text, position) == kReplacementCharacter &&
        (!allowReplacement || position - before == 1)) {
      return false;
    }
  }
  return true;
}

// The file as a sequence of code units after its byte-order mark: bytes for ANSI and
// UTF-8, 16-bit units for UTF-16. Line breaks, "=", ";", NUL and blanks are single units
// in every encoding we accept - also in GBK, whose trail bytes are never below 0x40 - so
// lines and the "=" of an entry are found on units. "[" and "]" are not (a GBK trail
// byte can be either), so section names are decoded before they are looked at.
class Units {
 public:
  Units(std::string_view bytes, Encoding encoding) : bytes_(bytes), encoding_(encoding) {
    switch (encoding) {
      case Encoding::kUtf8:
        start_ = 3;
        break;
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be:
        start_ = 2;
        width_ = 2;
        break;
      default:
        break;
    }
    start_ = std::min(start_, bytes.size());
    size_ = (bytes.size() - start_) / width_;
  }

  std::size_t size() const { return size_; }
  std::size_t width() const { return width_; }
  Encoding encoding() const { return encoding_; }
  // A UTF-16 file with an odd number of bytes ends in half a unit.
  bool HasLooseByte() const { return start_ + size_ * width_ != bytes_.size(); }
  std::size_t ByteOffset(std::size_t unit) const { return start_ + unit * width_; }

  std::uint32_t operator[](std::size_t i) const {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.data()) + start_;
    if (width_ == 1) {
      return data[i];
    }
    const unsigned first = data[2 * i];
    const unsigned second = data[2 * i + 1];
    return encoding_ == Encoding::kUtf16Le ? (second << 8 | first) : (first << 8 | second);
  }

  // The first unit at or after `from` that is a line break, or size().
  std::size_t FindBreak(std::size_t from) const {
    if (width_ == 1) {
      const char* p = bytes_.data() + start_ + from;
      const char* const end = bytes_.data() + start_ + size_;
      while (p != end && *p != '\n' && *p != '\r') {
        ++p;
      }
      return static_cast<std::size_t>(p - (bytes_.data() + start_));
    }
    while (from < size_ && (*this)[from] != '\n' && (*this)[from] != '\r') {
      ++from;
    }
    return from;
  }

  // The first unit in [from, to) equal to `unit`, or `to`.
  std::size_t Find(std::size_t from, std::size_t to, std::uint32_t unit) const {
    if (from == to) {
      return to;
    }
    if (width_ == 1) {
      const void* hit =
          std::memchr(bytes_.data() + start_ + from, static_cast<int>(unit), to - from);
      return hit == nullptr ? to
                            : static_cast<std::size_t>(static_cast<const char*>(hit) -
                                                       (bytes_.data() + start_));
    }
    while (from < to && (*this)[from] != unit) {
      ++from;
    }
    return from;
  }

  bool AllAscii(std::size_t begin, std::size_t end) const {
    for (std::size_t i = begin; i < end; ++i) {
      if ((*this)[i] >= 0x80) {
        return false;
      }
    }
    return true;
  }

  // The units [begin, end) as UTF-8; bytes that are not valid text become U+FFFD.
  std::string Decode(std::size_t begin, std::size_t end) const {
    std::string text;
    if (AllAscii(begin, end)) {
      text.reserve(end - begin);
      for (std::size_t i = begin; i < end; ++i) {
        text += static_cast<char>((*this)[i]);
      }
      return text;
    }
    const std::string_view raw =
        bytes_.substr(ByteOffset(begin), ByteOffset(end) - ByteOffset(begin));
    switch (encoding_) {
      case Encoding::kAnsi:
        return GbkToUtf8(raw);
      case Encoding::kUtf8:
        text.reserve(raw.size());
        for (std::size_t position = 0; position < raw.size();) {
          AppendUtf8(text, NextCodePoint(raw, position));
        }
        return text;
      default:
        for (std::size_t i = begin; i < end; ++i) {
          char32_t code = (*this)[i];
          if (code >= 0xD800 && code <= 0xDBFF && i + 1 < end && (*this)[i + 1] >= 0xDC00 &&
              (*this)[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + ((*this)[i + 1] - 0xDC00);
            ++i;
          } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacementCharacter;
          }
          AppendUtf8(text, code);
        }
        return text;
    }
  }

  // `text` (well-formed UTF-8) in the file's encoding, or nothing when the encoding cannot
  // hold it exactly.
  std::optional<std::string> Encode(std::string_view text) const {
    switch (encoding_) {
      case Encoding::kAnsi: {
        std::optional<std::string> encoded = Utf8ToGbk(text);
        // A conversion that maps two characters to the same bytes would read back as the
        // other one; only a faithful round trip is written.
        if (!encoded || GbkToUtf8(*encoded) != text) {
          return std::nullopt;
        }
        return encoded;
      }
      case Encoding::kUtf8:
        return std::string(text);
      case Encoding::kUtf16Le:
      case Encoding::kUtf16Be: {
        std::string out;
        out.reserve(text.size() * 2);
        const auto put = [&](char32_t unit) {
          const char high = static_cast<char>(unit >> 8);
          const char low = static_cast<char>(unit & 0xFF);
          out += encoding_ == Encoding::kUtf16Le ? low : high;
          out += encoding_ == Encoding::kUtf16Le ? high : low;
        };
        for (std::size_t position = 0; position < text.size();) {
          const char32_t code = NextCodePoint(text, position);
          if (code > 0xFFFF) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
          } else {
            put(code);
          }
        }
        return out;
      }
      default:
        return std::nullopt;
    }
  }

 private:
  std::string_view bytes_;
  Encoding encoding_;
  std::size_t start_ = 0;
  std::size_t width_ = 1;
  std::size_t size_ = 0;
};

// One line: content units [begin, end), its line break [end, next). Only the file's last
// line can lack a break (end == next).
struct Line {
  std::size_t begin = 0, end = 0, next = 0;
};

Line LineAt(const Units& units, std::size_t begin) {
  Line line;
  line.begin = begin;
  line.end = units.FindBreak(begin);
  line.next = line.end;
  if (line.next < units.size()) {
    const bool crLf =
        units[line.next] == '\r' && line.next + 1 < units.size() && units[line.next + 1] == '\n';
    line.next += crLf ? 2 : 1;
  }
  return line;
}

bool IsBlankLine(const Units& units, const Line& line) {
  for (std::size_t i = line.begin; i < line.end; ++i) {
    if (!IsBlank(units[i])) {
      return false;
    }
  }
  return true;
}

enum class Kind { kNothing, kSection, kEntry };

// What one line means. Parsing stops at a NUL; what follows it is kept but not read.
struct Parsed {
  Kind kind = Kind::kNothing;
  bool blank = false;          // nothing but blanks on the line
  std::string section;         // kSection: the name, blanks removed
  std::size_t keyBegin = 0;    // kEntry: the key's units, blanks removed
  std::size_t keyEnd = 0;      //
  std::size_t valueBegin = 0;  // kEntry: the value's units, blanks removed (quotes kept)
  std::size_t valueEnd = 0;    //
};

// `wantEntries` false: only section lines are told apart, which is all that is needed
// outside the section looked for and keeps that part of the scan cheap.
Parsed Parse(const Units& units, const Line& line, bool wantEntries) {
  Parsed parsed;
  const std::size_t stop = units.Find(line.begin, line.end, 0);
  std::size_t first = line.begin;
  while (first < stop && IsBlank(units[first])) {
    ++first;
  }
  parsed.blank = first == line.end;
  if (first == stop || units[first] == ';') {
    return parsed;
  }
  if (units[first] == '[' && units.Find(first + 1, stop, ']') != stop) {
    // Only a decoded "]" counts: in GBK the byte may be the second half of a character.
    const std::string rest = units.Decode(first + 1, stop);
    const std::size_t close = rest.rfind(']');
    if (close != std::string::npos) {
      parsed.kind = Kind::kSection;
      parsed.section = std::string(Trim(std::string_view(rest).substr(0, close)));
      return parsed;
    }
  }
  if (!wantEntries) {
    return parsed;
  }
  const std::size_t equals = units.Find(first, stop, '=');
  if (equals == stop) {
    return parsed;
  }
  parsed.kind = Kind::kEntry;
  parsed.keyBegin = first;
  parsed.keyEnd = equals;
  while (parsed.keyEnd > parsed.keyBegin && IsBlank(units[parsed.keyEnd - 1])) {
    --parsed.keyEnd;
  }
  parsed.valueBegin = equals + 1;
  while (parsed.valueBegin < stop && IsBlank(units[parsed.valueBegin])) {
    ++parsed.valueBegin;
  }
  parsed.valueEnd = stop;
  while (parsed.valueEnd > parsed.valueBegin && IsBlank(units[parsed.valueEnd - 1])) {
    --parsed.valueEnd;
  }
  return parsed;
}

// A name looked for, blanks removed; the common case of two ASCII names is compared
// without decoding the file's text.
struct Wanted {
  explicit Wanted(std::string_view name) : text(Trim(name)), ascii(IsAscii(text)) {}
  std::string_view text;
  bool ascii;
};

// Whether the ASCII units [begin, end) spell `name` (ASCII) without regard to case.
bool AsciiEqualIgnoringCase(const Units& units, std::size_t begin, std::size_t end,
                            std::string_view name) {
  if (end - begin != name.size()) {
    return false;
  }
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (AsciiLower(static_cast<char>(units[begin + i])) != AsciiLower(name[i])) {
      return false;
    }
  }
  return true;
}

bool KeyMatches(const Units& units, std::size_t begin, std::size_t end, const Wanted& key) {
  const bool ascii = units.AllAscii(begin, end);
  // Only U+0130 and U+212A lower-case to ASCII letters, and GBK has neither: a GBK key
  // that is not all ASCII cannot match an ASCII name, and need not be decoded.
  if (key.ascii && !ascii && units.encoding() == Encoding::kAnsi) {
    return false;
  }
  if (key.ascii && ascii) {
    return AsciiEqualIgnoringCase(units, begin, end, key.text);
  }
  return EqualIgnoringCase(units.Decode(begin, end), key.text);
}

// Where a section and a key are, as reading finds them: the first section of that name,
// and the first entry of that key in it.
struct Location {
  bool sectionFound = false;
  Line lastFilled;  // the section's last line that is not blank (its header at least)
  bool keyFound = false;
  Parsed entry;  // the key's line
  bool anyLine = false;
  Line lastLine;  // the file's last line, when the section was not found
};

// Whether the "[" at `bracket` may open the section `name`: most section lines can be
// told apart by the first character of their name, which settles it without looking for
// the "]". Only an ASCII character is compared: a name in ASCII may still match other
// characters without regard to case (the Kelvin sign is a "k").
bool MayOpen(const Units& units, std::size_t bracket, const Wanted& name) {
  std::size_t first = bracket + 1;
  while (first < units.size() && units[first] != '\r' && IsBlank(units[first])) {
    ++first;
  }
  if (first == units.size()) {
    return false;
  }
  const std::uint32_t unit = units[first];
  if (unit == '\n' || unit == '\r' || unit == 0) {
    return false;  // the line, or what is read of it, ends before any "]"
  }
  return !name.ascii || unit >= 0x80 ||
         AsciiLower(static_cast<char>(unit)) == AsciiLower(name.text.front());
}

// The start of the first line at or after `from` (itself the start of a line) whose first
// non-blank unit is a "[" that may open the section `name`, or units.size(). Outside the
// section looked for nothing else matters, so in a file of bytes the scan jumps from one
// "[" to the next instead of going over every line.
std::size_t NextSectionLine(const Units& units, std::size_t from, const Wanted& name) {
  if (units.width() != 1) {
    for (std::size_t position = from; position < units.size();) {
      const Line line = LineAt(units, position);
      std::size_t first = line.begin;
      while (first < line.end && IsBlank(units[first])) {
        ++first;
      }
      if (first < line.end && units[first] == '[' && MayOpen(units, first, name)) {
        return position;
      }
      position = line.next;
    }
    return units.size();
  }
  // Everything before `floor` has been looked at: `floor` is `from`, or follows a "["
  // that does not begin its line or cannot open the section. Each unit is walked over
  // at most once more.
  for (std::size_t floor = from;;) {
    const std::size_t bracket = units.Find(floor, units.size(), '[');
    if (bracket == units.size()) {
      return bracket;
    }
    std::size_t begin = bracket;
    while (begin > floor && units[begin - 1] != '\r' && IsBlank(units[begin - 1])) {
      --begin;
    }
    const bool startsLine =
        begin == floor ? floor == from : (units[begin - 1] == '\n' || units[begin - 1] == '\r');
    if (startsLine && MayOpen(units, bracket, name)) {
      return begin;
    }
    floor = bracket + 1;
  }
}

// Whether `line` opens the section `name`. A line and a name both in ASCII are compared
// where they lie; anything else is decoded, as Parse does.
bool OpensSection(const Units& units, const Line& line, const Wanted& name) {
  const std::size_t stop = units.Find(line.begin, line.end, 0);
  std::size_t first = line.begin;
  while (first < stop && IsBlank(units[first])) {
    ++first;
  }
  if (first == stop || units[first] != '[') {
    return false;
  }
  if (!name.ascii || !units.AllAscii(first + 1, stop)) {
    const Parsed parsed = Parse(units, line, false);
    return parsed.kind == Kind::kSection && EqualIgnoringCase(parsed.section, name.text);
  }
  std::size_t close = stop;
  while (close > first + 1 && units[close - 1] != ']') {
    --close;
  }
  if (close == first + 1) {
    return false;  // no "]"
  }
  std::size_t begin = first + 1;
  std::size_t end = close - 1;
  while (begin < end && IsBlank(units[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(units[end - 1])) {
    --end;
  }
  return AsciiEqualIgnoringCase(units, begin, end, name.text);
}

// The file's last line; the file holds at least one unit.
Line LastLine(const Units& units) {
  Line line;
  line.next = units.size();
  line.end = line.next;
  if (units[line.end - 1] == '\n' || units[line.end - 1] == '\r') {
    --line.end;
    if (units[line.end] == '\n' && line.end > 0 && units[line.end - 1] == '\r') {
      --line.end;
    }
  }
  line.begin = line.end;
  while (line.begin > 0 && units[line.begin - 1] != '\n' && units[line.begin - 1] != '\r') {
    --line.begin;
  }
  return line;
}

Location Find(const Units& units, const Wanted& section, const Wanted& key) {
  Location location;
  // The lines before the first section count as a nameless section whose entries are
  // never found; being the first of that name, it hides any later "[]", as in Wine.
  if (section.text.empty()) {
    return location;
  }
  std::size_t position = 0;
  while (!location.sectionFound) {
    position = NextSectionLine(units, position, section);
    if (position == units.size()) {
      location.anyLine = units.size() > 0;
      if (location.anyLine) {
        location.lastLine = LastLine(units);
      }
      return location;
    }
    const Line line = LineAt(units, position);
    position = line.next;
    if (OpensSection(units, line, section)) {
      location.sectionFound = true;
      location.lastFilled = line;
    }
  }
  while (position < units.size()) {
    const Line line = LineAt(units, position);
    position = line.next;
    const Parsed parsed = Parse(units, line, true);
    if (parsed.kind == Kind::kSection) {
      break;  // a later section of the same name is never consulted
    }
    if (!parsed.blank) {
      location.lastFilled = line;
    }
    if (parsed.kind == Kind::kEntry && KeyMatches(units, parsed.keyBegin, parsed.keyEnd, key)) {
      location.keyFound = true;
      location.entry = parsed;
      break;
    }
  }
  return location;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A name that can be looked up: well-formed, and nothing that no line could hold.
bool IsSearchable(std::string_view name) {
  return IsCleanUtf8(name, false) && !HasLineBreakOrNul(name);
}

// The line break the file already uses (its first one), CR LF when it has none.
std::string LineBreakOf(const Units& units) {
  if (units.size() == 0) {
    return "\r\n";
  }
  const Line first = LineAt(units, 0);
  if (first.next == first.end) {
    return "\r\n";
  }
  if (first.next - first.end == 2) {
    return "\r\n";
  }
  return units[first.end] == '\n' ? "\n" : "\r";
}

std::string Splice(std::string_view bytes, std::size_t from, std::size_t to,
                   std::string_view replacement) {
  std::string out;
  out.reserve(bytes.size() - (to - from) + replacement.size());
  out.append(bytes.substr(0, from));
  out.append(replacement);
  out.append(bytes.substr(to));
  return out;
}

// Whether the file's NULs fall as in UTF-16 or UTF-32 text (the header says how this is
// judged), and in which byte order.
enum class WideText { kNo, kLittleEndian, kBigEndian };

// Fewer NULs beside text than this are taken for stray ones.
constexpr std::size_t kWideEvidence = 4;

WideText LooksWide(std::string_view bytes) {
  if (std::memchr(bytes.data(), 0, bytes.size()) == nullptr) {
    return WideText::kNo;  // nearly every file: nothing to count
  }
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t pairs[2] = {0, 0};   // [0]: text then NUL (LE), [1]: NUL then text (BE)
  std::size_t groups[2] = {0, 0};  // [0]: text, text, NUL, NUL (LE), [1]: the mirror (BE)
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if ((data[i] == 0) != (data[i + 1] == 0)) {
      ++pairs[data[i] == 0];
    }
  }
  for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
    const bool low = (data[i] | data[i + 1]) == 0, high = (data[i + 2] | data[i + 3]) == 0;
    if (low != high) {
      ++groups[low];
    }
  }
  const auto outweighs = [](std::size_t one, std::size_t other) {
    return one >= kWideEvidence && one >= kWideEvidence * other;
  };
  if (outweighs(pairs[0], pairs[1]) || outweighs(groups[0], groups[1])) {
    return WideText::kLittleEndian;
  }
  if (outweighs(pairs[1], pairs[0]) || outweighs(groups[1], groups[0])) {
    return WideText::kBigEndian;
  }
  return WideText::kNo;
}

}  // namespace

Encoding DetectEncoding(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const auto startsWith = [&](std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
  };
  if (startsWith("\xEF\xBB\xBF")) {
    return Encoding::kUtf8;
  }
  // UTF-32's marks begin or end with UTF-16's; we hold no UTF-32 text.
  if (startsWith(std::string_view("\xFF\xFE\0\0", 4)) ||
      startsWith(std::string_view("\0\0\xFE\xFF", 4))) {
    return Encoding::kUnrecognised;
  }
  const WideText wide = LooksWide(bytes);
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    return wide == WideText::kBigEndian ? Encoding::kUnrecognised : Encoding::kUtf16Le;
  }
  if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    return wide == WideText::kLittleEndian ? Encoding::kUnrecognised : Encoding::kUtf16Be;
  }
  return wide == WideText::kNo ? Encoding::kAnsi : Encoding::kUnrecognised;
}

namespace {

// The written file, unless it no longer reads in the encoding it had: bytes put in or
// taken out move the NULs after them, and an ANSI file with NULs beside text could then
// look like wide text.
std::optional<std::string> InSameEncoding(std::string written, Encoding encoding) {
  if (DetectEncoding(written) != encoding) {
    return std::nullopt;
  }
  return written;
}

}  // namespace

std::optional<std::string> ReadValue(std::string_view bytes, std::string_view section,
                                     std::string_view key) {
  const Encoding encoding = DetectEncoding(bytes);
  if (encoding == Encoding::kUnrecognised || !IsSearchable(section) || !IsSearchable(key)) {
    return std::nullopt;
  }
  const Units units(bytes, encoding);
  const Location location = Find(units, Wanted(section), Wanted(key));
  if (!location.keyFound) {
    return std::nullopt;
  }
  std::string value = units.Decode(location.entry.valueBegin, location.entry.valueEnd);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::optional<std::string> WriteValue(std::string_view bytes, std::string_view section,
                                      std::string_view key, std::string_view value) {
  const Encoding encoding = DetectEncoding(bytes);
  if (encoding == Encoding::kUnrecognised) {
    return std::nullopt;
  }
  const Units units(bytes, encoding);
  if (units.HasLooseByte()) {
    return std::nullopt;  // anything appended after half a unit would be unreadable
  }
  if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value) ||
      !IsCleanUtf8(section, false) || !IsCleanUtf8(key, false) || !IsCleanUtf8(value, true)) {
    return std::nullopt;
  }
  const Wanted wantedSection(section);
  const Wanted wantedKey(key);
  const std::string_view name = wantedSection.text;
  const std::string_view keyName = wantedKey.text;
  // Each of these would make the written line read as something else.
  if (name.empty() || name.find(']') != std::string_view::npos || keyName.empty() ||
      keyName.find('=') != std::string_view::npos || keyName.front() == '[' ||
      keyName.front() == ';') {
    return std::nullopt;
  }

  const Location location = Find(units, wantedSection, wantedKey);
  if (location.keyFound) {
    const std::optional<std::string> encoded = units.Encode(value);
    if (!encoded) {
      return std::nullopt;
    }
    return InSameEncoding(Splice(bytes, units.ByteOffset(location.entry.valueBegin),
                                 units.ByteOffset(location.entry.valueEnd), *encoded),
                          encoding);
  }

  const std::string lineBreak = LineBreakOf(units);
  std::string text;
  std::size_t at = 0;
  if (location.sectionFound) {
    const Line& last = location.lastFilled;
    if (last.next == last.end) {
      text += lineBreak;
    }
    at = last.next;
  } else {
    if (location.anyLine) {
      const Line& last = location.lastLine;
      if (last.next == last.end) {
        text += lineBreak;
      }
      if (!IsBlankLine(units, last)) {
        text += lineBreak;  // a blank line between the last section and the new one
      }
    }
    text.append("[").append(name).append("]").append(lineBreak);
    at = units.size();
  }
  text.append(keyName).append("=").append(value).append(lineBreak);
  // A CR followed by an LF is one break: where a new break meets a neighbouring one that
  // way, it is made CR LF itself, so that no line is swallowed.
  if (text.front() == '\n' && at > 0 && units[at - 1] == '\r') {
    text.insert(0, "\r");
  }
  if (text.back() == '\r' && at < units.size() && units[at] == '\n') {
    text += '\n';
  }
  const std::optional<std::string> encoded = units.Encode(text);
  if (!encoded) {
    return std::nullopt;
  }
  const std::size_t offset = units.ByteOffset(at);
  return InSameEncoding(Splice(bytes, offset, offset, *encoded), encoding);
}

}  // namespace platform::posix::profile
