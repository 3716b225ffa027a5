// The profile (INI) engine of the POSIX stand-in: pure functions over a file's bytes.
//
// Reading follows the rules that Windows' profile functions keep (see platform/profile.h);
// writing differs from Windows on purpose: Windows rewrites the whole file from its own
// parse, this engine changes only the bytes of the one value (or inserts one line, or
// one section) and keeps every other byte as it was - comments, blank lines, line
// endings, spacing, order, duplicate sections, and bytes that are not valid text.
//
// Encodings: UTF-8 or UTF-16 by the file's byte-order mark, otherwise the ANSI code page
// (GBK); profile_text.h says how a file is judged. A file that cannot be read and written
// exactly in its own encoding is left alone: reads find nothing, writes are refused.
//
// How a file reads:
// - Lines end at LF, CR LF or a lone CR. A NUL ends what is read of a line; the rest of
//   the line is kept but never looked at. Bytes that are not valid text read as U+FFFD,
//   and a name containing it never matches.
// - Blanks are space, tab, \v, \f, \r and Ctrl-Z (0x1A).
// - "[name]" after optional blanks opens a section; the name is what lies between "[" and
//   the last "]", blanks removed ("[a]b]" is section "a]b", as Wine reads it); whatever
//   follows that "]" is ignored. "[name" without "]" opens nothing. A line whose first
//   non-blank character is ";" is a comment.
// - Other lines with an "=" are entries: the key is what precedes the first "=", the
//   value what follows it, both without blanks at their ends. Lines without "=" and
//   lines before the first section are never found; the latter count as a nameless
//   section, which hides any later "[]" (so a nameless section never gives a value).
// - Names match without regard to letter case (the names asked for lose their blanks at
//   both ends too). The first section of a name wins - a later one of the same name is
//   never consulted - and in it the first entry of the key.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/profile_text.h"

namespace platform::posix::profile {

// The value (UTF-8) of `key` in `section`, as the read rules give it back: blanks at
// both ends removed, then one pair of enclosing quotation marks (' ' or " ") removed
// when the value is at least two characters long. Nothing when there is no such section
// or key, or the file's encoding is unrecognised; an empty string for an empty value.
// The caller applies the buffer limit.
std::optional<std::string> ReadValue(std::string_view bytes, std::string_view section,
                                     std::string_view key);

// The file's bytes with the value of `key` in `section` set to `value`, every other byte
// kept:
// - The key exists (where reading finds it): only the bytes of its value as read -
//   from the first non-blank after the "=" to the last non-blank before the line break
//   or a NUL - are replaced by `value`; the key, the "=", the blanks on both sides of
//   the old value and anything after a NUL stay. An empty old value is replaced at the
//   point after the "=" and its blanks.
// - The section exists, the key does not: "key=value" and a line break become a new
//   line right after the section's last non-blank line (its header when it has no
//   other), so blank lines before the next section stay before it. A comment at the end
//   of the section counts as part of it.
// - No such section: "[section]", a line break, "key=value", a line break are appended
//   at the end of the file, right after its last line, with no blank line between, as
//   Windows appends a section.
// A line that had no line break (the file's last) is given one before anything goes
// after it. New line breaks copy the file's first one (CR LF when it has none, or when a
// lone CR or LF would merge with a neighbouring break into one CR LF). Names are written
// without blanks at their ends; `value` is written as given (blanks and quotation marks
// included, so it reads back as the read rules give it back).
//
// Nothing - and the caller must then leave the file as it is - when the write cannot be
// made exactly: a line break or NUL anywhere in the names or the value, "=" in the key,
// "]" in the section, a name that is blank or a key that starts with "[" or ";" (after
// its blanks), malformed UTF-8 (or U+FFFD in a name), a character the file's encoding
// cannot hold, an unrecognised encoding, a UTF-16 file with an odd number of bytes, or a
// file that the change itself would make look like wide text (an ANSI file with NULs
// beside text, when the bytes put in or taken out move some of them to the other
// parity; a UTF-16 file with U+0000 characters, when an odd number of units put in or
// taken out moves them against four-byte groups, so that they read as UTF-32 in the
// other byte order).
std::optional<std::string> WriteValue(std::string_view bytes, std::string_view section,
                                      std::string_view key, std::string_view value);

}  // namespace platform::posix::profile
