// Overflow: the error a checked count or a 16-bit length raises instead of wrapping,
// and the checked count itself. The error type is the platform's one (platform/error.h),
// named here too so that callers of common need not reach for it.
//
// Expected conditions (a missing installation, a missing file, an unreadable value, a
// failed write) are answered with false, an empty text or a count and never raise. What
// does raise is the unexpected: an overflow of a checked count or of AnsiLength's
// 16-bit result, or a platform call that fails where the program cannot go on. Such an
// error travels up to the nearest handler, which reports its description to the
// operator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/error.h"

namespace common {

using platform::kOverflowErrorNumber;
using platform::RuntimeError;

// The overflow error, "溢出": a checked count or a 16-bit length went out of range.
RuntimeError OverflowError();

// `count` as a 32-bit signed count; raises OverflowError() when it does not fit.
std::int32_t CheckedCount(std::size_t count);

}  // namespace common
