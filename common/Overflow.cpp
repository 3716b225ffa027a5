#include "common/Overflow.h"

#include <limits>

namespace common {

RuntimeError OverflowError() {
  return RuntimeError(kOverflowErrorNumber, "溢出");
}

void CheckedIncrement(std::int32_t& counter) {
  if (counter == std::numeric_limits<std::int32_t>::max()) {
    throw OverflowError();
  }
  ++counter;
}

}  // namespace common
