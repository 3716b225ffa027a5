#include "app/Module1.h"

#include "common/CM_FileFolderSystem.h"
#include "common/CM_GeneralRoutines.h"
#include "common/RuntimeError.h"

namespace app {

namespace {

void AppendLine(std::string& list, const std::string& line) {
  if (!list.empty()) {
    list += "\r\n";
  }
  list += line;
}

std::string ReadServerAddress(const std::string& settingsPath) {
  return common::ReadProfileString(settingsPath, kSettingsSection, kSettingsKey, "");
}

}  // namespace

bool RepairInstallation(std::string Folder, Tally& tally) {
  const std::string settingsPath = common::AddBackslash(Folder) + kSettingsFile;
  if (!common::FileExists(settingsPath)) {
    return false;
  }
  common::CheckedIncrement(tally.FoundCount);
  AppendLine(tally.FoundList, Folder);

  std::string value = ReadServerAddress(settingsPath);
  if (value != TargetServerAddress) {
    // The write's own answer is not trusted; reading back decides.
    common::WriteProfileString(settingsPath, kSettingsSection, kSettingsKey, TargetServerAddress);
    value = ReadServerAddress(settingsPath);
    if (value == TargetServerAddress) {
      tally.Rewritten = true;
    }
  }
  const bool correct = value == TargetServerAddress;
  if (correct) {
    common::CheckedIncrement(tally.CorrectCount);
  }
  AppendLine(correct ? tally.CorrectList : tally.FailedList, Folder);
  return correct;
}

bool RepairAllInstallations(Tally& tally) {
  tally = Tally{};
  for (const char* folder : kCandidateFolders) {
    RepairInstallation(folder, tally);
  }
  return tally.FoundCount > 0;
}

}  // namespace app
