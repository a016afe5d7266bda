// For a child process just forked by a test: it is killed when the test's
// thread that forked it ends, however it ends (killed too), so that
// nothing it started outlives the test.
#pragma once

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

// `parent`: the test's pid, read before the fork.
inline void endWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);  // it went before the line above
}
