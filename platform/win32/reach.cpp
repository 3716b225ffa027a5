// win32: which drive a path reaches, and whether it may be reached (platform/driveprobe.h).
#include "platform/win32/reach.h"

#include <string_view>

#include "platform/drives.h"
#include "platform/text.h"

namespace platform::win32 {

DriveRef DriveOf(char letter) {
  return DriveRef{std::string(1, AsciiUpper(letter)) + ":\\", AsciiLower(letter)};
}

bool DriveOfPathAnswers(const std::string& path) {
  std::string_view rest = path;
  if (rest.size() >= 6 && rest.substr(0, 4) == "\\\\?\\" && rest[5] == ':') {
    rest.remove_prefix(4);
  } else if (rest.size() >= 2 && IsPathSeparator(rest[0]) && IsPathSeparator(rest[1])) {
    return true;
  }
  char letter = 0;
  if (rest.size() >= 2 && rest[1] == ':' && IsAsciiLetter(rest[0])) {
    letter = rest[0];
  } else if (const std::string current = CurrentFolder();
             current.size() >= 2 && current[1] == ':' && IsAsciiLetter(current[0])) {
    letter = current[0];
  } else {
    return true;
  }
  return ProcessDrives().Answers(DriveOf(letter));
}

}  // namespace platform::win32
