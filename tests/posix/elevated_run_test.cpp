// Root on a prefix that an unprivileged user owns: whatever the user puts in the way, the
// run does nothing to a file of root's that the user could not do, and says what it
// refused. The program runs in a child process, which acts as the prefix's owner from
// its first look into the prefix on; the test itself stays root to check root's file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/CM_FileFolderSystem.h"
#include "platform/posix/winpath.h"
#include "platform/profile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDrives.h"

namespace {

namespace fs = std::filesystem;
using testsupport::InChild;
using testsupport::kSkipped;
using testsupport::ScratchDrives;

constexpr uid_t kUser = 65534;  // nobody
constexpr gid_t kGroup = 65534;

const std::string kSettings = "[web]\r\nwebserver=10.0.0.1\r\n";
const std::string kRootBytes = "[web]\r\nwebserver=root's own\r\n";
const std::string kFile = ScratchDrives::Scratch() + "\\BIN\\ZEL1.SYS";

// Host paths by their text alone: the test process never asks the program, so it never
// takes on the owner's identity.
std::string Prefix() {
  return std::getenv("WINEPREFIX");
}
std::string Bin() {
  return Prefix() + "/drive_c/zelfix-test/BIN";
}

std::string Read(const std::string& host) {
  std::ostringstream bytes;
  bytes << std::ifstream(host, std::ios::binary).rdbuf();
  return bytes.str();
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A file only root may change, in a folder only root may change, with bytes, a mode and
// an extended attribute of its own.
class RootOnlyFile {
 public:
  RootOnlyFile() {
    std::string pattern = (fs::temp_directory_path() / "zelfix-root-XXXXXX").string();
    folder_ = mkdtemp(pattern.data()) != nullptr ? pattern : "/nonexistent";
    chmod(folder_.c_str(), 0755);
    path_ = folder_ + "/ZEL1.SYS";
    std::ofstream(path_, std::ios::binary) << kRootBytes;
    chmod(path_.c_str(), 0640);
    setxattr(path_.c_str(), "user.zelfix", "root's", 6, 0);
  }
  ~RootOnlyFile() { fs::remove_all(folder_); }
  const std::string& folder() const { return folder_; }
  const std::string& path() const { return path_; }

  // What became of it, or nothing.
  std::string Damage() const {
    struct stat info {};
    char value[16] = {};
    if (lstat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      return "gone";
    }
    if (Read(path_) != kRootBytes) {
      return "bytes changed";
    }
    if (info.st_uid != 0 || (info.st_mode & 07777) != 0640) {
      return "owner or mode changed";
    }
    if (getxattr(path_.c_str(), "user.zelfix", value, sizeof value) != 6) {
      return "attribute changed";
    }
    return Names(folder_) == std::vector<std::string>{"ZEL1.SYS"} ? "" : "its folder changed";
  }

 private:
  std::string folder_;
  std::string path_;
};

// What `body` says on standard error. The capture is open before the program may act as
// the user, who could not open a file of root's.
std::string StandardErrorOf(const std::function<void()>& body) {
  FILE* capture = std::tmpfile();
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(fileno(capture), STDERR_FILENO);
  body();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::rewind(capture);
  std::string said;
  for (int c; (c = std::fgetc(capture)) != EOF;) {
    said += static_cast<char>(c);
  }
  std::fclose(capture);
  return said;
}

// Gives the prefix and everything in it to the user.
void GiveToUser() {
  for (const auto& entry : fs::recursive_directory_iterator(Prefix())) {
    lchown(entry.path().c_str(), kUser, kGroup);
  }
  lchown(Prefix().c_str(), kUser, kGroup);
}

class ElevatedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "needs root";
    }
    drives_.WriteFile(kFile, kSettings);
  }

  ScratchDrives drives_;
  RootOnlyFile root_;
};

// A link at the file, a link at its folder, another name of root's file (which
// protected_hardlinks would not let the user make: root stands in): nothing is read
// through them, nothing written, and the refusal is told apart from any other failure.
TEST_F(ElevatedRun, LinksAnOrdinaryUserMadeAreRefused) {
  const std::string file = Bin() + "/ZEL1.SYS";
  const struct {
    const char* what;
    std::function<void()> plant;
  } cases[] = {
      {"a link at the file",
       [&] {
         fs::remove(file);
         fs::create_symlink(root_.path(), file);
       }},
      {"a link at its folder",
       [&] {
         fs::remove_all(Bin());
         fs::create_directory_symlink(root_.folder(), Bin());
       }},
      {"another name",
       [&] {
         fs::remove(file);
         fs::create_hard_link(root_.path(), file);
       }},
  };
  for (const auto& c : cases) {
    drives_.WriteFile(kFile, kSettings);
    GiveToUser();
    c.plant();
    const int status = InChild([&] {
      const std::string said = StandardErrorOf([] {
        EXPECT_EQ(common::ReadProfileString(kFile, "web", "webserver", "-"), "-");
        EXPECT_FALSE(common::WriteProfileString(kFile, "web", "webserver", "10.9.9.9"));
        int code = 0;
        EXPECT_EQ(platform::LastProfileWriteProblem(code), platform::WriteProblem::kUnsafePath);
      });
      EXPECT_NE(said.find("zelfix: C:\\zelfix-test\\BIN\\ZEL1.SYS ("), std::string::npos) << said;
      EXPECT_NE(said.find(" is reached through a link that an ordinary user can change, or has "
                          "another name in a folder one can change: as root it is neither read "
                          "nor written\n"),
                std::string::npos)
          << said;
    });
    EXPECT_EQ(status, 0) << c.what;
    EXPECT_EQ(root_.Damage(), "") << c.what;
    EXPECT_TRUE(fs::is_symlink(Bin()) || Names(Bin()) == std::vector<std::string>{"ZEL1.SYS"})
        << c.what;
    fs::remove_all(Bin());
  }
}

// Root acts as the owner: a folder the owner may not write in stops it, as it would stop
// the owner, where root alone would have written.
TEST_F(ElevatedRun, ActsAsThePrefixOwner) {
  GiveToUser();
  chmod(Bin().c_str(), 0555);
  const int status = InChild([&] {
    EXPECT_EQ(StandardErrorOf([] {
                EXPECT_EQ(common::ReadProfileString(kFile, "web", "webserver", "-"), "10.0.0.1");
                EXPECT_FALSE(common::WriteProfileString(kFile, "web", "webserver", "10.9.9.9"));
                int code = 0;
                EXPECT_EQ(platform::LastProfileWriteProblem(code),
                          platform::WriteProblem::kAccessDenied);
              }),
              "zelfix: the Wine prefix " + Prefix() +
                  " belongs to uid 65534 (nobody): working in it as that user, not as root\n");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Read(Bin() + "/ZEL1.SYS"), kSettings);
}

// A prefix reached through a folder of another user's: either user could swap what the
// other made, so root enters it as neither.
TEST_F(ElevatedRun, APrefixTwoUsersControlIsNotEntered) {
  GiveToUser();
  std::string outer = (fs::temp_directory_path() / "zelfix-outer-XXXXXX").string();
  ASSERT_NE(mkdtemp(outer.data()), nullptr);
  fs::create_directory_symlink(Prefix(), outer + "/prefix");
  lchown((outer + "/prefix").c_str(), 1, 1);
  chown(outer.c_str(), 1, 1);
  const int status = InChild([&] {
    setenv("WINEPREFIX", (outer + "/prefix").c_str(), 1);
    EXPECT_EQ(StandardErrorOf([] {
                EXPECT_TRUE(platform::posix::ReadyDriveLetters().empty());
                EXPECT_FALSE(common::FileExists(kFile));
              }),
              "zelfix: the Wine prefix " + outer +
                  "/prefix is controlled by more than one user (uid 1 and uid 65534): as "
                  "root, nothing in it is looked at; run as its owner instead\n");
  });
  fs::remove_all(outer);
  EXPECT_EQ(status, 0);
}

// The user swaps the settings file for a link to root's file and back, over and over,
// while root rewrites it. Root's file must never change, and the user's file must never
// get root's attribute (each rewrite copies the file's attributes, so one that got it
// once keeps it). Before attributes were read from the file that was read, 3000 writes
// rewrote root's file hundreds of times and copied its attribute once or twice.
TEST_F(ElevatedRun, SwappingTheFileDuringTheWriteGainsNothing) {
  const char* setting = std::getenv("ZELFIX_SWAP_WRITES");
  const int writes = setting != nullptr ? std::atoi(setting) : 3000;
  GiveToUser();
  const std::string file = Bin() + "/ZEL1.SYS";
  const std::string aside = Bin() + "/aside";
  const pid_t swapper = fork();
  if (swapper == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kGroup) != 0 || setuid(kUser) != 0) {
      _exit(kSkipped);
    }
    for (;;) {
      if (rename(file.c_str(), aside.c_str()) == 0) {
        symlink(root_.path().c_str(), file.c_str());
        rename(aside.c_str(), file.c_str());
      }
    }
  }
  const int status = InChild([&] {
    int written = 0;
    for (int i = 0; i < writes; ++i) {
      written += common::WriteProfileString(kFile, "web", "webserver",
                                            i % 2 == 0 ? "10.9.9.9" : "10.8.8.88");
    }
    std::printf("%d of %d writes went through\n", written, writes);
    std::fflush(stdout);
    EXPECT_GT(written, 0);
  });
  kill(swapper, SIGKILL);
  waitpid(swapper, nullptr, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(root_.Damage(), "");
  for (const std::string& name : {file, aside}) {
    char value[16];
    struct stat info {};
    if (lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
      EXPECT_LT(lgetxattr(name.c_str(), "user.zelfix", value, sizeof value), 0) << name;
      EXPECT_EQ(info.st_uid, kUser) << name;
    }
  }
}

}  // namespace
