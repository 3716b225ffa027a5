// The log of the unattended runs: the file that /log names, which every run on a PC - or
// every PC, on a share - appends its report to, so that the rows read as one table.
//
// The program may run as SYSTEM or root while the log's folder belongs to someone else,
// so the back-end opens it as such a run must (OpenLogFile):
// - never through a link in its last part, and only a regular file: never a folder, a
//   pipe or a device, and never in a way that could block (posix: O_NOFOLLOW and
//   O_NONBLOCK, then fstat; win32: FILE_FLAG_OPEN_REPARSE_POINT, then GetFileType, the
//   attributes, and the final path of what was opened against the folder's own);
// - an existing file only with one link (a hard link would have the run append to a file
//   elsewhere) and only when the run's user owns it (win32: the token's user, or a group
//   the token may make owner, as Administrators for an elevated run; on a network share
//   the server decides, and this is not checked);
// - a new one created exclusively (posix: O_EXCL, mode 0644; win32: CREATE_NEW, on a
//   local drive with an access list of its own that lets only its owner, SYSTEM and
//   Administrators in, on a share with what the folder passes on).
// The log must let the run read it as well as write it: what it holds decides how the
// run appends.
//
// What is written, and how, is portable code (platform/logfile.cpp, ReportLog): under a
// lock that every run appending to the log takes, the file is appended in the encoding it
// already has, gets its column names once, and gets a whole block of rows or nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// How a log's text is stored.
enum class LogEncoding {
  kUtf8,          // UTF-8 without a byte-order mark
  kUtf8WithMark,  // UTF-8 after the mark EF BB BF
  kUtf16LE,       // UTF-16LE after the mark FF FE
};

// Back-end: one log, opened by OpenLogFile. A call that fails leaves why in Problem().
class LogFile {
 public:
  enum class Lock { kTaken, kBusy, kFailed };

  virtual ~LogFile() = default;
  // Takes, without waiting, the lock that every run appending to a log takes (win32:
  // LockFileEx on one byte far beyond any end of file, so that readers are never in its
  // way; posix: flock). kBusy while another run holds it. A file system that cannot lock
  // answers kTaken: nobody can lock there, and the run goes on unlocked.
  virtual Lock TryLock() = 0;
  virtual void Unlock() = 0;
  virtual bool Size(std::uint64_t& size) = 0;
  // The bytes from `offset` on, `count` at most: fewer at the end of the file.
  virtual bool Read(std::uint64_t offset, std::size_t count, std::string& bytes) = 0;
  // Appends all of `bytes` at the end of the file.
  virtual bool Append(std::string_view bytes) = 0;
  // Cuts the file back to `size` bytes.
  virtual bool Truncate(std::uint64_t size) = 0;
  // Why the last call that failed (false, or kFailed) failed, in Chinese, with the
  // system's error number (DescribeSystemError).
  virtual std::string Problem() const = 0;
};

// Back-end: opens the log at `path` (a host path on posix) as the top of this file says,
// creating it when missing. Nothing when it cannot be opened or is refused; `why` then
// says why, in Chinese ("它是一个链接", "它有多个硬链接", or the system's reason).
std::unique_ptr<LogFile> OpenLogFile(const std::string& path, std::string& why);

// Back-end: the encoding of a log the program creates. win32: UTF-16LE, the one encoding
// every reader on Windows shows right without being told; posix: UTF-8, as `cat` and the
// terminal expect.
LogEncoding NewLogEncoding();

// How long a run waits for the lock of another: each run holds it for one append only,
// so a longer wait means a run that hangs, and the log is not used.
inline constexpr std::chrono::milliseconds kLogLockPatience{30000};

// The log as the unattended run uses it.
class ReportLog {
 public:
  // Takes the log in `file` for a report whose column names are `heading` (UTF-8, ending
  // with CR LF). Under the lock: learns the encoding the file has - UTF-16LE with its mark,
  // UTF-8 with or without one; an empty file gets `newEncoding` - and gives the file its
  // column names unless a line of it holds them already, which also proves that it takes
  // what is written. Nothing when the file cannot be used: another encoding (a log
  // started in the ANSI code page, say), a failed read or write (the file is then cut
  // back to its earlier length), or a lock held longer than `patience`; `why` then says
  // why, in Chinese.
  static std::unique_ptr<ReportLog> Open(std::unique_ptr<LogFile> file, std::string heading,
                                         LogEncoding newEncoding, std::string& why,
                                         std::chrono::milliseconds patience = kLogLockPatience);

  // Appends `rows` (UTF-8, CR LF line ends) whole, under the lock, in the file's
  // encoding, after a line end when the file does not end with one (and after the column
  // names when the file was emptied meanwhile). When the write fails part-way, the file
  // is cut back to its length before it. False when the rows are not in the log; `why`
  // then says why, in Chinese.
  bool Append(const std::string& rows, std::string& why);

  ReportLog(std::unique_ptr<LogFile> file, std::string heading, LogEncoding encoding,
            LogEncoding newEncoding, std::chrono::milliseconds patience);

 private:
  // The writing itself, with the lock held.
  bool AppendLocked(const std::string& rows, bool heading, std::string& why);

  std::unique_ptr<LogFile> file_;
  std::string heading_;
  LogEncoding encoding_;
  LogEncoding newEncoding_;
  std::chrono::milliseconds patience_;
};

// OpenLogFile, then ReportLog::Open with NewLogEncoding: the log of this run.
std::unique_ptr<ReportLog> OpenReportLog(const std::string& path, const std::string& heading,
                                         std::string& why);

}  // namespace platform
