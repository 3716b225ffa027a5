// Settings files by path, in memory, with what reading or writing each one does: the
// search's files for tests that need no file system.
#pragma once

#include <functional>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/Module1.h"

namespace testsupport {

class FakeInstallationFiles : public app::InstallationFiles {
 public:
  std::map<std::string, std::string> values;
  std::map<std::string, platform::FileResult> readFails;
  std::map<std::string, platform::FileResult> writeFails;
  std::set<std::string> throwOnRead, throwOnWrite;
  std::set<std::string> unseen;  // settings files whose folder may not be looked into
  std::optional<std::vector<std::string>> profiles = std::vector<std::string>{};
  std::vector<app::UncheckedPlace> silent;
  std::function<bool()> stop = [] { return false; };
  std::vector<std::string> written;

  Presence Find(const std::string& path) override {
    if (values.count(path) != 0) {
      return Presence::kThere;
    }
    return unseen.count(path) != 0 ? Presence::kUnseen : Presence::kMissing;
  }
  std::string Read(const std::string& path, platform::FileResult& result) override {
    if (throwOnRead.count(path) != 0) {
      throw std::bad_alloc();
    }
    const auto fail = readFails.find(path);
    result = fail == readFails.end() ? platform::FileResult{} : fail->second;
    return result.problem == platform::FileProblem::kNone ? values[path] : "garbage";
  }
  platform::FileResult Write(const std::string& path, const std::string& value) override {
    if (throwOnWrite.count(path) != 0) {
      throw std::bad_alloc();
    }
    written.push_back(path);
    const auto fail = writeFails.find(path);
    if (fail != writeFails.end()) {
      return fail->second;
    }
    values[path] = value;
    return {};
  }
  std::string SystemDrive() override { return "C:"; }
  std::optional<std::vector<std::string>> Profiles() override { return profiles; }
  std::string ProfilesFolder() override { return "C:\\Users"; }
  void ProbeDrivesOf(const std::vector<std::string>&) override {}
  std::vector<app::UncheckedPlace> SilentDrives() override { return silent; }
  bool StopRequested() override { return stop(); }
};

}  // namespace testsupport
