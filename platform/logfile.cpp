#include "platform/logfile.h"

#include <thread>
#include <utility>

#include "platform/utf8.h"

namespace platform {

namespace {

// How much of the log is read at a time while it is looked through.
constexpr std::size_t kChunk = 64 * 1024;
// How often a run that waits for the lock tries again.
constexpr std::chrono::milliseconds kLockRetry{50};

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::string_view MarkOf(LogEncoding encoding) {
  switch (encoding) {
    case LogEncoding::kUtf8WithMark:
      return kUtf8Mark;
    case LogEncoding::kUtf16LE:
      return kUtf16Mark;
    case LogEncoding::kUtf8:
      break;
  }
  return std::string_view();
}

// `text` (UTF-8) in `encoding`, without a mark.
std::string Encoded(std::string_view text, LogEncoding encoding) {
  if (encoding != LogEncoding::kUtf16LE) {
    return std::string(text);
  }
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t position = 0; position < text.size();) {
    char16_t units[2];
    const std::size_t count = EncodeUtf16(NextCodePoint(text, position), units);
    for (std::size_t i = 0; i < count; ++i) {
      bytes += static_cast<char>(units[i] & 0xFF);
      bytes += static_cast<char>(units[i] >> 8);
    }
  }
  return bytes;
}

const char kRefusedEncoding[] =
    "它的编码不是 UTF-8，也不是带字节顺序标记的 UTF-16LE（如 ANSI 代码页），追加会使它无法阅读";

// UTF-8 checked as it is read, chunk by chunk; a character may be cut between two chunks.
// A NUL counts as invalid: no text log holds one, and a UTF-16 file without its mark
// would otherwise pass for UTF-8.
class Utf8Check {
 public:
  void Feed(std::string_view bytes, bool last) {
    pending_ += bytes;
    std::size_t position = 0;
    while (valid_ && position < pending_.size() && (last || pending_.size() - position >= 4)) {
      const std::size_t start = position;
      const char32_t code = NextCodePoint(pending_, position);
      valid_ = code != 0 && !(code == kReplacementCharacter && position - start == 1);
    }
    pending_.erase(0, position);
  }
  bool Valid() const { return valid_; }

 private:
  std::string pending_;
  bool valid_ = true;
};

// The log's lock while it lives.
class HeldLock {
 public:
  explicit HeldLock(LogFile& file) : file_(file) {}
  ~HeldLock() {
    if (held_) {
      file_.Unlock();
    }
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

  bool Take(std::chrono::milliseconds patience, std::string& why) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
      switch (file_.TryLock()) {
        case LogFile::Lock::kTaken:
          held_ = true;
          return true;
        case LogFile::Lock::kFailed:
          why = "无法锁定: " + file_.Problem();
          return false;
        case LogFile::Lock::kBusy:
          break;
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        why = "另一次运行锁定它已超过 " +
              std::to_string(std::chrono::duration_cast<std::chrono::seconds>(patience).count()) +
              " 秒";
        return false;
      }
      std::this_thread::sleep_for(kLockRetry);
    }
  }

 private:
  LogFile& file_;
  bool held_ = false;
};

// What a look through the whole log found.
struct Survey {
  bool readable = true;
  LogEncoding encoding = LogEncoding::kUtf8;
  bool known = true;        // an encoding the log may be appended in
  bool hasHeading = false;  // a line that is the column names
};

Survey SurveyLog(LogFile& file, std::uint64_t size, const std::string& heading) {
  Survey survey;
  std::string start;
  if (!file.Read(0, 4, start)) {
    survey.readable = false;
    return survey;
  }
  if (start.rfind(kUtf16Mark, 0) == 0) {
    // FF FE 00 00 is UTF-32LE's mark.
    survey.known = start.size() < 4 || start.compare(2, 2, std::string(2, '\0')) != 0;
    survey.encoding = LogEncoding::kUtf16LE;
  } else if (start.rfind(kUtf8Mark, 0) == 0) {
    survey.encoding = LogEncoding::kUtf8WithMark;
  }
  if (!survey.known) {
    return survey;
  }
  // The column names at the start of a line: a line break before them, and the text's
  // start counts as one.
  const std::string lineStart = Encoded("\n", survey.encoding);
  const std::string wanted = lineStart + Encoded(heading, survey.encoding);
  std::string window = lineStart;
  Utf8Check utf8;
  for (std::uint64_t offset = MarkOf(survey.encoding).size(); offset < size;) {
    std::string chunk;
    if (!file.Read(offset, kChunk, chunk)) {
      survey.readable = false;
      return survey;
    }
    if (chunk.empty()) {
      break;  // it was cut shorter meanwhile
    }
    offset += chunk.size();
    if (survey.encoding != LogEncoding::kUtf16LE) {
      utf8.Feed(chunk, offset >= size);
    }
    window += chunk;
    survey.hasHeading = survey.hasHeading || window.find(wanted) != std::string::npos;
    window.erase(0, window.size() - std::min(window.size(), wanted.size() - 1));
  }
  utf8.Feed(std::string_view(), true);
  survey.known = utf8.Valid();
  return survey;
}

}  // namespace

ReportLog::ReportLog(std::unique_ptr<LogFile> file, std::string heading, LogEncoding encoding,
                     LogEncoding newEncoding, std::chrono::milliseconds patience)
    : file_(std::move(file)),
      heading_(std::move(heading)),
      encoding_(encoding),
      newEncoding_(newEncoding),
      patience_(patience) {}

std::unique_ptr<ReportLog> ReportLog::Open(std::unique_ptr<LogFile> file, std::string heading,
                                           LogEncoding newEncoding, std::string& why,
                                           std::chrono::milliseconds patience) {
  auto log = std::make_unique<ReportLog>(std::move(file), std::move(heading), newEncoding,
                                         newEncoding, patience);
  LogFile& held = *log->file_;
  HeldLock lock(held);
  if (!lock.Take(patience, why)) {
    return nullptr;
  }
  std::uint64_t size = 0;
  if (!held.Size(size)) {
    why = "无法读取: " + held.Problem();
    return nullptr;
  }
  Survey survey;
  if (size > 0) {
    survey = SurveyLog(held, size, log->heading_);
    if (!survey.readable) {
      why = "无法读取: " + held.Problem();
      return nullptr;
    }
    if (!survey.known) {
      why = kRefusedEncoding;
      return nullptr;
    }
    log->encoding_ = survey.encoding;
  }
  if (!survey.hasHeading && !log->AppendLocked(std::string(), true, why)) {
    return nullptr;
  }
  return log;
}

bool ReportLog::Append(const std::string& rows, std::string& why) {
  HeldLock lock(*file_);
  return lock.Take(patience_, why) && AppendLocked(rows, false, why);
}

bool ReportLog::AppendLocked(const std::string& rows, bool heading, std::string& why) {
  std::uint64_t size = 0;
  std::string tail;
  if (!file_->Size(size)) {
    why = "无法读取: " + file_->Problem();
    return false;
  }
  std::string bytes;
  const std::size_t mark = MarkOf(encoding_).size();
  if (size == 0) {
    // New, or emptied since it was opened: as a new log.
    encoding_ = newEncoding_;
    bytes = MarkOf(encoding_);
    heading = true;
  } else if (size > mark) {
    const std::size_t unit = encoding_ == LogEncoding::kUtf16LE ? 2 : 1;
    if (size % unit != 0) {
      // A UTF-16 unit cut in half by a writer that died: completed, so that what follows
      // stays aligned.
      bytes += '\0';
    } else if (!file_->Read(size - unit, unit, tail)) {
      why = "无法读取: " + file_->Problem();
      return false;
    }
    const bool endsLine = tail == Encoded("\n", encoding_) || tail == Encoded("\r", encoding_);
    if (!endsLine) {
      bytes += Encoded("\r\n", encoding_);
    }
  }
  bytes += Encoded(heading ? heading_ + rows : rows, encoding_);
  if (file_->Append(bytes)) {
    return true;
  }
  why = "写入失败: " + file_->Problem();
  if (!file_->Truncate(size)) {
    why += "；已写入的部分无法截去: " + file_->Problem();
  }
  return false;
}

std::unique_ptr<ReportLog> OpenReportLog(const std::string& path, const std::string& heading,
                                         std::string& why) {
  std::unique_ptr<LogFile> file = OpenLogFile(path, why);
  return file ? ReportLog::Open(std::move(file), heading, NewLogEncoding(), why) : nullptr;
}

}  // namespace platform
