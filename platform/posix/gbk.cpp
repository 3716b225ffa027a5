#include "platform/posix/gbk.h"

#include <iconv.h>

#include <cerrno>

#include "platform/posix/unicode.h"

namespace platform::posix {

namespace {

// One conversion descriptor per direction and thread, opened on first use and kept:
// opening one costs more than converting a value. iconv_t carries shift state, so each
// conversion starts by resetting it; a thread of its own keeps tests and fuzzers that
// convert from several threads apart.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (handle_ != reinterpret_cast<iconv_t>(-1)) {
      iconv_close(handle_);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of `in` as possible, appending to `out`. Returns false and leaves
  // `in` at the offending byte when a sequence cannot be converted.
  bool Convert(std::string_view& in, std::string& out) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char buffer[1024];
    while (!in.empty()) {
      char* source = const_cast<char*>(in.data());
      std::size_t sourceLeft = in.size();
      char* target = buffer;
      std::size_t targetLeft = sizeof buffer;
      const std::size_t result = iconv(handle_, &source, &sourceLeft, &target, &targetLeft);
      out.append(buffer, static_cast<std::size_t>(target - buffer));
      in.remove_prefix(in.size() - sourceLeft);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        return false;
      }
    }
    return true;
  }

 private:
  iconv_t handle_;
};

constexpr const char* kGbk = "CP936";

Converter& FromGbk() {
  static thread_local Converter converter("UTF-8", kGbk);
  return converter;
}

Converter& ToGbk() {
  static thread_local Converter converter(kGbk, "UTF-8");
  return converter;
}

}  // namespace

std::string GbkToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  Converter& converter = FromGbk();
  while (!bytes.empty()) {
    if (converter.ok() && converter.Convert(bytes, out)) {
      break;
    }
    AppendUtf8(out, kReplacementCharacter);
    bytes.remove_prefix(1);
  }
  return out;
}

std::optional<std::string> Utf8ToGbk(std::string_view text) {
  std::string out;
  Converter& converter = ToGbk();
  if (!converter.ok() || !converter.Convert(text, out)) {
    return std::nullopt;
  }
  return out;
}

std::size_t GbkByteCount(std::string_view text) {
  std::size_t count = 0;
  Converter& converter = ToGbk();
  std::string out;
  while (!text.empty()) {
    out.clear();
    if (converter.ok() && converter.Convert(text, out)) {
      count += out.size();
      break;
    }
    count += out.size();
    std::size_t position = 0;
    count += Utf16Units(NextCodePoint(text, position));
    text.remove_prefix(position);
  }
  return count;
}

}  // namespace platform::posix
