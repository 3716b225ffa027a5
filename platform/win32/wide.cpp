#include "platform/win32/wide.h"

#include <windows.h>

#include "platform/text.h"

namespace platform::win32 {

std::wstring Widen(const std::string& text) {
  if (text.empty()) {
    return std::wstring();
  }
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
  if (length == 0) {
    return std::string();
  }
  const int size = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

void SortIgnoringCase(std::vector<std::string>& names) {
  SortByKey(names, [](const std::string& name) {
    std::wstring lowered = Widen(name);
    if (!lowered.empty()) {
      LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, lowered.data(),
                    static_cast<int>(lowered.size()), lowered.data(),
                    static_cast<int>(lowered.size()), nullptr, nullptr, 0);
    }
    return lowered;
  });
}

}  // namespace platform::win32
