// Cooperative threads: the framework class "Thread".
//
// Each thread is an OS thread, but only the holder of the runtime baton
// runs: the main thread whenever it is not waiting in the event loop, a
// cooperative thread between its yield points. The baton is a FIFO ticket
// lock, so threads take turns in the order they asked. A thread gives it up
// in yield(), sleep() and when its body returns.
#pragma once

#include <rb/object.h>

#include <memory>

namespace rb {

enum class ThreadState { NotStarted, Running, Sleeping, Done };

struct ThreadControl;  // runtime-private
struct ThreadFields {
    std::function<void(REALobject)> body;  // Run (a handler a plug-in installed on the object comes first)
    std::shared_ptr<ThreadControl> ctl;
    int32_t priority = 5;  // kept for plug-ins; the baton serves threads in turn whatever it is
};

ClassInfo *threadClass();
ObjRef newThread(std::function<void(REALobject)> body);
// Thread.Run: starts the body; the thread holds a reference on its object
// until the body returns. Starting a running thread does nothing.
void startThread(REALobject thread);
ThreadState threadState(REALobject thread);

// Lets the other threads (and the main loop) take a turn. In a cooperative
// thread at shutdown this throws rb::ThreadStopped to unwind the body.
void yield();
// Thread.Sleep: gives up the baton for `ms`.
void sleep(int ms);
bool inCooperativeThread();
// The object of the cooperative thread running now; nullptr on the main thread.
REALobject currentThreadObject();

// The main thread at work outside the runtime (a toolkit building a window)
// for as long as this lives: the baton is given up, and sleeping threads
// wake themselves at their time, as no loop pass runs to wake them.
class AwayFromLoop {
public:
    AwayFromLoop();
    ~AwayFromLoop();
    AwayFromLoop(const AwayFromLoop &) = delete;
    AwayFromLoop &operator=(const AwayFromLoop &) = delete;
};

struct ThreadStopped {};  // not a std::exception: bodies should let it pass

// Stops every thread at its next yield point and joins them all.
void shutdown();

}  // namespace rb
