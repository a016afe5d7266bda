// The window model's link to the runtime core (see ui_host.h).
//
// Stand-in until the core's event loop is in: a queue of posted calls and
// timed calls run by runFor().
#include "ui_host.h"

#include <chrono>
#include <deque>
#include <thread>

namespace rb::uihost {

namespace {

using Clock = std::chrono::steady_clock;

struct Timed {
    Clock::time_point at;
    std::function<void()> fn;
};

std::deque<std::function<void()>> &posted() {
    static std::deque<std::function<void()>> q;
    return q;
}

std::deque<Timed> &timed() {
    static std::deque<Timed> q;
    return q;
}

}  // namespace

void post(std::function<void()> fn) { posted().push_back(std::move(fn)); }

void postAfter(int ms, std::function<void()> fn) {
    timed().push_back({Clock::now() + std::chrono::milliseconds(ms), std::move(fn)});
}

void runFor(int ms) {
    auto end = Clock::now() + std::chrono::milliseconds(ms);
    do {
        while (!posted().empty()) {
            auto fn = std::move(posted().front());
            posted().pop_front();
            fn();
        }
        for (size_t i = 0; i < timed().size(); ++i)
            if (timed()[i].at <= Clock::now()) {
                auto fn = std::move(timed()[i].fn);
                timed().erase(timed().begin() + long(i));
                fn();
                break;
            }
        if (Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (Clock::now() < end);
}

void quitLoop(int) {}

REALobject newWindowObject(Window *) { return nullptr; }
void detachWindowObject(REALobject) {}

}  // namespace rb::uihost
