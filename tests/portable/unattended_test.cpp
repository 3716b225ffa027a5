// The unattended run without a file system: the search over a fake InstallationFiles, the
// exit code it calls for and the report that tells it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Unattended.h"
#include "tests/support/FakeInstallationFiles.h"

namespace {

using app::Outcome;
using app::UncheckedPlace;
using platform::FileProblem;
using Presence = app::InstallationFiles::Presence;

const std::string kC = "C:\\Program Files\\TAMO\\ZEL1";
const std::string kD = "D:\\Program Files\\TAMO\\ZEL1";
const std::string kE = "E:\\Program Files\\TAMO\\ZEL1";

std::string FileOf(const std::string& folder) {
  return folder + "\\BIN\\ZEL1.SYS";
}

using FakeFiles = testsupport::FakeInstallationFiles;

struct SearchRun {
  app::Tally tally;
  int exitCode = -1;
  std::string report;  // the outcome and note cells, one a line
};

SearchRun Search(FakeFiles& files, app::Mode mode = app::Mode::kRepair) {
  SearchRun run;
  app::CheckAllInstallations(mode, run.tally, files);
  run.exitCode = app::ExitCodeOf(run.tally);
  const std::string text = app::FormatReport({}, run.tally, run.exitCode, false);
  // Each row's folder (the sixth cell) and outcome (the last).
  for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string row = text.substr(start, end - start);
    std::size_t folder = start;
    for (int cell = 0; cell < 5; ++cell) {
      folder = text.find('\t', folder) + 1;
    }
    run.report += text.substr(folder, text.find('\t', folder) - folder) + " | " +
                  row.substr(row.rfind('\t') + 1) + "\n";
  }
  return run;
}

app::InstallationRecord Record(Outcome outcome) {
  app::InstallationRecord record;
  record.folder = kC;
  record.outcome = outcome;
  return record;
}

TEST(ExitCode, OneWrongBeatsUncheckedWhichBeatsNoneFound) {
  const UncheckedPlace drive{UncheckedPlace::Why::kSilentDrive, "F:", std::chrono::seconds(8)};
  const UncheckedPlace stop{UncheckedPlace::Why::kInterrupted, "", {}};
  const struct {
    std::vector<Outcome> outcomes;
    std::vector<UncheckedPlace> unchecked;
    int exitCode;
  } rows[] = {
      {{}, {}, app::kExitNoneFound},
      {{Outcome::kAlreadyCorrect, Outcome::kRepaired}, {}, app::kExitAllCorrect},
      {{Outcome::kRepaired, Outcome::kNeedsRepair}, {}, app::kExitSomeWrong},
      {{}, {drive}, app::kExitIncomplete},
      {{Outcome::kRepaired}, {stop}, app::kExitIncomplete},
      {{Outcome::kUnreadable}, {}, app::kExitIncomplete},
      {{Outcome::kUnreadable, Outcome::kWriteFailed}, {drive}, app::kExitSomeWrong},
      {{Outcome::kReadBackDiffers}, {stop}, app::kExitSomeWrong},
  };
  for (const auto& row : rows) {
    app::Tally tally;
    for (const Outcome outcome : row.outcomes) {
      tally.records.push_back(Record(outcome));
    }
    tally.unchecked = row.unchecked;
    EXPECT_EQ(app::ExitCodeOf(tally), row.exitCode) << &row - rows;
  }
}

TEST(Report, RowsNotesAndSummaryWithEscapedCellsAndNoHeadingUnlessAsked) {
  app::ReportContext context;
  context.computer = "PC\t1";
  context.time = "2026-01-02 03:04:05";
  context.version = "1.0";
  context.address = "192.0.2.10";
  context.audit = true;
  context.notes = {"=x"};
  app::Tally tally;
  app::InstallationRecord record = Record(Outcome::kNeedsRepair);
  record.before = record.after = "10.1.1.1";
  tally.records = {record, Record(Outcome::kUnreadable)};
  tally.records.back().reason = {FileProblem::kInUse, 32};
  tally.unchecked = {{UncheckedPlace::Why::kSilentDrive, "F:", std::chrono::milliseconds(8000)},
                     {UncheckedPlace::Why::kNotListable, "D:\\a", {}},
                     {UncheckedPlace::Why::kInterrupted, "", {}}};
  const std::string lead = "PC\\x091\t2026-01-02 03:04:05\t1.0\t192.0.2.10\t检查\t";
  const std::string rows =
      lead + kC + "\t10.1.1.1\t10.1.1.1\t需要修复\r\n" + lead + kC +
      "\t\t\t无法读取: 文件正被其他程序使用\r\n" + lead +
      "\t\t\t备注: 驱动器 F: 在 8 秒内没有响应，按不存在处理，其上的安装目录未检查\r\n" + lead +
      "\t\t\t备注: 目录 D:\\a 无法列出（拒绝访问），其中的安装目录未检查\r\n" + lead +
      "\t\t\t备注: 运行被中断（收到停止请求），其余安装目录未检查\r\n" + lead +
      "\t\t\t备注: =x\r\n" + lead + "（汇总）\t\t\t找到 2 个，其中 0 个为新地址，退出代码 1\r\n";
  EXPECT_EQ(app::FormatReport(context, tally, 1, false), rows);
  EXPECT_EQ(app::FormatReport(context, tally, 1, true),
            "计算机\t时间\t版本\t目标地址\t模式\t安装目录\t原地址\t现地址\t结果\r\n" + rows);
}

// Neither a file that could not be read nor one the program refuses is ever written; the
// first leaves the run incomplete (the exit-code table), the others are failures.
TEST(UnattendedSearch, UnreadableAndRefusedFilesAreNeverWritten) {
  FakeFiles files;
  files.values = {{FileOf(kC), "10.1.1.1"}, {FileOf(kD), "10.1.1.1"}, {FileOf(kE), "10.1.1.1"}};
  files.readFails[FileOf(kC)] = {FileProblem::kAccessDenied, 5};
  files.readFails[FileOf(kD)] = {FileProblem::kTooLarge, 0};
  files.readFails[FileOf(kE)] = {FileProblem::kUnsafePath, 0};
  for (const app::Mode mode : {app::Mode::kRepair, app::Mode::kAudit}) {
    const SearchRun run = Search(files, mode);
    EXPECT_TRUE(files.written.empty());
    EXPECT_EQ(run.report, kC + " | 无法读取: 拒绝访问\n" + kD +
                              " | 无法读取: 文件过大（超过 16 MiB），未改动\n" + kE +
                              " | 修复失败: 路径经过普通用户可更改的链接\n（汇总） | 找到 3 "
                              "个，其中 0 个为新地址，退出代码 1\n");
  }
}

TEST(UnattendedSearch, AnErrorInOneInstallationIsItsOwnAndTheNextIsRepaired) {
  FakeFiles files;
  files.values = {{FileOf(kC), "10.1.1.1"}, {FileOf(kD), "10.1.1.1"}, {FileOf(kE), "10.1.1.1"}};
  files.throwOnRead = {FileOf(kC)};
  files.throwOnWrite = {FileOf(kD)};
  const SearchRun run = Search(files);
  EXPECT_EQ(files.values[FileOf(kE)], app::TargetServerAddress);
  EXPECT_EQ(run.report, kC + " | 无法读取: 内存不足\n" + kD + " | 修复失败: 内存不足\n" + kE +
                            " | 已修复\n（汇总） | 找到 3 个，其中 1 个为新地址，退出代码 1\n");
}

TEST(UnattendedSearch, AStopEndsTheSearchBeforeTheNextInstallation) {
  FakeFiles files;
  files.values = {{FileOf(kC), "10.1.1.1"}, {FileOf(kD), "10.1.1.1"}};
  files.stop = [&files] { return !files.written.empty(); };  // heard during the first write
  const SearchRun run = Search(files);
  EXPECT_EQ(files.written, std::vector<std::string>{FileOf(kC)});
  EXPECT_EQ(run.report, kC + " | 已修复\n | 备注: 运行被中断（收到停止请求），其余安装目录未检查\n"
                             "（汇总） | 找到 1 个，其中 1 个为新地址，退出代码 4\n");
}

TEST(UnattendedSearch, PlacesNotLookedIntoAreNotedAndNothingFoundIsIncomplete) {
  FakeFiles files;
  files.unseen = {FileOf(kD)};
  files.silent = {{UncheckedPlace::Why::kSilentDrive, "F:", std::chrono::seconds(8)}};
  SearchRun run = Search(files);
  EXPECT_EQ(run.report, " | 未找到安装目录\n | 备注: 目录 " + kD +
                            " 无法列出（拒绝访问），其中的安装目录未检查\n | 备注: 驱动器 F: 在 8 "
                            "秒内没有响应，按不存在处理，其上的安装目录未检查\n（汇总） | 找到 0 "
                            "个，其中 0 个为新地址，退出代码 4\n");
  // Profiles that cannot be listed hide the shadows of an installation on C:.
  files = FakeFiles();
  files.values = {{FileOf(kC), app::TargetServerAddress}};
  files.profiles.reset();
  run = Search(files);
  EXPECT_EQ(run.exitCode, app::kExitIncomplete);
  EXPECT_NE(run.report.find("备注: 目录 C:\\Users 无法列出（拒绝访问）"), std::string::npos)
      << run.report;
}

}  // namespace
