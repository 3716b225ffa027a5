// What every back-end's window shares: the drive list and folder list models behind the
// window's two lists, the Window members that answer from them, and the rule that an
// event is reported only when the selection or the open folder changed. Portable code
// over folderlists.h.
//
// A back-end derives from ListWindow, draws the models in ShowDrives and ShowFolders,
// turns the operator's input into SelectDrive, HighlightFolder and OpenFolder, and may
// wrap every handler it runs by overriding Report.
#pragma once

#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/folderlists.h"
#include "platform/window.h"

namespace platform {

class ListWindow : public Window {
 public:
  std::string Drive() const override;
  void SetDrive(const std::string& drive) override;
  void SetFolderPath(const std::string& pathOrDrive) override;
  int HighlightedFolderIndex() const override;
  std::string FolderPathAt(int index) const override;

 protected:
  // `events` must outlive the window.
  explicit ListWindow(WindowEvents& events);

  WindowEvents& Events() { return events_; }
  const DriveList& Drives() const { return drives_; }
  const FolderList& Folders() const { return folders_; }

  // The operator's actions in the lists. Each reports its event last: a handler may
  // destroy the window, so the caller touches nothing of it afterwards.
  //
  // Chooses the drive at `index`, which the drive list already shows (no ShowDrives);
  // DriveChanged when the selection changed. Returns whether it changed.
  bool SelectDrive(int index);
  // Highlights the folder list's entry at `index` (a single click); FolderClicked.
  void HighlightFolder(int index);
  // Opens the entry at `index` (a double click) and shows the list again;
  // FolderChanged when the open folder changed. A folder that cannot be opened (it went
  // away since the list was filled) leaves the list as it was, reports nothing and is
  // answered with the error.
  [[nodiscard]] std::optional<RuntimeError> OpenFolder(int index);

  // The model changed: draw it again. Called after SetDrive changed the selection, and
  // after SetFolderPath and OpenFolder opened a folder (also the same one: the highlight
  // goes back to it). A back-end that draws the whole window after every input leaves
  // them empty.
  virtual void ShowDrives() {}
  virtual void ShowFolders() {}

  // Runs the handler of a list event; the default calls it directly. A handler's error
  // goes to the caller.
  virtual void Report(void (WindowEvents::*event)());

 private:
  WindowEvents& events_;
  DriveList drives_;
  FolderList folders_;
};

}  // namespace platform
