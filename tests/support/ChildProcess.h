// Test steps that need a process of their own (POSIX only): a resource limit, a private
// mount, or an unprivileged user, none of which the test process may keep.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

namespace testsupport {

// The exit status of a child that could not set up what it needed.
inline constexpr int kSkipped = 77;

// Runs `body` in a child process and returns the status waitpid gives.
inline int ChildStatus(const std::function<void()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(::testing::Test::HasFailure() ? 1 : (::testing::Test::IsSkipped() ? kSkipped : 0));
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  return status;
}

// Runs `body` in a child process and returns its exit status: 0 when it passed,
// kSkipped when it could not set up what it needed. Failures in the child are printed
// there and reported here through the status.
inline int InChild(const std::function<void()>& body) {
  const int status = ChildStatus(body);
  EXPECT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs `body` as an unprivileged user, who may be refused what root never is: in a child
// process that gives the scratch drives to "nobody" and drops root, or here when not
// root in the first place. Returns the status as InChild does.
inline int AsUnprivilegedUser(const std::function<void()>& body) {
  if (geteuid() != 0) {
    body();
    return 0;
  }
  return InChild([&] {
    const uid_t nobody = 65534;
    std::error_code ignored;
    const std::filesystem::path prefix = std::getenv("WINEPREFIX");
    for (auto it = std::filesystem::recursive_directory_iterator(prefix, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      lchown(it->path().c_str(), nobody, nobody);
    }
    lchown(prefix.c_str(), nobody, nobody);
    if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) {
      GTEST_SKIP() << "cannot drop root: " << std::strerror(errno);
    }
    body();
  });
}

}  // namespace testsupport
