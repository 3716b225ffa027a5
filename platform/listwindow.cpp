#include "platform/listwindow.h"

namespace platform {

ListWindow::ListWindow(WindowEvents& events) : events_(events) {}

std::string ListWindow::Drive() const {
  return drives_.Drive();
}

void ListWindow::SetDrive(const std::string& drive) {
  if (drives_.SetDrive(drive)) {
    ShowDrives();
    Report(&WindowEvents::DriveChanged);
  }
}

void ListWindow::SetFolderPath(const std::string& pathOrDrive) {
  const bool changed = folders_.SetPath(pathOrDrive);
  ShowFolders();
  if (changed) {
    Report(&WindowEvents::FolderChanged);
  }
}

int ListWindow::HighlightedFolderIndex() const {
  return folders_.HighlightedIndex();
}

std::string ListWindow::FolderPathAt(int index) const {
  return folders_.PathAt(index);
}

bool ListWindow::SelectDrive(int index) {
  if (!drives_.Select(index)) {
    return false;
  }
  Report(&WindowEvents::DriveChanged);
  return true;
}

void ListWindow::HighlightFolder(int index) {
  folders_.Highlight(index);
  Report(&WindowEvents::FolderClicked);
}

std::optional<RuntimeError> ListWindow::OpenFolder(int index) {
  bool changed = false;
  try {
    changed = folders_.Open(index);
  } catch (const RuntimeError& error) {
    return error;
  }
  ShowFolders();
  if (changed) {
    Report(&WindowEvents::FolderChanged);
  }
  return std::nullopt;
}

void ListWindow::Report(void (WindowEvents::*event)()) {
  (events_.*event)();
}

}  // namespace platform
