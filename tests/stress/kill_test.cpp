// Kills the program while it rewrites a large settings file, many times over, at random
// moments: the settings file must always be exactly the old or the new one, complete.
//
// A child process rewrites the file in a loop through the program's own routine,
// alternating between two values of different lengths; the parent kills it with SIGKILL
// after a random delay of up to one and a half writes, then checks the file. A kill
// between creating the temporary file and renaming it leaves that temporary file behind:
// nothing can remove it once the process is gone. That is the one leftover allowed, and
// it must not hinder later writes: each one stays in place for the whole next round, in
// which the child keeps writing beside it, and is removed after that to save disk space.
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

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "common/CM_FileFolderSystem.h"
#include "platform/posix/winpath.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::ScratchDrives;

// At least kFewestRounds, then as many as the time budget allows.
constexpr int kMostRounds = 200;
constexpr int kFewestRounds = 50;
constexpr auto kTimeBudget = std::chrono::seconds(30);
constexpr std::size_t kFileSize = 24 << 20;

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
[[noreturn]] void RewriteForever(bool toNew) {
  for (;;) {
    if (!common::WriteProfileString(File(), "web", "webserver", toNew ? kNewValue : kOldValue)) {
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

  // How long one write takes here, to spread the kills over it.
  auto start = Clock::now();
  ASSERT_TRUE(common::WriteProfileString(File(), "web", "webserver", kNewValue));
  const auto oneWrite = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
  ASSERT_EQ(ReadHost(host), newFile);

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<long long> delay(0, oneWrite.count() * 3 / 2);
  std::set<std::string> fromEarlierRounds;
  int rounds = 0, completedWrites = 0, leftovers = 0;
  std::string previous = newFile;
  start = Clock::now();
  while (rounds < kMostRounds && (rounds < kFewestRounds || Clock::now() - start < kTimeBudget)) {
    ++rounds;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RewriteForever(previous == oldFile);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "round " << rounds << ": a write failed";

    const std::string now = ReadHost(host);
    ASSERT_TRUE(now == oldFile || now == newFile)
        << "round " << rounds << ": the settings file is neither the old nor the new one ("
        << now.size() << " bytes)";
    completedWrites += now != previous;
    previous = now;

    std::set<std::string> current;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      if (name != "ZEL1.SYS") {
        ASSERT_TRUE(IsTemporaryName(name)) << "round " << rounds << ": left behind: " << name;
        current.insert(name);
      }
    }
    for (const std::string& name : current) {
      if (fromEarlierRounds.count(name) != 0) {
        fs::remove(folder / name);  // the child has written beside it for a whole round
      } else {
        ++leftovers;
      }
    }
    current.clear();
    for (const auto& entry : fs::directory_iterator(folder)) {
      current.insert(entry.path().filename().string());
    }
    fromEarlierRounds = current;
  }
  const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf(
      "%d kills in %.1f s (one write: %.0f ms); the file changed in %d rounds; %d "
      "temporary files left behind\n",
      rounds, seconds, oneWrite.count() / 1000.0, completedWrites, leftovers);
  // Both kinds of moment must have been hit for the test to mean anything.
  EXPECT_GT(completedWrites, 0) << "no write ever completed before the kill";
  EXPECT_GT(leftovers, 0) << "no kill ever hit a replacement under way";

  // A write beside the leftovers still goes through; then they are cleared away.
  const bool wasNew = previous == newFile;
  EXPECT_TRUE(
      common::WriteProfileString(File(), "web", "webserver", wasNew ? kOldValue : kNewValue));
  EXPECT_EQ(ReadHost(host), wasNew ? oldFile : newFile);
}

}  // namespace
