// A report cell: whatever a name or a value holds, the row keeps its columns, a terminal
// gets no escape sequence, the text reads in its true order, a spreadsheet runs no formula.
#include <gtest/gtest.h>

#include "platform/printable.h"

namespace {

TEST(ReportCell, Table) {
  const struct {
    const char* text;
    const char* cell;
  } rows[] = {
      {"C:\\Program Files\\检测站 10.1.1.1", "C:\\Program Files\\检测站 10.1.1.1"},
      {"a\tb\r\nc\x1b]0;t\x07\x7f", "a\\x09b\\x0d\\x0ac\\x1b]0;t\\x07\\x7f"},  // C0 and DEL
      {"a\xc2\x9b"
       "2J\xc2\x85",
       "a\\xc2\\x9b2J\\xc2\\x85"},  // C1
      // Bidirectional, zero-width and other invisible characters.
      {"abc\xe2\x80\xae"
       "txt.exe\xd8\x9c",
       "abc\\xe2\\x80\\xaetxt.exe\\xd8\\x9c"},
      {"\xe2\x81\xa6x\xe2\x80\x8b\xef\xbb\xbf\xe2\x80\xa8\xf3\xa0\x80\x81",
       "\\xe2\\x81\\xa6x\\xe2\\x80\\x8b\\xef\\xbb\\xbf\\xe2\\x80\\xa8\\xf3\\xa0\\x80\\x81"},
      // Bytes that are not UTF-8, each its own escape; a U+FFFD that stands is kept; a
      // host name's line break, held as U+F00A.
      {"a\xff\xe4\xb8"
       "b\xef\xbf\xbd\xef\x80\x8a",
       "a\\xff\\xe4\\xb8b\xef\xbf\xbd\\x0a"},
      // A backslash is doubled only where it would read as an escape.
      {"C:\\x86\\\\a\\\x1b", "C:\\\\x86\\\\\\a\\\\\\x1b"},
      // A formula gets a leading "'"; a leading "'" of the value is escaped, so that the
      // guard is never mistaken for the value.
      {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")"},
      {"+1", "'+1"},
      {"-1", "'-1"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"'=1", "\\x27=1"},
      {"\t=1", "\\x09=1"},
      {"1=1", "1=1"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::ReportCell(row.text), row.cell) << row.text;
  }
  // The boxes of the stand-in share the rule, all but the formula guard.
  EXPECT_EQ(platform::Printable("=a\xe2\x80\xae\x1b'"), "=a\\xe2\\x80\\xae\\x1b'");
}

}  // namespace
