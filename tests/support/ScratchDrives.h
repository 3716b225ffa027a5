// Scratch drives for tests that work on real files through Windows paths.
//
// posix: a private Wine-style prefix in a temporary folder whose dosdevices map C: to G:
//        to empty folders; WINEPREFIX points at it while the object lives.
// win32: the drives C: to G: of the throwaway Wine prefix that wine-run.sh prepares. Only
//        allowed when ZELFIX_TEST_SANDBOX=1 says so, because the tests create and delete
//        folders such as C:\Program Files\TAMO; elsewhere the constructor aborts the test
//        program. The TAMO folders, C:\zelfix-test and the scratch profiles are wiped
//        before and after.
// Scratch user profiles go into C:\users, the profiles folder of both: Wine's own, and
// the one the posix stand-in looks at.
//
// The file helpers take Windows paths on C: to G: and work on the host directly, never
// through the code under test: on posix a path is mapped by its text alone to the
// drive's folder, names exactly as written (so a test writes each name in the case it
// means). They fail the current test (ADD_FAILURE) when the host refuses.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class ScratchDrives {
 public:
  ScratchDrives();
  ~ScratchDrives();
  ScratchDrives(const ScratchDrives&) = delete;
  ScratchDrives& operator=(const ScratchDrives&) = delete;

  // A folder on C: that belongs to the test, without a trailing backslash.
  static std::string Scratch() { return "C:\\zelfix-test"; }

  // Creates the file with exactly these bytes, and its folders.
  void WriteFile(const std::string& windowsPath, const std::string& bytes);
  std::string ReadFile(const std::string& windowsPath);
  bool Exists(const std::string& windowsPath);
  void MakeFolder(const std::string& windowsPath);
  // Clears (or sets back) the file's write permission: the Windows read-only attribute.
  void SetReadOnly(const std::string& windowsPath, bool readOnly = true);
  void MakeHidden(const std::string& windowsPath);
  // Names of the entries in a folder, sorted; for checking that nothing was left behind.
  std::vector<std::string> List(const std::string& windowsFolder);
  // The host's path of a Windows path on the scratch drives, mapped as above.
  std::filesystem::path HostPath(const std::string& windowsPath) const;

 private:
  void Wipe();
  std::string root_;  // posix: the temporary prefix
  std::string savedPrefix_;
  bool hadPrefix_ = false;
};

// The installation folders the program looks at, for building test files.
std::string SettingsFileOf(const std::string& installationFolder);

// A scratch user's profile folder, C:\users\<user>. The name must start with
// "zelfix-test-" (in any letter case): those profiles are the ones wiped.
std::string ProfileOf(const std::string& user);

// The folder of a scratch user's shadow copy of an installation folder on C:.
std::string ShadowOf(const std::string& user, const std::string& installationFolder);

// A minimal settings file whose "webserver" value is `address`.
std::string Settings(const std::string& address);

}  // namespace testsupport
