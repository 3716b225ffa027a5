// The unattended front end: /check and /quiet over the same search and repair as Main,
// told through a report and an exit code instead of boxes. Nothing here shows a box or a
// window, except the usage of /? when there is no console to print it in.
#pragma once

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Module1.h"

namespace app {

// The exit codes, the same for /check and /quiet.
inline constexpr int kExitAllCorrect = 0;   // installations found, every one holds the address
inline constexpr int kExitSomeWrong = 1;    // some installation found does not hold it
inline constexpr int kExitNoneFound = 2;    // no installation found
inline constexpr int kExitCouldNotRun = 3;  // unknown switch, no log, unexpected error
// Every installation checked holds the address, but some place that could hold one was
// not checked (a silent drive, a folder that could not be looked into, a settings file
// that could not be read, an interruption): run again once it can be reached.
inline constexpr int kExitIncomplete = 4;
// /? has done its job once the usage is shown.
inline constexpr int kExitUsageShown = 0;

// The exit code that `tally` calls for: 1 when some installation checked does not hold
// the address; else 4 when some place was not checked; else 2 when nothing was found;
// else 0. (3 is the run's, not the tally's.)
int ExitCodeOf(const Tally& tally);

// The note row's text for a place that was not checked.
std::string UncheckedNote(const UncheckedPlace& place);

// What a report says beside the installations.
struct ReportContext {
  std::string computer;
  std::string time;
  std::string version;
  std::string address;
  bool audit = false;
  // Lines the run wants read beside the rows, each one row of its own, after the notes
  // on the tally's unchecked places.
  std::vector<std::string> notes;
  std::string error;  // an unexpected error that ended the run, or empty
};

// The report: tab-separated rows with CR LF, every row carrying the computer, time,
// version, address and mode, so that the reports of many PCs and runs, put one after
// another, read as one table. `heading` puts the column names first.
std::string FormatReport(const ReportContext& context, const Tally& tally, int exitCode,
                         bool heading);

// Runs what `line` asks for (any mode but kInteractive) and answers the exit code.
int RunUnattended(const CommandLine& line);
// The same over `files` instead of SystemFiles(true).
int RunUnattended(const CommandLine& line, InstallationFiles& files);

}  // namespace app
