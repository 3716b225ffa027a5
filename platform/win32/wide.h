// UTF-8 <-> UTF-16 at the boundary to the Windows wide-character functions, and names
// ordered the way the lists show them.
#pragma once

#include <string>
#include <vector>

namespace platform::win32 {

// Malformed UTF-8 becomes U+FFFD; the conversions never fail.
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
std::string Narrow(const wchar_t* text, std::size_t length);

// Sorts names by their invariant lower-case mapping (so that the order does not change
// with the user's locale), names that map alike in byte order.
void SortIgnoringCase(std::vector<std::string>& names);

}  // namespace platform::win32
