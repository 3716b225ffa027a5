#include "app/Unattended.h"

#include <chrono>
#include <exception>
#include <memory>

#include "app/Version.h"
#include "platform/dialogs.h"
#include "platform/drives.h"
#include "platform/error.h"
#include "platform/report.h"
#include "platform/text.h"

namespace app {

namespace {

// One cell. A control character is shown as \xHH: a tab or line break would split the
// table, and an escape sequence in a folder name would reach the terminal of whoever
// reads the report.
std::string Cell(const std::string& text) {
  std::string cell;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      cell += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    } else {
      cell += c;
    }
  }
  return cell;
}

const char kHeading[] = "计算机\t时间\t版本\t目标地址\t模式\t安装目录\t原地址\t现地址\t结果\r\n";

std::string ProblemText(const InstallationRecord& record) {
  switch (record.problem) {
    case platform::WriteProblem::kNone:
      return "写入后读回的值仍不同";
    case platform::WriteProblem::kReadOnly:
      return "文件只读";
    case platform::WriteProblem::kAccessDenied:
      return "拒绝访问";
    case platform::WriteProblem::kInUse:
      return "文件正被其他程序使用";
    case platform::WriteProblem::kRefusedText:
      return "文件的编码无法原样保存该值";
    case platform::WriteProblem::kUnsafePath:
      return "路径经过普通用户可更改的链接";
    case platform::WriteProblem::kTooLarge:  // said in full by OutcomeText
    case platform::WriteProblem::kUnknown:
      break;
  }
  return record.systemCode != 0 ? "原因不明（系统错误 " + std::to_string(record.systemCode) + "）"
                                : "原因不明";
}

std::string OutcomeText(const InstallationRecord& record) {
  switch (record.outcome) {
    case Outcome::kAlreadyCorrect:
      return "已是新地址";
    case Outcome::kRepaired:
      return "已修复";
    case Outcome::kNeedsRepair:
      return "需要修复";
    case Outcome::kFailed:
      break;
  }
  if (record.problem == platform::WriteProblem::kTooLarge) {
    return "无法读取: 文件过大（超过 16 MiB），未改动";
  }
  return "修复失败: " + ProblemText(record);
}

// A drive that did not answer was passed over like a missing one: an installation on it
// was neither checked nor repaired, which the site must be able to read.
std::string SilentDriveNote(const platform::SilentDrive& drive) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(drive.waited).count();
  return std::string("驱动器 ") + platform::AsciiUpper(drive.letter) + ": 在 " +
         std::to_string(seconds) + " 秒内没有响应，按不存在处理，其上的安装目录未检查";
}

}  // namespace

int ExitCodeOf(const Tally& tally) {
  if (tally.FoundCount == 0) {
    return kExitNoneFound;
  }
  return tally.CorrectCount == tally.FoundCount ? kExitAllCorrect : kExitSomeWrong;
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
  for (const InstallationRecord& record : tally.Records) {
    text += row(record.folder, record.before, record.after, OutcomeText(record));
  }
  if (tally.Records.empty() && context.error.empty()) {
    text += row("", "", "", "未找到安装目录");
  }
  for (const std::string& note : context.notes) {
    text += row("", "", "", "备注: " + note);
  }
  if (!context.error.empty()) {
    text += row("", "", "", "发现错误 - " + context.error);
  }
  text += row("（汇总）", "", "",
              "找到 " + std::to_string(tally.FoundCount) + " 个，其中 " +
                  std::to_string(tally.CorrectCount) + " 个为新地址，退出代码 " +
                  std::to_string(exitCode));
  return text;
}

int RunUnattended(const CommandLine& line) {
  if (line.mode == RunMode::kRefused) {
    platform::WriteToConsole(line.refusal + "\r\n（zelfix /? 显示用法）\r\n", true);
    return kExitCouldNotRun;
  }
  if (line.mode == RunMode::kHelp) {
    if (platform::HasStandardOutput()) {
      platform::WriteToConsole(UsageText() + "\r\n", false);
    } else {
      // Started from Explorer or a shortcut: a box is the only place the usage can show.
      platform::CurrentDialogs().ShowMessageBox(UsageText(), kMessageTitle,
                                                platform::kMbOk | platform::kMbIconAsterisk);
    }
    return kExitAllCorrect;
  }

  // The log first: an unlogged change on a fleet could not be audited. A new log gets its
  // column names now, which also proves that it takes what is written to it.
  std::unique_ptr<platform::ReportFile> log;
  const std::string cannotWrite = "无法写入日志文件 " + line.logFile + "\r\n";
  if (!line.logFile.empty()) {
    std::string error;
    log = platform::OpenReportFile(line.logFile, error);
    if (!log) {
      platform::WriteToConsole(error + "\r\n", true);
      return kExitCouldNotRun;
    }
    if (log->Empty() && !log->Append(kHeading)) {
      platform::WriteToConsole(cannotWrite, true);
      return kExitCouldNotRun;
    }
  }

  ReportContext context;
  context.audit = line.mode == RunMode::kCheck;
  context.version = kVersionText;
  context.address = TargetServerAddress;
  Tally tally;
  tally.AuditOnly = context.audit;
  int exitCode = kExitCouldNotRun;
  try {
    context.computer = platform::ComputerName();
    context.time = platform::LocalTimeText();
    RepairAllInstallations(tally);
    exitCode = ExitCodeOf(tally);
  } catch (const std::exception& error) {
    context.error = platform::DescribeError(error);
  }
  for (const platform::SilentDrive& drive : platform::SilentDrives()) {
    context.notes.push_back(SilentDriveNote(drive));
  }

  // The log before the console: a reader of standard output that goes away (`| head`)
  // must not cost the site its record of the repair.
  const bool logged = !log || log->Append(FormatReport(context, tally, exitCode, false));
  platform::WriteToConsole(FormatReport(context, tally, exitCode, true), false);
  if (!logged) {
    platform::WriteToConsole(cannotWrite, true);
    return kExitCouldNotRun;
  }
  return exitCode;
}

}  // namespace app
