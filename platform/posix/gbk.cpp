#include "platform/posix/gbk.h"

#include <unicode/ucnv.h>

#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

constexpr char kDefaultCharacter = '?';

bool IsLeadByte(char byte) {
  const unsigned char value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

// One converter per thread, opened on first use and kept: opening one costs more than
// converting a value, and a converter carries state between the calls of a conversion.
// Both directions stop at what they cannot convert, so that the Windows rules decide.
class Converter {
 public:
  Converter() {
    UErrorCode status = U_ZERO_ERROR;
    handle_ = ucnv_open("windows-936-2000", &status);
    ucnv_setToUCallBack(handle_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(handle_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status) && handle_ != nullptr) {
      ucnv_close(handle_);
      handle_ = nullptr;
    }
  }
  ~Converter() {
    if (handle_ != nullptr) {
      ucnv_close(handle_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Nothing when ICU lacks the table; then every byte above ASCII reads as "?" and
  // nothing above ASCII can be written.
  UConverter* get() const { return handle_; }

 private:
  UConverter* handle_ = nullptr;
};

UConverter* Cp936() {
  static thread_local Converter converter;
  return converter.get();
}

void AppendUtf16(std::string& out, const UChar* units, std::size_t count) {
  for (std::size_t i = 0; i < count;) {
    AppendUtf8(out, NextUtf16CodePoint([units](std::size_t at) { return units[at]; }, i, count));
  }
}

// Converts `bytes` until the end or the first sequence ICU refuses, appending to `out`;
// returns the offset of that sequence, or bytes.size().
std::size_t ConvertUntilRefused(UConverter* converter, std::string_view bytes, std::string& out) {
  if (converter == nullptr) {
    std::size_t end = 0;
    while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) < 0x80) {
      out += bytes[end++];
    }
    return end;
  }
  ucnv_resetToUnicode(converter);
  const char* source = bytes.data();
  const char* const sourceEnd = source + bytes.size();
  UChar buffer[1024];
  UErrorCode status = U_ZERO_ERROR;
  do {
    status = U_ZERO_ERROR;
    UChar* target = buffer;
    ucnv_toUnicode(converter, &target, buffer + std::size(buffer), &source, sourceEnd, nullptr,
                   true, &status);
    AppendUtf16(out, buffer, static_cast<std::size_t>(target - buffer));
  } while (status == U_BUFFER_OVERFLOW_ERROR);
  const std::size_t consumed = static_cast<std::size_t>(source - bytes.data());
  if (U_SUCCESS(status)) {
    return bytes.size();
  }
  // The source stops after the refused bytes.
  char refused[32];
  int8_t length = sizeof refused;
  UErrorCode ignored = U_ZERO_ERROR;
  ucnv_getInvalidChars(converter, refused, &length, &ignored);
  const std::size_t refusedLength = U_SUCCESS(ignored) && length > 0 ? length : 1;
  return consumed >= refusedLength ? consumed - refusedLength : 0;
}

// The bytes of one character, with or without look-alikes (best-fit forms),
// or nothing when it has no such form.
std::optional<std::string> EncodeCharacter(UConverter* converter, char32_t code, bool lookAlikes) {
  if (converter == nullptr) {
    return std::nullopt;
  }
  char16_t units[2];
  const auto count = static_cast<int32_t>(EncodeUtf16(code, units));
  ucnv_setFallback(converter, lookAlikes);
  char bytes[8];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = ucnv_fromUChars(converter, bytes, sizeof bytes, units, count, &status);
  // No bytes at all is a character ICU dropped, not one the code page holds.
  if (U_FAILURE(status) || length <= 0) {
    return std::nullopt;
  }
  return std::string(bytes, static_cast<std::size_t>(length));
}

}  // namespace

std::string GbkToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  UConverter* converter = Cp936();
  while (!bytes.empty()) {
    const std::size_t refused = ConvertUntilRefused(converter, bytes, out);
    if (refused >= bytes.size()) {
      break;
    }
    // Windows pairs a lead byte with whatever follows it, and puts one "?" for the pair.
    std::size_t length = 1;
    if (IsLeadByte(bytes[refused]) && refused + 1 < bytes.size() && bytes[refused + 1] != '\0') {
      length = 2;
    }
    out += kDefaultCharacter;
    bytes.remove_prefix(refused + length);
  }
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  UConverter* converter = Cp936();
  for (std::size_t position = 0; position < text.size();) {
    if (static_cast<unsigned char>(text[position]) < 0x80) {
      out += text[position++];
      continue;
    }
    // A malformed byte reads as U+FFFD, which the code page does not hold either.
    const std::optional<std::string> bytes =
        EncodeCharacter(converter, NextCodePoint(text, position), false);
    if (!bytes) {
      return std::nullopt;
    }
    out += *bytes;
  }
  return out;
}

std::size_t GbkByteCount(std::string_view text) {
  std::size_t count = 0;
  UConverter* converter = Cp936();
  for (std::size_t position = 0; position < text.size();) {
    if (static_cast<unsigned char>(text[position]) < 0x80) {
      ++count;
      ++position;
      continue;
    }
    const char32_t code = NextCodePoint(text, position);
    const std::optional<std::string> bytes = EncodeCharacter(converter, code, true);
    count += bytes ? bytes->size() : Utf16Units(code);
  }
  return count;
}

}  // namespace platform::posix
