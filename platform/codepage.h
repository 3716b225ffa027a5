// Code page services: what the program needs to know about the system's ANSI code page.
//
// Texts inside the program are UTF-8. The operators' systems use the ANSI code page 936
// (GBK); message layout is measured in its bytes, so the count must match what Windows
// would produce for the same text.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The number of bytes `text` (UTF-8) takes when converted to the ANSI code page, without
// a terminating NUL. A character the code page cannot hold counts as the look-alike the
// Windows conversion puts in its place ("¢" as the full-width "￠"), or, without one, one
// byte for each of its UTF-16 units, each becoming "?". Never fails: a malformed UTF-8
// byte counts as one unrepresentable character.
//
// win32: WideCharToMultiByte(CP_ACP). posix: code page 936 with Windows' table
// (platform/posix/gbk.h).
std::size_t AnsiByteCount(const std::string& text);

}  // namespace platform
