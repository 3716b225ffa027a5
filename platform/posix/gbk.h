// The ANSI code page of the target systems, 936, as Windows converts it.
//
// The table is ICU's "windows-936-2000", which is Windows' own: besides GBK it holds the
// user-defined areas (lead bytes AA-AF and F8-FE with trail bytes A1-FE, A1-A7 with
// trail bytes 40-A0, as private-use characters from U+E000), 0x80 for U+20AC and 0xFF
// for U+F8F5. ICU and Windows part only where the input does not fit the table; there
// these functions do what Windows does:
// - a lead byte (81-FE) takes the byte after it as its partner, whatever it is (NUL
//   excepted), and a pair that is not in the table becomes one "?"; ICU would read the
//   second byte again on its own;
// - a character that ICU leaves out without a word when writing (a few default-
//   ignorable ones) has no form in the code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::posix {

// Code page 936 bytes to UTF-8, as Windows reads them. A pair that is not in the table,
// and a lead byte at the end or before a NUL, each become one "?" (U+003F), Windows'
// default character for this code page.
std::string GbkToUtf8(std::string_view bytes);

// UTF-8 to code page 936, or nothing when some character has no exact form (Windows
// would write a look-alike or "?") or the UTF-8 is malformed: a caller that stores the
// result must not store a lossy copy.
std::optional<std::string> Utf8ToGbk(std::string_view text);

// Bytes `text` takes in code page 936 as Windows converts it by default: a character
// without an exact form takes its look-alike's bytes ("¢" becomes the two bytes of the
// full-width "￠"), and one without a look-alike counts one byte for each UTF-16 unit, as
// Windows puts one "?" in each place. A malformed UTF-8 byte counts one.
std::size_t GbkByteCount(std::string_view text);

}  // namespace platform::posix
