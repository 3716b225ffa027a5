// The program's window, as the folder selection logic (ui/) sees it, and the event loop.
//
// ui/ describes the window as data (WindowSpec) and handles its events (WindowEvents);
// each back-end creates and draws the controls, turns the operator's input into changes
// of the drive list and folder list models (folderlists.h) behind them, and reports
// events. What the back-ends share of that is ListWindow (listwindow.h).
//
// win32: a real window with real controls (platform/win32/window.cpp).
// posix: the window drawn on the terminal, driven by short commands read from standard
//        input (platform/posix/window.cpp); end of input presses Cancel.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind { kLabel, kDriveList, kFolderList, kTextField, kButton };

// What a push button stands for beyond its click. kCancel is pressed by Escape (on the
// terminal: by the "cancel" command and by the end of input); kOk by the terminal's "ok"
// command. Neither takes Enter away from the control that has the focus.
enum class ButtonRole { kNone, kOk, kCancel };

// One control. Positions and sizes in twips (1/1440 inch; 15 twips a pixel at 96 DPI)
// from the top left corner of the client area.
struct ControlSpec {
  std::string name;  // e.g. "drvSource", "cmdOK", "Label1(0)"
  ControlKind kind = ControlKind::kLabel;
  std::string text;
  int left = 0, top = 0, width = 0, height = 0;
  int tabIndex = 0;
  bool songtiFont = false;  // "宋体" 9.75 pt, GB2312 character set; else the dialog font
  bool visible = true;
  bool buttonFaceBackground = false;
  ButtonRole role = ButtonRole::kNone;  // buttons only
};

struct WindowSpec {
  std::string caption;
  int clientWidth = 0, clientHeight = 0;  // twips
  std::vector<ControlSpec> controls;      // in the order they are drawn, top to bottom
};

class Window;

// Events of the window, delivered on the one user-interface thread. An exception that
// escapes a handler goes to ReportUnhandledError.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // Created, not yet shown. `window` is the one OpenWindow is about to return: the
  // handler has no other way to reach it yet.
  virtual void Loaded(Window& window) = 0;
  virtual void DriveChanged() = 0;  // the drive list's selection changed
  // A single click on an entry of the folder list, which highlighted it. A double click
  // opens the entry and reports FolderChanged only.
  virtual void FolderClicked() = 0;
  virtual void FolderChanged() = 0;  // the folder list opened another folder
  virtual void ButtonClicked(const std::string& name) = 0;
};

class Window {
 public:
  virtual ~Window() = default;

  virtual void Show() = 0;  // non-modal; returns at once
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  // Closes and destroys the window; no event follows. The window's own close command
  // does the same. The object itself stays valid (a handler may unload the window from
  // inside the window's own event dispatch); IsLoaded then answers false.
  virtual void Unload() = 0;
  virtual bool IsLoaded() const = 0;

  // The drive list.
  virtual std::string Drive() const = 0;
  // Raises like DriveList::SetDrive; reports DriveChanged when the selection changed.
  virtual void SetDrive(const std::string& drive) = 0;

  // The folder list, by FolderList's indexes (FolderPathAt(-1) is the open folder).
  // SetFolderPath raises like FolderList::SetPath and reports FolderChanged when the
  // open folder changed.
  virtual void SetFolderPath(const std::string& pathOrDrive) = 0;
  virtual int HighlightedFolderIndex() const = 0;
  virtual std::string FolderPathAt(int index) const = 0;

  // Sets a text field's text, by control name. Nothing in the program reads it back.
  virtual void SetText(const std::string& control, const std::string& text) = 0;
};

// Creates the window from `layout` (not "CreateWindow": windows.h makes that a macro) and reports
// Loaded to `events`, which must outlive it.
std::unique_ptr<Window> OpenWindow(const WindowSpec& layout, WindowEvents& events);

// Runs the event loop until no window is loaded. Returns at once when none is.
void RunEventLoop();

// What happens to an error that no handler caught: the platform reports its description
// in an error box and ends the program with exit code 1.
[[noreturn]] void ReportUnhandledError(const std::string& description);

}  // namespace platform
