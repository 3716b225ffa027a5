// The ANSI code page of the target systems, 936 (GBK), through iconv.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::posix {

// GBK bytes to UTF-8. Bytes that are not valid GBK become U+FFFD, one for each byte, so
// that nothing malformed can ever compare equal to a real name.
std::string GbkToUtf8(std::string_view bytes);

// UTF-8 to GBK, or nothing when some character has no GBK form (or the UTF-8 is
// malformed): a caller that stores the result must not store a lossy copy.
std::optional<std::string> Utf8ToGbk(std::string_view text);

// Bytes `text` takes in GBK, counting one byte for each UTF-16 unit of a character that
// GBK cannot hold, as the Windows conversion does.
std::size_t GbkByteCount(std::string_view text);

}  // namespace platform::posix
