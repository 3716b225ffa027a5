// A report cell: whatever a name or a value holds, the row keeps its columns, a terminal
// gets no escape sequence, the text reads in its true order, and a spreadsheet runs no
// formula.
#include <gtest/gtest.h>

#include <string>

#include "platform/printable.h"

namespace {

struct Row {
  const char* text;
  const char* cell;
};

TEST(ReportCell, Table) {
  const Row rows[] = {
      {"", ""},
      {"C:\\Program Files\\TAMO\\ZEL1", "C:\\Program Files\\TAMO\\ZEL1"},
      {"检测站一号 10.1.1.1", "检测站一号 10.1.1.1"},
      // What would split the row or the line.
      {"a\tb\r\nc", "a\\x09b\\x0d\\x0ac"},
      // C0, DEL and C1 controls; U+009B is a terminal's CSI.
      {"\x1b]0;t\x07\x7f", "\\x1b]0;t\\x07\\x7f"},
      {"a\xc2\x9b"
       "2Jb\xc2\x85",
       "a\\xc2\\x9b2Jb\\xc2\\x85"},
      // Bidirectional overrides and isolates, zero-width and other invisible characters.
      {"abc\xe2\x80\xae"
       "txt.exe",
       "abc\\xe2\\x80\\xaetxt.exe"},
      {"\xe2\x81\xa6x\xe2\x81\xa9\xd8\x9c", "\\xe2\\x81\\xa6x\\xe2\\x81\\xa9\\xd8\\x9c"},
      {"a\xe2\x80\x8b\xef\xbb\xbf\xe2\x80\xa8"
       "b",
       "a\\xe2\\x80\\x8b\\xef\\xbb\\xbf\\xe2\\x80\\xa8b"},
      {"\xf3\xa0\x80\x81tag", "\\xf3\\xa0\\x80\\x81tag"},
      // Bytes that are not UTF-8: each its own escape; a U+FFFD that stands is kept.
      {"a\xff\xe4\xb8"
       "b\xef\xbf\xbd",
       "a\\xff\\xe4\\xb8b\xef\xbf\xbd"},
      // A host name's line break, held as U+F00A.
      {"a\xef\x80\x8a"
       "b",
       "a\\x0ab"},
      // A backslash is doubled only where it would read as an escape.
      {"C:\\x86\\\\a\\\x1b", "C:\\\\x86\\\\\\a\\\\\\x1b"},
      // What a spreadsheet takes for a formula gets a leading "'"; a real leading "'" is
      // escaped, so that the guard is never mistaken for the value.
      {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")"},
      {"+1", "'+1"},
      {"-1+2", "'-1+2"},
      {"@SUM(A1)", "'@SUM(A1)"},
      {"'=1", "\\x27=1"},
      {"1=1", "1=1"},
      {"\t=1", "\\x09=1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(platform::ReportCell(row.text), row.cell);
  }
}

// The boxes of the stand-in share the rule, all but the formula guard.
TEST(Printable, SharesTheCellsRuleWithoutTheFormulaGuard) {
  EXPECT_EQ(platform::Printable("=a\xe2\x80\xae\x1b"), "=a\\xe2\\x80\\xae\\x1b");
  EXPECT_EQ(platform::Printable("'x"), "'x");
}

}  // namespace
