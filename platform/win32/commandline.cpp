// win32 command line: GetCommandLineW split by CommandLineToArgvW.
#include "platform/commandline.h"

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace platform {

std::optional<std::vector<std::string>> CommandLineArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  const win32::LocalMemory owner(wide);
  if (wide == nullptr) {
    return std::nullopt;
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    arguments.push_back(win32::Narrow(wide[i]));
  }
  return arguments;
}

}  // namespace platform
