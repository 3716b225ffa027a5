#include "platform/driveprobe.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/text.h"

namespace platform {

std::chrono::milliseconds AnswerBound(DriveKind kind) {
  return kind == DriveKind::kLocalDisk ? kLocalDiskAnswerDeadline : kDriveAnswerDeadline;
}

void DriveProbes::Start(const DriveRef& drive) {
  if (byRoot_.count(drive.root) != 0) {
    return;
  }
  Probe& probe = byRoot_[drive.root];
  probe.letter = drive.letter;
  probe.started = system_.Now();
  // The worker may outlive any caller; it finds its probe by the root. A verdict once
  // given stands: a kind or an answer that comes later changes nothing.
  const std::string root = drive.root;
  const auto classified = [this, root](DriveKind kind) {
    const std::lock_guard<std::mutex> lock(mutex_);
    Probe& found = byRoot_.at(root);
    if (!found.Settled()) {
      found.kind = kind;
      changed_.notify_all();
    }
  };
  const auto answered = [this, root] {
    const std::lock_guard<std::mutex> lock(mutex_);
    Probe& found = byRoot_.at(root);
    if (!found.silent) {
      found.answered = true;
      changed_.notify_all();
    }
  };
  if (!system_.Start(drive, classified, answered)) {
    // No worker to spare: the drive's lookups go ahead without a bound.
    probe.answered = true;
  }
}

void DriveProbes::Judge(const std::vector<std::string>& roots, Clock::time_point now,
                        std::vector<SilentDrive>& given) {
  for (const std::string& root : roots) {
    Probe& probe = byRoot_.at(root);
    const std::chrono::milliseconds bound = AnswerBound(probe.kind);
    if (!probe.Settled() && now >= probe.started + bound) {
      probe.silent = true;
      silent_.push_back(SilentDrive{probe.letter, bound});
      given.push_back(silent_.back());
    }
  }
}

std::vector<bool> DriveProbes::Await(const std::vector<DriveRef>& drives, Clock::time_point until) {
  std::vector<std::string> roots;
  std::vector<SilentDrive> given;
  std::vector<bool> answered;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    for (const DriveRef& drive : drives) {
      Start(drive);
      roots.push_back(drive.root);
    }
    for (;;) {
      const Clock::time_point now = system_.Now();
      Judge(roots, now, given);
      // The next moment anything can change without a notice: the earliest bound still
      // running. A kind told meanwhile may move it, so it is looked at after each wake.
      Clock::time_point next = until;
      bool pending = false;
      for (const std::string& root : roots) {
        const Probe& probe = byRoot_.at(root);
        if (!probe.Settled()) {
          pending = true;
          next = std::min(next, probe.started + AnswerBound(probe.kind));
        }
      }
      if (!pending || now >= until) {
        break;
      }
      system_.WaitUntil(lock, changed_, next);
    }
    for (const std::string& root : roots) {
      answered.push_back(byRoot_.at(root).answered);
    }
  }
  for (const SilentDrive& drive : given) {
    system_.Tell(drive);
  }
  return answered;
}

std::vector<bool> DriveProbes::Answer(const std::vector<DriveRef>& drives) {
  return Await(drives, Clock::time_point::max());
}

std::vector<bool> DriveProbes::AnsweredWithin(const std::vector<DriveRef>& drives,
                                              std::chrono::milliseconds patience) {
  return Await(drives, system_.Now() + patience);
}

std::vector<SilentDrive> DriveProbes::Silent() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return silent_;
}

namespace {

class ProcessSystem : public DriveProbes::System {
 public:
  DriveProbes::Clock::time_point Now() override { return DriveProbes::Clock::now(); }

  void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                 DriveProbes::Clock::time_point until) override {
    changed.wait_until(lock, until);
  }

  bool Start(const DriveRef& drive, std::function<void(DriveKind)> classified,
             std::function<void()> answered) override {
    try {
      std::thread([drive, classified = std::move(classified), answered = std::move(answered)] {
        try {
          classified(ClassifyDrive(drive));
          LookAtDrive(drive);
        } catch (const std::exception&) {
          // The drive answered, if only with an error.
        }
        answered();
      }).detach();
      return true;
    } catch (const std::system_error&) {
      return false;
    }
  }

  void Tell(const SilentDrive& drive) override { TellSilentDrive(drive); }
};

}  // namespace

DriveProbes& ProcessDrives() {
  // Never destroyed: an abandoned probe may still answer while the process ends.
  static ProcessSystem* const system = new ProcessSystem;
  static DriveProbes* const probes = new DriveProbes(*system);
  return *probes;
}

std::vector<SilentDrive> SilentDrives() {
  return ProcessDrives().Silent();
}

void ProbeDrivesOf(const std::vector<std::string>& paths) {
  std::vector<DriveRef> needed;
  for (const DriveRef& drive : PresentDrives()) {
    const bool holds = std::any_of(paths.begin(), paths.end(), [&](const std::string& path) {
      return path.size() >= 2 && path[1] == ':' && AsciiLower(path[0]) == drive.letter;
    });
    if (holds) {
      needed.push_back(drive);
    }
  }
  ProcessDrives().Answer(needed);
}

}  // namespace platform
