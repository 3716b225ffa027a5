// What the unattended front end (/check, /quiet) needs of the system besides its command
// line (commandline.h) and its log (logfile.h): the computer's name, the local time, and
// standard output and error.
//
// How the text is written is the back-end's choice (the README says why):
// win32: a console gets WriteConsoleW; standard output or error that is a file or pipe
//        gets text in the console's output code page (the OEM code page without a
//        console), where a character the code page lacks becomes its default character.
// posix: UTF-8, as it is.
#pragma once

#include <string>

namespace platform {

// The computer's name ("PC-0012"); empty when the system does not say.
std::string ComputerName();

// The local time now, as "YYYY-MM-DD hh:mm:ss" followed by the offset from UTC
// ("+08:00"), so that reports from PCs in several time zones still sort.
std::string LocalTimeText();

// Write `text` (UTF-8) to standard output or standard error. False when there is none (a
// window program started without a console) or the write failed. Unattended, a pipe whose
// reader went away fails the write rather than ending the process (process.h).
bool WriteStandardOutput(const std::string& text);
bool WriteStandardError(const std::string& text);

// True when standard output goes somewhere (a console, a file, a pipe): a window program
// started by Explorer has none, and shows its usage in a box instead.
bool HasStandardOutput();

}  // namespace platform
