// posix process set-up. An abandoned drive probe ends with the process: exit waits for
// no thread. Unattended, a reader of standard output that goes away (`| head`) must not
// end the run by SIGPIPE: the write fails instead, and the log and exit code still come.
#include "platform/process.h"

#include <signal.h>

namespace platform {

void PrepareProcess(bool unattended) {
  if (unattended) {
    signal(SIGPIPE, SIG_IGN);
  }
}

}  // namespace platform
