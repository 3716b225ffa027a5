// The stand-in prints every text that is not the program's own through Printable()
// (platform/printable.h), never raw.
#pragma once

#include "platform/printable.h"

namespace platform::posix {

using platform::Printable;

}  // namespace platform::posix
