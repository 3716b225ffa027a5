// Drives that do not answer: the bound on every lookup that reaches a drive.
//
// A mapped drive whose server has gone can hold a single lookup for a minute; a lookup
// cannot be cancelled everywhere (not in a FUSE or NFS mount under Wine, not in every
// network redirector), so none is made before the drive has shown that it answers. The
// first time a lookup needs a drive, that drive alone is probed on a worker thread of its
// own (or, through ProbeDrivesOf, every drive a search is about to need, all at once).
// The probe first tells what kind of drive it is, then makes a lookup on it. A drive that
// answers within the bound of its kind is searched as usual. One that does not is given
// up: its probe is abandoned - the thread sleeps in the kernel until the process ends,
// and nothing waits for it then - and the drive counts as missing for the rest of the
// run, as a drive without a medium does, even should it answer later. So each drive gets
// one verdict per run, and the portable code above the platform sees only "missing".
//
// Not bounded: a drive that answers its probe and hangs later in the run, and network
// paths (\\server\share), which name no drive.
//
// Portable code (platform/driveprobe.cpp); each back-end's driveprobe.cpp provides the
// system calls: PresentDrives, ClassifyDrive, LookAtDrive and TellSilentDrive below.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// A drive that did not answer in time (a mapped drive whose server has gone): from then
// on it counts as missing, like a drive without a medium.
struct SilentDrive {
  char letter = 'c';                   // lower case
  std::chrono::milliseconds waited{};  // the bound it was given
};

// The drives given up so far in this run, in the order they were given up. A drive stays
// listed even should it answer later: what was searched went without it.
std::vector<SilentDrive> SilentDrives();

// Probes the drives that `paths` lie on (full paths: "C:\...") and waits until each has
// answered or been given up, all at once: drives that do not answer hold the caller up
// once, not once each, and later lookups on them wait no more. A search calls it with the
// folders it is about to look at; no other drive is looked at. Drives the system does not
// have are left out.
void ProbeDrivesOf(const std::vector<std::string>& paths);

// ---- Internal to platform/ from here on.

// What a drive is, as far as can be told without waiting on it.
enum class DriveKind {
  kLocalDisk,  // a fixed disk of this computer: may be slow to spin up, cannot go away
  kRemovable,  // a card reader, a USB stick, an optical drive
  kNetwork,    // a mapped share: its server may have gone
  kUserSpace,  // a file system served by a program (FUSE), which may never answer
  kUnknown,    // not told yet, or not known
};

// How long a drive of each kind may take to answer its probe. A drive that can go away
// while mapped (a share, a card, a file system served by a program) gets the short bound:
// drives that never answer then hold a run up once by this much, with room to spare
// before the 10 s that an operator will wait for the first box. A local fixed disk
// cannot go away, only be slow: a second disk spinning up, or a USB disk waking, can take
// 20 s, and skipping it would skip the installation on it, so it gets the long bound.
inline constexpr std::chrono::milliseconds kDriveAnswerDeadline{8000};
inline constexpr std::chrono::milliseconds kLocalDiskAnswerDeadline{30000};
std::chrono::milliseconds AnswerBound(DriveKind kind);

// How long the drive list waits for the drives to answer: it must appear at once. A drive
// that has not answered by then is listed without its label; its probe goes on.
inline constexpr std::chrono::milliseconds kDriveListPatience{500};

// A drive as the back-end names it: `root` tells drives apart (and prefixes, on posix).
struct DriveRef {
  std::string root;
  char letter = 'c';  // lower case
};

// The probes of one run and their verdicts. The process has one (below); tests make
// their own over a fake System.
class DriveProbes {
 public:
  using Clock = std::chrono::steady_clock;

  // What the probes need of the system: the time, a way to wait for it, workers, and the
  // back-end's calls on the drive.
  class System {
   public:
    virtual ~System() = default;
    virtual Clock::time_point Now() = 0;
    // Returns once `changed` is notified or `until` has come (or earlier: the caller
    // looks again). `lock` holds the probes' mutex on entry and on return.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                           Clock::time_point until) = 0;
    // Starts the probe of `drive` on a worker of its own, which calls `classified` with
    // the drive's kind, then makes a lookup on the drive and calls `answered` once the
    // drive has answered, whatever its answer. Either may never come. False when no
    // worker can be had.
    virtual bool Start(const DriveRef& drive, std::function<void(DriveKind)> classified,
                       std::function<void()> answered) = 0;
    // A drive was given up: tells whoever runs the program. Called without the lock.
    virtual void Tell(const SilentDrive& drive) = 0;
  };

  explicit DriveProbes(System& system) : system_(system) {}

  // Whether each of `drives` answers. Those not probed yet are probed now, all at once;
  // then the call waits until each has answered or passed its bound (one wait for all of
  // them). A drive judged before keeps its verdict.
  std::vector<bool> Answer(const std::vector<DriveRef>& drives);
  bool Answers(const DriveRef& drive) { return Answer({drive}).front(); }

  // Which of `drives` have answered, probing those not probed yet and waiting at most
  // `patience` for them; a drive past its bound is given up as above.
  std::vector<bool> AnsweredWithin(const std::vector<DriveRef>& drives,
                                   std::chrono::milliseconds patience);

  // The drives given up so far, in the order they were given up.
  std::vector<SilentDrive> Silent();

 private:
  struct Probe {
    char letter = 'c';
    Clock::time_point started;
    DriveKind kind = DriveKind::kUnknown;
    bool answered = false;
    bool silent = false;
    bool Settled() const { return answered || silent; }
  };

  void Start(const DriveRef& drive);
  // Gives up every probe of `roots` past its bound at `now`; adds them to `given`.
  void Judge(const std::vector<std::string>& roots, Clock::time_point now,
             std::vector<SilentDrive>& given);
  // Probes those of `drives` not probed yet, waits until each is answered or given up or
  // `until` has come, and answers whether each has answered.
  std::vector<bool> Await(const std::vector<DriveRef>& drives, Clock::time_point until);

  System& system_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Probe> byRoot_;  // entries stay for the run
  std::vector<SilentDrive> silent_;
};

// The process's probes: real time, a thread per probe, and the back-end's calls below.
DriveProbes& ProcessDrives();

// Back-end: every drive the system has, in alphabetical order; looks into none of them.
std::vector<DriveRef> PresentDrives();

// Back-end, on the probe's worker: the drive's kind, from what the system knows without
// a lookup on it where it can tell (the mount table, a configured drive type); may wait
// where the system itself has to look (Wine's drive type).
DriveKind ClassifyDrive(const DriveRef& drive);

// Back-end, on the probe's worker: makes lookups on the drive and returns once it has
// answered, whatever its answer (a drive without a medium answers at once that it has
// none). May never return.
void LookAtDrive(const DriveRef& drive);

// Back-end: tells what a drive that did not answer means to whoever runs the program.
void TellSilentDrive(const SilentDrive& drive);

}  // namespace platform
