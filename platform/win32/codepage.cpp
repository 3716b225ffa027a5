// win32 code page services: the ANSI byte count through WideCharToMultiByte(CP_ACP).
#include "platform/codepage.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace platform {

std::size_t AnsiByteCount(const std::string& text) {
  const std::wstring wide = win32::Widen(text);
  if (wide.empty()) {
    return 0;
  }
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

}  // namespace platform
