// posix command line: argv, which the system always hands over whole.
#include "platform/commandline.h"

namespace platform {

std::optional<std::vector<std::string>> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace platform
