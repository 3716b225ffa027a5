// The log as runs append to it, over a file in memory: the encoding it already has, one
// set of column names, a line end before the rows, all of a block or nothing, and every
// step under the lock.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/logfile.h"

namespace {

using platform::LogEncoding;
using platform::LogFile;
using platform::ReportLog;

const std::string kHeading = "计算机\t结果\r\n";
const std::string kRows = "PC-1\t已修复\r\n";

std::string Utf16(const std::string& ascii) {
  std::string bytes;
  for (const char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}
// The heading and the rows in UTF-16LE, as the log's encoding makes them.
const std::string kHeading16 =
    "\xa1\x8b\x97\x7b\x3a\x67" + Utf16("\t") + "\xd3\x7e\x9c\x67" + Utf16("\r\n");
const std::string kRows16 = Utf16("PC-1\t") + "\xf2\x5d\xee\x4f\x0d\x59" + Utf16("\r\n");

struct State {
  std::string bytes;
  bool locked = false;
  int busyTries = 0;           // TryLock answers kBusy this many times first
  std::size_t writable = ~0u;  // the file system's room: a longer append fails there
  bool truncateFails = false;
  bool unlockedAccess = false;  // some call came without the lock
};

class FakeLogFile : public LogFile {
 public:
  explicit FakeLogFile(State& state) : state_(state) {}

  Lock TryLock() override {
    if (state_.busyTries > 0) {
      --state_.busyTries;
      return Lock::kBusy;
    }
    state_.locked = true;
    return Lock::kTaken;
  }
  void Unlock() override { state_.locked = false; }
  bool Size(std::uint64_t& size) override {
    Access();
    size = state_.bytes.size();
    return true;
  }
  bool Read(std::uint64_t offset, std::size_t count, std::string& bytes) override {
    Access();
    bytes = offset < state_.bytes.size() ? state_.bytes.substr(offset, count) : std::string();
    return true;
  }
  bool Append(std::string_view bytes) override {
    Access();
    const std::size_t room = state_.writable - std::min(state_.writable, state_.bytes.size());
    state_.bytes.append(bytes.substr(0, room));
    return bytes.size() <= room;
  }
  bool Truncate(std::uint64_t size) override {
    Access();
    if (state_.truncateFails) {
      return false;
    }
    state_.bytes.resize(size);
    return true;
  }
  std::string Problem() const override { return "磁盘已满"; }

 private:
  void Access() { state_.unlockedAccess = state_.unlockedAccess || !state_.locked; }
  State& state_;
};

std::unique_ptr<ReportLog> Open(State& state, LogEncoding newEncoding, std::string& why) {
  return ReportLog::Open(std::make_unique<FakeLogFile>(state), kHeading, newEncoding, why,
                         std::chrono::milliseconds(0));
}

struct Case {
  const char* name;
  std::string before;
  std::string after;  // after opening and appending kRows twice
};

TEST(ReportLog, AppendsInTheEncodingTheFileHas) {
  const std::string mark8 = "\xEF\xBB\xBF", mark16 = "\xFF\xFE";
  // Beyond the first piece that is read, and cut by its end: still found.
  const std::string longLine = std::string(64 * 1024 - 10, 'x') + "\r\n";
  const Case cases[] = {
      {"new", "", mark16 + kHeading16 + kRows16 + kRows16},
      {"a line of a script, unterminated", "started", "started\r\n" + kHeading + kRows + kRows},
      {"UTF-8 with its mark, ended by LF", mark8 + kHeading + "x\n",
       mark8 + kHeading + "x\n" + kRows + kRows},
      {"UTF-8 whose heading lies far in", longLine + kHeading, longLine + kHeading + kRows + kRows},
      {"UTF-16LE, unterminated", mark16 + kHeading16 + Utf16("x"),
       mark16 + kHeading16 + Utf16("x\r\n") + kRows16 + kRows16},
      {"UTF-16LE with half a unit", mark16 + kHeading16 + "x",
       mark16 + kHeading16 + "x" + std::string(1, '\0') + Utf16("\r\n") + kRows16 + kRows16},
      {"only a mark", mark8, mark8 + kHeading + kRows + kRows},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    State state;
    state.bytes = c.before;
    std::string why;
    auto log = Open(state, LogEncoding::kUtf16LE, why);
    ASSERT_NE(log, nullptr) << why;
    EXPECT_TRUE(log->Append(kRows, why)) << why;
    EXPECT_TRUE(log->Append(kRows, why)) << why;
    EXPECT_EQ(state.bytes, c.after);
    EXPECT_FALSE(state.unlockedAccess);
    EXPECT_FALSE(state.locked);
  }
}

TEST(ReportLog, RefusesAnyOtherEncodingUntouched) {
  const std::string others[] = {
      "\xb2\xe2\xca\xd4\r\n",                 // GBK, as `echo 测试 >> log` in cmd writes it
      std::string("\xFE\xFF\0a", 4),          // UTF-16BE
      std::string("\xFF\xFE\0\0a\0\0\0", 8),  // UTF-32LE
      std::string("a\0b\0", 4),               // UTF-16LE without its mark
      std::string(70000, 'a') + "\xe4",       // UTF-8 cut short at the very end
  };
  for (const std::string& other : others) {
    State state;
    state.bytes = other;
    std::string why;
    EXPECT_EQ(Open(state, LogEncoding::kUtf8, why), nullptr);
    EXPECT_NE(why.find("它的编码不是 UTF-8"), std::string::npos) << why;
    EXPECT_EQ(state.bytes, other);
  }
}

TEST(ReportLog, AFailedAppendIsCutBack) {
  State state;
  std::string why;
  auto log = Open(state, LogEncoding::kUtf8, why);
  ASSERT_NE(log, nullptr);
  const std::string before = state.bytes;
  state.writable = before.size() + 5;
  EXPECT_FALSE(log->Append(kRows, why));
  EXPECT_EQ(why, "写入失败: 磁盘已满");
  EXPECT_EQ(state.bytes, before);

  state.truncateFails = true;
  EXPECT_FALSE(log->Append(kRows, why));
  EXPECT_EQ(why, "写入失败: 磁盘已满；已写入的部分无法截去: 磁盘已满");
}

TEST(ReportLog, WaitsForTheLockOfAnotherRunWithinItsPatience) {
  State state;
  state.busyTries = 2;
  std::string why;
  EXPECT_NE(ReportLog::Open(std::make_unique<FakeLogFile>(state), kHeading, LogEncoding::kUtf8, why,
                            std::chrono::seconds(10)),
            nullptr)
      << why;
  state.busyTries = 1000;
  EXPECT_EQ(Open(state, LogEncoding::kUtf8, why), nullptr);
  EXPECT_EQ(why, "另一次运行锁定它已超过 0 秒");
}

TEST(ReportLog, AnEmptiedLogGetsItsHeadingAgain) {
  State state;
  std::string why;
  auto log = Open(state, LogEncoding::kUtf8, why);
  ASSERT_NE(log, nullptr);
  state.bytes.clear();
  EXPECT_TRUE(log->Append(kRows, why));
  EXPECT_EQ(state.bytes, kHeading + kRows);
}

}  // namespace
