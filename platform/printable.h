// Text that is not the program's own - folder names, drive labels, values read from a
// settings file, what the operator typed - made safe to show: on a terminal (the posix
// stand-in's boxes and window) and in a cell of the unattended report, whose rows a site
// reads in a console, in Notepad and in Excel. One rule for both. Portable code
// (platform/printable.cpp).
//
// Such text may hold anything a file system allows: escape sequences that clear the
// screen or set the window's title, characters that reverse or hide what follows, bytes
// that are not UTF-8, a tab or line break that would split a table's row.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// `text` as it may be shown. These are shown as \xHH, one escape per byte of their UTF-8,
// in lower-case hex:
// - every control character: C0 (U+0000 to U+001F), DEL (U+007F) and C1 (U+0080 to
//   U+009F): ESC is "\x1b", U+009B "\xc2\x9b";
// - the invisible format characters that change how the text around them shows or
//   reads: the bidirectional marks, embeddings, overrides and isolates (U+061C,
//   U+200E-200F, U+202A-202E, U+2066-2069), the zero-width ones (U+200B-200D, U+2060-2064,
//   U+FEFF), the line and paragraph separators (U+2028, U+2029), the soft hyphen (U+00AD),
//   U+180E, the interlinear annotation marks (U+FFF9-FFFB) and the tag characters
//   (U+E0000-E007F): U+202E is "\xe2\x80\xae";
// - every byte that is not part of valid UTF-8: a lone 0xFF is "\xff";
// - a line break in a host name, which the program holds as U+F00D or U+F00A
//   (posix/winpath.h), as the break it stands for: "\x0d" or "\x0a".
// Everything else is kept, backslashes included, so that "C:\Program Files" reads as it
// stands. Only a backslash that would otherwise look like the start of an escape is shown
// doubled: one followed by another backslash, by an escaped character, or by "x" and two
// hex digits ("C:\x86" is shown "C:\\x86").
//
// Read back from left to right, the form is unambiguous: "\\" is one backslash, "\xHH"
// the byte HH (of the host name, for a line break that stands in a name), and any other
// backslash is itself.
std::string Printable(std::string_view text);

// `text` as one cell of the report: Printable(text), so that no cell holds a tab or line
// break and the table keeps its columns; and, as OWASP advises for spreadsheet exports,
// a leading "'" when the cell would start with "=", "+", "-" or "@", which Excel and its
// kin take for a formula ("=HYPERLINK(...)" in a value read from a user's file). A cell
// that starts with "'" itself shows it as "\x27", so that a leading "'" always means the
// guard. A tab or CR at the start, which some spreadsheets also act on, is escaped like
// any control character.
std::string ReportCell(std::string_view text);

}  // namespace platform
