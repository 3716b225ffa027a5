// The tally's counts and lists, the exit code and the report's outcome column: all
// derived from the records alone, so built here from records, without any file.
#include <gtest/gtest.h>

#include <string>

#include "app/Unattended.h"

namespace {

using app::Outcome;
using platform::FileProblem;

app::InstallationRecord Record(const std::string& folder, Outcome outcome,
                               platform::FileResult reason = {}) {
  return {folder, "10.1.1.1", "10.1.1.1", outcome, reason, ""};
}

TEST(Tally, CountsListsAndExitCodeFollowTheRecords) {
  app::Tally tally;
  EXPECT_EQ(app::ExitCodeOf(tally), app::kExitNoneFound);
  tally.records = {Record("A", Outcome::kRepaired), Record("B", Outcome::kWriteFailed),
                   Record("C", Outcome::kReadBackDiffers), Record("D", Outcome::kAlreadyCorrect),
                   Record("E", Outcome::kNeedsRepair)};
  EXPECT_EQ(tally.FoundCount(), 5);
  EXPECT_EQ(tally.CorrectCount(), 2);
  EXPECT_TRUE(tally.Rewritten());
  EXPECT_EQ(tally.CorrectList(), "A\r\nD");
  EXPECT_EQ(tally.FailedList(), "B\r\nC\r\nE");
  EXPECT_EQ(app::ExitCodeOf(tally), app::kExitSomeWrong);
  tally.records = {Record("D", Outcome::kAlreadyCorrect)};
  EXPECT_FALSE(tally.Rewritten());
  EXPECT_EQ(app::ExitCodeOf(tally), app::kExitAllCorrect);
}

TEST(Tally, ReportSaysWhyAWriteFailed) {
#ifdef _WIN32
  const int kDiskFull = 112;  // ERROR_DISK_FULL
#else
  const int kDiskFull = 28;  // ENOSPC
#endif
  const struct {
    app::InstallationRecord record;
    std::string result;
  } rows[] = {
      {Record("A", Outcome::kWriteFailed, {FileProblem::kReadOnly, 5}), "修复失败: 文件只读"},
      {Record("B", Outcome::kWriteFailed, {FileProblem::kUnknown, kDiskFull}),
       "修复失败: 磁盘已满（系统错误 " + std::to_string(kDiskFull) + "）"},
      {Record("C", Outcome::kWriteFailed, {FileProblem::kUnknown, 987654}),
       "修复失败: 原因不明（系统错误 987654）"},
      {Record("D", Outcome::kWriteFailed, {FileProblem::kUnknown, 0}), "修复失败: 原因不明"},
      {Record("E", Outcome::kReadBackDiffers), "修复失败: 写入后读回的值仍不同"},
  };
  for (const auto& row : rows) {
    app::Tally tally;
    tally.records = {row.record};
    const std::string report = app::FormatReport({}, tally, app::ExitCodeOf(tally), false);
    EXPECT_NE(report.find("\t" + row.result + "\r\n"), std::string::npos) << report;
  }
}

}  // namespace
