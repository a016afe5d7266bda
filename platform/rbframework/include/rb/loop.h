// The event loop on the main thread.
//
// One poll() over the run-loop sources and an eventfd that wakes the loop
// for posted work; deadlines on CLOCK_MONOTONIC. Handlers run on the main
// thread holding the runtime baton (rb/thread.h); cooperative threads run
// while the loop waits. A sleeping thread's time is one of the loop's
// deadlines: the pass that reaches it wakes the thread and lets it run
// before it goes on. An exception escaping a handler is reported and the
// loop goes on.
#pragma once

#include <cstdint>
#include <functional>

namespace rb {

// Ticks: 1/60 s since an arbitrary origin, from the runtime clock.
int64_t Ticks();
int64_t microseconds();  // the runtime clock; any thread may read it
// Injects a clock (tests): `usNow` reads it from any thread, and `pass(us)`
// lets `us` of it go by; runFor calls it on the main thread between passes.
// nullptrs restore the real clock.
void setClock(std::function<int64_t()> usNow, std::function<void(int64_t us)> pass);

int run();                // until quit(); returns the quit code
void quit(int code = 0);  // ends run() after the current pass
// Runs the loop for `ms` of the runtime clock, then returns (tests). On an
// injected clock it lets the time go by a millisecond at a time, a loop
// pass after each, and never waits on the machine's clock.
void runFor(int ms);
void runOnce(int timeoutMs = 0);  // one pass: waits at most timeoutMs for work
// One pass run from inside another loop that reads `fd` itself (a toolkit's
// own, while a menu is held open): its wait ends also when `fd` is
// readable, and the source on `fd` is left to that loop.
void runNestedOnce(int timeoutMs, int fd);

// Run-loop sources: `ready` runs on the main thread when fd has one of the
// poll() events. Adding an fd again replaces its events and handler. Each
// source added has an id of its own (0 for none: fd < 0).
uint64_t addSource(int fd, short events, std::function<void(short revents)> ready);
uint64_t addSource(int fd, short events, std::function<void()> ready);
void removeSource(int fd);
// Removes the source on fd only while it is the one `id` names, not one
// added for the fd since (the descriptor closed and its number taken again).
void removeSource(int fd, uint64_t id);

// Runs fn on the next loop pass; callable from any thread.
void post(std::function<void()> fn);
// Runs fn once, `ms` from now, on the main thread. Returns an id for cancel().
uint64_t postAfter(int ms, std::function<void()> fn);
// As postAfter, for work that can wait: it runs on the first pass from `ms`
// on, and the loop wakes for it only `slackMs` after that, if nothing else
// has woken it before (so it rides on the passes other work brings).
uint64_t postAfterLoosely(int ms, int slackMs, std::function<void()> fn);
void cancel(uint64_t id);

// Runs fn, reporting whatever it throws on standard error (used by the
// loop and threads): "An exception of class X was not handled: message".
void guarded(const std::function<void()> &fn);

}  // namespace rb
