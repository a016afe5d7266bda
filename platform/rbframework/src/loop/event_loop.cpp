// The main event loop: poll() over run-loop sources, posted work and timers.
#include "core.h"
#include "loop/clock.h"
#include "loop/scheduler.h"

#include <rb/exception.h>
#include <rb/loop.h>
#include <rb/thread.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <typeinfo>
#include <unistd.h>
#include <vector>

namespace rb {

namespace {

struct Source {
    short events;
    std::function<void(short)> ready;
    uint64_t generation;
};

struct Loop {
    std::map<int, Source> sources;
    uint64_t generation = 0;
    std::mutex postMu;
    std::deque<std::function<void()>> posted;
    int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::map<std::pair<int64_t, uint64_t>, std::function<void()>> timed;  // (due, id)
    std::map<uint64_t, int64_t> dueOf;
    std::map<uint64_t, int64_t> slackOf;  // of the timed calls that can wait
    uint64_t nextId = 1;
    std::atomic<bool> quitting{false};
    int quitCode = 0;
};

// How far runFor moves an injected clock between two loop passes.
constexpr int64_t kClockStepUs = 1000;

Loop &loop() {
    static Loop l;
    return l;
}

void wake() {
    uint64_t one = 1;
    if (loop().wakeFd >= 0) (void)!::write(loop().wakeFd, &one, sizeof one);
}

void report(const std::string &cls, const std::string &msg) {
    std::fprintf(stderr, "An exception of class %s was not handled: %s\n", cls.c_str(), msg.c_str());
}

}  // namespace

void guarded(const std::function<void()> &fn) {
    try {
        fn();
        raisePending();
    } catch (const Exception &e) {
        report(e.className(), e.message());
    } catch (const ThreadStopped &) {
        throw;
    } catch (const std::exception &e) {
        report(typeid(e).name(), e.what());
    } catch (...) {
        report("(unknown)", "");
    }
}

uint64_t addSource(int fd, short events, std::function<void(short)> ready) {
    if (fd < 0) return 0;
    uint64_t id = ++loop().generation;
    loop().sources[fd] = {events, std::move(ready), id};
    return id;
}

uint64_t addSource(int fd, short events, std::function<void()> ready) {
    return addSource(fd, events, std::function<void(short)>([r = std::move(ready)](short) { r(); }));
}

void removeSource(int fd) { loop().sources.erase(fd); }

void removeSource(int fd, uint64_t id) {
    auto it = loop().sources.find(fd);
    if (it != loop().sources.end() && it->second.generation == id) loop().sources.erase(it);
}

void post(std::function<void()> fn) {
    {
        std::lock_guard lk(loop().postMu);
        loop().posted.push_back(std::move(fn));
    }
    wake();
}

uint64_t postAfter(int ms, std::function<void()> fn) {
    Loop &l = loop();
    uint64_t id = l.nextId++;
    int64_t due = microseconds() + int64_t(ms > 0 ? ms : 0) * 1000;
    l.timed.emplace(std::make_pair(due, id), std::move(fn));
    l.dueOf[id] = due;
    return id;
}

uint64_t postAfterLoosely(int ms, int slackMs, std::function<void()> fn) {
    uint64_t id = postAfter(ms, std::move(fn));
    loop().slackOf[id] = int64_t(slackMs > 0 ? slackMs : 0) * 1000;
    return id;
}

void cancel(uint64_t id) {
    Loop &l = loop();
    auto it = l.dueOf.find(id);
    if (it == l.dueOf.end()) return;
    l.timed.erase({it->second, id});
    l.dueOf.erase(it);
    l.slackOf.erase(id);
}

namespace {

// One pass; `leftFd` ends the wait too, but its source is left to the caller.
void onePass(int timeoutMs, int leftFd) {
    Loop &l = loop();
    core::classes();
    int64_t now = microseconds();
    int wait = timeoutMs;
    {
        std::lock_guard lk(l.postMu);
        if (!l.posted.empty()) wait = 0;
    }
    int64_t due = core::nextSleeperDue();
    // The first timed call that cannot wait, or the end of the slack of
    // those before it that can.
    for (const auto &[key, fn] : l.timed) {
        auto slack = l.slackOf.find(key.second);
        if (slack == l.slackOf.end()) {
            due = std::min(due, key.first);
            break;
        }
        due = std::min(due, key.first + slack->second);
    }
    if (due != INT64_MAX) {
        int64_t untilDue = (due - now + 999) / 1000;
        if (untilDue < 0) untilDue = 0;
        if (wait < 0 || untilDue < wait) wait = int(std::min<int64_t>(untilDue, INT_MAX));
    }
    std::vector<pollfd> fds;
    std::vector<uint64_t> gens;
    fds.push_back({l.wakeFd, POLLIN, 0});
    gens.push_back(0);
    for (auto &[fd, s] : l.sources) {
        if (fd == leftFd) continue;
        fds.push_back({fd, s.events, 0});
        gens.push_back(s.generation);
    }
    size_t dispatched = fds.size();
    if (leftFd >= 0) fds.push_back({leftFd, POLLIN, 0});

    // Cooperative threads run while the main thread waits here.
    core::releaseBaton();
    int n = ::poll(fds.data(), fds.size(), wait);
    core::acquireBaton();

    if (fds[0].revents & POLLIN) {
        uint64_t v;
        while (::read(l.wakeFd, &v, sizeof v) > 0) {}
    }
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lk(l.postMu);
        work.swap(l.posted);
    }
    for (auto &fn : work) guarded(fn);

    now = microseconds();
    core::wakeSleepers(now);
    // The threads woken (by their time, or handed on by the work above) run
    // now, before the clock can move on: however late the machine
    // schedules them, they see their time.
    core::runWokenSleepers();
    while (!l.timed.empty() && l.timed.begin()->first.first <= now) {
        auto it = l.timed.begin();
        auto fn = std::move(it->second);
        l.dueOf.erase(it->first.second);
        l.slackOf.erase(it->first.second);
        l.timed.erase(it);
        guarded(fn);
    }

    for (size_t i = 1; n > 0 && i < dispatched; ++i) {
        if (!fds[i].revents) continue;
        auto it = l.sources.find(fds[i].fd);
        if (it == l.sources.end() || it->second.generation != gens[i]) continue;  // removed meanwhile
        auto ready = it->second.ready;
        short rev = fds[i].revents;
        guarded([&] { ready(rev); });
    }
    core::reapThreads();
}

}  // namespace

void runOnce(int timeoutMs) { onePass(timeoutMs, -1); }

void runNestedOnce(int timeoutMs, int fd) { onePass(timeoutMs, fd); }

int run() {
    Loop &l = loop();
    while (!l.quitting) runOnce(-1);
    l.quitting = false;
    return l.quitCode;
}

void quit(int code) {
    loop().quitCode = code;
    loop().quitting = true;
    wake();
}

void runFor(int ms) {
    const auto &letTimePass = core::clockPass();
    int64_t end = microseconds() + int64_t(ms) * 1000;
    int64_t left = end - microseconds();
    do {
        if (letTimePass) {
            runOnce(0);
            if (left > 0) letTimePass(std::min<int64_t>(left, kClockStepUs));
        } else {
            runOnce(left > 0 ? int((left + 999) / 1000) : 0);
        }
        left = end - microseconds();
    } while (left > 0);
    if (letTimePass) runOnce(0);  // what fell due with the last step
}

}  // namespace rb
