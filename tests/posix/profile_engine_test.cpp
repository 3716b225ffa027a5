#include "platform/posix/profile_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

namespace {

using platform::posix::profile::DetectEncoding;
using platform::posix::profile::Encoding;
using platform::posix::profile::ReadValue;
using platform::posix::profile::WriteValue;
using namespace std::string_literals;

const std::string kGbkChinese = "\xD6\xD0\xCE\xC4";  // 中文
const std::string kGbkComment = "\xD7\xA2\xCA\xCD";  // 注释
const std::optional<std::string> kNothing;

// The text as UTF-16 with a byte-order mark.
std::string Utf16(const std::u16string& text, bool littleEndian) {
  std::string bytes;
  for (const char16_t unit : u"\uFEFF" + text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += littleEndian ? low : high;
    bytes += littleEndian ? high : low;
  }
  return bytes;
}

// The text (no character beyond U+FFFF) in units of `width` bytes, with or without a mark.
std::string Wide(const std::u32string& text, std::size_t width, bool littleEndian, bool mark) {
  std::string bytes;
  for (const char32_t code : mark ? U"\uFEFF" + text : text) {
    for (std::size_t i = 0; i < width; ++i) {
      bytes += static_cast<char>(code >> (8 * (littleEndian ? i : width - 1 - i)));
    }
  }
  return bytes;
}

TEST(ProfileEngine, DetectsEncodings) {
  const std::string ansi = "[web]\r\nwebserver=10.0.0.1\r\n";
  const std::pair<std::string, Encoding> cases[] = {
      {"", Encoding::kAnsi},
      {"[web]", Encoding::kAnsi},
      {"\xEF\xBB\xBF[web]", Encoding::kUtf8},
      {"\xFF\xFE", Encoding::kUtf16Le},
      {"\xFE\xFF\0["s, Encoding::kUtf16Be},
      {"\xFF\xFE\0\0"s, Encoding::kUnrecognised},  // UTF-32 marks
      {"\0\0\xFE\xFF"s, Encoding::kUnrecognised},
      {"\xFF\xFE" + Wide(U"[web]\r\n", 2, false, false), Encoding::kUnrecognised},
      {"\xFE\xFF" + Wide(U"[web]\r\n", 2, true, false), Encoding::kUnrecognised},
      // An ANSI file may hold stray NULs, on either side, and runs of them.
      {"\0" + ansi, Encoding::kAnsi},
      {ansi + "\0"s, Encoding::kAnsi},
      {"[web]\r\nwebserver=1.2.3.4\0junk\r\n"s, Encoding::kAnsi},
      {"a=1\0\r\nb=2\0\r\nc=3\0\r\n"s, Encoding::kAnsi},  // three, all at odd offsets
      {"a=1\0\nb=2\0\nc=3\0\nd=4\0\ne=5\0\n"s, Encoding::kAnsi},
      {ansi + std::string(4096, '\0') + ansi + std::string(3, '\0') + "x", Encoding::kAnsi},
      {"a=1\0\r\nb=2\0\r\nc=3\0\r\nd=4\0\r\n"s, Encoding::kUnrecognised},
  };
  for (const auto& [bytes, encoding] : cases) {
    EXPECT_EQ(DetectEncoding(bytes), encoding) << ::testing::PrintToString(bytes);
  }
}

// Files in UTF-16 and UTF-32, both byte orders, with and without a mark, whatever they
// begin with: only UTF-16 with a mark is read and written; every other one is left
// alone, never taken for ANSI.
TEST(ProfileEngine, WideTextWithoutMarkOrInUtf32IsLeftAlone) {
  for (const std::u32string first : {U"中文注释", U";", U"[a]", U"1", U"", U"\t", U"上"}) {
    const std::u32string text = first + U"\r\n[web]\r\nwebserver=10.0.0.1\r\n";
    const std::u32string rewritten = first + U"\r\n[web]\r\nwebserver=192.0.2.10\r\n";
    for (const std::size_t width : {2, 4}) {
      for (const bool littleEndian : {true, false}) {
        for (const bool mark : {true, false}) {
          const std::string file = Wide(text, width, littleEndian, mark);
          SCOPED_TRACE(::testing::PrintToString(file));
          if (width == 2 && mark) {
            EXPECT_EQ(DetectEncoding(file), littleEndian ? Encoding::kUtf16Le : Encoding::kUtf16Be);
            EXPECT_EQ(ReadValue(file, "web", "webserver"), "10.0.0.1");
            EXPECT_EQ(WriteValue(file, "web", "webserver", "192.0.2.10"),
                      Wide(rewritten, width, littleEndian, mark));
          } else {
            EXPECT_EQ(DetectEncoding(file), Encoding::kUnrecognised);
            EXPECT_EQ(ReadValue(file, "web", "webserver"), kNothing);
            EXPECT_EQ(WriteValue(file, "web", "webserver", "192.0.2.10"), kNothing);
            EXPECT_EQ(WriteValue(file, "other", "k", "1"), kNothing);
          }
        }
      }
    }
  }
}

struct ReadCase {
  const char* name;
  std::string file, section, key;
  std::optional<std::string> expected;
};

TEST(ProfileEngine, ReadRules) {
  const ReadCase cases[] = {
      {"plain", "[web]\r\nwebserver=1.2.3.4\r\n", "web", "webserver", "1.2.3.4"},
      {"case-insensitive", "[WEB]\nWebServer=x\n", "web", "WEBSERVER", "x"},
      {"names asked with blanks", "[web]\nk=x\n", " web ", "\tk ", "x"},
      {"blanks inside brackets", "  \t[ web ]\nk=x\n", "web", "k", "x"},
      {"text after ]", "[web] ; note\nk=x\n", "web", "k", "x"},
      {"up to the last ]", "[a]b] ; c\nk=x\n", "a]b", "k", "x"},
      {"not up to the first ]", "[a]b]\nk=x\n", "a", "k", kNothing},
      {"no closing ]", "[web\nk=x\n", "web", "k", kNothing},
      {"[] is never read", "[]\nk=x\n", "", "k", kNothing},
      {"[] ends a section", "[web]\n[]\nk=x\n", "web", "k", kNothing},
      {"key with inner space", "[web]\nweb server=1\n", "web", "web server", "1"},
      {"first = splits", "[web]\n webserver = a = b \n", "web", "webserver", "a = b"},
      {"no = is no entry", "[web]\nwebserver\n", "web", "webserver", kNothing},
      {"comment", "[web]\n  ;webserver=1\n", "web", "webserver", kNothing},
      {"comment is no entry", "[web]\n;k=1\n", "web", ";k", kNothing},
      {"; in value is text", "[web]\nk=1 ;comment\n", "web", "k", "1 ;comment"},
      {"before any section", "k=1\n[web]\n", "web", "k", kNothing},
      {"first section wins", "[web]\na=1\n[web]\nk=2\n", "web", "k", kNothing},
      {"first key wins", "[web]\nk=1\nK=2\n", "web", "k", "1"},
      {"other blanks", "[web]\n\x1Ak\v=\t\f\x1A v w \x1A\n", "web", "k", "v w"},
      {"single quotes", "[web]\nk='abc'\n", "web", "k", "abc"},
      {"outer quotes only", "[web]\nk=\"a\"b\"\n", "web", "k", "a\"b"},
      {"unpaired quote", "[web]\nk=\"abc\n", "web", "k", "\"abc"},
      {"mixed quotes", "[web]\nk='abc\"\n", "web", "k", "'abc\""},
      {"empty quotes", "[web]\nk=\"\"\n", "web", "k", ""},
      {"lone quote", "[web]\nk=\"\n", "web", "k", "\""},
      {"quotes after trimming", "[web]\nk= ' a ' \n", "web", "k", " a "},
      {"empty value", "[web]\nk=   \n", "web", "k", ""},
      {"lone CR breaks", "[web]\rk=v\rj=w", "web", "j", "w"},
      {"mixed breaks", "[a]\r\nx=1\n[web]\rk=v\r\n", "web", "k", "v"},
      {"NUL ends the value", "[web]\nk=v\0junk\n"s, "web", "k", "v"},
      {"NUL before =", "[web]\nk\0=v\n"s, "web", "k", kNothing},
      {"missing section", "[web]\nk=v\n", "other", "k", kNothing},
      {"invalid bytes never match", "[web]\n\xFF=v\n", "web", "\xEF\xBF\xBD", kNothing},
      {"GBK value", "[web]\r\nwebserver=" + kGbkChinese + "\r\n", "web", "webserver", "中文"},
      {"GBK key", "[web]\r\n" + kGbkChinese + "=1\r\n", "web", "中文", "1"},
      {"GBK ] trail byte is no bracket", "[web\x81]\nk=1\n", "web", "k", kNothing},
      {"GBK ] trail byte in a name", "[\x81]]\nk=1\n", "乚", "k", "1"},
      {"UTF-8 BOM", "\xEF\xBB\xBF[Äb]\r\nk=中文\r\n", "äB", "k", "中文"},
      {"UTF-16LE", Utf16(u"[web]\r\nk=中文😀\r\n", true), "web", "k", "中文😀"},
      {"UTF-16BE", Utf16(u"[web]\rk= 'v' \r", false), "web", "k", "v"},
      {"UTF-16 without mark", Utf16(u"[web]\r\nk=v\r\n", true).substr(2), "web", "k", kNothing},
      // The scan for a section looks only at lines that begin with "[" and at the first
      // character of their name.
      {"[ inside a line", "[a]\nx [web]\nk=1\n", "web", "k", kNothing},
      {"[ later on a section line", "[s] [web]\nk=1\n", "web", "k", kNothing},
      {"blanks before [", "x\n \t\x1A[web]\nk=1\n", "web", "k", "1"},
      {"blanks before [ after a lone CR", "x\r \t[web]\rk=1\r", "web", "k", "1"},
      {"NUL right after [", "[\0web]\nk=1\n"s, "web", "k", kNothing},
      {"Kelvin sign is a k", "\xEF\xBB\xBF[\xE2\x84\xAA]\nk=1\n", "k", "k", "1"},
      {"UTF-16 section after others", Utf16(u"[a]\r\n [b] \r\n\t[web]\r\nk=1", true), "web", "k",
       "1"},
      {"UTF-16 [ inside a line", Utf16(u"[a]\rx [web]\rk=1", false), "web", "k", kNothing},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(ReadValue(c.file, c.section, c.key), c.expected) << c.name;
  }
}

struct WriteCase {
  const char* name;
  std::string before, section, key, value;
  std::optional<std::string> after;
};

void ExpectWrites(const WriteCase& c) {
  EXPECT_EQ(WriteValue(c.before, c.section, c.key, c.value), c.after) << c.name;
  if (c.after) {
    EXPECT_EQ(ReadValue(*c.after, c.section, c.key),
              ReadValue("\xEF\xBB\xBF[s]\nk=" + c.value, "s", "k"))
        << c.name << ": reads back";
  }
}

TEST(ProfileEngine, WriteChangesOnlyTheValue) {
  const std::string gbk = "; " + kGbkComment + "\r\n[web]\r\n;" + kGbkComment +
                          "\r\nwebserver = 1.1.1.1 \r\n\r\n[other]\r\nx=1\r\n";
  const WriteCase cases[] = {
      {"GBK with comments", gbk, "WEB", "WebServer", "2.2.2.2",
       "; " + kGbkComment + "\r\n[web]\r\n;" + kGbkComment +
           "\r\nwebserver = 2.2.2.2 \r\n\r\n[other]\r\nx=1\r\n"},
      {"GBK value", "[web]\nk=1\n", "web", "k", "中文", "[web]\nk=" + kGbkChinese + "\n"},
      {"Windows' own 936", "[web]\r\n;\xAD\xE6\x80\xFF\x81\x7F\r\nk=1\r\n", "web", "k",
       "€\uE15F\uF8F5", "[web]\r\n;\xAD\xE6\x80\xFF\x81\x7F\r\nk=\x80\xAD\xE6\xFF\r\n"},
      {"quotes and NUL tail", "[web]\r\nk =\t\"old\"  \0tail\r\n"s, "web", "k", "new",
       "[web]\r\nk =\tnew  \0tail\r\n"s},
      {"empty old value", "[web]\nk =  \n", "web", "k", "v", "[web]\nk =  v\n"},
      {"written as given", "[web]\nk=1\n", "web", "k", " ' a ' ", "[web]\nk= ' a ' \n"},
      {"empty new value", "[web]\nk=1\n", "web", "k", "", "[web]\nk=\n"},
      {"no final break", "[web]\r\nk=1", "web", "k", "22", "[web]\r\nk=22"},
      {"duplicates", "[web]\nk=1\nk=1\n[web]\nk=1\n", "web", "k", "2",
       "[web]\nk=2\nk=1\n[web]\nk=1\n"},
      {"lone CR", "[web]\rk=1\r", "web", "k", "2", "[web]\rk=2\r"},
      {"UTF-8 BOM", "\xEF\xBB\xBF[web]\nk=1\n", "web", "k", "中文", "\xEF\xBB\xBF[web]\nk=中文\n"},
      {"UTF-16LE", Utf16(u"[web]\r\nk=1\r\n", true), "web", "k", "中😀",
       Utf16(u"[web]\r\nk=中😀\r\n", true)},
      {"UTF-16BE", Utf16(u"[web]\nk=1", false), "web", "k", "2", Utf16(u"[web]\nk=2", false)},
  };
  for (const WriteCase& c : cases) {
    ExpectWrites(c);
  }
}

TEST(ProfileEngine, WriteInsertsMissingKeysAndSections) {
  const WriteCase cases[] = {
      {"key before blank lines", "[web]\r\na=1\r\n\r\n\r\n[b]\r\n", "web", "k", "v",
       "[web]\r\na=1\r\nk=v\r\n\r\n\r\n[b]\r\n"},
      {"key after trailing comment", "[web]\na=1\n;c\n\n", "web", "k", "v",
       "[web]\na=1\n;c\nk=v\n\n"},
      {"key into empty section", "[web]\n\n[b]\n", "web", " k ", "v", "[web]\nk=v\n\n[b]\n"},
      {"bare name is no entry", "[web]\nk\n", "web", "k", "v", "[web]\nk\nk=v\n"},
      {"key at end without break", "[web]\r\nk=1", "web", "j", "2", "[web]\r\nk=1\r\nj=2\r\n"},
      {"first break style: LF", "[a]\nx=1\r\n[web]\r\n", "web", "k", "v",
       "[a]\nx=1\r\n[web]\r\nk=v\n"},
      {"first break style: CR", "[web]\rx=1\r\n", "web", "k", "v", "[web]\rx=1\r\nk=v\r"},
      {"CR never joins a following LF", "[web]\rx=1\n\n", "web", "k", "v", "[web]\rx=1\nk=v\r\n\n"},
      {"first section only", "[web]\na=1\n[web]\nk=1\n", "web", "k", "2",
       "[web]\na=1\nk=2\n[web]\nk=1\n"},
      {"section appended", "[a]\r\nx=1\r\n", "web", "k", "v", "[a]\r\nx=1\r\n[web]\r\nk=v\r\n"},
      {"a lone CR ends the line before it", "[a]\nx=1\r", "web", "k", "v",
       "[a]\nx=1\r[web]\nk=v\n"},
      {"section after blank line", "[a]\nx=1\n\n", "web", "k", "v", "[a]\nx=1\n\n[web]\nk=v\n"},
      {"section at end without break", "[a]\nx=1", " web ", "k", "v", "[a]\nx=1\n[web]\nk=v\n"},
      {"empty file", "", "web", "k", "v", "[web]\r\nk=v\r\n"},
      {"GBK section", "", "中文", "k", "v", "[" + kGbkChinese + "]\r\nk=v\r\n"},
      {"UTF-8 BOM only", "\xEF\xBB\xBF", "web", "k", "v", "\xEF\xBB\xBF[web]\r\nk=v\r\n"},
      {"UTF-16LE BOM only", "\xFF\xFE", "web", "k", "中", Utf16(u"[web]\r\nk=中\r\n", true)},
      {"UTF-16BE key", Utf16(u"[web]\n", false), "web", "k", "v", Utf16(u"[web]\nk=v\n", false)},
      {"after a lone NUL", "\0"s, "web", "k", "v", "\0\r\n[web]\r\nk=v\r\n"s},
      {"after NULs from a crash", "[a]\n" + std::string(64, '\0'), "web", "k", "v",
       "[a]\n" + std::string(64, '\0') + "\n[web]\nk=v\n"},
  };
  for (const WriteCase& c : cases) {
    ExpectWrites(c);
  }
}

TEST(ProfileEngine, WriteRefusesWhatItCannotWriteExactly) {
  const std::string file = "[web]\nk=1\n";
  const WriteCase cases[] = {
      {"LF in value", file, "web", "k", "a\nb", kNothing},
      {"CR in key", file, "web", "k\r", "1", kNothing},
      {"NUL in section", file, "w\0b"s, "k", "1", kNothing},
      {"= in key", file, "web", "a=b", "1", kNothing},
      {"] in section", file, "a]b", "k", "1", kNothing},
      {"blank section", file, " \t", "k", "1", kNothing},
      {"blank key", file, "web", " ", "1", kNothing},
      {"key opens a section", file, "web", " [k]", "1", kNothing},
      {"key is a comment", file, "web", ";k", "1", kNothing},
      {"malformed UTF-8", file, "web", "k", "\xC3", kNothing},
      {"U+FFFD in a name", file, "web", "k\xEF\xBF\xBD", "1", kNothing},
      {"not in GBK", file, "web", "k", "😀", kNothing},
      {"only a look-alike in GBK", file, "web", "k", "¢", kNothing},
      {"dropped by the converter", file, "web", "k", "a\u180E", kNothing},
      {"new key not in GBK", file, "web", "한", "1", kNothing},
      {"UTF-16 without mark", "[\0w\0e\0b\0]\0"s, "web", "k", "1", kNothing},
      {"UTF-16 odd length", Utf16(u"[web]\n", true) + "x", "web", "k", "1", kNothing},
      {"new value would turn NULs wide", "x\0\r\ny\0\r\n[web]\r\nk=22\r\na\0\r\nb\0\r\n"s, "web",
       "k", "1", kNothing},
      {"insertion would turn NULs wide", "x\0\r\ny\0\r\n[web]\r\n[bb]\r\na\0\r\nb\0\r\n"s, "web",
       "k", "1", kNothing},
      // An odd number of units moves U+0000 against four-byte groups: UTF-32 the other way.
      {"insertion would turn UTF-16 NULs wide",
       Utf16(u"[web]\n[a]\n;一一一一一一\n\0b\0b\0b\0b"s, true), "web", "k", "12", kNothing},
  };
  for (const WriteCase& c : cases) {
    ExpectWrites(c);
  }
}

// Every byte outside one line stays, whatever the file holds, and the value reads back.
TEST(ProfileEngine, GarbageIsKept) {
  const std::string alphabet = "[]=;k wbe\r\n\r\n\t\x81\x5D\xFF\xEF\xBB\xBF\xFE\x1A"s + '\0';
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::string file;
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) {
      file +=
          random() % 4 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    SCOPED_TRACE(::testing::PrintToString(file));
    ReadValue(file, "web", "k");
    const std::optional<std::string> written = WriteValue(file, "web", "k", "v1");
    const Encoding encoding = DetectEncoding(file);
    // With fewer than four NULs no change can make the file look like wide text.
    if ((encoding == Encoding::kAnsi && std::count(file.begin(), file.end(), '\0') < 4) ||
        encoding == Encoding::kUtf8) {
      ASSERT_TRUE(written);
    }
    if (!written) {
      continue;
    }
    EXPECT_EQ(ReadValue(*written, "web", "k"), "v1");
    std::size_t prefix = 0;
    while (prefix < file.size() && prefix < written->size() && file[prefix] == (*written)[prefix]) {
      ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < file.size() - prefix && suffix < written->size() - prefix &&
           file[file.size() - 1 - suffix] == (*written)[written->size() - 1 - suffix]) {
      ++suffix;
    }
    const std::string removed = file.substr(prefix, file.size() - prefix - suffix);
    EXPECT_EQ(removed.find_first_of("\r\n"), std::string::npos) << "more than one line changed";
  }
}

// Large files give the same answers; their speed is the benchmark's to measure
// (tests/bench), not a test's on a shared machine.
TEST(ProfileEngine, TenMegabytesReadAndWritten) {
  std::string sections;  // many small sections
  std::string entries;   // one section of many keys, half of them in Chinese
  for (int i = 0; sections.size() < 10'000'000; ++i) {
    const std::string pair = "key" + std::to_string(i) + "=" + std::string(30, 'x') + "\r\n" +
                             kGbkComment + std::to_string(i) + "=" + kGbkChinese + "\r\n";
    sections += "[s" + std::to_string(i) + "]\r\n" + pair;
    entries += pair;
  }
  EXPECT_EQ(ReadValue(sections + "[web]\r\nk=1", "web", "k"), "1");
  EXPECT_EQ(WriteValue(sections, "web", "k", "2"), sections + "[web]\r\nk=2\r\n");
  EXPECT_EQ(WriteValue("[web]\r\n" + entries + "k=1\r\n", "web", "k", "2"),
            "[web]\r\n" + entries + "k=2\r\n");
  EXPECT_EQ(WriteValue("[web]\r\n" + entries, "web", "k", "2"), "[web]\r\n" + entries + "k=2\r\n");
}

}  // namespace
