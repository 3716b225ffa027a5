// What the unattended front end (/check, /quiet) needs of the system: the command line,
// the computer's name, the local time, and the two places a report goes - a file it is
// appended to, and the console.
//
// The report's encoding is the back-end's choice (the README says why):
// win32: the log in UTF-16LE, with a byte-order mark at the start of a new (empty) file;
//        a console gets WriteConsoleW; standard output or error that is a file or pipe
//        gets text in the console's output code page (the OEM code page without a
//        console), where a character the code page lacks becomes its default character.
// posix: UTF-8 without a byte-order mark; the log is a host path.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

// The program's arguments without its own name, in UTF-8. win32 takes them from the
// process's wide command line (argv is in the ANSI code page); posix from argv as it is.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The computer's name ("PC-0012"); empty when the system does not say.
std::string ComputerName();

// The local time now, as "YYYY-MM-DD hh:mm:ss" followed by the offset from UTC
// ("+08:00"), so that reports from PCs in several time zones still sort.
std::string LocalTimeText();

// A report file opened for appending; created when missing, never truncated.
class ReportFile {
 public:
  virtual ~ReportFile() = default;
  // Appends `text` (UTF-8, CR LF line ends) in the report's encoding. False when not all
  // of it was written.
  virtual bool Append(const std::string& text) = 0;
  // True while the file holds nothing: a new file gets the column names first.
  virtual bool Empty() = 0;
};

// Opens `path` for appending. Nothing when it cannot be opened or created (a read-only
// folder, a missing share); `error` then says why, in Chinese.
std::unique_ptr<ReportFile> OpenReportFile(const std::string& path, std::string& error);

// Writes `text` to standard output (`toError` false) or standard error. False when there
// is none (a window program started without a console) or the write failed.
bool WriteToConsole(const std::string& text, bool toError);

// True when standard output goes somewhere (a console, a file, a pipe): a window program
// started by Explorer has none, and shows its usage in a box instead.
bool HasStandardOutput();

}  // namespace platform
