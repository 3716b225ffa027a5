// Kills the program while it rewrites a large settings file, many times over, at random
// moments: the settings file must always be exactly the old or the new one, complete,
// and no temporary file may stay behind for good.
//
// A child process rewrites the file in a loop through the program's own routine,
// alternating between two values of different lengths; the parent sends it a signal
// after a random delay of up to one and a half writes, then checks the file and the
// folder. Each signal in turn, with an unnamed temporary file and with a named one (as
// where the file system has no unnamed files):
// - SIGTERM, SIGINT, SIGHUP: the child must end by that signal and leave nothing but
//   the settings file.
// - SIGKILL: nothing can clean up after it. A named temporary file may stay (this is how
//   the test knows that kills land in the middle of replacements); an unnamed one has a
//   name only for the instant before its rename, so hardly ever. Whatever stays must not
//   hinder later writes, and the next write that gets far enough removes it: after each
//   phase one uninterrupted write must leave the folder holding the settings file alone.
//
// A SIGKILL stops the process, not the machine: what the kernel was told stays told. This
// checks that no moment of the replacement leaves a half-written settings file; that the
// data also survives a power cut rests on the flushes before and after the rename.
//
// Not part of the suites that run under ctest: scripts/test.sh runs it once, natively.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/CM_FileFolderSystem.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/winpath.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::ScratchDrives;

// Rounds per phase. A SIGKILL phase must see kills land inside replacements, and the
// other signals should land inside some with a named temporary file: about one round in
// five does. With an unnamed one they check little more than the exit status.
constexpr int kKillRounds = 40;
// Kills land inside a replacement with a named temporary file in about one round in
// ten: that phase goes on until one has, up to this many rounds.
constexpr int kMostKillRounds = 200;
constexpr int kNamedRounds = 20;
constexpr int kUnnamedRounds = 8;
// Large enough that a signal lands inside a write most of the time, and within the 16 MiB
// that the program reads of a settings file at most.
constexpr std::size_t kFileSize = 12 << 20;

const std::string kOldValue = "10.0.0.1";
const std::string kNewValue = "192.168.100.200";

std::string File() {
  return ScratchDrives::Scratch() + "\\BIN\\ZEL1.SYS";
}

std::string HostOf(const std::string& windowsPath) {
  const auto parsed = platform::posix::ParseWindowsPath(windowsPath);
  return parsed ? platform::posix::Locate(*parsed).hostPath : std::string("/nonexistent");
}

std::string ReadHost(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A settings file of about kFileSize bytes, GBK comments and many sections, with the
// value in its last section so that every write goes over the whole file.
std::string SettingsFile(const std::string& value) {
  std::string text = "; \xD6\xD0\xCE\xC4\xD7\xA2\xCA\xCD\r\n";  // a Chinese comment
  const std::string filler(40, 'x');
  for (int section = 0; text.size() < kFileSize; ++section) {
    text += "[s" + std::to_string(section) + "]\r\n";
    for (int key = 0; key < 20; ++key) {
      text += "key" + std::to_string(key) + "=" + filler + "\r\n";
    }
  }
  return text + "[web]\r\nwebserver=" + value + "\r\nport=80\r\n";
}

// The child: rewrites the file for ever, flipping the value, starting right away; it
// stops on its own only when a write fails.
[[noreturn]] void RewriteForever(bool toNew, bool named) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ::signal(signal, SIG_DFL);  // whatever the test was started with
  }
  const platform::posix::ScopedNamedTemporaryFiles scopedNamed(named);
  for (;;) {
    if (common::WriteProfileString(File(), "web", "webserver", toNew ? kNewValue : kOldValue)
            .problem != platform::FileProblem::kNone) {
      _exit(1);
    }
    toNew = !toNew;
  }
}

bool IsTemporaryName(const std::string& name) {
  const std::string prefix = ".ZEL1.SYS.zelfix-";
  return name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0;
}

TEST(KillWhileWriting, SettingsFileIsAlwaysTheOldOrTheNewOne) {
  ScratchDrives drives;
  const std::string oldFile = SettingsFile(kOldValue);
  const std::string newFile = SettingsFile(kNewValue);
  drives.WriteFile(File(), oldFile);
  const std::string host = HostOf(File());
  const fs::path folder = fs::path(host).parent_path();

  // How long one write takes here, to spread the signals over it.
  auto start = Clock::now();
  ASSERT_EQ(common::WriteProfileString(File(), "web", "webserver", kNewValue).problem,
            platform::FileProblem::kNone);
  const double oneWrite = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  ASSERT_EQ(ReadHost(host), newFile);
  // The delays go up to `longest`, which follows what the children manage on a machine
  // that others load too: it grows after a round in which no write completed and shrinks
  // after one in which a write did, so that about a third of the rounds complete one.
  double longest = oneWrite * 1.5;
  std::mt19937 random(std::random_device{}());
  std::string previous = newFile;
  int completedWrites = 0;
  const struct {
    int signal;
    bool named;
  } phases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGHUP, false}, {SIGKILL, false},
                {SIGTERM, true},  {SIGINT, true},  {SIGHUP, true},  {SIGKILL, true}};
  for (const auto& phase : phases) {
    const std::string what = std::string(strsignal(phase.signal)) +
                             (phase.named ? ", named temporary file" : ", unnamed temporary file");
    const int planned =
        phase.signal == SIGKILL ? kKillRounds : (phase.named ? kNamedRounds : kUnnamedRounds);
    const bool untilLeftover = phase.signal == SIGKILL && phase.named;
    int rounds = 0;
    int changes = 0, leftovers = 0, removedByWrites = 0;
    std::set<std::string> seen;  // temporary files in the folder after the last round
    start = Clock::now();
    for (int round = 1;
         round <= planned || (untilLeftover && leftovers == 0 && round <= kMostKillRounds);
         ++round) {
      rounds = round;
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        RewriteForever(previous == oldFile, phase.named);
      }
      const double delay = std::uniform_real_distribution<double>(0, longest)(random);
      std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(delay)));
      kill(child, phase.signal);
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      ASSERT_TRUE(WIFSIGNALED(status)) << what << ", round " << round << ": a write failed";
      ASSERT_EQ(WTERMSIG(status), phase.signal) << what << ", round " << round;

      const std::string now = ReadHost(host);
      ASSERT_TRUE(now == oldFile || now == newFile)
          << what << ", round " << round
          << ": the settings file is neither the old nor the new one (" << now.size() << " bytes)";
      changes += now != previous;
      longest = std::clamp(longest * (now != previous ? 0.8 : 1.1), oneWrite, oneWrite * 20);
      previous = now;

      std::set<std::string> current;
      for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != "ZEL1.SYS") {
          ASSERT_TRUE(IsTemporaryName(name)) << what << ", round " << round << ": " << name;
          current.insert(name);
        }
      }
      if (phase.signal != SIGKILL) {
        ASSERT_TRUE(current.empty())
            << what << ", round " << round << ": left behind " << *current.begin();
      }
      for (const std::string& name : current) {
        leftovers += seen.count(name) == 0;
      }
      for (const std::string& name : seen) {
        removedByWrites += current.count(name) == 0;
      }
      seen = current;
    }
    // One write that is not interrupted removes whatever the kills left.
    const bool wasNew = previous == newFile;
    EXPECT_EQ(common::WriteProfileString(File(), "web", "webserver", wasNew ? kOldValue : kNewValue)
                  .problem,
              platform::FileProblem::kNone);
    previous = wasNew ? oldFile : newFile;
    EXPECT_EQ(ReadHost(host), previous) << what;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"ZEL1.SYS"}) << what;

    std::printf(
        "%s: %d rounds in %.1f s (one write: %.0f ms, delays up to %.0f ms), the file changed "
        "in %d; temporary files left behind: %d, removed by later writes: %d\n",
        what.c_str(), rounds, std::chrono::duration<double>(Clock::now() - start).count(),
        oneWrite / 1000, longest / 1000, changes, leftovers, removedByWrites);
    completedWrites += changes;
    if (untilLeftover) {
      EXPECT_GT(leftovers, 0) << "no kill ever hit a replacement under way";
    } else if (phase.signal == SIGKILL) {
      // Named only between the link and the rename, which take microseconds of a write of
      // many milliseconds.
      EXPECT_LE(leftovers * 10, rounds) << what;
    }
  }
  EXPECT_GT(completedWrites, 0) << "no write ever completed before the signal";
}

}  // namespace
