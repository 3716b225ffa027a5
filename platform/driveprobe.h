// Drives that do not answer: the bound on every lookup that reaches a drive.
//
// A mapped drive whose server has gone can hold a single lookup for a minute; a lookup
// cannot be cancelled everywhere (not in a FUSE or NFS mount under Wine, not in every
// network redirector), so none is made before the drive has shown that it answers. The
// first time a lookup needs any drive, every drive is probed at once, each probe on a
// worker thread of its own, all with one deadline. A probe still running at its deadline
// is abandoned - its thread sleeps in the kernel until the process ends, and nothing
// waits for it then - and its drive counts as missing for the rest of the run, as a
// drive without a medium does. The portable code above the platform sees only that.
//
// Internal to platform/: the back-ends ask DriveAnswers before each lookup and provide
// the probe itself. Portable code (platform/driveprobe.cpp).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives.h"

namespace platform {

// How long a drive may take to answer its probe. A disk spinning up or a slow server
// answers within 5 s and is searched; the probes of all drives share this one deadline,
// so drives that never answer hold a run up once by this much, with room to spare
// before the 10 s that an operator will wait for the first box.
inline constexpr std::chrono::milliseconds kDriveAnswerDeadline{8000};

// How long the drive list waits for the drives to answer: it must appear at once. A drive
// that has not answered by then is listed without its label; its probe goes on.
inline constexpr std::chrono::milliseconds kDriveListPatience{500};

// A drive as the back-end names it: `root` tells drives apart (and prefixes, on posix).
struct DriveRef {
  std::string root;
  char letter = 'c';  // lower case
};

// Back-end: makes lookups on the drive and returns once the drive has answered,
// whatever its answer (a drive without a medium answers at once that it has none). Runs
// on a worker thread; may never return.
void ProbeDrive(const std::string& root);

// Back-end: tells what a drive that did not answer means to whoever runs the program.
void TellSilentDrive(const SilentDrive& drive);

// Whether `drive` answers. When it has not been probed yet, every drive that `allDrives`
// lists (and `drive`) is probed now, and the call waits until all of them have answered
// or the deadline has passed.
bool DriveAnswers(const DriveRef& drive, const std::function<std::vector<DriveRef>()>& allDrives);

// Which of `drives` have answered, probing those not probed yet and waiting at most
// `patience` for them.
std::vector<bool> AnsweredWithin(const std::vector<DriveRef>& drives,
                                 std::chrono::milliseconds patience);

}  // namespace platform
