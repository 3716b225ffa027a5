#include "common/CM_GeneralRoutines.h"

#include <cstddef>
#include <limits>

#include "common/Overflow.h"
#include "platform/codepage.h"

namespace common {

std::string TrimSpaces(std::string text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return std::string();
  }
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool IsBlank(std::string text) {
  return TrimSpaces(std::move(text)).empty();
}

std::int16_t AnsiLength(std::string text) {
  // The count stops at the first NUL, as a C string does.
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    text.resize(nul);
  }
  const std::size_t bytes = platform::AnsiByteCount(text);
  if (bytes > static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
    throw OverflowError();
  }
  return static_cast<std::int16_t>(bytes);
}

std::string AddBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') {
    return path;
  }
  return path + '\\';
}

std::string LastFolderName(std::string path) {
  // With exactly one trailing backslash guaranteed, the last folder name is what lies
  // between the backslash before it and that trailing one (possibly nothing).
  const std::string withBackslash = AddBackslash(std::move(path));
  const std::size_t end = withBackslash.size() - 1;
  const std::size_t previous = end == 0 ? std::string::npos : withBackslash.rfind('\\', end - 1);
  const std::size_t start = previous == std::string::npos ? 0 : previous + 1;
  return withBackslash.substr(start, end - start);
}

}  // namespace common
