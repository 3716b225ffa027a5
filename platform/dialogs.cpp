// Which dialogs the program talks to: the back-end's, or a test's double.
#include "platform/dialogs.h"

namespace platform {

namespace {
Dialogs* installed = nullptr;
}

Dialogs& CurrentDialogs() {
  return installed != nullptr ? *installed : BackendDialogs();
}

ScopedDialogs::ScopedDialogs(Dialogs& dialogs) : ScopedOverride(installed, &dialogs) {}

}  // namespace platform
