// The program's command line, as the system hands it over.
//
// win32: the process's wide command line, split by CommandLineToArgvW (the argv that
//        main gets is in the ANSI code page, which cannot hold every file name).
// posix: argv as it is.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The program's arguments without its own name, in UTF-8. Nothing when the system could
// not split the command line (win32: CommandLineToArgvW failed, for want of memory): what
// was asked is then unknown, and the caller must not guess - an unattended run taken for
// the interactive one would wait for ever on a box nobody sees.
std::optional<std::vector<std::string>> CommandLineArguments(int argc, char** argv);

}  // namespace platform
