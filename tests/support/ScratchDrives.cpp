#include "tests/support/ScratchDrives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/text.h"

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// The host path of a Windows path on the scratch drives. On posix the drives are fresh
// folders of our own, so the path is mapped by its text alone ("C:\\a\\b" is
// <root>/drive_c/a/b): a fault in the program's own path resolution cannot hide here.
fs::path MapToHost([[maybe_unused]] const std::string& root, const std::string& windowsPath) {
#ifdef _WIN32
  return fs::u8path(windowsPath);
#else
  const char drive = windowsPath.size() >= 3 && windowsPath[1] == ':' && windowsPath[2] == '\\'
                         ? platform::AsciiLower(windowsPath[0])
                         : '\0';
  if (drive < 'c' || drive > 'g') {
    ADD_FAILURE() << "not a path on the scratch drives: " << windowsPath;
    return fs::path("/nonexistent-scratch-path");
  }
  std::string below = windowsPath.substr(3);
  std::replace(below.begin(), below.end(), '\\', '/');
  return fs::path(root) / (std::string("drive_") + drive) / below;
#endif
}

const char* const kWipedFolders[] = {"Program Files\\TAMO", "Program Files (x86)\\TAMO",
                                     "zelfix-test"};

const char kProfiles[] = "C:\\users";
const char kScratchProfilePrefix[] = "zelfix-test-";

bool IsScratchProfile(const std::string& name) {
  return platform::AsciiLower(name).rfind(kScratchProfilePrefix, 0) == 0;
}

// Gives back every write (and read) permission below `host` and removes it.
void RemoveTree(const fs::path& host) {
  std::error_code ignored;
  fs::permissions(host, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(host, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
#ifdef _WIN32
    SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
  }
  fs::remove_all(host, ignored);
}

}  // namespace

ScratchDrives::ScratchDrives() {
#ifdef _WIN32
  const char* sandbox = std::getenv("ZELFIX_TEST_SANDBOX");
  if (sandbox == nullptr || std::string(sandbox) != "1") {
    std::fprintf(stderr,
                 "These tests create and delete folders on C: to G:. Run them only in the "
                 "throwaway Wine prefix of cmake/wine-run.sh (ZELFIX_TEST_SANDBOX=1).\n");
    std::abort();
  }
#else
  if (const char* prefix = std::getenv("WINEPREFIX")) {
    hadPrefix_ = true;
    savedPrefix_ = prefix;
  }
  std::string pattern = (fs::temp_directory_path() / "zelfix-drives-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  root_ = pattern;
  fs::create_directories(fs::path(root_) / "dosdevices");
  for (char drive = 'c'; drive <= 'g'; ++drive) {
    const std::string folder = std::string("drive_") + drive;
    fs::create_directories(fs::path(root_) / folder);
    fs::create_directory_symlink(fs::path("..") / folder,
                                 fs::path(root_) / "dosdevices" / (std::string(1, drive) + ":"));
  }
  setenv("WINEPREFIX", root_.c_str(), 1);
#endif
  Wipe();
}

ScratchDrives::~ScratchDrives() {
  Wipe();
#ifndef _WIN32
  std::error_code ignored;
  // Read-only folders would stop the removal; give every entry back its write bit.
  for (auto it = fs::recursive_directory_iterator(root_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(root_, ignored);
  if (hadPrefix_) {
    setenv("WINEPREFIX", savedPrefix_.c_str(), 1);
  } else {
    unsetenv("WINEPREFIX");
  }
#endif
}

void ScratchDrives::Wipe() {
  for (char drive = 'C'; drive <= 'G'; ++drive) {
    for (const char* folder : kWipedFolders) {
      const std::string windowsPath = std::string(1, drive) + ":\\" + folder;
      std::error_code ignored;
      const fs::path host = MapToHost(root_, windowsPath);
      if (fs::exists(host, ignored)) {
        RemoveTree(host);
      }
    }
  }
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(MapToHost(root_, kProfiles), ignored)) {
    if (IsScratchProfile(entry.path().filename().u8string())) {
      RemoveTree(entry.path());
    }
  }
}

void ScratchDrives::WriteFile(const std::string& windowsPath, const std::string& bytes) {
  const fs::path host = MapToHost(root_, windowsPath);
  std::error_code error;
  fs::create_directories(host.parent_path(), error);
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    ADD_FAILURE() << "cannot write " << windowsPath;
  }
}

std::string ScratchDrives::ReadFile(const std::string& windowsPath) {
  std::ifstream in(MapToHost(root_, windowsPath), std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot read " << windowsPath;
    return std::string();
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool ScratchDrives::Exists(const std::string& windowsPath) {
  std::error_code ignored;
  return fs::exists(MapToHost(root_, windowsPath), ignored);
}

void ScratchDrives::MakeFolder(const std::string& windowsPath) {
  std::error_code error;
  fs::create_directories(MapToHost(root_, windowsPath), error);
  if (error) {
    ADD_FAILURE() << "cannot create " << windowsPath << ": " << error.message();
  }
}

void ScratchDrives::SetReadOnly(const std::string& windowsPath, bool readOnly) {
#ifdef _WIN32
  const fs::path host = MapToHost(root_, windowsPath);
  const DWORD attributes = GetFileAttributesW(host.c_str());
  const DWORD updated = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                                 : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (attributes == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(host.c_str(), updated)) {
    ADD_FAILURE() << "cannot change the read-only attribute of " << windowsPath;
  }
#else
  std::error_code error;
  const fs::perms write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(MapToHost(root_, windowsPath), readOnly ? write : fs::perms::owner_write,
                  readOnly ? fs::perm_options::remove : fs::perm_options::add, error);
  if (error) {
    ADD_FAILURE() << "cannot change the permissions of " << windowsPath;
  }
#endif
}

void ScratchDrives::MakeHidden(const std::string& windowsPath) {
#ifdef _WIN32
  const fs::path host = MapToHost(root_, windowsPath);
  SetFileAttributesW(host.c_str(), GetFileAttributesW(host.c_str()) | FILE_ATTRIBUTE_HIDDEN);
#else
  // Hidden means a leading dot on this back-end; the name must already carry it.
  if (MapToHost(root_, windowsPath).filename().string().rfind('.', 0) != 0) {
    ADD_FAILURE() << "a hidden entry's name starts with a dot here: " << windowsPath;
  }
#endif
}

std::filesystem::path ScratchDrives::HostPath(const std::string& windowsPath) const {
  return testsupport::MapToHost(root_, windowsPath);
}

std::vector<std::string> ScratchDrives::List(const std::string& windowsFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(MapToHost(root_, windowsFolder), error)) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string SettingsFileOf(const std::string& installationFolder) {
  return installationFolder + "\\BIN\\ZEL1.SYS";
}

std::string ProfileOf(const std::string& user) {
  if (!IsScratchProfile(user)) {
    ADD_FAILURE() << "not a scratch user's name: " << user;
  }
  return std::string(kProfiles) + "\\" + user;
}

std::string ShadowOf(const std::string& user, const std::string& installationFolder) {
  if (installationFolder.rfind("C:\\", 0) != 0) {
    ADD_FAILURE() << "not a folder on C: " << installationFolder;
  }
  return ProfileOf(user) + "\\AppData\\Local\\VirtualStore" + installationFolder.substr(2);
}

std::string Settings(const std::string& address) {
  return "[web]\r\nwebserver=" + address + "\r\n";
}

}  // namespace testsupport
