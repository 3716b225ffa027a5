// Which dialogs the program talks to: the back-end's, or a test's double.
#include "platform/dialogs.h"

namespace platform {

namespace {
Dialogs* installed = nullptr;
}

Dialogs& CurrentDialogs() {
  return installed != nullptr ? *installed : BackendDialogs();
}

ScopedDialogs::ScopedDialogs(Dialogs& dialogs) : previous_(installed) {
  installed = &dialogs;
}

ScopedDialogs::~ScopedDialogs() {
  installed = previous_;
}

}  // namespace platform
