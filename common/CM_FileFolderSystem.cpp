#include "common/CM_FileFolderSystem.h"

#include <algorithm>
#include <utility>

#include "common/CM_GeneralRoutines.h"
#include "platform/filesearch.h"

namespace common {

bool FileExists(std::string path) {
  const std::optional<platform::FoundEntry> entry = platform::FindFirstEntry(path);
  return entry && (entry->attributes & platform::kAttributeDirectory) == 0;
}

std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue) {
  platform::FileResult ignored;
  return ReadProfileString(std::move(file), std::move(section), std::move(key),
                           std::move(defaultValue), ignored);
}

std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue, platform::FileResult& result) {
  std::string value;
  if (platform::GetProfileEntry(section, key, value, file, result) == 0) {
    return defaultValue;
  }
  value = TrimSpaces(std::move(value));
  value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
  return value;
}

platform::FileResult WriteProfileString(std::string file, std::string section, std::string key,
                                        std::string value) {
  if (IsBlank(section) || IsBlank(key)) {
    return platform::FileResult{platform::FileProblem::kUnknown, 0};
  }
  return platform::PutProfileEntry(section, key, value, file);
}

}  // namespace common
