// The text of a profile file for the engine (profile_engine.h): which encoding its bytes
// are in, and the file as code units that can be searched, decoded to UTF-8 and written
// to in that encoding.
//
// A file that starts with a UTF-8 byte-order mark is UTF-8; with a UTF-16LE or UTF-16BE
// mark, UTF-16 in that byte order; otherwise the ANSI code page (GBK). A file that cannot
// be read and written exactly in its own encoding is unrecognised: one with a UTF-32 mark
// (FF FE 00 00, 00 00 FE FF), and one whose NULs fall as in UTF-16 or UTF-32 text,
// without a mark or against the byte order its UTF-16 mark gives. That is judged from
// the whole file, never from its first characters: at least four aligned pairs of one NUL
// and one other byte with the NUL on the same side (an ASCII character in UTF-16), four
// times as many as with the NUL on the other side; or the same for aligned groups of
// four bytes, one half NULs (a character in UTF-32). Stray NULs in an ANSI file (after a
// value, say) and runs of them (a region zeroed by a crash) leave it ANSI: a stray NUL
// makes one such pair, on either side, and a run makes them only at its ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace platform::posix::profile {

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be, kUnrecognised };

// The encoding of a file with these bytes.
Encoding DetectEncoding(std::string_view bytes);

// The file as a sequence of code units after its byte-order mark: bytes for ANSI and
// UTF-8, 16-bit units for UTF-16. Line breaks, "=", ";", NUL and blanks are single units
// in every encoding we accept - also in GBK, whose trail bytes are never below 0x40 - so
// lines and the "=" of an entry are found on units. "[" and "]" are not (a GBK trail byte
// can be either), so section names are decoded before they are looked at. The searches
// are inline: the engine runs them over every line of a large file.
class Units {
 public:
  // `bytes` must outlive the Units; `encoding` is not kUnrecognised.
  Units(std::string_view bytes, Encoding encoding) : bytes_(bytes), encoding_(encoding) {
    if (encoding == Encoding::kUtf8) {
      start_ = 3;
    } else if (encoding == Encoding::kUtf16Le || encoding == Encoding::kUtf16Be) {
      start_ = 2;
      width_ = 2;
    }
    start_ = std::min(start_, bytes.size());
    size_ = (bytes.size() - start_) / width_;
  }

  std::size_t size() const { return size_; }
  std::size_t width() const { return width_; }
  Encoding encoding() const { return encoding_; }
  // A UTF-16 file with an odd number of bytes ends in half a unit.
  bool HasLooseByte() const { return start_ + size_ * width_ != bytes_.size(); }
  std::size_t ByteOffset(std::size_t unit) const { return start_ + unit * width_; }

  std::uint32_t operator[](std::size_t i) const {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes_.data()) + start_;
    if (width_ == 1) {
      return data[i];
    }
    const unsigned first = data[2 * i];
    const unsigned second = data[2 * i + 1];
    return encoding_ == Encoding::kUtf16Le ? (second << 8 | first) : (first << 8 | second);
  }

  // The first unit at or after `from` that is a line break, or size().
  std::size_t FindBreak(std::size_t from) const {
    if (width_ == 1) {
      const char* p = bytes_.data() + start_ + from;
      const char* const end = bytes_.data() + start_ + size_;
      while (p != end && *p != '\n' && *p != '\r') {
        ++p;
      }
      return static_cast<std::size_t>(p - (bytes_.data() + start_));
    }
    while (from < size_ && (*this)[from] != '\n' && (*this)[from] != '\r') {
      ++from;
    }
    return from;
  }

  // The first unit in [from, to) equal to `unit`, or `to`.
  std::size_t Find(std::size_t from, std::size_t to, std::uint32_t unit) const {
    if (from == to) {
      return to;
    }
    if (width_ == 1) {
      const void* hit =
          std::memchr(bytes_.data() + start_ + from, static_cast<int>(unit), to - from);
      return hit == nullptr ? to
                            : static_cast<std::size_t>(static_cast<const char*>(hit) -
                                                       (bytes_.data() + start_));
    }
    while (from < to && (*this)[from] != unit) {
      ++from;
    }
    return from;
  }

  bool AllAscii(std::size_t begin, std::size_t end) const {
    for (std::size_t i = begin; i < end; ++i) {
      if ((*this)[i] >= 0x80) {
        return false;
      }
    }
    return true;
  }

  // The units [begin, end) as UTF-8; bytes that are not valid text become U+FFFD.
  std::string Decode(std::size_t begin, std::size_t end) const;

  // `text` (well-formed UTF-8) in the file's encoding, or nothing when the encoding cannot
  // hold it exactly.
  std::optional<std::string> Encode(std::string_view text) const;

 private:
  std::string_view bytes_;
  Encoding encoding_;
  std::size_t start_ = 0;
  std::size_t width_ = 1;
  std::size_t size_ = 0;
};

}  // namespace platform::posix::profile
