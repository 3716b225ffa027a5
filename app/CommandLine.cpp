#include "app/CommandLine.h"

#include "platform/text.h"

namespace app {

namespace {

// The switch's name without its "/", "-" or "--", in lower case, and the value joined
// to it by ":" or "=" (the value keeps its case); false when `argument` is no switch.
bool SplitSwitch(const std::string& argument, std::string& name, std::string& value,
                 bool& hasValue) {
  std::string rest;
  if (argument.rfind("--", 0) == 0) {
    rest = argument.substr(2);
  } else if (!argument.empty() && (argument[0] == '/' || argument[0] == '-')) {
    rest = argument.substr(1);
  } else {
    return false;
  }
  const std::size_t joint = rest.find_first_of(":=");
  hasValue = joint != std::string::npos;
  name = platform::AsciiLower(rest.substr(0, joint));
  value = hasValue ? rest.substr(joint + 1) : std::string();
  return true;
}

CommandLine Refuse(const std::string& why) {
  CommandLine refused;
  refused.mode = RunMode::kRefused;
  refused.refusal = why;
  return refused;
}

CommandLine Unknown(const std::string& argument) {
  return Refuse("无法识别的参数: " + argument);
}

const char kNoLogFile[] = "/log 之后缺少日志文件名";

bool IsModeSwitch(const std::string& name) {
  return name == "check" || name == "quiet" || name == "?" || name == "h" || name == "help";
}

// Whether `argument` is one of our switches, as the word after /log would be in
// "/log /check" - a forgotten file name, not a file named "\check".
bool IsOwnSwitch(const std::string& argument) {
  std::string name, value;
  bool hasValue = false;
  return SplitSwitch(argument, name, value, hasValue) && (IsModeSwitch(name) || name == "log");
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool help = false, check = false, quiet = false, log = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    std::string name, value;
    bool hasValue = false;
    if (!SplitSwitch(argument, name, value, hasValue)) {
      return Unknown(argument);
    }
    if (name == "log") {
      if (!hasValue) {
        if (i + 1 == arguments.size() || IsOwnSwitch(arguments[i + 1])) {
          return Refuse(kNoLogFile);
        }
        value = arguments[++i];
      }
      if (value.empty()) {
        return Refuse(kNoLogFile);
      }
      if (log && value != line.logFile) {
        return Refuse("只能指定一个日志文件: " + argument);
      }
      log = true;
      line.logFile = value;
      continue;
    }
    if (hasValue || !IsModeSwitch(name)) {
      return Unknown(argument);
    }
    if (name == "check") {
      check = true;
    } else if (name == "quiet") {
      quiet = true;
    } else {
      help = true;
    }
  }
  if (help) {
    line.mode = RunMode::kHelp;
  } else if (check && quiet) {
    return Refuse("/check 与 /quiet 不能同时使用");
  } else if (check) {
    line.mode = RunMode::kCheck;
  } else if (quiet) {
    line.mode = RunMode::kQuiet;
  } else if (log) {
    return Refuse("/log 须与 /check 或 /quiet 一起使用");
  }
  return line;
}

std::string UsageText() {
  return "用法: zelfix [/check | /quiet] [/log:文件]\r\n"
         "\r\n"
         "  不带参数     如常运行: 显示提示框，必要时打开目录选择窗口\r\n"
         "  /check       只检查: 查找所有安装目录，报告其中的地址，不修改任何文件\r\n"
         "  /quiet       自动修复: 不显示任何提示框或窗口\r\n"
         "  /log:文件    把报告追加到该文件（也可写 /log 文件）；文件无法写入时不做任何修复\r\n"
         "  /?           显示本说明（也可写 -h 或 --help）\r\n"
         "\r\n"
         "开关不区分大小写，可写作 /x、-x 或 --x。\r\n"
         "\r\n"
         "退出代码:\r\n"
         "  0  找到了安装目录，且全部为新地址（/quiet: 修复之后）\r\n"
         "  1  至少一个安装目录不是新地址（/check: 需要修复；/quiet: 修复失败）\r\n"
         "  2  没有找到安装目录（所有可能的位置都已检查）\r\n"
         "  3  无法完成任务: 未知参数、日志无法写入或意外错误\r\n"
         "  4  已检查的安装目录全部为新地址，但有位置未能检查（见报告中的备注）";
}

}  // namespace app
