// A settings file reached only through what an ordinary user cannot redirect, and held
// that way while the profile functions work on it.
//
// The program runs as administrator or SYSTEM, but the folders it repairs may belong to
// ordinary users: anyone may create folders at the root of a data drive, and a profile's
// shadow copies lie in folders its user controls. Such a user could make a folder of the
// path a junction, or the file a link, to a file they may not touch themselves. So the
// path is walked from its drive's root, one name at a time, each opened without following
// a link in it:
// - a link (junction, symbolic link, mount point) is followed only when its owner is
//   Administrators, SYSTEM or TrustedInstaller: an administrator made it;
// - each name must lead where its folder's own final path and its name say
//   (GetFinalPathNameByHandleW), which catches whatever redirects without showing as a
//   link (under Wine, a Unix link shows as none to a handle);
// - the file must have one name only: a second hard link could be to any file.
// Every folder stays open, with no delete sharing, while the pin lives, so none of them
// can be renamed, removed, or replaced by a link; each holds the next, so none can be
// emptied and turned into a junction either. The file itself is held with attribute
// access only, which takes no part in sharing, so that the profile functions' own opens
// never conflict with it; a swap of the file in its folder is caught by pinning again
// after the call and comparing (see platform/win32/profile.cpp).
//
// The rule holds in every run, not only elevated ones: the program always asks for
// administrator rights, and one behaviour is what the tests (under Wine, where every run
// is an administrator's) can prove.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/handles.h"

namespace platform::win32 {

// The largest settings file handed to the profile functions, which read a file whole into
// memory. Real ones hold a few KB.
inline constexpr ULONGLONG kLargestSettingsFile = 16ull * 1024 * 1024;

// What opening one name told.
struct OpenedName {
  FileHandle handle;            // held while the pin lives
  DWORD error = ERROR_SUCCESS;  // why it could not be opened
  DWORD attributes = 0;
  DWORD links = 1;  // names of the file
  ULONGLONG size = 0;
  DWORD volume = 0;  // with `index`: which file it is
  ULONGLONG index = 0;
  std::wstring finalPath;     // where the system resolves it, without "\\?\"; empty
                              // when the system would not say
  bool trustedOwner = false;  // asked of a link only: see IsTrustedOwner
};

// How the walk opens names: the system's, or a test's stand-in.
class NameOpener {
 public:
  enum class Kind {
    kFolder,   // passed through: held with traverse access and without delete sharing
    kFile,     // the settings file: attribute access only
    kNewFile,  // the same, created; fails when any name is there (a link leading nowhere)
  };
  virtual ~NameOpener() = default;
  // Opens `path` itself: a link in its last name is opened, not followed.
  virtual OpenedName Open(const std::wstring& path, Kind kind) = 0;
  // Where `path` leads with its links followed, without "\\?\"; empty when nowhere.
  virtual std::wstring Target(const std::wstring& path) = 0;
};

// The system's own names.
NameOpener& SystemNames();

// Whether a link owned by `owner` may be followed: Administrators, SYSTEM or
// TrustedInstaller, as none of which an ordinary user can act.
bool IsTrustedOwner(PSID owner);

class PinnedPath {
 public:
  enum class State {
    kPinned,   // held: path() may go to the profile functions
    kMissing,  // a folder or the file is not there (error() says which)
    kUnsafe,   // a link an ordinary user could have made, a second hard link, or a
               // name that leads elsewhere than it says
    kFailed,   // a name could not be opened; error() says why
  };

  // Pins the file `path` (a bare name lies in the Windows folder, as for the profile
  // functions). With `createMissing` a missing file is created, empty, in its pinned
  // folder. At most eight trusted links are followed: a longer chain is refused.
  static PinnedPath Pin(const std::wstring& path, bool createMissing,
                        NameOpener& names = SystemNames());

  State state() const { return state_; }
  DWORD error() const { return error_; }
  // The full path that was checked; after a trusted link, the path it leads to.
  const std::wstring& path() const { return path_; }
  ULONGLONG size() const { return size_; }
  // Whether both pins hold the same file.
  bool SameFile(const PinnedPath& other) const;

 private:
  static PinnedPath Refused(State state, DWORD error);

  State state_ = State::kFailed;
  DWORD error_ = ERROR_SUCCESS;
  std::wstring path_;
  ULONGLONG size_ = 0;
  DWORD volume_ = 0;
  ULONGLONG index_ = 0;
  std::vector<FileHandle> held_;
};

}  // namespace platform::win32
