// What plug-ins reach on timers, threads, pictures and the application
// object by resolver name: the selector rows of their properties and the
// services of their methods.
#include "plugins/selectors.h"

#include <rb/host.h>
#include <rb/loop.h>
#include <rb/picture.h>
#include <rb/thread.h>
#include <rb/timer.h>

namespace rb {
namespace {

extern "C" {

// "RuntimeTimerReset"(timer): a running timer starts its period anew.
void svcTimerReset(REALobject t) {
    if (t && isA(t->klass, timerClass())) resetTimer(t);
}

// "threadRun"(thread): starts it (nothing while it runs).
void svcThreadRun(REALobject t) {
    if (t && isA(t->klass, threadClass())) startThread(t);
}

// "getAppObject"(): the application object (the host keeps it; no
// reference is added).
REALobject svcAppObject() { return applicationObject(); }

// "RuntimeDoEvents"(app, ms): lets the event loop run for `ms` (one pass
// for a negative time). In a cooperative thread it only yields.
void svcDoEvents(REALobject, int32_t ms) {
    try {
        if (inCooperativeThread()) yield();
        else if (ms < 0) runOnce(0);
        else runFor(ms);
    } catch (const ThreadStopped &) {
        // The thread stops at its next own yield point.
    }
}

// "YieldToNextThread"(app): the next thread in turn runs.
void svcYieldToNextThread(REALobject) {
    try {
        yield();
    } catch (const ThreadStopped &) {}
}

// "REALGetCurrentThread"(app): the running thread's object with a reference
// for the caller; nil on the main thread.
REALobject svcCurrentThread(REALobject) {
    REALobject t = currentThreadObject();
    retain(t);
    return t;
}

// "RuntimeTicks"() and the global method "Ticks() As Integer": the clock in
// 1/60 s, as a 32-bit count that wraps.
int32_t svcTicks() { return static_cast<int32_t>(Ticks()); }

// "RuntimeMicroseconds"(): the runtime clock in microseconds, from any
// thread (a grabber's video runs on it).
int64_t svcMicroseconds() { return microseconds(); }

}  // extern "C"

#define FN(f) reinterpret_cast<void *>(&f)
struct Registrar {
    Registrar() {
        registerService("RuntimeTimerReset", FN(svcTimerReset));
        registerService("threadRun", FN(svcThreadRun));
        registerService("getAppObject", FN(svcAppObject));
        registerService("RuntimeDoEvents", FN(svcDoEvents));
        registerService("YieldToNextThread", FN(svcYieldToNextThread));
        registerService("REALGetCurrentThread", FN(svcCurrentThread));
        registerService("RuntimeTicks", FN(svcTicks));
        registerService("RuntimeMicroseconds", FN(svcMicroseconds));
        addGlobalMethod("Ticks() As Integer", FN(svcTicks));

        using sel::Kind;
        for (const char *g : {"intGetter", "ThreadGetState", "ThreadGetPriority", "pictureWidthGetter",
                              "pictureHeightGetter", "PictureDepthGetter"})
            sel::defineGetter(g, Kind::Int);
        for (const char *s : {"intSetter", "timerModeSetter", "timerPeriodSetter", "ThreadSetPriority"})
            sel::defineSetter(s, Kind::Int);

        sel::addPair("intGetter", "timerModeSetter", "Timer", 28, "Mode");
        sel::addPair("intGetter", "timerPeriodSetter", "Timer", 32, "Period");
        sel::addPair("intGetter", "intSetter", "Timer", 40, "Enabled");
        sel::add("ThreadGetState", "Thread", 0, "State");
        sel::addPair("ThreadGetPriority", "ThreadSetPriority", "Thread", 0, "Priority");
        sel::add("pictureWidthGetter", "Picture", 0, "Width");
        sel::add("pictureHeightGetter", "Picture", 0, "Height");
        sel::add("PictureDepthGetter", "Picture", 0, "Depth");
    }
} registrar;
#undef FN

}  // namespace
}  // namespace rb
