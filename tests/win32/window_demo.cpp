// Manual check of the Windows window (not a ctest): opens the folder selection window
// from the real layout, with handlers that log every event to standard output and act
// like the real ones - a drive change opens the drive (errors suppressed), a click fills
// the path field, OK logs the highlighted folder, Cancel unloads.
//
//   window_demo                  OK keeps the window open
//   window_demo --ok-closes      OK unloads the window
//   window_demo --ok-throws      OK raises, which ReportUnhandledError reports
//
// tests/win32/look.sh runs it under Wine in Xvfb, presses keys and takes screenshots.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/error.h"
#include "platform/window.h"
#include "ui/frmfixPath.h"

namespace {

void Log(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class LoggingEvents : public platform::WindowEvents {
 public:
  LoggingEvents(bool okCloses, bool okThrows) : okCloses_(okCloses), okThrows_(okThrows) {}

  void Loaded(platform::Window& window) override {
    window_ = &window;
    window.SetCaption("修复ZEL服务器迁移IP地址冲突");
    Log("Loaded drive=" + window.Drive() + " folder=" + window.FolderPathAt(-1));
  }

  void DriveChanged() override {
    Log("DriveChanged " + window_->Drive());
    try {
      window_->SetFolderPath(window_->Drive());
    } catch (const std::exception& error) {
      Log("  suppressed: " + std::string(error.what()));
    }
  }

  void FolderClicked() override {
    const int index = window_->HighlightedFolderIndex();
    const std::string path = window_->FolderPathAt(index);
    window_->SetText("txtPath", path);
    Log("FolderClicked " + std::to_string(index) + " " + path);
  }

  void FolderChanged() override { Log("FolderChanged " + window_->FolderPathAt(-1)); }

  void ButtonClicked(const std::string& name) override {
    const int index = window_->HighlightedFolderIndex();
    Log("ButtonClicked " + name + " highlighted " + std::to_string(index) + " " +
        window_->FolderPathAt(index));
    if (name == "cmdOK" && okThrows_) {
      throw platform::RuntimeError(platform::kPlatformErrorNumber, "演示错误");
    }
    if (name == "Command2" || (name == "cmdOK" && okCloses_)) {
      window_->Unload();
      Log("Unloaded");
    }
  }

 private:
  platform::Window* window_ = nullptr;
  bool okCloses_;
  bool okThrows_;
};

}  // namespace

int main(int argc, char** argv) {
  bool okCloses = false;
  bool okThrows = false;
  for (int i = 1; i < argc; ++i) {
    okCloses = okCloses || std::strcmp(argv[i], "--ok-closes") == 0;
    okThrows = okThrows || std::strcmp(argv[i], "--ok-throws") == 0;
  }
  LoggingEvents events(okCloses, okThrows);
  std::unique_ptr<platform::Window> window = platform::OpenWindow(ui::frmfixPath::Layout(), events);
  window->Show();
  platform::RunEventLoop();
  Log("EventLoopReturned");
  return 0;
}
