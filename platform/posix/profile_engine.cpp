#include "platform/posix/profile_engine.h"

#include <cstdint>

#include "platform/posix/profile_text.h"
#include "platform/posix/unicode.h"
#include "platform/text.h"

namespace platform::posix::profile {

namespace {

// The blanks a profile ignores around names and values: more than the spaces of
// common::IsBlank or the spaces and tabs of a typed line (TrimSpacesAndTabs). Ctrl-Z is
// one because old DOS editors end files with it.
bool IsProfileBlank(std::uint32_t unit) {
  return unit == ' ' || unit == '\t' || unit == '\v' || unit == '\f' || unit == '\r' ||
         unit == 0x1A;
}

std::string_view TrimProfileBlanks(std::string_view text) {
  while (!text.empty() && IsProfileBlank(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsProfileBlank(static_cast<unsigned char>(text.back()))) {
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

// A name looked for, blanks removed; the common case of two ASCII names is compared
// without decoding the file's text.
struct Wanted {
  explicit Wanted(std::string_view name) : text(TrimProfileBlanks(name)), ascii(IsAscii(text)) {}
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

// The rest of OpensSection, once the first unit of the name (`nameBegin`) is known: kept
// apart so that the part before, which settles nearly every line of a large file, is
// small enough to be inlined into the scan.
bool ClosesSection(const Units& units, std::size_t first, std::size_t nameBegin,
                   const Wanted* name) {
  std::size_t stop = nameBegin;
  while (stop < units.size() && units[stop] != '\n' && units[stop] != '\r' && units[stop] != 0) {
    ++stop;
  }
  if (!units.AllAscii(first + 1, stop)) {
    // Only a decoded "]" counts: in GBK the byte may be the second half of a character.
    const std::string rest = units.Decode(first + 1, stop);
    const std::size_t close = rest.rfind(']');
    return close != std::string::npos &&
           (name == nullptr ||
            EqualIgnoringCase(TrimProfileBlanks(std::string_view(rest).substr(0, close)),
                              name->text));
  }
  std::size_t nameEnd = stop;
  while (nameEnd > nameBegin && units[nameEnd - 1] != ']') {
    --nameEnd;
  }
  if (nameEnd == nameBegin) {
    return false;  // no "]"
  }
  --nameEnd;
  while (nameEnd > nameBegin && IsProfileBlank(units[nameEnd - 1])) {
    --nameEnd;
  }
  if (name == nullptr) {
    return true;
  }
  return name->ascii ? AsciiEqualIgnoringCase(units, nameBegin, nameEnd, name->text)
                     : EqualIgnoringCase(units.Decode(nameBegin, nameEnd), name->text);
}

// Whether the line whose first non-blank unit is at `first` opens a section - the section
// `name`, when one is given: that unit is "[", and a "]" follows before the end of what
// is read of the line (its break, or a NUL); the name is what lies between the "[" and
// the last "]", blanks removed. Every reader of section lines asks here.
inline bool OpensSection(const Units& units, std::size_t first, const Wanted* name = nullptr) {
  if (units[first] != '[') {
    return false;
  }
  std::size_t nameBegin = first + 1;
  while (nameBegin < units.size() && units[nameBegin] != '\r' && IsProfileBlank(units[nameBegin])) {
    ++nameBegin;
  }
  // Most section lines differ from the one looked for in the first character of their
  // name, which settles it before the "]" is looked for. Only an ASCII character is
  // compared: an ASCII name may still match other characters without regard to case (the
  // Kelvin sign is a "k").
  if (name != nullptr && name->ascii && nameBegin < units.size() && units[nameBegin] < 0x80 &&
      AsciiLower(static_cast<char>(units[nameBegin])) != AsciiLower(name->text.front())) {
    return false;
  }
  return ClosesSection(units, first, nameBegin, name);
}

enum class Kind { kNothing, kSection, kEntry };

// What one line means. Parsing stops at a NUL; what follows it is kept but not read.
struct Parsed {
  Kind kind = Kind::kNothing;
  bool blank = false;          // nothing but blanks on the line
  std::size_t keyBegin = 0;    // kEntry: the key's units, blanks removed
  std::size_t keyEnd = 0;      //
  std::size_t valueBegin = 0;  // kEntry: the value's units, blanks removed (quotes kept)
  std::size_t valueEnd = 0;    //
};

Parsed Parse(const Units& units, const Line& line) {
  Parsed parsed;
  const std::size_t stop = units.Find(line.begin, line.end, 0);
  std::size_t first = line.begin;
  while (first < stop && IsProfileBlank(units[first])) {
    ++first;
  }
  parsed.blank = first == line.end;
  if (first == stop || units[first] == ';') {
    return parsed;
  }
  if (OpensSection(units, first)) {
    parsed.kind = Kind::kSection;
    return parsed;
  }
  const std::size_t equals = units.Find(first, stop, '=');
  if (equals == stop) {
    return parsed;
  }
  parsed.kind = Kind::kEntry;
  parsed.keyBegin = first;
  parsed.keyEnd = equals;
  while (parsed.keyEnd > parsed.keyBegin && IsProfileBlank(units[parsed.keyEnd - 1])) {
    --parsed.keyEnd;
  }
  parsed.valueBegin = equals + 1;
  while (parsed.valueBegin < stop && IsProfileBlank(units[parsed.valueBegin])) {
    ++parsed.valueBegin;
  }
  parsed.valueEnd = stop;
  while (parsed.valueEnd > parsed.valueBegin && IsProfileBlank(units[parsed.valueEnd - 1])) {
    --parsed.valueEnd;
  }
  return parsed;
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

// The start of the first line at or after `from` (itself the start of a line) that opens
// the section `name`, or units.size(). Outside the section looked for only section lines
// matter, so the scan jumps from one "[" to the next instead of going over every line.
std::size_t NextSectionLine(const Units& units, std::size_t from, const Wanted& name) {
  // Everything before `floor` has been looked at: `floor` is `from`, or follows a "["
  // that does not begin its line or does not open the section. Each unit is walked over
  // at most once more.
  for (std::size_t floor = from;;) {
    const std::size_t bracket = units.Find(floor, units.size(), '[');
    if (bracket == units.size()) {
      return bracket;
    }
    std::size_t begin = bracket;
    while (begin > floor && units[begin - 1] != '\r' && IsProfileBlank(units[begin - 1])) {
      --begin;
    }
    const bool startsLine =
        begin == floor ? floor == from : (units[begin - 1] == '\n' || units[begin - 1] == '\r');
    if (startsLine && OpensSection(units, bracket, &name)) {
      return begin;
    }
    floor = bracket + 1;
  }
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
  std::size_t position = NextSectionLine(units, 0, section);
  if (position == units.size()) {
    location.anyLine = units.size() > 0;
    if (location.anyLine) {
      location.lastLine = LastLine(units);
    }
    return location;
  }
  const Line header = LineAt(units, position);
  location.sectionFound = true;
  location.lastFilled = header;
  position = header.next;
  while (position < units.size()) {
    const Line line = LineAt(units, position);
    position = line.next;
    const Parsed parsed = Parse(units, line);
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
    // Right after the last line, with no blank line between, as Windows appends it.
    if (location.anyLine) {
      const Line& last = location.lastLine;
      if (last.next == last.end) {
        text += lineBreak;
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
