// The command line of the unattended front end: what is taken, and what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

using app::RunMode;

struct Row {
  std::vector<std::string> arguments;
  RunMode mode;
  std::string logFile;
};

TEST(ParseCommandLine, Table) {
  const Row rows[] = {
      {{}, RunMode::kInteractive, ""},
      {{"/check"}, RunMode::kCheck, ""},
      {{"-CHECK"}, RunMode::kCheck, ""},
      {{"--Quiet"}, RunMode::kQuiet, ""},
      {{"/quiet", "/log:\\\\srv\\share\\PC-1.txt"}, RunMode::kQuiet, "\\\\srv\\share\\PC-1.txt"},
      {{"/LOG", "C:\\日志\\a.txt", "/check"}, RunMode::kCheck, "C:\\日志\\a.txt"},
      {{"--log=/var/log/zelfix.txt", "--check"}, RunMode::kCheck, "/var/log/zelfix.txt"},
      {{"/?"}, RunMode::kHelp, ""},
      {{"-h"}, RunMode::kHelp, ""},
      {{"--help", "/quiet"}, RunMode::kHelp, ""},
      // Refused: a typo must never become a repair or the interactive run.
      {{"/chek"}, RunMode::kRefused, ""},
      {{"/quite"}, RunMode::kRefused, ""},
      {{"/check", "/quiet"}, RunMode::kRefused, ""},
      {{"/log:a.txt"}, RunMode::kRefused, ""},
      {{"/check", "/log"}, RunMode::kRefused, ""},
      {{"/quiet", "/log", "/check"}, RunMode::kRefused, ""},
      {{"/check", "/log:"}, RunMode::kRefused, ""},
      {{"/check:yes"}, RunMode::kRefused, ""},
      {{"check"}, RunMode::kRefused, ""},
      {{"/check", "/log:a", "/log:b"}, RunMode::kRefused, ""},
  };
  for (const Row& row : rows) {
    std::string shown;
    for (const std::string& argument : row.arguments) {
      shown += argument + " ";
    }
    SCOPED_TRACE(shown);
    const app::CommandLine line = app::ParseCommandLine(row.arguments);
    EXPECT_EQ(line.mode, row.mode);
    EXPECT_EQ(line.logFile, row.logFile);  // a refused line names no log to write
    EXPECT_EQ(line.refusal.empty(), row.mode != RunMode::kRefused);
  }
}

TEST(ParseCommandLine, RefusalNamesTheArgument) {
  EXPECT_NE(app::ParseCommandLine({"/chek"}).refusal.find("/chek"), std::string::npos);
}

}  // namespace
