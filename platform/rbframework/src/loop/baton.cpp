// The runtime baton: only its holder runs runtime code. The main thread
// holds it whenever it is not waiting in the loop's poll (or away in a
// toolkit, AwayFromLoop); a cooperative thread between its yield points.
#include "loop/scheduler.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace rb {

namespace {

// FIFO ticket lock. Ticket 0 belongs to the main thread from the start: it
// holds the baton whenever it is not waiting in the event loop.
struct Baton {
    std::mutex m;
    std::condition_variable cv;
    uint64_t next = 1, serving = 0;
    std::thread::id holder = std::this_thread::get_id();
};
Baton &baton() {
    static Baton b;
    return b;
}
// The library is loaded on the main thread: it takes the first ticket.
const bool gBatonReady = (baton(), true);

}  // namespace

uint64_t core::takeTicket() {
    std::lock_guard lk(baton().m);
    return baton().next++;
}

void core::waitForTurn(uint64_t t) {
    Baton &b = baton();
    std::unique_lock lk(b.m);
    b.cv.wait(lk, [&] { return b.serving == t; });
    b.holder = std::this_thread::get_id();
}

void core::acquireBaton() {
    {
        std::lock_guard lk(baton().m);
        if (baton().holder == std::this_thread::get_id()) return;
    }
    waitForTurn(takeTicket());
}

void core::releaseBaton() {
    Baton &b = baton();
    std::lock_guard lk(b.m);
    if (b.holder != std::this_thread::get_id()) return;
    b.holder = std::thread::id();
    ++b.serving;
    b.cv.notify_all();
}

}  // namespace rb
