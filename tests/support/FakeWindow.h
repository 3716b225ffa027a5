// A test double of the platform window: the real drive list and folder list models
// (over the scratch drives) behind it, no display. It records what the code under test
// set (every caption, every text) and lets a test act as the operator: choose a drive,
// click or double-click an entry, press a button. Errors that escape a handler reach the
// test instead of ending the program.
//
//   testsupport::FakeWindows windows;
//   ui::frmfixPath form(repair, windows.Opener());
//   form.Show();
//   windows.Latest().Click(-2);
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/folderlists.h"
#include "platform/window.h"

namespace testsupport {

class FakeWindow : public platform::Window {
 public:
  FakeWindow(const platform::WindowSpec& layout, platform::WindowEvents& events)
      : layout(layout), events_(events), caption_(layout.caption), drive_(drives_.Drive()) {
    for (const platform::ControlSpec& control : layout.controls) {
      texts_[control.name] = control.text;
    }
  }

  // What the operator does.

  // Shows `drive` as the drive list's selection, even a drive the machine lacks (the
  // way a drive without a medium looks from here), and reports the change.
  void ChooseDrive(const std::string& drive) {
    if (drive != drive_) {
      drive_ = drive;
      events_.DriveChanged();
    }
  }
  void Click(int index) {
    folders_.Highlight(index);
    events_.FolderClicked();
  }
  void DoubleClick(int index) {
    if (folders_.Open(index)) {
      events_.FolderChanged();
    }
  }
  void Press(const std::string& button) { events_.ButtonClicked(button); }

  // platform::Window
  void Show() override { ++shows; }
  void SetCaption(const std::string& caption) override {
    caption_ = caption;
    captions.push_back(caption);
  }
  std::string Caption() const override { return caption_; }
  void Unload() override { loaded_ = false; }
  bool IsLoaded() const override { return loaded_; }

  std::string Drive() const override { return drive_; }
  void SetDrive(const std::string& drive) override {
    drives_.SetDrive(drive);
    ChooseDrive(drives_.Drive());
  }

  void SetFolderPath(const std::string& pathOrDrive) override {
    if (folders_.SetPath(pathOrDrive)) {
      events_.FolderChanged();
    }
  }
  std::string FolderPath() const override { return folders_.Path(); }
  int HighlightedFolderIndex() const override { return folders_.HighlightedIndex(); }
  std::string FolderPathAt(int index) const override { return folders_.PathAt(index); }

  void SetText(const std::string& control, const std::string& text) override {
    texts_[control] = text;
    textsSet.push_back(control + "=" + text);
  }
  std::string Text(const std::string& control) const override {
    const auto found = texts_.find(control);
    return found == texts_.end() ? std::string() : found->second;
  }

  const platform::WindowSpec layout;  // as the code under test described the window
  std::vector<std::string> captions;  // every caption set, in order
  std::vector<std::string> textsSet;  // every text set, as "control=text", in order
  int shows = 0;

 private:
  platform::WindowEvents& events_;
  std::string caption_;
  platform::DriveList drives_;
  platform::FolderList folders_;
  std::string drive_;
  std::map<std::string, std::string> texts_;
  bool loaded_ = true;
};

// Opens FakeWindows in place of platform::OpenWindow and keeps track of them.
class FakeWindows {
 public:
  // For the code under test: creates a window and reports Loaded, like OpenWindow.
  auto Opener() {
    return [this](const platform::WindowSpec& layout, platform::WindowEvents& events) {
      auto window = std::make_unique<FakeWindow>(layout, events);
      latest_ = window.get();
      ++opened;
      events.Loaded(*window);
      return std::unique_ptr<platform::Window>(std::move(window));
    };
  }

  // The window opened last; valid while the code under test keeps it.
  FakeWindow& Latest() { return *latest_; }

  int opened = 0;

 private:
  FakeWindow* latest_ = nullptr;
};

}  // namespace testsupport
