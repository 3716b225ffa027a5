// libFuzzer target over the profile engine: arbitrary file bytes, one write of an arbitrary
// section, key and value, and reads before and after it.
//
// Input: "section RS key RS value RS file" with RS = 0x1E; an input with fewer than three
// RS bytes is all file, written with section "web", key "webserver" and an address, so
// that a plain settings file is a seed as it stands. The file part may hold RS itself.
//
// Checked on every input, against an oracle of our own rather than the engine's helpers:
// - the write succeeds exactly when the file can hold the section, key and value, and
//   the value then reads back as the read rules give it back;
// - the line sequence changes in one of the shapes the write may take (one line changed,
//   one key line inserted after the section's last non-blank line, a section appended at
//   the end with no blank line before it); every other line is kept byte for byte, and
//   so is the byte-order mark;
// - every other section and key reads as before;
// - what a read returns is well-formed UTF-8 without a line break or NUL, and its cut
//   to the read buffer is a prefix of at most 254 UTF-16 units, never needlessly short.
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/profile_engine.h"
#include "platform/posix/unicode.h"

namespace {

namespace profile = platform::posix::profile;
using profile::Encoding;

constexpr char kSeparator = '\x1E';
constexpr std::size_t kBufferUnits = 254;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

void Check(bool holds, const char* what) {
  if (!holds) {
    Fail(what);
  }
}

// --- Text the way the read rules and the header describe it ---------------------------

bool IsBlank(unsigned unit) {
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

// What a read gives back of a value that was written as `value`.
std::string ReadBack(std::string_view value) {
  std::string_view text = Trim(value);
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    text = text.substr(1, text.size() - 2);
  }
  return std::string(text);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Appends the
// code points to `codes` when given.
bool DecodeUtf8(std::string_view text, std::vector<char32_t>* codes = nullptr) {
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80   ? 1
                         : lead < 0xC2 ? 0
                         : lead < 0xE0 ? 2
                         : lead < 0xF0 ? 3
                         : lead < 0xF5 ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) {
      return false;
    }
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      code = code << 6 | (next & 0x3F);
    }
    const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < minimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (codes != nullptr) {
      codes->push_back(code);
    }
    i += length;
  }
  return true;
}

std::size_t Utf16Units(std::string_view text) {
  std::vector<char32_t> codes;
  DecodeUtf8(text, &codes);
  std::size_t units = 0;
  for (const char32_t code : codes) {
    units += code > 0xFFFF ? 2 : 1;
  }
  return units;
}

bool HasBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A converter that stops at anything it cannot convert exactly.
UConverter* OpenStrict(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(name, &status);
  ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  Check(U_SUCCESS(status), "ICU opens its converters");
  return converter;
}

bool HasReplacementCharacter(std::string_view text) {
  return text.find("\xEF\xBF\xBD") != std::string_view::npos;
}

// Code page 936 to or from UTF-8 through ICU's copy of Windows' table, or nothing when
// ICU refuses. Converters of its own, apart from the engine's, opened once: the fuzzer
// runs on one thread.
std::optional<std::string> Convert936(bool to936, std::string_view in) {
  static UConverter* const converters[] = {OpenStrict("UTF-8"), OpenStrict("windows-936-2000")};
  UConverter* source = converters[to936 ? 0 : 1];
  UConverter* target = converters[to936 ? 1 : 0];
  std::string out(in.size() * 4 + 8, '\0');
  char* targetStart = out.data();
  const char* sourceStart = in.data();
  UChar pivot[256];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;
  UErrorCode status = U_ZERO_ERROR;
  ucnv_convertEx(target, source, &targetStart, out.data() + out.size(), &sourceStart,
                 in.data() + in.size(), pivot, &pivotSource, &pivotTarget, pivot + 256, true, true,
                 &status);
  if (U_FAILURE(status)) {
    return std::nullopt;
  }
  out.resize(static_cast<std::size_t>(targetStart - out.data()));
  return out;
}

// `text` (well-formed UTF-8) in the file's encoding, or nothing when that encoding cannot
// hold it so that it reads back the same.
std::optional<std::string> Encode(std::string_view text, Encoding encoding) {
  switch (encoding) {
    case Encoding::kAnsi: {
      std::optional<std::string> bytes = Convert936(true, text);
      if (!bytes || Convert936(false, *bytes) != std::string(text)) {
        return std::nullopt;
      }
      return bytes;
    }
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      std::vector<char32_t> codes;
      DecodeUtf8(text, &codes);
      std::string bytes;
      const auto put = [&](unsigned unit) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += encoding == Encoding::kUtf16Le ? low : high;
        bytes += encoding == Encoding::kUtf16Le ? high : low;
      };
      for (const char32_t code : codes) {
        if (code > 0xFFFF) {
          put(0xD800 + ((code - 0x10000) >> 10));
          put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
          put(code);
        }
      }
      return bytes;
    }
    default:
      return std::string(text);
  }
}

// --- Wide text ---------------------------------------------------------------------------

std::size_t Nuls(std::string_view bytes) {
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\0'));
}

// U+0000 characters of a UTF-16 file: aligned pairs of NULs after its mark.
std::size_t NulUnits(std::string_view bytes) {
  std::size_t units = 0;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    units += bytes[i] == '\0' && bytes[i + 1] == '\0';
  }
  return units;
}

bool HasUtf32Mark(std::string_view bytes) {
  return bytes.substr(0, 4) == std::string_view("\xFF\xFE\0\0", 4) ||
         bytes.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4);
}

bool HasMark(std::string_view bytes) {
  const std::string_view two = bytes.substr(0, 2);
  return HasUtf32Mark(bytes) || bytes.substr(0, 3) == "\xEF\xBB\xBF" || two == "\xFF\xFE" ||
         two == "\xFE\xFF";
}

// Whole units of UTF-16 or UTF-32 in one byte order, no mark: in UTF-16 at least four
// ASCII characters and otherwise only characters with no NUL byte; in UTF-32 at least
// four characters, none beyond U+FFFF. Text like that is never taken for ANSI.
bool PlainlyWide(std::string_view bytes) {
  for (const std::size_t width : {2, 4}) {
    for (const bool littleEndian : {true, false}) {
      if (bytes.size() % width != 0 || bytes.size() < 4 * width) {
        continue;
      }
      std::size_t ascii = 0;
      bool plain = true;
      for (std::size_t i = 0; plain && i < bytes.size(); i += width) {
        unsigned code = 0;
        for (std::size_t k = 0; k < width; ++k) {
          const unsigned byte = static_cast<unsigned char>(bytes[i + k]);
          code |= byte << (8 * (littleEndian ? k : width - 1 - k));
        }
        const bool noNul = (code & 0xFF) != 0 && (code >> 8 & 0xFF) != 0;
        ascii += code > 0 && code < 0x80;
        plain = width == 2 ? (code > 0 && code < 0x80) || noNul : code > 0 && code <= 0xFFFF;
      }
      if (plain && (width == 4 || ascii >= 4)) {
        return true;
      }
    }
  }
  return false;
}

// --- Lines -------------------------------------------------------------------------------

struct Lines {
  std::string bom;
  std::size_t width = 1;
  bool bigEndian = false;
  std::vector<std::string_view> lines;  // each with its line break

  unsigned Unit(std::string_view bytes, std::size_t i) const {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    if (width == 1) {
      return byte(i);
    }
    return bigEndian ? (byte(2 * i) << 8 | byte(2 * i + 1)) : (byte(2 * i + 1) << 8 | byte(2 * i));
  }
  std::size_t Units(std::string_view bytes) const { return bytes.size() / width; }

  // The line without its break, and the break.
  std::string_view Content(std::string_view line) const {
    std::size_t end = Units(line);
    while (end > 0 && (Unit(line, end - 1) == '\r' || Unit(line, end - 1) == '\n')) {
      --end;
    }
    return line.substr(0, end * width);
  }
  std::string_view Break(std::string_view line) const { return line.substr(Content(line).size()); }

  bool IsBlankLine(std::string_view line) const {
    const std::string_view content = Content(line);
    for (std::size_t i = 0; i < Units(content); ++i) {
      if (!IsBlank(Unit(content, i))) {
        return false;
      }
    }
    return true;
  }
  unsigned FirstNonBlank(std::string_view line) const {
    const std::string_view content = Content(line);
    for (std::size_t i = 0; i < Units(content); ++i) {
      if (!IsBlank(Unit(content, i))) {
        return Unit(content, i);
      }
    }
    return 0;
  }
};

Lines Split(std::string_view bytes, Encoding encoding) {
  Lines result;
  if (encoding == Encoding::kUtf8) {
    result.bom = std::string(bytes.substr(0, 3));
  } else if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
    result.bom = std::string(bytes.substr(0, 2));
    result.width = 2;
    result.bigEndian = encoding == Encoding::kUtf16Be;
  }
  const std::string_view body = bytes.substr(result.bom.size());
  const std::size_t units = result.Units(body);
  std::size_t begin = 0;
  for (std::size_t i = 0; i < units; ++i) {
    const unsigned unit = result.Unit(body, i);
    if (unit != '\r' && unit != '\n') {
      continue;
    }
    if (unit == '\r' && i + 1 < units && result.Unit(body, i + 1) == '\n') {
      ++i;
    }
    result.lines.push_back(body.substr(begin * result.width, (i + 1 - begin) * result.width));
    begin = i + 1;
  }
  if (begin < units) {
    result.lines.push_back(body.substr(begin * result.width));
  }
  return result;
}

// --- The properties ------------------------------------------------------------------------

void CheckRead(const std::optional<std::string>& value) {
  if (!value) {
    return;
  }
  Check(DecodeUtf8(*value), "a read gives malformed UTF-8");
  Check(!HasBreakOrNul(*value), "a read gives a line break or NUL");
  const std::string_view cut = platform::posix::Utf16Prefix(*value, kBufferUnits);
  Check(std::string_view(*value).substr(0, cut.size()) == cut, "the cut is no prefix");
  Check(DecodeUtf8(cut), "the cut splits a character");
  const std::size_t units = Utf16Units(cut);
  Check(units <= kBufferUnits, "the cut exceeds the buffer");
  Check(units == Utf16Units(*value) || units + 1 >= kBufferUnits, "the cut is needlessly short");
}

// Section and key names found in the file, roughly: any pair is a valid probe, these just
// make it likely that a probe names something that is there.
std::vector<std::pair<std::string, std::string>> Probes(const Lines& lines) {
  std::vector<std::pair<std::string, std::string>> probes;
  std::string section;
  for (const std::string_view line : lines.lines) {
    if (lines.width != 1 || probes.size() >= 12) {
      break;
    }
    const std::string_view content = lines.Content(line);
    const std::size_t open = content.find('['), close = content.rfind(']');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close) {
      section = std::string(content.substr(open + 1, close - open - 1));
    } else if (const std::size_t equals = content.find('='); equals != std::string_view::npos) {
      probes.emplace_back(section, std::string(content.substr(0, equals)));
    }
  }
  return probes;
}

bool SameName(std::string_view a, std::string_view b) {
  return platform::posix::EqualIgnoringCase(Trim(a), Trim(b));
}

void CheckWrite(std::string_view before, const std::string& section, const std::string& key,
                const std::string& value) {
  const Encoding encoding = profile::DetectEncoding(before);
  const std::optional<std::string> written = profile::WriteValue(before, section, key, value);
  const std::optional<std::string> old = profile::ReadValue(before, section, key);
  CheckRead(old);

  const std::string_view name = Trim(section), keyName = Trim(key);
  if (HasUtf32Mark(before) || (!HasMark(before) && PlainlyWide(before))) {
    Check(!old && !written, "wide text was read or written as something else");
  }
  if (!HasMark(before) && Nuls(before) < 4) {
    Check(encoding == Encoding::kAnsi, "a file with a few stray NULs was not taken for ANSI");
  }
  const bool fileTakesWrites =
      encoding != Encoding::kUnrecognised &&
      !((encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) && before.size() % 2);
  // Inserted bytes move the NULs after them to the other parity, which can make an ANSI
  // file with NULs beside text look wide, and a UTF-16 file with U+0000 characters look
  // like UTF-32 in the other byte order; the write is then refused.
  const bool utf16 = encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be;
  const bool mayTurnWide =
      (encoding == Encoding::kAnsi && Nuls(before) >= 4) || (utf16 && NulUnits(before) >= 4);
  const bool namesFit = !name.empty() && name.find(']') == std::string_view::npos &&
                        !keyName.empty() && keyName.find('=') == std::string_view::npos &&
                        keyName.front() != '[' && keyName.front() != ';' &&
                        !HasReplacementCharacter(section) && !HasReplacementCharacter(key);
  const bool wellFormed = DecodeUtf8(section) && DecodeUtf8(key) && DecodeUtf8(value) &&
                          !HasBreakOrNul(section) && !HasBreakOrNul(key) && !HasBreakOrNul(value);
  if (!fileTakesWrites || !namesFit || !wellFormed) {
    Check(!written, "a write the file cannot hold was made");
    return;
  }
  const std::optional<std::string> encodedValue = Encode(value, encoding);
  const bool keyHeld = Encode(keyName, encoding).has_value();
  const bool sectionHeld = Encode(name, encoding).has_value();
  if (!encodedValue) {
    Check(!written, "a value the encoding cannot hold was written");
    return;
  }
  if (keyHeld && sectionHeld && !mayTurnWide) {
    Check(written.has_value(), "a write the file can hold was refused");
  }
  if (!written) {
    return;  // a name the encoding cannot hold, which this file needed written
  }

  const std::optional<std::string> now = profile::ReadValue(*written, section, key);
  CheckRead(now);
  Check(now == ReadBack(value), "the value does not read back");

  // The line sequences: a common head and tail, and between them what the write made.
  Check(profile::DetectEncoding(*written) == encoding, "the write changed the encoding");
  const Lines a = Split(before, encoding), b = Split(*written, encoding);
  Check(a.bom == b.bom, "the byte-order mark changed");
  std::size_t head = 0;
  while (head < a.lines.size() && head < b.lines.size() && a.lines[head] == b.lines[head]) {
    ++head;
  }
  // The file's last line, when it had no break, may only have gained one.
  bool breakAdded = false;
  if (head + 1 == a.lines.size() && head < b.lines.size() && a.Break(a.lines[head]).empty() &&
      b.Content(b.lines[head]) == a.lines[head] && !b.Break(b.lines[head]).empty()) {
    breakAdded = true;
    ++head;
  }
  std::size_t tail = 0;
  while (tail + head < a.lines.size() && tail + head < b.lines.size() &&
         a.lines[a.lines.size() - 1 - tail] == b.lines[b.lines.size() - 1 - tail]) {
    ++tail;
  }
  const std::size_t removed = a.lines.size() - head - tail;
  const std::size_t added = b.lines.size() - head - tail;
  const std::vector<std::string_view> made(b.lines.begin() + static_cast<long>(head),
                                           b.lines.begin() + static_cast<long>(head + added));
  const std::string_view firstBreak = a.lines.empty() ? "" : a.Break(a.lines.front());
  const auto isNewBreak = [&](std::string_view line) {
    const std::string_view lineBreak = b.Break(line);
    return lineBreak == firstBreak || lineBreak == *Encode("\r\n", encoding);
  };
  const std::string keyLine = *Encode(std::string(keyName) + "=", encoding) + *encodedValue;

  if (removed == 0 && added == 0) {
    Check(!breakAdded && old.has_value(), "nothing changed for a new key");
  } else if (removed == 1 && added == 1 && !breakAdded) {
    Check(old.has_value(), "a line changed for a new key");
    Check(a.Break(a.lines[head]) == b.Break(made[0]), "a changed line lost its break");
  } else if (removed == 0 && added == 1 && tail > 0 && !breakAdded) {
    Check(!old && keyHeld, "a key line was inserted where it should not be");
    Check(b.Content(made[0]) == keyLine && isNewBreak(made[0]), "the inserted line is wrong");
    Check(head > 0 && !b.IsBlankLine(b.lines[head - 1]), "the key line follows a blank line");
    for (std::size_t i = head + 1; i < b.lines.size(); ++i) {
      if (b.FirstNonBlank(b.lines[i]) == '[') {
        break;
      }
      Check(b.IsBlankLine(b.lines[i]), "the key line is not after the section's last line");
    }
  } else if (removed == 0 && tail == 0 && added >= 1 && added <= 2) {
    // A key line at the end of the file's last section, or a new section there, right
    // after the last line as Windows appends it.
    const std::string_view last = made.back();
    Check(!old && keyHeld && b.Content(last) == keyLine && isNewBreak(last),
          "the line added at the end is wrong");
    if (added > 1) {
      const std::string header = "[" + std::string(name) + "]";
      Check(sectionHeld && b.Content(made[0]) == *Encode(header, encoding) && isNewBreak(made[0]),
            "the section appended is wrong");
    } else {
      Check(head > 0 && !b.IsBlankLine(b.lines[head - 1]), "the key line follows a blank line");
    }
  } else {
    Fail("the write changed more than it needed to");
  }
}

// Every other section and key reads as it did; the written one reads the new value.
void CheckOthers(std::string_view before, std::string_view after, const std::string& section,
                 const std::string& key, const std::string& value,
                 const std::vector<std::pair<std::string, std::string>>& probes) {
  for (const auto& [probeSection, probeKey] : probes) {
    const std::optional<std::string> was = profile::ReadValue(before, probeSection, probeKey);
    const std::optional<std::string> is = profile::ReadValue(after, probeSection, probeKey);
    CheckRead(is);
    if (SameName(probeSection, section) && SameName(probeKey, key) && DecodeUtf8(probeSection) &&
        DecodeUtf8(probeKey) && !HasReplacementCharacter(probeSection) &&
        !HasReplacementCharacter(probeKey) && !HasBreakOrNul(probeSection) &&
        !HasBreakOrNul(probeKey)) {
      Check(is == ReadBack(value), "the written key reads differently under another case");
    } else {
      Check(was == is, "another key reads differently after the write");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string section = "web", key = "webserver", value = "192.0.2.10";
  std::string_view probeSection = "web", probeKey = "WebServer";
  const std::size_t first = input.find(kSeparator);
  const std::size_t second = input.find(kSeparator, first + (first != std::string_view::npos));
  const std::size_t third = input.find(kSeparator, second + (second != std::string_view::npos));
  if (third != std::string_view::npos) {
    section = std::string(input.substr(0, first));
    key = std::string(input.substr(first + 1, second - first - 1));
    value = std::string(input.substr(second + 1, third - second - 1));
    input.remove_prefix(third + 1);
  }
  const std::string_view file = input;

  std::vector<std::pair<std::string, std::string>> probes =
      Probes(Split(file, profile::DetectEncoding(file)));
  probes.emplace_back(probeSection, probeKey);
  probes.emplace_back(section, key);
  probes.emplace_back(value, section);  // names the fuzzer chose freely

  CheckWrite(file, section, key, value);
  if (const std::optional<std::string> written = profile::WriteValue(file, section, key, value)) {
    CheckOthers(file, *written, section, key, value, probes);
  } else {
    for (const auto& [probeSectionName, probeKeyName] : probes) {
      CheckRead(profile::ReadValue(file, probeSectionName, probeKeyName));
    }
  }
  return 0;
}
