// win32 report services: GetComputerNameW, GetLocalTime, WriteConsoleW.
//
// Implements: everything in report.h. The console gets WriteConsoleW, which shows Chinese
// right at any code page; a file or pipe as standard output or error gets text in the
// console's output code page, as console programs write it.
#include "platform/report.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/wide.h"

namespace platform {

namespace {

bool WriteBytes(HANDLE handle, const char* data, std::size_t left) {
  while (left > 0) {
    const DWORD chunk = left > 0x10000 ? 0x10000 : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
      return false;
    }
    data += written;
    left -= written;
  }
  return true;
}

// `text` in the code page a reader of redirected output decodes with: the console's
// output code page (what cmd's tools and PowerShell's [Console]::OutputEncoding use), or
// the OEM code page - the console's default - when the process has no console.
std::string InOutputCodePage(const std::wstring& text) {
  if (text.empty()) {
    return std::string();
  }
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) {
    codePage = GetOEMCP();
  }
  const int length = static_cast<int>(text.size());
  // A character the code page lacks becomes its default character, not a look-alike.
  // UTF-8 and a few others take no flags; they refuse the call, and get it without.
  DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  int bytes =
      WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes == 0 && flags != 0) {
    flags = 0;
    bytes = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  }
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(codePage, flags, text.data(), length, narrow.data(), bytes, nullptr,
                        nullptr);
  }
  return narrow;
}

HANDLE StandardHandle(DWORD which) {
  const HANDLE handle = GetStdHandle(which);
  return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

bool WriteStandardHandle(DWORD which, const std::string& text) {
  const HANDLE handle = StandardHandle(which);
  if (handle == nullptr) {
    return false;
  }
  const std::wstring wide = win32::Widen(text);
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) !=
           FALSE;
  }
  // A file or pipe: `$r = zelfix /check`, `| findstr` and `> report.txt` read it as text.
  const std::string narrow = InOutputCodePage(wide);
  // Nothing from something: the conversion failed.
  return (!narrow.empty() || wide.empty()) && WriteBytes(handle, narrow.data(), narrow.size());
}

}  // namespace

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) {
    return std::string();
  }
  return win32::Narrow(name, size);
}

std::string LocalTimeText() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;  // minutes to add to local time for UTC
  if (which == TIME_ZONE_ID_DAYLIGHT) {
    bias += zone.DaylightBias;
  } else if (which == TIME_ZONE_ID_STANDARD) {
    bias += zone.StandardBias;
  }
  const long offset = -bias;
  const long magnitude = offset < 0 ? -offset : offset;
  char text[48] = {};
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u %c%02ld:%02ld", local.wYear,
                local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return text;
}

bool WriteStandardOutput(const std::string& text) {
  return WriteStandardHandle(STD_OUTPUT_HANDLE, text);
}

bool WriteStandardError(const std::string& text) {
  return WriteStandardHandle(STD_ERROR_HANDLE, text);
}

bool HasStandardOutput() {
  return StandardHandle(STD_OUTPUT_HANDLE) != nullptr;
}

}  // namespace platform
