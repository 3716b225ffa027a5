// The folder selection window: the operator picks a drive and the installation folder
// (or the TAMO folder above it, or its BIN folder) and presses OK, which hands the
// highlighted folder to the repair routine.
//
// The window keeps nothing of its own: what it knows lives in its controls. This class
// is its layout and its event handlers; the platform draws the controls
// (platform/window.h).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/window.h"

namespace ui {

class frmfixPath : public platform::WindowEvents {
 public:
  // Checks and repairs the chosen folder and reports the outcome itself; true lets the
  // window close, false keeps it open for another choice.
  using RepairRoutine = std::function<bool(std::string Folder)>;
  // Creates the platform window; tests put a double in place of platform::OpenWindow.
  using WindowOpener = std::function<std::unique_ptr<platform::Window>(const platform::WindowSpec&,
                                                                       platform::WindowEvents&)>;

  explicit frmfixPath(RepairRoutine repairChosenFolder,
                      WindowOpener openWindow = &platform::OpenWindow);

  // The window description: caption, client size and the nine controls.
  static platform::WindowSpec Layout();

  // Shows the window non-modal, loading it first when it is not loaded; returns at once.
  void Show();
  bool IsLoaded() const;

  // Presets the caption (unless `sTitle` is blank) and opens `sPath` when it exists and
  // names its drive, otherwise C:\. Every step that fails is skipped; always true.
  bool InitSystem(std::string sPath, std::string sTitle);

  // Whether `path` (a folder, a file or a wildcard pattern) names an existing entry,
  // hidden ones included. Blank text is never looked up. Errors of the directory search
  // reach the caller.
  bool CheckFolderExist(std::string path);

  // platform::WindowEvents
  void Loaded(platform::Window& window) override;
  void DriveChanged() override;
  void FolderClicked() override;
  void FolderChanged() override;
  void ButtonClicked(const std::string& name) override;

 private:
  // The loaded window, loading it when needed (as touching a control does).
  platform::Window& Form();
  void cmdOK_Click();

  RepairRoutine repairChosenFolder_;
  WindowOpener openWindow_;
  std::unique_ptr<platform::Window> window_;
};

}  // namespace ui
