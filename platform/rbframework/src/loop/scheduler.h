// The scheduling of the runtime's threads, private to the loop's room: the
// baton that only one thread holds at a time, and the cooperative threads
// parked until the loop wakes them.
#pragma once

#include <cstdint>

namespace rb::core {

// The runtime baton (baton.cpp): only its holder runs runtime code.
void acquireBaton();
void releaseBaton();
// The baton is a FIFO ticket lock: a thread takes a ticket, then waits
// for its turn, and holds the baton from then on.
uint64_t takeTicket();
void waitForTurn(uint64_t ticket);
// Cooperative threads wait parked, each until the loop wakes it: at its
// time on the runtime clock (sleep) or when the main thread hands it on.
// A thread woken has its turn before the loop pass that woke it goes on, so
// that whoever moves the clock moves it only once they wait again.
struct Sleeper {
    int64_t due = INT64_MAX;  // on the runtime clock
    bool woken = false;
};
void wakeSleepers(int64_t nowUs);
int64_t nextSleeperDue();  // INT64_MAX when none sleeps so
// Main thread: lets the threads woken so far take their turn before it goes on.
void runWokenSleepers();
// Cooperative thread: waits, the baton given up, until handOn(me) (or the
// runtime stops its threads: throws ThreadStopped). Returns at once on the
// main thread.
void waitToBeHandedOn(Sleeper &me);
// Wakes a thread waiting in waitToBeHandedOn (any thread; also before it waits).
void handOn(Sleeper &s);
void reapThreads();  // joins finished threads (main loop)

}  // namespace rb::core
