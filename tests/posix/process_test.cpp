// The process of an unattended run on Linux: interruptions that request a stop instead of
// ending it, standard descriptors no file can take, and a file size limit that fails a
// write instead of killing the process. Each in a child: none of it may stay with the
// test process.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/logfile.h"
#include "platform/process.h"
#include "tests/support/ChildProcess.h"

namespace {

TEST(PrepareProcess, UnattendedAnInterruptionRequestsAStop) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    EXPECT_EQ(testsupport::InChild([signal] {
                // One that was ignored when the run began, as under nohup, stays ignored.
                ::signal(SIGHUP, SIG_IGN);
                platform::PrepareProcess(true);
                EXPECT_FALSE(platform::StopRequested());
                ::kill(::getpid(), signal);
                EXPECT_EQ(platform::StopRequested(), signal != SIGHUP);
              }),
              0);
  }
  // The interactive run ends as any program does.
  const int status = testsupport::ChildStatus([] {
    platform::PrepareProcess(false);
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

TEST(PrepareProcess, ClosedStandardDescriptorsAreNeverTheLog) {
  const std::filesystem::path log =
      std::filesystem::path(::testing::TempDir()) / "closed-descriptors.txt";
  std::filesystem::remove(log);
  EXPECT_EQ(testsupport::InChild([&log] {
              ::close(STDOUT_FILENO);
              ::close(STDERR_FILENO);
              platform::PrepareProcess(true);
              std::string why;
              const auto file = platform::OpenLogFile(log.string(), why);
              ASSERT_NE(file, nullptr) << why;
              struct stat out {};
              ASSERT_EQ(::fstat(STDOUT_FILENO, &out), 0);
              EXPECT_TRUE(S_ISCHR(out.st_mode));  // /dev/null
              EXPECT_EQ(::write(STDOUT_FILENO, "x", 1), 1);
            }),
            0);
  EXPECT_EQ(std::filesystem::file_size(log), 0u);
}

TEST(PrepareProcess, AFileSizeLimitFailsTheWriteAndTheLogIsCutBack) {
  const std::filesystem::path log = std::filesystem::path(::testing::TempDir()) / "limited.txt";
  std::filesystem::remove(log);
  EXPECT_EQ(testsupport::InChild([&log] {
              platform::PrepareProcess(true);
              std::string why;
              auto report = platform::OpenReportLog(log.string(), "计算机\t结果\r\n", why);
              ASSERT_NE(report, nullptr) << why;
              const auto before = std::filesystem::file_size(log);
              const rlimit limit{before + 100, RLIM_INFINITY};
              ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
              EXPECT_FALSE(report->Append(std::string(1000, 'x') + "\r\n", why));
              EXPECT_EQ(why, "写入失败: 文件过大");
              EXPECT_EQ(std::filesystem::file_size(log), before);
            }),
            0);
}

}  // namespace
