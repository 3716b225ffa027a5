// The process as a whole: what must hold before the program touches its first file, and
// the interruptions that stop an unattended run.
//
// win32: first of all, DLLs come from System32 only and RedirectionGuard is on
//        (platform/win32/systemlibrary.h). Then critical-error boxes off for the whole process
//        (SetErrorMode with SEM_FAILCRITICALERRORS and SEM_NOOPENFILEERRORBOX), so that a drive
//        without a medium answers "not ready" instead of asking the operator to insert a disk - on
//        every thread, the drive probes' included. Unattended, the crash box of Windows Error
//        Reporting is off too (SEM_NOGPFAULTERRORBOX): under a deployment tool nobody is there to
//        close it, and the tool would wait for ever. Unattended, an interruption is heard in two
//        ways: a console control handler (Ctrl+C, Ctrl+Break, the console closed; log-off and
//        shutdown only reach a console program that never loaded user32, which this one does), and
//        a hidden top-level window of a thread of its own (WM_QUERYENDSESSION and WM_ENDSESSION at
//        log-off and shutdown, which a window program started by a deployment tool gets
//        instead; WM_CLOSE, which `taskkill` without /f sends). For the console closed
//        and the session ending, the system ends the process once the handler returns:
//        the handler holds on for up to 20 s, the time Windows gives a console program
//        at shutdown, so that the run can finish its file and its report, and the
//        process ends with the run.
// posix: the system shows no such box. Descriptors 0 to 2 are opened on /dev/null where
//        they were closed, so that no file the program opens takes one of them and gets
//        what is meant for standard output or error. SIGXFSZ is ignored: a file that
//        would pass the size limit (ulimit -f) fails its write, which is reported,
//        rather than ending the process without a report. Unattended, SIGPIPE is
//        ignored, and SIGINT, SIGTERM and SIGHUP only request a stop (one that was
//        ignored when the program started, as under nohup, stays ignored); the atomic
//        replacement of a settings file then finishes, as it does for a signal it does
//        not catch itself (posix/atomic_file.cpp).
#pragma once

namespace platform {

// Called in the process entry before the first file is touched; `unattended` when the
// run must never show a box, not even for a crash, and must stop cleanly when
// interrupted.
void PrepareProcess(bool unattended);

// True once an interruption has arrived in an unattended run (see above): the run then
// lets the file it writes finish, checks nothing more and ends with its report. Always
// false in the interactive run, which an interruption ends as the system ends any
// program.
bool StopRequested();

}  // namespace platform
