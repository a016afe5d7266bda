// An X server of the test's own (Xvfb), on the display it chose itself;
// display() is empty where there is none. `args` are the server's own
// (a screen size and depth, -extension NAME to go without one); `launcher`
// runs it (`unshare --ipc`: in IPC namespace of its own). It ends with the
// test however the test ends, killed too, and holds none of the test's
// descriptors (its output pipes among them) meanwhile. It does not reset
// when a client leaves (-noreset): one that connects and goes (another
// test's, on a display number used again) would leave it refusing
// connections for a moment.
#pragma once

#include "ends_with_parent.h"

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class OwnXServer {
public:
    explicit OwnXServer(std::vector<std::string> args = {"-screen", "0", "1280x1024x24"},
                        std::vector<std::string> launcher = {}) {
        // Servers that start at the same moment race for a display number,
        // and one may then name a display that takes no connection: one
        // starts at a time on the machine, until it has named its display.
        int lock = ::open(kStartLock, O_CREAT | O_RDWR | O_CLOEXEC, 0666);
        if (lock >= 0) ::flock(lock, LOCK_EX);
        start(args, launcher);
        if (lock >= 0) ::close(lock);
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

    // The lock the servers of the tests (these and the screen scripts') take to start.
    static constexpr const char *kStartLock = "/tmp/.tavrin-xvfb-start.lock";

private:
    void start(std::vector<std::string> &args, std::vector<std::string> &launcher) {
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
        char buf[32] = {};
        ssize_t n = pid_ > 0 ? ::read(fds[0], buf, sizeof buf - 1) : -1;  // the display number, once it is up
        ::close(fds[0]);
        if (n > 0) display_ = ":" + std::string(buf, size_t(n - (buf[n - 1] == '\n')));
    }

    pid_t pid_ = -1;
    std::string display_;
};
