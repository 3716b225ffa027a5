// The process as a whole: what must hold before the program touches its first file.
//
// win32: critical-error boxes off for the whole process (SetErrorMode with
//        SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX), so that a drive without a
//        medium answers "not ready" instead of asking the operator to insert a disk -
//        on every thread, the drive probes' included. Unattended, the crash box of
//        Windows Error Reporting is off too (SEM_NOGPFAULTERRORBOX): under a deployment
//        tool nobody is there to close it, and the tool would wait for ever.
//        First of all, DLLs come from System32 only and RedirectionGuard is on
//        (platform/win32/systemlibrary.h).
// posix: the system shows no such box; unattended, SIGPIPE is ignored.
#pragma once

namespace platform {

// Called in the process entry before the first file is touched; `unattended` when the
// run must never show a box, not even for a crash.
void PrepareProcess(bool unattended);

}  // namespace platform
