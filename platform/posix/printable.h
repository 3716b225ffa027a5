// Text made safe to print on a terminal.
//
// Folder names, drive labels and whatever the operator typed may hold anything a file
// system allows: escape sequences that clear the screen or set the window title, bytes
// that are not UTF-8. The stand-in prints every such text through Printable(), never raw.
#pragma once

#include <string>
#include <string_view>

namespace platform::posix {

// `text` as it may be printed. Every control character (U+0000 to U+001F, U+007F and
// U+0080 to U+009F) and every byte that is not part of valid UTF-8 is shown as \xHH,
// one escape per byte, in lower-case hex: ESC is "\x1b", U+009B is "\xc2\x9b", a lone
// byte 0xFF is "\xff". Everything else is kept, backslashes included, so that
// "C:\Program Files" reads as it stands. Only a backslash that would otherwise look like
// the start of an escape is shown doubled: one followed by another backslash, by an
// escaped byte, or by "x" and two hex digits ("C:\x86" is shown "C:\\x86"). A line break
// in a host name, which the program holds as U+F00D or U+F00A (winpath.h), is shown as
// the break it stands for: "\x0d" or "\x0a".
//
// Read back from left to right, the form is unambiguous: "\\" is one backslash, "\xHH"
// the byte HH (of the host name, for a line break that stands in a name), and any other
// backslash is itself.
std::string Printable(std::string_view text);

}  // namespace platform::posix
