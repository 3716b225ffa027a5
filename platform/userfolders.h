// User folders: the drive Windows runs from and the folders that hold the users'
// profiles. The repair driver looks there for the per-user copies that Windows' file
// virtualization makes of files below Program Files.
//
// win32: GetSystemWindowsDirectoryW for the system drive, GetProfilesDirectoryW
//        (userenv) for the profiles folder, the file search for its subfolders.
// posix: the Wine prefix's C: (platform/posix/winpath.h) and its "C:\users", as Wine
//        sets them up.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The drive Windows runs from, as a letter and a colon ("C:"); empty when the system
// does not say.
std::string SystemDrive();

// The folder that holds the user profiles, as a full path without a trailing backslash
// ("C:\Users"); empty when the system does not say.
std::string ProfilesFolder();

// The full paths of the profiles in ProfilesFolder(): every subfolder but "." and "..",
// sorted by name without regard to letter case. Links (junctions such as "Default User"
// and "All Users" on Windows, symbolic links on posix) are left out: they lead to
// folders listed under their own names, or outside the profiles. Files are left out.
// Nothing when the folder is missing or may not be read; nothing here raises.
std::vector<std::string> ProfileFolders();

}  // namespace platform
