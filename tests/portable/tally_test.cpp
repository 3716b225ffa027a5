// The tally's counts and lists, the exit code and the report's outcome column: all
// derived from the records alone, so built here from records, without any file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Unattended.h"

namespace {

using app::InstallationRecord;
using app::Outcome;
using platform::FileProblem;

InstallationRecord Record(const std::string& folder, Outcome outcome,
                          platform::FileResult reason = {}) {
  return {folder, "10.1.1.1", "10.1.1.1", outcome, reason};
}

// The last cell of each line of `report`.
std::vector<std::string> ResultColumn(const std::string& report) {
  std::vector<std::string> cells;
  for (std::size_t begin = 0; begin < report.size();) {
    const std::size_t end = report.find("\r\n", begin);
    const std::string line = report.substr(begin, end - begin);
    cells.push_back(line.substr(line.rfind('\t') + 1));
    begin = end + 2;
  }
  return cells;
}

TEST(Tally, CountsListsAndExitCodeFollowTheRecords) {
  const struct {
    const char* name;
    std::vector<InstallationRecord> records;
    int found, correct;
    bool rewritten;
    std::string correctList, failedList;
    int exitCode;
  } cases[] = {
      {"nothing found", {}, 0, 0, false, "", "", app::kExitNoneFound},
      {"already correct",
       {Record("A", Outcome::kAlreadyCorrect)},
       1,
       1,
       false,
       "A",
       "",
       app::kExitAllCorrect},
      {"repaired and failed",
       {Record("A", Outcome::kRepaired),
        Record("B", Outcome::kWriteFailed, {FileProblem::kInUse, 32}),
        Record("C", Outcome::kReadBackDiffers), Record("D", Outcome::kAlreadyCorrect)},
       4,
       2,
       true,
       "A\r\nD",
       "B\r\nC",
       app::kExitSomeWrong},
      {"audit", {Record("A", Outcome::kNeedsRepair)}, 1, 0, false, "", "A", app::kExitSomeWrong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    app::Tally tally;
    tally.records = c.records;
    EXPECT_EQ(tally.FoundCount(), c.found);
    EXPECT_EQ(tally.CorrectCount(), c.correct);
    EXPECT_EQ(tally.Rewritten(), c.rewritten);
    EXPECT_EQ(tally.CorrectList(), c.correctList);
    EXPECT_EQ(tally.FailedList(), c.failedList);
    EXPECT_EQ(app::ExitCodeOf(tally), c.exitCode);
  }
}

TEST(Tally, ReportSaysWhyEachWriteFailed) {
#ifdef _WIN32
  const int kDiskFull = 112;  // ERROR_DISK_FULL
#else
  const int kDiskFull = 28;  // ENOSPC
#endif
  app::Tally tally;
  tally.records = {
      Record("A", Outcome::kWriteFailed, {FileProblem::kReadOnly, 5}),
      Record("B", Outcome::kWriteFailed, {FileProblem::kAccessDenied, 5}),
      Record("C", Outcome::kWriteFailed, {FileProblem::kInUse, 32}),
      Record("D", Outcome::kWriteFailed, {FileProblem::kRefusedText, 0}),
      Record("E", Outcome::kWriteFailed, {FileProblem::kUnknown, kDiskFull}),
      Record("F", Outcome::kWriteFailed, {FileProblem::kUnknown, 987654}),
      Record("G", Outcome::kWriteFailed, {FileProblem::kUnknown, 0}),
      Record("H", Outcome::kReadBackDiffers),
      Record("I", Outcome::kNeedsRepair),
  };
  const std::vector<std::string> expected = {
      "修复失败: 文件只读",
      "修复失败: 拒绝访问",
      "修复失败: 文件正被其他程序使用",
      "修复失败: 文件的编码无法原样保存该值",
      "修复失败: 磁盘已满（系统错误 " + std::to_string(kDiskFull) + "）",
      "修复失败: 原因不明（系统错误 987654）",
      "修复失败: 原因不明",
      "修复失败: 写入后读回的值仍不同",
      "需要修复",
      "找到 9 个，其中 0 个为新地址，退出代码 1",
  };
  EXPECT_EQ(ResultColumn(app::FormatReport({}, tally, app::ExitCodeOf(tally), false)), expected);
}

}  // namespace
