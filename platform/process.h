// The process as a whole: what must hold before the program touches its first file.
//
// win32: critical-error boxes off for the whole process (SetErrorMode with
//        SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX), so that a drive without a
//        medium answers "not ready" instead of asking the operator to insert a disk -
//        on every thread, the drive probes' included.
// posix: nothing to do; the system shows no such box.
#pragma once

namespace platform {

// Called first thing in the process entry.
void PrepareProcess();

}  // namespace platform
