// A test binary whose tests each need a process of their own (one
// application per process): run whole, it runs itself once per test, each
// run ending with it however it ends.
#pragma once

#include "ends_with_parent.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

inline int runEachTestInItsOwnProcess(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(filter) != "*" || GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    const ::testing::UnitTest &all = *::testing::UnitTest::GetInstance();
    int passed = 0, failed = 0;
    for (int s = 0; s < all.total_test_suite_count(); ++s) {
        const ::testing::TestSuite &suite = *all.GetTestSuite(s);
        for (int t = 0; t < suite.total_test_count(); ++t) {
            std::string filter = std::string("--gtest_filter=") + suite.name() + "." + suite.GetTestInfo(t)->name();
            std::fflush(stdout);
            pid_t parent = getpid();
            pid_t pid = fork();
            if (pid == 0) {
                endWithParent(parent);
                char *args[] = {argv[0], filter.data(), nullptr};
                execv("/proc/self/exe", args);
                _exit(127);
            }
            int status = 0;
            bool ok = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
            (ok ? passed : failed) += 1;
        }
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
