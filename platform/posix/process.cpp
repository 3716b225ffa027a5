// posix process set-up: nothing. An abandoned drive probe ends with the process: exit
// waits for no thread.
#include "platform/process.h"

namespace platform {

void PrepareProcess(bool) {}

}  // namespace platform
