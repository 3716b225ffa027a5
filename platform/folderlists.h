// The drive list and the folder list of the folder selection window, as models: what
// they hold and how they answer, whoever draws them. Portable code over drives.h and
// filesearch.h, shared by both back-ends.
#pragma once

#include <string>
#include <vector>

#include "platform/drives.h"

namespace platform {

// How the drive list shows a drive: the letter in lower case and a colon, then
// " [label]" when the drive has a label, e.g. "c: [SYSTEM]" or "d:".
std::string DriveText(const DriveInfo& drive);

// Drive list: every drive, one of them selected.
class DriveList {
 public:
  // Lists the drives and selects the one holding the current folder.
  DriveList();

  const std::vector<DriveInfo>& Entries() const { return entries_; }
  int SelectedIndex() const { return selected_; }

  // The selected drive as DriveText shows it; empty text when none is selected.
  std::string Drive() const;

  // Selects the drive named by the first letter of `text` ("D:", "d:\x", "d: [DATA]").
  // Returns whether the selection changed. Raises DeviceUnavailableError() when there
  // is no such drive, leaving the selection as it was.
  bool SetDrive(const std::string& text);

  // Selects the drive at `index` (the operator's choice); returns whether it changed.
  bool Select(int index);

 private:
  std::vector<DriveInfo> entries_;
  int selected_ = -1;
};

// Folder list: the open folder with its ancestors above it and its subfolders below.
// Indexes: -1 is the open folder, -2, -3, ... its parent and further ancestors up to
// the drive's root, 0, 1, ... its subfolders, sorted without regard to case.
class FolderList {
 public:
  // Opens the current folder.
  FolderList();

  // Opens a folder given by its full path, or - for a drive text such as "d:" or
  // "d: [DATA]" - that drive's current folder (the process's current folder when it is
  // on that drive, otherwise the drive's root). Returns whether the open folder changed.
  // Raises PathNotFoundError(), PermissionDeniedError() (the folder, or one on the way
  // to it, may not be read) or DeviceUnavailableError() when it cannot be opened, and
  // then keeps showing what it showed.
  bool SetPath(const std::string& pathOrDrive);

  // The open folder's full path: "C:\" for a root, "C:\Program Files" below it.
  const std::string& Path() const { return path_; }

  int AncestorCount() const { return static_cast<int>(ancestors_.size()); }
  int SubfolderCount() const { return static_cast<int>(subfolders_.size()); }

  // The full path of the entry at `index`; empty text for an index out of range.
  std::string PathAt(int index) const;
  // What the list shows for the entry: "C:\" for a root, the folder's name otherwise.
  std::string NameAt(int index) const;

  int HighlightedIndex() const { return highlighted_; }
  // A single click: highlights the entry. Out-of-range indexes are ignored.
  void Highlight(int index);
  // A double click: opens the entry's folder, which is then highlighted (index -1).
  // Returns whether the open folder changed; raises like SetPath.
  bool Open(int index);

 private:
  std::string path_;
  std::vector<std::string> ancestors_;   // full paths, parent first
  std::vector<std::string> subfolders_;  // names
  int highlighted_ = -1;
};

}  // namespace platform
