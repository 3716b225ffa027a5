// The directory search with an attribute mask, portable over FindEntries.
#include "platform/filesearch.h"

#include "platform/text.h"

namespace platform {

std::string DirectorySearch(const std::string& path, std::uint32_t mask) {
  std::string pattern = path;
  if (!pattern.empty() && IsPathSeparator(pattern.back())) {
    pattern += "*";
  }
  for (const FoundEntry& entry : FindEntries(pattern)) {
    const bool excluded =
        ((entry.attributes & kAttributeDirectory) != 0 && (mask & kAttributeDirectory) == 0) ||
        ((entry.attributes & kAttributeHidden) != 0 && (mask & kAttributeHidden) == 0) ||
        ((entry.attributes & kAttributeSystem) != 0 && (mask & kAttributeSystem) == 0);
    if (!excluded) {
      return entry.name;
    }
  }
  return std::string();
}

}  // namespace platform
