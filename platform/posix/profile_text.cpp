#include "platform/posix/profile_text.h"

#include "platform/posix/gbk.h"
#include "platform/posix/unicode.h"

namespace platform::posix::profile {

namespace {

// Whether the file's NULs fall as in UTF-16 or UTF-32 text (the header says how this is
// judged), and in which byte order.
enum class WideText { kNo, kLittleEndian, kBigEndian };

// Fewer NULs beside text than this are taken for stray ones.
constexpr std::size_t kWideEvidence = 4;

WideText LooksWide(std::string_view bytes) {
  if (std::memchr(bytes.data(), 0, bytes.size()) == nullptr) {
    return WideText::kNo;  // nearly every file: nothing to count
  }
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t pairs[2] = {0, 0};   // [0]: text then NUL (LE), [1]: NUL then text (BE)
  std::size_t groups[2] = {0, 0};  // [0]: text, text, NUL, NUL (LE), [1]: the mirror (BE)
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if ((data[i] == 0) != (data[i + 1] == 0)) {
      ++pairs[data[i] == 0];
    }
  }
  for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
    const bool low = (data[i] | data[i + 1]) == 0, high = (data[i + 2] | data[i + 3]) == 0;
    if (low != high) {
      ++groups[low];
    }
  }
  const auto outweighs = [](std::size_t one, std::size_t other) {
    return one >= kWideEvidence && one >= kWideEvidence * other;
  };
  if (outweighs(pairs[0], pairs[1]) || outweighs(groups[0], groups[1])) {
    return WideText::kLittleEndian;
  }
  if (outweighs(pairs[1], pairs[0]) || outweighs(groups[1], groups[0])) {
    return WideText::kBigEndian;
  }
  return WideText::kNo;
}

}  // namespace

Encoding DetectEncoding(std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const auto startsWith = [&](std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
  };
  if (startsWith("\xEF\xBB\xBF")) {
    return Encoding::kUtf8;
  }
  // UTF-32's marks begin or end with UTF-16's; we hold no UTF-32 text.
  if (startsWith(std::string_view("\xFF\xFE\0\0", 4)) ||
      startsWith(std::string_view("\0\0\xFE\xFF", 4))) {
    return Encoding::kUnrecognised;
  }
  const WideText wide = LooksWide(bytes);
  if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    return wide == WideText::kBigEndian ? Encoding::kUnrecognised : Encoding::kUtf16Le;
  }
  if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    return wide == WideText::kLittleEndian ? Encoding::kUnrecognised : Encoding::kUtf16Be;
  }
  return wide == WideText::kNo ? Encoding::kAnsi : Encoding::kUnrecognised;
}

std::string Units::Decode(std::size_t begin, std::size_t end) const {
  std::string text;
  if (AllAscii(begin, end)) {
    text.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
      text += static_cast<char>((*this)[i]);
    }
    return text;
  }
  const std::string_view raw =
      bytes_.substr(ByteOffset(begin), ByteOffset(end) - ByteOffset(begin));
  switch (encoding_) {
    case Encoding::kAnsi:
      return GbkToUtf8(raw);
    case Encoding::kUtf8:
      text.reserve(raw.size());
      for (std::size_t position = 0; position < raw.size();) {
        AppendUtf8(text, NextCodePoint(raw, position));
      }
      return text;
    default:
      for (std::size_t i = begin; i < end;) {
        AppendUtf8(text,
                   NextUtf16CodePoint([this](std::size_t at) { return (*this)[at]; }, i, end));
      }
      return text;
  }
}

std::optional<std::string> Units::Encode(std::string_view text) const {
  switch (encoding_) {
    case Encoding::kAnsi: {
      std::optional<std::string> encoded = Utf8ToGbk(text);
      // A conversion that maps two characters to the same bytes would read back as the
      // other one; only a faithful round trip is written.
      if (!encoded || GbkToUtf8(*encoded) != text) {
        return std::nullopt;
      }
      return encoded;
    }
    case Encoding::kUtf8:
      return std::string(text);
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      std::string out;
      out.reserve(text.size() * 2);
      const auto put = [&](char32_t unit) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += encoding_ == Encoding::kUtf16Le ? low : high;
        out += encoding_ == Encoding::kUtf16Le ? high : low;
      };
      for (std::size_t position = 0; position < text.size();) {
        char16_t units[2];
        const std::size_t count = EncodeUtf16(NextCodePoint(text, position), units);
        for (std::size_t i = 0; i < count; ++i) {
          put(units[i]);
        }
      }
      return out;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace platform::posix::profile
