// Runs the current test in a process of its own, started afresh from the
// test binary, for what a plug-in does with a host set up otherwise (an
// older version, a service withheld): a plug-in registers with the runtime
// once per process and keeps the services it found, so such a host has to
// be set up before anything loads it.
//
//   TEST(Suite, Name) {
//       if (!inFreshProcess()) return;  // the parent: the child's outcome is checked
//       ...                             // the child: nothing loaded yet
//   }
#pragma once

#include "ends_with_parent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

inline bool inFreshProcess() {
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    const char *kMark = "TAVRIN_TEST_FRESH_PROCESS";
    if (const char *mark = std::getenv(kMark); mark && name == mark) return true;

    // Everything the child needs is made before the fork: it only execs.
    std::string filter = "--gtest_filter=" + name, markLine = std::string(kMark) + "=" + name;
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, kMark, std::strlen(kMark)) != 0) env.push_back(*e);
    env.push_back(markLine.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char *args[] = {self, filter.data(), nullptr};
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        endWithParent(parent);
        execve(self, args, env.data());
        _exit(127);
    }
    int status = 0;
    bool ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    EXPECT_TRUE(ok) << name << " failed in its own process (its messages are above)";
    return false;
}
