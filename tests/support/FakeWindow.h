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

#include <cctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/listwindow.h"

namespace testsupport {

class FakeWindow : public platform::ListWindow {
 public:
  FakeWindow(const platform::WindowSpec& layout, platform::WindowEvents& events)
      : ListWindow(events), layout(layout), caption_(layout.caption) {
    for (const platform::ControlSpec& control : layout.controls) {
      texts_[control.name] = control.text;
    }
  }

  // What the operator does.

  // Chooses `drive` ("e:") in the drive list. A drive the machine lacks is shown all the
  // same, the way a drive without a medium looks from here; a change of what the list
  // shows is reported.
  void ChooseDrive(const std::string& drive) {
    const int index = DriveIndex(drive);
    if (index < 0) {
      if (drive != absent_) {
        absent_ = drive;
        Events().DriveChanged();
      }
      return;
    }
    const bool wasAbsent = !absent_.empty();
    absent_.clear();
    if (!SelectDrive(index) && wasAbsent) {
      Events().DriveChanged();
    }
  }
  void Click(int index) { HighlightFolder(index); }
  // Raises what the folder list raises when the entry cannot be opened.
  void DoubleClick(int index) {
    if (const auto failure = OpenFolder(index)) {
      throw *failure;
    }
  }
  void Press(const std::string& button) { Events().ButtonClicked(button); }

  // What the window shows.
  std::string FolderPath() const { return Folders().Path(); }
  std::string Text(const std::string& control) const {
    const auto found = texts_.find(control);
    return found == texts_.end() ? std::string() : found->second;
  }

  // platform::Window
  void Show() override { ++shows; }
  void SetCaption(const std::string& caption) override {
    caption_ = caption;
    captions.push_back(caption);
  }
  std::string Caption() const override { return caption_; }
  void Unload() override { loaded_ = false; }
  bool IsLoaded() const override { return loaded_; }
  std::string Drive() const override { return absent_.empty() ? ListWindow::Drive() : absent_; }
  void SetDrive(const std::string& drive) override {
    if (!absent_.empty() && DriveIndex(drive) >= 0) {
      ChooseDrive(drive);
    } else {
      ListWindow::SetDrive(drive);
    }
  }
  void SetText(const std::string& control, const std::string& text) override {
    texts_[control] = text;
    textsSet.push_back(control + "=" + text);
  }

  const platform::WindowSpec layout;  // as the code under test described the window
  std::vector<std::string> captions;  // every caption set, in order
  std::vector<std::string> textsSet;  // every text set, as "control=text", in order
  int shows = 0;

 private:
  // The drive list's entry for the first letter of `drive`, or -1.
  int DriveIndex(const std::string& drive) const {
    const std::vector<platform::DriveInfo>& entries = Drives().Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (!drive.empty() &&
          entries[i].letter == std::tolower(static_cast<unsigned char>(drive[0]))) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  std::string caption_;
  std::map<std::string, std::string> texts_;
  std::string absent_;  // the drive shown that the machine lacks, if any
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
