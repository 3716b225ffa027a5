// UTF-8 <-> UTF-16 at the boundary to the Windows wide-character functions.
#pragma once

#include <string>

namespace platform::win32 {

// Malformed UTF-8 becomes U+FFFD; the conversions never fail.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text, std::size_t length);

}  // namespace platform::win32
