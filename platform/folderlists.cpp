#include "platform/folderlists.h"

#include "platform/error.h"
#include "platform/filesearch.h"
#include "platform/text.h"

namespace platform {

namespace {

bool StartsWithDrive(const std::string& text) {
  return text.size() >= 2 && IsAsciiLetter(text[0]) && text[1] == ':';
}

// "d:" or "d: [DATA]", as the drive list names a drive; "d:\x" and "d:x" are paths.
bool IsDriveText(const std::string& text) {
  return StartsWithDrive(text) && (text.size() == 2 || text[2] == ' ');
}

std::string RootOf(char drive) {
  return std::string(1, AsciiUpper(drive)) + ":\\";
}

std::string Join(const std::string& folder, const std::string& name) {
  return IsPathSeparator(folder.back()) ? folder + name : folder + "\\" + name;
}

// The folder a drive text opens: the process's current folder when it is on that drive,
// otherwise the drive's root.
std::string CurrentFolderOn(char drive) {
  const std::string current = CurrentFolder();
  if (StartsWithDrive(current) && AsciiLower(current[0]) == AsciiLower(drive)) {
    return current;
  }
  return RootOf(drive);
}

// Where both lists start: the current folder, or - when it cannot be read or lies on no
// drive, as a network folder does - the root of the first drive that can be.
std::string StartFolder() {
  const std::string current = CurrentFolder();
  if (StartsWithDrive(current) && CheckFolder(current) == FolderState::kReadable) {
    return current;
  }
  for (const DriveInfo& drive : ListDrives()) {
    if (CheckFolder(RootOf(drive.letter)) == FolderState::kReadable) {
      return RootOf(drive.letter);
    }
  }
  return std::string();
}

// Why `folder` cannot be opened.
RuntimeError NotOpened(const std::string& folder) {
  return CheckFolder(folder) == FolderState::kAccessDenied ? PermissionDeniedError()
                                                           : PathNotFoundError();
}

struct ResolvedFolder {
  char drive = 'c';
  std::vector<std::string> names;  // below the root, as stored on the drive
};

std::vector<std::string> NamesBelowRoot(const std::string& folder) {
  std::vector<std::string> names;
  AppendPathNames(folder.substr(2), names, DotsAndSpaces::kKept);
  return names;
}

// Takes a path or drive text apart and checks every folder on the way, taking each name
// as the drive stores it (so "c:\program files" opens "C:\Program Files").
ResolvedFolder Resolve(const std::string& pathOrDrive) {
  ResolvedFolder resolved;
  std::string rest;
  if (IsDriveText(pathOrDrive)) {
    resolved.drive = AsciiLower(pathOrDrive[0]);
    resolved.names = NamesBelowRoot(CurrentFolderOn(resolved.drive));
  } else if (StartsWithDrive(pathOrDrive)) {
    resolved.drive = AsciiLower(pathOrDrive[0]);
    rest = pathOrDrive.substr(2);
    if (rest.empty() || !IsPathSeparator(rest[0])) {
      resolved.names = NamesBelowRoot(CurrentFolderOn(resolved.drive));
    }
  } else {
    const std::string current = CurrentFolder();
    const bool network = pathOrDrive.size() >= 2 && IsPathSeparator(pathOrDrive[0]) &&
                         IsPathSeparator(pathOrDrive[1]);
    // Network folders have no place in a list that starts at a drive's root.
    if (pathOrDrive.empty() || network || !StartsWithDrive(current)) {
      throw PathNotFoundError();
    }
    resolved.drive = AsciiLower(current[0]);
    rest = pathOrDrive;
    if (!IsPathSeparator(rest[0])) {
      resolved.names = NamesBelowRoot(current);
    }
  }
  AppendPathNames(rest, resolved.names, DotsAndSpaces::kKept);

  std::string folder = RootOf(resolved.drive);
  if (CheckFolder(folder) != FolderState::kReadable) {
    throw DeviceUnavailableError();
  }
  for (std::string& name : resolved.names) {
    if (name.find_first_of("*?") != std::string::npos) {
      throw PathNotFoundError();
    }
    const std::optional<FoundEntry> entry = FindFirstEntry(Join(folder, name));
    if (!entry || (entry->attributes & kAttributeDirectory) == 0) {
      throw NotOpened(Join(folder, name));
    }
    name = entry->name;
    folder = Join(folder, name);
  }
  return resolved;
}

}  // namespace

DriveList::DriveList() : entries_(ListDrives()) {
  const std::string start = StartFolder();
  if (!start.empty()) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (AsciiLower(entries_[i].letter) == AsciiLower(start[0])) {
        selected_ = static_cast<int>(i);
      }
    }
  }
}

std::string DriveText(const DriveInfo& drive) {
  std::string text = std::string(1, AsciiLower(drive.letter)) + ":";
  if (!drive.label.empty()) {
    text += " [" + drive.label + "]";
  }
  return text;
}

std::string DriveList::Drive() const {
  return selected_ < 0 ? std::string() : DriveText(entries_[static_cast<std::size_t>(selected_)]);
}

bool DriveList::SetDrive(const std::string& text) {
  if (!text.empty()) {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (AsciiLower(entries_[i].letter) == AsciiLower(text[0])) {
        return Select(static_cast<int>(i));
      }
    }
  }
  throw DeviceUnavailableError();
}

bool DriveList::Select(int index) {
  if (index < 0 || index >= static_cast<int>(entries_.size()) || index == selected_) {
    return false;
  }
  selected_ = index;
  return true;
}

FolderList::FolderList() {
  try {
    SetPath(StartFolder());
  } catch (const RuntimeError&) {
    // No drive can be read: the list stays empty.
  }
}

bool FolderList::SetPath(const std::string& pathOrDrive) {
  const ResolvedFolder resolved = Resolve(pathOrDrive);
  std::string path = RootOf(resolved.drive);
  std::vector<std::string> ancestors;
  for (const std::string& name : resolved.names) {
    ancestors.insert(ancestors.begin(), path);
    path = Join(path, name);
  }
  std::optional<std::vector<std::string>> subfolders = ListSubfolders(path);
  if (!subfolders) {
    throw NotOpened(path);
  }
  const bool changed = path != path_;
  path_ = std::move(path);
  ancestors_ = std::move(ancestors);
  subfolders_ = std::move(*subfolders);
  highlighted_ = -1;
  return changed;
}

std::string FolderList::PathAt(int index) const {
  if (path_.empty()) {
    return std::string();
  }
  if (index == -1) {
    return path_;
  }
  if (index < -1 && -index - 2 < AncestorCount()) {
    return ancestors_[static_cast<std::size_t>(-index - 2)];
  }
  if (index >= 0 && index < SubfolderCount()) {
    return Join(path_, subfolders_[static_cast<std::size_t>(index)]);
  }
  return std::string();
}

std::string FolderList::NameAt(int index) const {
  if (index >= 0) {
    return index < SubfolderCount() ? subfolders_[static_cast<std::size_t>(index)] : std::string();
  }
  const std::string path = PathAt(index);
  if (path.size() <= 3) {
    return path;
  }
  return path.substr(path.find_last_of('\\') + 1);
}

void FolderList::Highlight(int index) {
  if (!PathAt(index).empty()) {
    highlighted_ = index;
  }
}

bool FolderList::Open(int index) {
  const std::string path = PathAt(index);
  if (path.empty()) {
    return false;
  }
  return SetPath(path);
}

}  // namespace platform
