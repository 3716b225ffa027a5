#include "common/CM_FileFolderSystem.h"

#include <algorithm>

#include "common/CM_GeneralRoutines.h"
#include "platform/filesearch.h"
#include "platform/profile.h"

namespace common {

bool FileExists(std::string path) {
  const std::optional<platform::FoundEntry> entry = platform::FindFirstEntry(path);
  return entry && (entry->attributes & platform::kAttributeDirectory) == 0;
}

std::string ReadProfileString(std::string file, std::string section, std::string key,
                              std::string defaultValue) {
  std::string value;
  if (platform::GetProfileEntry(section, key, value, file) == 0) {
    return defaultValue;
  }
  value = TrimSpaces(std::move(value));
  value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
  return value;
}

bool WriteProfileString(std::string file, std::string section, std::string key, std::string value) {
  if (IsBlank(section) || IsBlank(key)) {
    return false;
  }
  return platform::PutProfileEntry(section, key, value, file);
}

}  // namespace common
