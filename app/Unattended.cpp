#include "app/Unattended.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <system_error>

#include "app/Version.h"
#include "platform/dialogs.h"
#include "platform/driveprobe.h"
#include "platform/error.h"
#include "platform/logfile.h"
#include "platform/printable.h"
#include "platform/report.h"
#include "platform/text.h"

namespace app {

namespace {

// One cell: no tab or line break that would split the table, no escape sequence for the
// terminal of whoever reads the report, no formula for a spreadsheet (printable.h).
std::string Cell(const std::string& text) {
  return platform::ReportCell(text);
}

const char kHeading[] = "计算机\t时间\t版本\t目标地址\t模式\t安装目录\t原地址\t现地址\t结果\r\n";

// The one place where a file's problem becomes the report's Chinese.
std::string ProblemText(const platform::FileResult& reason) {
  switch (reason.problem) {
    case platform::FileProblem::kReadOnly:
      return "文件只读";
    case platform::FileProblem::kAccessDenied:
      return "拒绝访问";
    case platform::FileProblem::kInUse:
      return "文件正被其他程序使用";
    case platform::FileProblem::kRefusedText:
      return "文件的编码无法原样保存该值";
    case platform::FileProblem::kUnsafePath:
      return "路径经过普通用户可更改的链接";
    case platform::FileProblem::kTooLarge:  // said whole by OutcomeText
    case platform::FileProblem::kNone:
    case platform::FileProblem::kUnknown:
      break;
  }
  if (reason.systemCode == 0) {
    return "原因不明";
  }
  return platform::DescribeSystemError(std::error_code(reason.systemCode, std::system_category()));
}

std::string OutcomeText(const InstallationRecord& record) {
  switch (record.outcome) {
    case Outcome::kAlreadyCorrect:
      return "已是新地址";
    case Outcome::kRepaired:
      return "已修复";
    case Outcome::kNeedsRepair:
      return "需要修复";
    case Outcome::kReadBackDiffers:
      return "修复失败: 写入后读回的值仍不同";
    case Outcome::kUnreadable:
      return "无法读取: " + (record.error.empty() ? ProblemText(record.reason) : record.error);
    case Outcome::kFailed:
      return "修复失败: " + record.error;
    case Outcome::kWriteFailed:
    case Outcome::kRefused:
      break;
  }
  if (record.reason.problem == platform::FileProblem::kTooLarge) {
    return "无法读取: 文件过大（超过 16 MiB），未改动";
  }
  return "修复失败: " + ProblemText(record.reason);
}

}  // namespace

std::string UncheckedNote(const UncheckedPlace& place) {
  switch (place.why) {
    case UncheckedPlace::Why::kSilentDrive: {
      // Passed over like a missing drive: an installation on it was neither checked nor
      // repaired, which the site must be able to read.
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(place.waited).count();
      return "驱动器 " + place.place + " 在 " + std::to_string(seconds) +
             " 秒内没有响应，按不存在处理，其上的安装目录未检查";
    }
    case UncheckedPlace::Why::kNotListable:
      return "目录 " + place.place + " 无法列出（拒绝访问），其中的安装目录未检查";
    case UncheckedPlace::Why::kInterrupted:
      break;
  }
  return "运行被中断（收到停止请求），其余安装目录未检查";
}

int ExitCodeOf(const Tally& tally) {
  bool someUnread = !tally.unchecked.empty();
  for (const InstallationRecord& record : tally.records) {
    if (!record.Checked()) {
      someUnread = true;
    } else if (!record.HoldsAddress()) {
      return kExitSomeWrong;
    }
  }
  if (someUnread) {
    return kExitIncomplete;
  }
  return tally.FoundCount() == 0 ? kExitNoneFound : kExitAllCorrect;
}

std::string FormatReport(const ReportContext& context, const Tally& tally, int exitCode,
                         bool heading) {
  const std::string lead = Cell(context.computer) + "\t" + Cell(context.time) + "\t" +
                           Cell(context.version) + "\t" + Cell(context.address) + "\t" +
                           (context.audit ? "检查" : "修复") + "\t";
  const auto row = [&lead](const std::string& folder, const std::string& before,
                           const std::string& after, const std::string& result) {
    return lead + Cell(folder) + "\t" + Cell(before) + "\t" + Cell(after) + "\t" + Cell(result) +
           "\r\n";
  };
  std::string text;
  if (heading) {
    text += kHeading;
  }
  for (const InstallationRecord& record : tally.records) {
    text += row(record.folder, record.before, record.after, OutcomeText(record));
  }
  if (tally.records.empty() && context.error.empty()) {
    text += row("", "", "", "未找到安装目录");
  }
  for (const UncheckedPlace& place : tally.unchecked) {
    text += row("", "", "", "备注: " + UncheckedNote(place));
  }
  for (const std::string& note : context.notes) {
    text += row("", "", "", "备注: " + note);
  }
  if (!context.error.empty()) {
    text += row("", "", "", "发现错误 - " + context.error);
  }
  text += row("（汇总）", "", "",
              "找到 " + std::to_string(tally.FoundCount()) + " 个，其中 " +
                  std::to_string(tally.CorrectCount()) + " 个为新地址，退出代码 " +
                  std::to_string(exitCode));
  return text;
}

int RunUnattended(const CommandLine& line) {
  return RunUnattended(line, SystemFiles(true));
}

int RunUnattended(const CommandLine& line, InstallationFiles& files) {
  if (line.mode == RunMode::kRefused) {
    platform::WriteStandardError(line.refusal + "\r\n（zelfix /? 显示用法）\r\n");
    return kExitCouldNotRun;
  }
  if (line.mode == RunMode::kHelp) {
    if (platform::HasStandardOutput()) {
      platform::WriteStandardOutput(UsageText() + "\r\n");
    } else {
      // Started from Explorer or a shortcut: a box is the only place the usage can show.
      platform::CurrentDialogs().ShowMessageBox(UsageText(), kMessageTitle,
                                                platform::kMbOk | platform::kMbIconAsterisk);
    }
    return kExitUsageShown;
  }

  // The log first: an unlogged change on a fleet could not be audited. Opening it gives
  // it its column names where it has none, which also proves that it takes what is
  // written to it.
  std::unique_ptr<platform::ReportLog> log;
  if (!line.logFile.empty()) {
    std::string why;
    log = platform::OpenReportLog(line.logFile, kHeading, why);
    if (!log) {
      platform::WriteStandardError("无法使用日志文件 " + line.logFile + ": " + why + "\r\n");
      return kExitCouldNotRun;
    }
  }

  ReportContext context;
  context.audit = line.mode == RunMode::kCheck;
  context.version = kVersionText;
  context.address = TargetServerAddress;
  Tally tally;
  int exitCode = kExitCouldNotRun;
  try {
    context.computer = platform::ComputerName();
    context.time = platform::LocalTimeText();
    CheckAllInstallations(context.audit ? Mode::kAudit : Mode::kRepair, tally, files);
    exitCode = ExitCodeOf(tally);
  } catch (const std::exception& error) {
    context.error = platform::DescribeError(error);
  }

  // The log before the console: a reader of standard output that goes away (`| head`)
  // must not cost the site its record of the repair. And the log's fate is part of the
  // exit code, which the console's summary states.
  if (log) {
    std::string why;
    if (!log->Append(FormatReport(context, tally, exitCode, false), why)) {
      platform::WriteStandardError("无法写入日志文件 " + line.logFile + ": " + why + "\r\n");
      exitCode = kExitCouldNotRun;
    }
  }
  platform::WriteStandardOutput(FormatReport(context, tally, exitCode, true));
  return exitCode;
}

}  // namespace app
