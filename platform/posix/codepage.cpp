// posix code page services: the ANSI code page is 936, as on the target systems.
#include "platform/codepage.h"

#include "platform/posix/gbk.h"

namespace platform {

std::size_t AnsiByteCount(const std::string& text) {
  return posix::GbkByteCount(text);
}

}  // namespace platform
