// The log over a file in memory: its own encoding, one set of column names, a line end
// before the rows, all of a block or nothing, every step under the lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/logfile.h"

namespace {

using platform::LogEncoding;
using platform::LogFile;

const std::string kHeading = "PC\tresult\r\n", kRows = "PC-1\t\xe5\xb7\xb2\r\n";  // U+5DF2
// In UTF-16LE, as a Windows log holds them.
std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (const char c : ascii) {
    bytes += {c, '\0'};
  }
  return bytes;
}
const std::string kHeading16 = Utf16(kHeading),
                  kRows16 = Utf16("PC-1\t") + "\xf2\x5d" + Utf16("\r\n");

// The file's state, which outlives the log that owns the file.
struct FakeFile {
  std::string bytes;
  bool locked = false, unlockedAccess = false, truncateFails = false;
  int busyTries = 0;       // TryLock answers kBusy this many times first
  int broken = 0;          // 1: the lock cannot be taken, 2: the size cannot be read
  std::size_t room = ~0u;  // an append that would grow the file beyond fails there
};

struct FakeLogFile : LogFile {
  explicit FakeLogFile(FakeFile& file) : f(file) {}
  Lock TryLock() override {
    return f.broken == 1       ? Lock::kFailed
           : f.busyTries-- > 0 ? Lock::kBusy
                               : (f.locked = true, Lock::kTaken);
  }
  void Unlock() override { f.locked = false; }
  bool Size(std::uint64_t& size) override { return Access(), size = f.bytes.size(), f.broken != 2; }
  bool Read(std::uint64_t offset, std::size_t count, std::string& out) override {
    out = f.bytes.substr(std::min<std::size_t>(offset, f.bytes.size()), count);
    return Access(), true;
  }
  bool Append(std::string_view more) override {
    Access();
    const std::size_t left = f.room - std::min(f.room, f.bytes.size());
    f.bytes.append(more.substr(0, left));
    return more.size() <= left;
  }
  bool Truncate(std::uint64_t size) override {
    Access();
    return !f.truncateFails && (f.bytes.resize(size), true);
  }
  std::string Problem() const override { return "磁盘已满"; }
  void Access() { f.unlockedAccess = f.unlockedAccess || !f.locked; }
  FakeFile& f;
};

std::unique_ptr<platform::ReportLog> Open(FakeFile& file, LogEncoding newEncoding, std::string& why,
                                          std::chrono::milliseconds patience = {}) {
  return platform::ReportLog::Open(std::make_unique<FakeLogFile>(file), kHeading, newEncoding, why,
                                   patience);
}

TEST(ReportLog, AppendsInTheEncodingTheFileHasAndRefusesAnyOther) {
  const std::string mark8 = "\xEF\xBB\xBF", mark16 = "\xFF\xFE";
  // Beyond the first piece that is read, and cut by its end: still found.
  const std::string longLine = std::string(64 * 1024 - 10, 'x') + "\r\n";
  const struct {
    std::string before, after;  // after opening, then appending kRows twice; "": refused
  } cases[] = {
      {"", mark16 + kHeading16 + kRows16 + kRows16},
      {"started", "started\r\n" + kHeading + kRows + kRows},  // a script's unended line
      {mark8 + kHeading + "x\n", mark8 + kHeading + "x\n" + kRows + kRows},
      {longLine + kHeading, longLine + kHeading + kRows + kRows},
      {mark16 + kHeading16 + Utf16("x"), mark16 + kHeading16 + Utf16("x\r\n") + kRows16 + kRows16},
      // Half a UTF-16 unit, left by a writer that died: completed, so the rest stays aligned.
      {mark16 + "x", mark16 + "x" + '\0' + Utf16("\r\n") + kHeading16 + kRows16 + kRows16},
      {mark8, mark8 + kHeading + kRows + kRows},
      // Any other encoding.
      {"\xb2\xe2\xca\xd4\r\n", ""},                 // GBK, as `echo 测试 >> log` in cmd writes it
      {std::string("\xFE\xFF\0a", 4), ""},          // UTF-16BE
      {std::string("\xFF\xFE\0\0a\0\0\0", 8), ""},  // UTF-32LE
      {std::string("a\0b\0", 4), ""},               // UTF-16LE without its mark
      {std::string(70000, 'a') + "\xe4", ""},       // UTF-8 cut short at its end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.before.substr(0, 20)));
    FakeFile file;
    file.bytes = c.before;
    std::string why;
    auto log = Open(file, LogEncoding::kUtf16LE, why);
    if (c.after.empty()) {
      EXPECT_EQ(log, nullptr);
      EXPECT_EQ(why,
                "它的编码不是 UTF-8，也不是带字节顺序标记的 UTF-16LE（如 ANSI "
                "代码页），追加会使它无法阅读");
      EXPECT_EQ(file.bytes, c.before);
      continue;
    }
    ASSERT_NE(log, nullptr) << why;
    EXPECT_TRUE(log->Append(kRows, why) && log->Append(kRows, why)) << why;
    EXPECT_EQ(file.bytes, c.after);
    EXPECT_FALSE(file.unlockedAccess || file.locked);
    file.bytes.clear();  // emptied meanwhile: a new log again
    EXPECT_TRUE(log->Append(kRows, why));
    EXPECT_EQ(file.bytes, mark16 + kHeading16 + kRows16);
  }
}

TEST(ReportLog, AFailedAppendIsCutBackAndEveryFailureSaysWhy) {
  FakeFile file;
  file.busyTries = 2;  // another run's, for a while
  std::string why;
  auto log = Open(file, LogEncoding::kUtf8, why, std::chrono::seconds(10));
  ASSERT_NE(log, nullptr) << why;
  const std::string before = file.bytes;
  file.room = before.size() + 5;
  EXPECT_FALSE(log->Append(kRows, why));
  EXPECT_EQ(why, "写入失败: 磁盘已满");
  EXPECT_EQ(file.bytes, before);
  file.truncateFails = true;
  EXPECT_FALSE(log->Append(kRows, why));
  EXPECT_EQ(why, "写入失败: 磁盘已满；已写入的部分无法截去: 磁盘已满");

  FakeFile busy, lockless, unreadable;
  busy.busyTries = 1000, lockless.broken = 1, unreadable.broken = 2;
  EXPECT_EQ(Open(busy, LogEncoding::kUtf8, why), nullptr);
  EXPECT_EQ(why, "另一次运行锁定它已超过 0 秒");
  EXPECT_EQ(Open(lockless, LogEncoding::kUtf8, why), nullptr);
  EXPECT_EQ(why, "无法锁定: 磁盘已满");
  EXPECT_EQ(Open(unreadable, LogEncoding::kUtf8, why), nullptr);
  EXPECT_EQ(why, "无法读取: 磁盘已满");
}

}  // namespace
