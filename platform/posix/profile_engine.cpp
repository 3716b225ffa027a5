// Placeholder until the engine lands.
#include "platform/posix/profile_engine.h"

namespace platform::posix::profile {
Encoding DetectEncoding(std::string_view) {
  return Encoding::kAnsi;
}
std::optional<std::string> ReadValue(std::string_view, std::string_view, std::string_view) {
  return std::nullopt;
}
std::optional<std::string> WriteValue(std::string_view, std::string_view, std::string_view,
                                      std::string_view) {
  return std::nullopt;
}
}  // namespace platform::posix::profile
