// Runs a step on every loop pass, whichever loop runs it (a dialog's, a
// toolkit's own): a run-loop source that is always ready. By default the
// step moves a TestClock a millisecond.
#pragma once

#include "test_clock.h"

#include <rb/loop.h>

#include <functional>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

class Pacer {
public:
    explicit Pacer(std::function<void()> step) : fd_(eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK)) {
        rb::addSource(fd_, POLLIN, std::move(step));
    }
    explicit Pacer(TestClock &clock) : Pacer([&clock] { clock.advance(1); }) {}
    ~Pacer() {
        rb::removeSource(fd_);
        ::close(fd_);
    }
    Pacer(const Pacer &) = delete;
    Pacer &operator=(const Pacer &) = delete;

private:
    int fd_;
};
