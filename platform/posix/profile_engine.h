// The profile (INI) engine of the POSIX stand-in: pure functions over a file's bytes.
//
// Reading follows the rules that Windows' profile functions keep (see platform/profile.h);
// writing differs from Windows on purpose: Windows rewrites the whole file from its own
// parse, this engine changes only the bytes of the one value (or inserts one line, or
// one section) and keeps every other byte as it was - comments, blank lines, line
// endings, spacing, order, duplicate sections, and bytes that are not valid text.
//
// Encodings: a file that starts with a UTF-8 byte-order mark is UTF-8; with a UTF-16LE
// or UTF-16BE mark, UTF-16 in that byte order; otherwise the ANSI code page (GBK). A
// file that looks like UTF-16 without a mark cannot be read reliably and is left alone:
// reads find nothing and writes are refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform::posix::profile {

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be, kUnrecognised };

// The encoding of a file with these bytes.
Encoding DetectEncoding(std::string_view bytes);

// The value (UTF-8) of `key` in `section`, as the read rules give it back: spaces and
// tabs at both ends removed, one pair of enclosing quotation marks removed. Nothing when
// there is no such section or key, or the file's encoding is unrecognised. The caller
// applies the buffer limit.
std::optional<std::string> ReadValue(std::string_view bytes, std::string_view section,
                                     std::string_view key);

// The file's bytes with the value of `key` in `section` set to `value`. Nothing - and
// the caller must then leave the file as it is - when the write cannot be made exactly:
// a name or value the format cannot hold (a line break or NUL anywhere, "=" in the key,
// "]" in the section, a name that is blank or starts with "[" or ";"), a character the
// file's encoding cannot hold, or an unrecognised encoding.
std::optional<std::string> WriteValue(std::string_view bytes, std::string_view section,
                                      std::string_view key, std::string_view value);

}  // namespace platform::posix::profile
