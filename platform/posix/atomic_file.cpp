// Placeholder until the replacement lands.
#include "platform/posix/atomic_file.h"

namespace platform::posix {
void SetReplaceFaultHook(ReplaceFaultHook) {}
bool ReadWholeFile(const std::string&, std::string&, FileIdentity&) {
  return false;
}
bool ReplaceFile(const std::string&, std::string_view, const FileIdentity&) {
  return false;
}
}  // namespace platform::posix
