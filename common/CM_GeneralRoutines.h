// Small text and path routines shared by the whole program.
//
// Texts are UTF-8. Paths are Windows paths: the only separator these routines know is
// the backslash; a forward slash is an ordinary character to them. No routine keeps
// state or changes its caller's text.
#pragma once

#include <cstdint>
#include <string>

namespace common {

// The text without the spaces (U+0020 only) at its start and end. Tabs, line breaks and
// NUL characters are content and stay.
std::string TrimSpaces(std::string text);

// True when nothing is left of `text` once the spaces at both ends are removed.
bool IsBlank(std::string text);

// The number of bytes `text` takes in the system's ANSI code page (GBK on the target
// systems: two bytes for a Chinese character, one for ASCII), counted up to the first
// NUL. A character that the code page cannot hold counts one byte per UTF-16 unit, the
// replacement byte that the conversion puts in its place.
// Raises OverflowError() when the count is above 32767, the 16-bit result's range.
std::int16_t AnsiLength(std::string text);

// `path` with one backslash added at the end when it does not already end in one. An
// empty path gives "\". Doubled backslashes are left alone.
std::string AddBackslash(std::string path);

// The last folder name of `path`: "C:\Program Files\TAMO\ZEL1" and the same path with a
// trailing backslash both give "ZEL1"; "C:\" gives "C:"; "\" and a path ending in two
// backslashes give the empty text; a path without a backslash is its own last name.
std::string LastFolderName(std::string path);

}  // namespace common
