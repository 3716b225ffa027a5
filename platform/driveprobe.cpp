#include "platform/driveprobe.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

struct Probe {
  char letter = 'c';
  Clock::time_point started;
  bool answered = false;
  bool silent = false;
};

struct Probes {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<std::string, Probe> byRoot;  // entries stay for the run
  std::vector<SilentDrive> silent;
};

// Never destroyed: an abandoned probe may still answer while the process ends.
Probes& State() {
  static Probes* const state = new Probes;
  return *state;
}

void Answer(const std::string& root) {
  Probes& state = State();
  const std::lock_guard<std::mutex> lock(state.mutex);
  state.byRoot.at(root).answered = true;
  state.changed.notify_all();
}

// Starts the probe of `drive` unless it has one; answers whether it started one.
bool Start(Probes& state, const DriveRef& drive) {
  if (state.byRoot.count(drive.root) != 0) {
    return false;
  }
  Probe& probe = state.byRoot[drive.root];
  probe.letter = drive.letter;
  probe.started = Clock::now();
  try {
    std::thread([root = drive.root] {
      try {
        ProbeDrive(root);
      } catch (const std::exception&) {
        // The drive answered, if only with an error.
      }
      Answer(root);
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the drive's lookups go ahead without a bound.
    probe.answered = true;
  }
  return true;
}

// Waits until every probe of `roots` has answered or `until` has passed, then declares
// silent those past their deadline; answers the drives declared silent now.
std::vector<SilentDrive> Await(std::unique_lock<std::mutex>& lock, Probes& state,
                               const std::vector<std::string>& roots, Clock::time_point until) {
  const auto settled = [&] {
    return std::all_of(roots.begin(), roots.end(), [&](const std::string& root) {
      const Probe& probe = state.byRoot.at(root);
      return probe.answered || probe.silent;
    });
  };
  state.changed.wait_until(lock, until, settled);
  std::vector<SilentDrive> declared;
  const Clock::time_point now = Clock::now();
  for (const std::string& root : roots) {
    Probe& probe = state.byRoot.at(root);
    if (!probe.answered && !probe.silent && now >= probe.started + kDriveAnswerDeadline) {
      probe.silent = true;
      declared.push_back(
          SilentDrive{probe.letter,
                      std::chrono::duration_cast<std::chrono::milliseconds>(now - probe.started)});
      state.silent.push_back(declared.back());
    }
  }
  return declared;
}

void Tell(const std::vector<SilentDrive>& drives) {
  for (const SilentDrive& drive : drives) {
    TellSilentDrive(drive);
  }
}

}  // namespace

bool DriveAnswers(const DriveRef& drive, const std::function<std::vector<DriveRef>()>& allDrives) {
  Probes& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  if (const auto known = state.byRoot.find(drive.root); known != state.byRoot.end()) {
    if (known->second.answered || known->second.silent) {
      return known->second.answered;
    }
  }
  std::vector<std::string> roots{drive.root};
  Start(state, drive);
  for (const DriveRef& other : allDrives()) {
    if (Start(state, other)) {
      roots.push_back(other.root);
    }
  }
  Clock::time_point until = Clock::time_point::min();
  for (const std::string& root : roots) {
    until = std::max(until, state.byRoot.at(root).started + kDriveAnswerDeadline);
  }
  const std::vector<SilentDrive> declared = Await(lock, state, roots, until);
  const bool answered = state.byRoot.at(drive.root).answered;
  lock.unlock();
  Tell(declared);
  return answered;
}

std::vector<bool> AnsweredWithin(const std::vector<DriveRef>& drives,
                                 std::chrono::milliseconds patience) {
  Probes& state = State();
  std::unique_lock<std::mutex> lock(state.mutex);
  std::vector<std::string> roots;
  for (const DriveRef& drive : drives) {
    Start(state, drive);
    roots.push_back(drive.root);
  }
  const std::vector<SilentDrive> declared = Await(lock, state, roots, Clock::now() + patience);
  std::vector<bool> answered;
  for (const std::string& root : roots) {
    answered.push_back(state.byRoot.at(root).answered);
  }
  lock.unlock();
  Tell(declared);
  return answered;
}

std::vector<SilentDrive> SilentDrives() {
  Probes& state = State();
  const std::lock_guard<std::mutex> lock(state.mutex);
  return state.silent;
}

}  // namespace platform
