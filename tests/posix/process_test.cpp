// An unattended run's process on Linux, each case in a child: an interruption requests a
// stop, a closed standard descriptor is never the log, a file size limit fails the write.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/logfile.h"
#include "platform/process.h"
#include "tests/support/ChildProcess.h"

namespace {

TEST(PrepareProcess, UnattendedAnInterruptionRequestsAStop) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EQ(testsupport::InChild([signal] {
                ::signal(SIGHUP, SIG_IGN);  // as under nohup: stays ignored
                platform::PrepareProcess(true);
                ::kill(::getpid(), signal);
                EXPECT_EQ(platform::StopRequested(), signal != SIGHUP) << signal;
              }),
              0);
  }
  const int status = testsupport::ChildStatus([] {
    platform::PrepareProcess(false);  // the interactive run ends as any program does
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
}

TEST(PrepareProcess, NoDescriptorOfOutputIsTheLogAndASizeLimitFailsTheWrite) {
  const std::string log = ::testing::TempDir() + "/process-log.txt";
  std::filesystem::remove(log);
  EXPECT_EQ(testsupport::InChild([&log] {
              ::close(STDOUT_FILENO);
              ::close(STDERR_FILENO);
              platform::PrepareProcess(true);
              std::string why;
              auto report = platform::OpenReportLog(log, "计算机\t结果\r\n", why);
              ASSERT_NE(report, nullptr) << why;
              EXPECT_EQ(::write(STDOUT_FILENO, "x", 1), 1);  // to /dev/null, not the log
              const auto before = std::filesystem::file_size(log);
              const rlimit limit{before + 100, RLIM_INFINITY};
              ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
              // Without SIGXFSZ ignored, this child would die here.
              EXPECT_FALSE(report->Append(std::string(1000, 'x') + "\r\n", why));
              EXPECT_EQ(why, "写入失败: 文件过大（系统错误 " + std::to_string(EFBIG) + "）");
              EXPECT_EQ(std::filesystem::file_size(log), before);
            }),
            0);
  EXPECT_EQ(std::filesystem::file_size(log), std::string("计算机\t结果\r\n").size());
}

}  // namespace
