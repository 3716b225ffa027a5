// Process entry: the startup procedure, then the window's events until no window is
// left. The program takes no command line.
#include <exception>

#include "app/Module1.h"
#include "platform/error.h"
#include "platform/window.h"

int main() {
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
