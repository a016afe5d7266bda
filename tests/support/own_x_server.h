// An X server of the test's own (Xvfb), on the display it chose itself;
// display() is empty where none can be run (a server that ran and named
// no display fails the test). `args` are the server's own (a screen size
// and depth, -extension NAME to go without one); `launcher`
// runs it (`unshare --ipc`: in IPC namespace of its own). It ends with the
// test however the test ends, killed too, and holds none of the test's
// descriptors (its output pipes among them) meanwhile. It does not reset
// when its last client leaves (-noreset): a client that connects and goes
// would leave it refusing connections for a moment.
#pragma once

#include "ends_with_parent.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class OwnXServer {
public:
    explicit OwnXServer(std::vector<std::string> args = {"-screen", "0", "1280x1024x24"},
                        std::vector<std::string> launcher = {}) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        std::vector<std::string> all = launcher;
        for (const char *a : {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset"}) all.push_back(a);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            endWithParent(parent);
            int null = ::open("/dev/null", O_RDWR);
            for (int fd : {0, 1, 2}) ::dup2(null, fd);
            ::dup2(fds[1], 3);
            ::close_range(4, ~0U, 0);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        // The display number, once it is up, and then its line's end: the
        // server writes the two apart, and ends when the second finds the
        // pipe closed.
        std::string number;
        char c = 0;
        while (pid_ > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (c == '\n' && !number.empty()) {
            display_ = ":" + number;
            return;
        }
        // No server: none is installed (nothing to run), or one ran and
        // failed, which the test must not take for the first.
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        bool ran = !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
        if (ran && launcher.empty()) ADD_FAILURE() << "Xvfb ran but named no display (status " << status << ")";
    }
    ~OwnXServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    OwnXServer(const OwnXServer &) = delete;
    OwnXServer &operator=(const OwnXServer &) = delete;
    const std::string &display() const { return display_; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};
