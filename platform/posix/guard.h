// What a run as root may do in folders that ordinary users control.
//
// Run by a deployment tool, the program is root, and it works in folders that ordinary
// users can change: a user's Wine prefix, a data drive where anyone may make folders. The
// rule: it never does what the user who controls a folder could not do themselves.
//
// - On a prefix that another user controls, the program acts as that user on the file
//   system: every lookup, listing and file it opens from then on is that user's to open.
//   This is the file-system identity of the thread (setfsuid, setfsgid and its own
//   supplementary groups), so it is taken back for another prefix (tests use several)
//   and reaches the drive probes' threads, which start from the thread that has it. The
//   log, opened before the search, stays open as it was. Not a drop of the whole process
//   (setresuid): glibc makes every thread take part, and a probe hung in a dead mount
//   never would; nor a child for the prefix's work: the search, the window and the report
//   share one process's state.
// - A settings file is reached only through symbolic links that root alone controls, and
//   through the prefix's drive links ("dosdevices/c:"), which are how a prefix works;
//   with the identity switched, those lead only where the owner may go. A file with
//   another name (a hard link) in a folder that others control is refused as well.
//
// A run by an ordinary user is not elevated: the kernel bounds it, and nothing here
// applies (links are followed, as the user could follow them).
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/posix/handles.h"

namespace platform::posix {

// Whether the run is elevated: root, who may do what the owners of folders may not.
bool Elevated();

// Takes the Wine prefix at `prefix` into use on the calling thread. For an elevated run:
// finds who controls it - the users who own the folders on its path (a link's own folder
// included) and the prefix itself, root aside - and acts as that user from now on, or as
// root when root alone controls it. Answers the path to use for the prefix (for an
// elevated run, with every link resolved, so that no one else can redirect it later), or
// nothing when an elevated run must not enter it: more than one user controls it, or a
// folder on its way that others may write in without the sticky bit, or the run could not
// act as its owner. `note` then says why, and otherwise, once, whom the run acts as.
// Cheap on repeated calls for the same prefix.
std::optional<std::string> EnterPrefix(const std::string& prefix, std::string& note);

// Where the entry that `hostPath` names lies, reached one name at a time from the root
// (or the current folder): its folder (an O_PATH descriptor), that folder's status, and
// the entry's name in it, after every symbolic link on the way, the last one included.
// `throughLink` tells that the last name was a link, followed.
struct EntryLocation {
  Descriptor folder;
  struct stat folderInfo {};
  std::string name;
  bool throughLink = false;
};
enum class Reach {
  kReached,  // the folder is open; the entry may be missing
  kUnsafe,   // a link that an elevated run may not follow is on the way
  kFailed,   // errno says why: ENOENT for a missing folder, ELOOP, ENOTDIR, EACCES
};
Reach ReachEntry(const std::string& hostPath, EntryLocation& where);

// Whether an elevated run must refuse a file with the status `file` in the folder with
// the status `folder`: it has more than one name, and a user other than root may change
// that folder, so may have made the other name for a file of someone else's.
bool UnsafeHardLink(const struct stat& file, const struct stat& folder);

}  // namespace platform::posix
