// The command line of the unattended front end, parsed in one place before anything is
// read or written.
//
// Switches match without regard to letter case and may start with "/", "-" or "--":
//   /check           an audit: report, write nothing
//   /quiet           the automatic repair, without any box or window
//   /log:FILE        also /log FILE, --log=FILE: append the report to FILE
//   /?               also -h, --help: the usage
// Anything else - an unknown or misspelled switch, a word that is no switch, /check with
// /quiet, /log without a mode or without a file - is refused: a typo must never turn an
// audit into a repair, nor start the interactive run that nobody watches.
#pragma once

#include <string>
#include <vector>

namespace app {

enum class RunMode {
  kInteractive,  // no command line: the boxes and the folder window
  kCheck,
  kQuiet,
  kHelp,
  kRefused,  // see CommandLine::refusal
};

struct CommandLine {
  RunMode mode = RunMode::kInteractive;
  std::string logFile;  // empty: no log
  std::string refusal;  // for kRefused: what was wrong, in Chinese, naming the argument
};

// `arguments` without the program's name, as the platform gives them (UTF-8).
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage, in Chinese, lines joined by CR LF.
std::string UsageText();

}  // namespace app
