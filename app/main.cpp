// Process entry. Without a command line: the startup procedure, then the window's events
// until no window is left, and the exit code 0. With one: the unattended front end, which
// shows no box or window and answers with its exit code.
#include <cstdlib>
#include <exception>
#include <string>

#include "app/CommandLine.h"
#include "app/Module1.h"
#include "app/Unattended.h"
#include "platform/commandline.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/report.h"
#include "platform/window.h"

int main(int argc, char** argv) {
  const auto arguments = platform::CommandLineArguments(argc, argv);
  if (!arguments) {
    // What was asked is unknown: an unattended run taken for the interactive one would
    // wait for ever on a box that nobody sees.
    platform::PrepareProcess(true);
    platform::WriteStandardError("无法读取命令行，什么也没有做\r\n");
    return app::kExitCouldNotRun;
  }
  // Parsed before anything is read or written: a refused line touches nothing.
  const app::CommandLine line = app::ParseCommandLine(*arguments);
  platform::PrepareProcess(line.mode != app::RunMode::kInteractive);
  if (line.mode != app::RunMode::kInteractive) {
    // Never a box here, not even the run-time library's own for an abort: nobody may be
    // there to close it.
    std::set_terminate([] { std::_Exit(app::kExitCouldNotRun); });
    try {
      return app::RunUnattended(line);
    } catch (const std::exception& error) {
      platform::WriteStandardError("发现错误 - " + platform::DescribeError(error) + "\r\n");
    } catch (...) {
      platform::WriteStandardError(std::string("发现错误 - ") + platform::kInternalErrorText +
                                   "\r\n");
    }
    return app::kExitCouldNotRun;
  }
  try {
    app::Main();
    platform::RunEventLoop();
  } catch (const std::exception& error) {
    // Only an error that the error box itself raised can get here.
    platform::ReportUnhandledError(platform::DescribeError(error));
  }
  app::FolderWindow.reset();
  return 0;
}
