// posix process set-up (process.h). An abandoned drive probe ends with the process: exit
// waits for no thread.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <initializer_list>

namespace platform {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
  stopRequested = 1;
}

// Each of descriptors 0 to 2 that is closed gets /dev/null: open answers the lowest free
// descriptor, which is that one, since those below it are open by now.
void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      ::open("/dev/null", O_RDWR);
    }
  }
}

}  // namespace

void PrepareProcess(bool unattended) {
  OpenStandardDescriptors();
  ::signal(SIGXFSZ, SIG_IGN);
  if (!unattended) {
    return;
  }
  ::signal(SIGPIPE, SIG_IGN);
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  // The run goes on where it was; it looks at the request between installations.
  stop.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      ::sigaction(signal, &stop, nullptr);
    }
  }
}

bool StopRequested() {
  return stopRequested != 0;
}

}  // namespace platform
