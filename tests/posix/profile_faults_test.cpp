// Failures while the program writes a settings file, through its own routine
// (common::WriteProfileString on a Windows path): every step of the replacement failing,
// a full disk, a folder it may not write to, symbolic links, and a file that vanishes or
// changes between the read and the write. Each time the answer is false and the file is
// exactly as it was, or the write is complete; no temporary file is ever left.
//
// Some cases need another process: a file size limit, a private mount of a tiny file
// system (root only), or running as an unprivileged user (root may write anywhere).
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/Module1.h"
#include "app/Unattended.h"
#include "common/CM_FileFolderSystem.h"
#include "platform/posix/atomic_file.h"
#include "platform/posix/winpath.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using platform::posix::ReplaceStep;
using platform::posix::ScopedNamedTemporaryFiles;
using platform::posix::ScopedReplaceFaultHook;
using testsupport::AsUnprivilegedUser;
using testsupport::ChildStatus;
using testsupport::InChild;
using testsupport::kSkipped;
using testsupport::ScratchDrives;
using testsupport::Settings;
using testsupport::SettingsFileOf;
using namespace std::string_literals;

const std::string kOriginal =
    "; \xD6\xD0\xCE\xC4\r\n[web]\r\nwebserver = 10.0.0.1 \r\nport=80\r\n\r\n[log]\r\nx=1\r\n";
const std::string kRewritten =
    "; \xD6\xD0\xCE\xC4\r\n[web]\r\nwebserver = 10.9.9.9 \r\nport=80\r\n\r\n[log]\r\nx=1\r\n";

std::string Folder() {
  return ScratchDrives::Scratch() + "\\BIN";
}
std::string File() {
  return Folder() + "\\ZEL1.SYS";
}

std::string HostOf(const std::string& windowsPath) {
  const auto parsed = platform::posix::ParseWindowsPath(windowsPath);
  return parsed ? platform::posix::Locate(*parsed).hostPath : std::string("/nonexistent");
}

platform::FileResult WriteResult(const std::string& value = "10.9.9.9") {
  return common::WriteProfileString(File(), "web", "webserver", value);
}

bool Write(const std::string& value = "10.9.9.9") {
  return WriteResult(value).problem == platform::FileProblem::kNone;
}

class ProfileFaults : public ::testing::Test {
 protected:
  // The file is as it was, reads as it did, and nothing was left beside it.
  void ExpectUntouched(const std::string& what) {
    EXPECT_EQ(drives_.ReadFile(File()), kOriginal) << what;
    EXPECT_EQ(common::ReadProfileString(File(), "web", "webserver", ""), "10.0.0.1") << what;
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"}) << what;
  }

  ScratchDrives drives_;
};

// Both ways: an unnamed temporary file, and a named one where the file system has none.
TEST_F(ProfileFaults, EachFailingStepLeavesTheFileAsItWas) {
  constexpr int kSteps = static_cast<int>(ReplaceStep::kRename) + 1;
  for (int run = 0; run < 2 * kSteps; ++run) {
    const bool named = run >= kSteps;
    const ReplaceStep failing = static_cast<ReplaceStep>(run % kSteps);
    const std::string what =
        "step " + std::to_string(static_cast<int>(failing)) + (named ? ", named" : ", unnamed");
    const ScopedNamedTemporaryFiles scopedNamed(named);
    drives_.WriteFile(File(), kOriginal);
    {
      const ScopedReplaceFaultHook fault([&](ReplaceStep step) { return step == failing; });
      EXPECT_FALSE(Write()) << what;
      ExpectUntouched(what);

      // A settings file that does not exist yet is not created either.
      EXPECT_NE(common::WriteProfileString(Folder() + "\\NEW.SYS", "web", "webserver", "1").problem,
                platform::FileProblem::kNone);
      EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"}) << what;
    }
    EXPECT_TRUE(Write()) << what << ": the next write";
    EXPECT_EQ(drives_.ReadFile(File()), kRewritten) << what;
  }
}

// SIGINT, SIGTERM or SIGHUP during the write: the temporary file is removed and the
// program ends by that signal, the file as it was. A signal that is ignored, or that the
// program handles itself, is left alone, and the write goes on; afterwards each
// signal's handling is what it was.
volatile sig_atomic_t signalsHandled = 0;

TEST_F(ProfileFaults, EndingSignalDuringTheWrite) {
  enum Disposition { kDefault, kIgnored, kOwnHandler };
  const struct {
    int signal;
    bool named;
    ReplaceStep when;
    Disposition disposition;
  } cases[] = {
      {SIGINT, true, ReplaceStep::kWrite, kDefault},
      {SIGTERM, true, ReplaceStep::kFlush, kDefault},
      {SIGHUP, true, ReplaceStep::kRename, kDefault},  // named at last
      {SIGTERM, false, ReplaceStep::kWrite, kDefault},
      {SIGINT, false, ReplaceStep::kFlush, kDefault},
      {SIGHUP, false, ReplaceStep::kRename, kDefault},
      {SIGHUP, true, ReplaceStep::kFlush, kIgnored},
      {SIGTERM, false, ReplaceStep::kRename, kOwnHandler},
  };
  for (const auto& c : cases) {
    const std::string what = std::string(strsignal(c.signal)) + " before step " +
                             std::to_string(static_cast<int>(c.when)) +
                             (c.named ? ", named" : ", unnamed");
    drives_.WriteFile(File(), kOriginal);
    const int status = ChildStatus([&] {
      const ScopedNamedTemporaryFiles scopedNamed(c.named);
      struct sigaction before {};
      before.sa_handler = c.disposition == kIgnored   ? SIG_IGN
                          : c.disposition == kDefault ? SIG_DFL
                                                      : [](int) { ++signalsHandled; };
      sigaction(c.signal, &before, nullptr);
      const ScopedReplaceFaultHook fault([&](ReplaceStep step) {
        if (step == c.when) {
          raise(c.signal);
        }
        return false;
      });
      const bool written = Write();
      struct sigaction after {};
      sigaction(c.signal, nullptr, &after);
      const bool handled = signalsHandled == (c.disposition == kOwnHandler ? 1 : 0);
      _exit(written && handled && after.sa_handler == before.sa_handler ? 0 : 1);
    });
    if (c.disposition == kDefault) {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << what << ": " << status;
      ExpectUntouched(what);
    } else {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": " << status;
      EXPECT_EQ(drives_.ReadFile(File()), kRewritten) << what;
      EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"}) << what;
    }
  }
}

// Text in UTF-16 without a byte-order mark, or in UTF-32, is not written to as if it were
// ANSI: refused, left as it was, and its value reads as missing.
TEST_F(ProfileFaults, WideTextIsLeftAlone) {
  const std::u32string text = U"中文注释\r\n[web]\r\nwebserver=10.0.0.1\r\n";
  for (const std::size_t width : {2, 4}) {
    for (const bool littleEndian : {true, false}) {
      std::string bytes = width == 4 && littleEndian ? "\xFF\xFE\0\0"s : "";
      for (const char32_t code : text) {
        for (std::size_t i = 0; i < width; ++i) {
          bytes += static_cast<char>(code >> (8 * (littleEndian ? i : width - 1 - i)));
        }
      }
      drives_.WriteFile(File(), bytes);
      EXPECT_FALSE(Write()) << width << littleEndian;
      EXPECT_EQ(drives_.ReadFile(File()), bytes);
      EXPECT_EQ(common::ReadProfileString(File(), "web", "webserver", "default"), "default");
      EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});
    }
  }
}

// Another program removes, rewrites or creates the file after the routine has read it,
// early (before the temporary file) or late (the temporary file written): the routine
// must not bring back or overwrite what that program left. Only the moment between the
// last check and the rename remains, as with any replacement by renaming.
TEST_F(ProfileFaults, FileChangedBetweenReadAndWriteIsLeftToTheOtherProgram) {
  for (const ReplaceStep when : {ReplaceStep::kCreateTemporary, ReplaceStep::kFlush}) {
    const std::string what = "before step " + std::to_string(static_cast<int>(when));
    std::function<void()> otherProgram;  // what the other program does at that moment
    const ScopedReplaceFaultHook fault([&](ReplaceStep step) {
      if (step == when) {
        otherProgram();
      }
      return false;
    });
    drives_.WriteFile(File(), kOriginal);
    otherProgram = [&] { std::filesystem::remove(HostOf(File())); };
    EXPECT_FALSE(Write()) << what << ": vanished";
    EXPECT_TRUE(drives_.List(Folder()).empty()) << what;

    drives_.WriteFile(File(), kOriginal);
    otherProgram = [&] { drives_.WriteFile(File(), "[web]\r\nwebserver=other\r\n"); };
    EXPECT_FALSE(Write()) << what << ": rewritten";
    EXPECT_EQ(drives_.ReadFile(File()), "[web]\r\nwebserver=other\r\n") << what;
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"}) << what;

    std::filesystem::remove(HostOf(File()));
    EXPECT_FALSE(Write()) << what << ": appeared";
    EXPECT_EQ(drives_.ReadFile(File()), "[web]\r\nwebserver=other\r\n") << what;
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"}) << what;
  }
}

TEST_F(ProfileFaults, SymbolicLinkTargetIsWrittenAndTheLinkStays) {
  drives_.WriteFile(ScratchDrives::Scratch() + "\\real\\ZEL1.SYS", kOriginal);
  drives_.MakeFolder(Folder());
  const std::string link = HostOf(File());
  const std::string target = HostOf(ScratchDrives::Scratch() + "\\real\\ZEL1.SYS");
  for (const std::string& pointsTo : {target, std::string("../real/ZEL1.SYS")}) {
    drives_.WriteFile(ScratchDrives::Scratch() + "\\real\\ZEL1.SYS", kOriginal);
    fs::remove(link);
    fs::create_symlink(pointsTo, link);
    EXPECT_TRUE(Write()) << pointsTo;
    EXPECT_TRUE(fs::is_symlink(link)) << pointsTo;
    EXPECT_EQ(fs::read_symlink(link), pointsTo);
    EXPECT_EQ(drives_.ReadFile(ScratchDrives::Scratch() + "\\real\\ZEL1.SYS"), kRewritten);
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});
    EXPECT_EQ(drives_.List(ScratchDrives::Scratch() + "\\real"),
              std::vector<std::string>{"ZEL1.SYS"});
  }

  // A link to nothing, or to itself: nothing sensible to write, and nothing created.
  fs::remove(link);
  fs::create_symlink("../real/MISSING.SYS", link);
  EXPECT_FALSE(Write());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(fs::exists(HostOf(ScratchDrives::Scratch() + "\\real\\MISSING.SYS")));
  fs::remove(link);
  fs::create_symlink("ZEL1.SYS", link);
  EXPECT_FALSE(Write());
  EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});
}

// Root writes anywhere, so these run as an unprivileged user.
TEST_F(ProfileFaults, WithoutWritePermission) {
  drives_.WriteFile(File(), kOriginal);
  const int status = AsUnprivilegedUser([&] {
    const std::string folder = HostOf(Folder());
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(WriteResult().problem, platform::FileProblem::kAccessDenied)
        << "folder without write permission";
    ExpectUntouched("folder without write permission");
    EXPECT_NE(common::WriteProfileString(Folder() + "\\NEW.SYS", "web", "webserver", "1").problem,
              platform::FileProblem::kNone);
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});

    // The folder's permission alone would allow the rename; the file's own is asked too.
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    ASSERT_EQ(chmod(HostOf(File()).c_str(), 0444), 0);
    EXPECT_FALSE(Write()) << "read-only file";
    ExpectUntouched("read-only file");

    ASSERT_EQ(chmod(HostOf(File()).c_str(), 0644), 0);
    EXPECT_TRUE(Write());
    EXPECT_EQ(drives_.ReadFile(File()), kRewritten);
  });
  if (status == kSkipped) {
    GTEST_SKIP() << "cannot run as an unprivileged user here";
  }
  EXPECT_EQ(status, 0);
}

// A file size limit makes the write of the temporary file fail halfway through, as a
// full disk does, with a real system call rather than the fault hook.
TEST_F(ProfileFaults, WriteStoppedHalfwayBySizeLimit) {
  std::string large = kOriginal;
  large.append(200000, ';').append("\r\n");
  drives_.WriteFile(File(), large);
  const int status = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {100000, 100000};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_FALSE(Write());
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(drives_.ReadFile(File()), large);
  EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});
}

// A real full file system: a tiny tmpfs over the folder, in a private mount namespace.
// Needs root (or a user namespace that allows mounting); skipped where neither works.
TEST_F(ProfileFaults, FullDisk) {
  drives_.MakeFolder(Folder());
  const int status = InChild([&] {
    const std::string folder = HostOf(Folder());
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        mount("zelfix", folder.c_str(), "tmpfs", 0, "size=96k")) {
      GTEST_SKIP() << "cannot mount a private tmpfs: " << std::strerror(errno);
    }
    std::string large = kOriginal;
    large.append(40000, ';').append("\r\n");
    drives_.WriteFile(File(), large);
    drives_.WriteFile(Folder() + "\\FILLER", std::string(40000, 'x'));
    EXPECT_FALSE(Write());
    EXPECT_EQ(drives_.ReadFile(File()), large);
    EXPECT_EQ(drives_.List(Folder()), (std::vector<std::string>{"FILLER", "ZEL1.SYS"}));

    // The report's row names the real reason, with its number.
    app::Tally tally;
    tally.records.push_back(*app::CheckInstallation(ScratchDrives::Scratch(), app::Mode::kRepair));
    const std::string report = app::FormatReport({}, tally, app::ExitCodeOf(tally), false);
    EXPECT_NE(report.find("\t10.0.0.1\t10.0.0.1\t修复失败: 磁盘已满（系统错误 28）\r\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(drives_.ReadFile(File()), large);

    // With room again the same write goes through.
    fs::remove(HostOf(Folder() + "\\FILLER"));
    EXPECT_TRUE(Write());
    EXPECT_EQ(common::ReadProfileString(File(), "web", "webserver", ""), "10.9.9.9");
    EXPECT_EQ(drives_.List(Folder()), std::vector<std::string>{"ZEL1.SYS"});
  });
  if (status == kSkipped) {
    GTEST_SKIP() << "no private tmpfs here";
  }
  EXPECT_EQ(status, 0);
}

// A settings file of terabytes (sparse, so it takes no room) is not read whole: it is
// refused, and the next installation is repaired, in little memory. (What the report and
// the file show of a refused one, tests/e2e plays.)
TEST_F(ProfileFaults, HugeFileIsRefusedAndTheOthersRepaired) {
  const std::string huge = SettingsFileOf(app::kCandidateFolders[0]);
  drives_.WriteFile(huge, Settings("10.0.0.1"));
  drives_.WriteFile(SettingsFileOf(app::kCandidateFolders[1]), Settings("10.0.0.1"));
  if (truncate(HostOf(huge).c_str(), 15000000000000) != 0) {
    GTEST_SKIP() << "no sparse file of 15 TB here: " << std::strerror(errno);
  }
  EXPECT_EQ(InChild([] {
              // The peak set back to what the child holds (it starts with its parent's).
              std::ofstream("/proc/self/clear_refs") << "5";
              struct rusage before {
              }, after{};
              getrusage(RUSAGE_SELF, &before);
              app::Tally tally;
              EXPECT_NO_THROW(app::RepairAllInstallations(tally));
              getrusage(RUSAGE_SELF, &after);
              ASSERT_EQ(tally.records.size(), 2u);
              EXPECT_EQ(tally.records[0].reason.problem, platform::FileProblem::kTooLarge);
              EXPECT_EQ(tally.records[1].outcome, app::Outcome::kRepaired);
              EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kB at most";
            }),
            0);
}

// Root on a prefix given to an unprivileged user (the program in a child, which acts as
// the user once it looks into the prefix; links, hard links and a read-only folder are
// played in tests/e2e). The user swaps the settings file for a link to root's file and
// back, over and over, while root rewrites it. Root's file must never change, nor the
// user's file get root's owner or attribute (each rewrite copies the file's attributes,
// so once there they stay). Before the attributes came from the file that was read, 3000
// writes with this loop rewrote root's file through the link 31 to 51 times, and gave the
// user's file root's owner or attribute up to twice.
TEST_F(ProfileFaults, RootOnAUsersPrefixGainsTheUserNothingBySwappingTheFile) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "needs root";
  }
  const uid_t user = 65534;  // nobody
  const char* setting = std::getenv("ZELFIX_SWAP_WRITES");
  const int writes = setting != nullptr ? std::atoi(setting) : 3000;
  drives_.WriteFile(File(), kOriginal);
  // By the text alone: this process never asks the program, so never acts as the user.
  const std::string prefix = std::getenv("WINEPREFIX"), root = prefix + "/drive_d/r";
  for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
    lchown(entry.path().c_str(), user, user);
  }
  lchown(prefix.c_str(), user, user);
  drives_.WriteFile("D:\\r", kOriginal);  // root's, made after the drives were given away
  chmod(root.c_str(), 0640);
  setxattr(root.c_str(), "user.zelfix", "root's", 6, 0);
  const std::string file = prefix + "/drive_c/zelfix-test/BIN/ZEL1.SYS", aside = file + "~";
  const pid_t swapper = fork();
  if (swapper == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(user) != 0 || setuid(user) != 0) {
      _exit(kSkipped);
    }
    for (unsigned pause = 1;; pause = pause * 1103515245 + 12345) {
      if (rename(file.c_str(), aside.c_str()) == 0) {
        symlink(root.c_str(), file.c_str());
        rename(aside.c_str(), file.c_str());
      }
      usleep(pause >> 22);  // up to a millisecond, about as long as a write: some go through
    }
  }
  const int status = InChild([&] {
    int written = 0;
    for (int i = 0; i < writes; ++i) {
      written += Write(i % 2 ? "1.2.3.4" : "1.2.3.45");
    }
    EXPECT_GT(written, writes / 10) << "of " << writes << " writes went through";
  });
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
  EXPECT_EQ(status, 0);
  struct stat info {};
  char value[16];
  EXPECT_EQ(drives_.ReadFile("D:\\r"), kOriginal);
  EXPECT_TRUE(stat(root.c_str(), &info) == 0 && info.st_uid == 0 &&
              (info.st_mode & 07777) == 0640 &&
              getxattr(root.c_str(), "user.zelfix", value, 16) == 6);
  for (const std::string& name : {file, aside}) {
    EXPECT_FALSE(lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                 (info.st_uid != user || lgetxattr(name.c_str(), "user.zelfix", value, 16) >= 0))
        << name;
  }
}

}  // namespace
