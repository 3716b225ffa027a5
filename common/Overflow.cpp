#include "common/Overflow.h"

#include <limits>

namespace common {

RuntimeError OverflowError() {
  return RuntimeError(kOverflowErrorNumber, "溢出");
}

std::int32_t CheckedCount(std::size_t count) {
  if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw OverflowError();
  }
  return static_cast<std::int32_t>(count);
}

}  // namespace common
