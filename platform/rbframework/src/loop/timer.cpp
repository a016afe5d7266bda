// The framework class "Timer".
#include "core.h"

#include <rb/loop.h>
#include <rb/timer.h>

namespace rb {

namespace {

TimerFields *tf(REALobject t) { return fields<TimerFields>(t, core::classes().timer); }

void schedule(REALobject t, int64_t due);

void fire(REALobject t) {
    ObjRef hold = ObjRef::retain(t);  // the action may turn the timer off
    TimerFields *f = tf(t);
    f->scheduled = 0;
    if (f->mode == TimerOff || !f->enabled) return;
    // The next period; a timer held up for a whole period or more fires once
    // now and counts its next period from here.
    int64_t period = int64_t(f->period > 0 ? f->period : 1) * 1000;
    int64_t now = microseconds();
    int64_t due = f->due + period;
    if (f->mode == TimerSingle) setTimerMode(t, TimerOff);
    else schedule(t, due <= now ? now + period : due);
    auto action = f->action;
    if (raiseInstanceEvent(t, "Action")) return;
    if (action) action(t);
    else raiseNamedEvent(t, "Action");
}

void schedule(REALobject t, int64_t due) {
    TimerFields *f = tf(t);
    if (f->scheduled) cancel(f->scheduled);
    f->due = due;
    int64_t ms = (due - microseconds() + 999) / 1000;
    f->scheduled = postAfter(int(ms < 0 ? 0 : ms), [t] { fire(t); });
}

}  // namespace

void core::defineTimerClass(Classes &c) {
    c.timer = defineClass<TimerFields>("Timer");
    ClassInfo *tc = c.timer;
    auto intOf = [](const Value &v) -> int32_t {
        if (auto *i = std::get_if<int64_t>(&v)) return int32_t(*i);
        if (auto *b = std::get_if<bool>(&v)) return *b;
        return 0;
    };
    addHostProperty(
        tc, "Mode", "integer", [](REALobject o) -> Value { return int64_t(tf(o)->mode); },
        [intOf](REALobject o, const Value &v) { setTimerMode(o, intOf(v)); });
    addHostProperty(
        tc, "Period", "integer", [](REALobject o) -> Value { return int64_t(tf(o)->period); },
        [intOf](REALobject o, const Value &v) { setTimerPeriod(o, intOf(v)); });
    addHostProperty(
        tc, "Enabled", "Boolean", [](REALobject o) -> Value { return tf(o)->enabled; },
        [intOf](REALobject o, const Value &v) { setTimerEnabled(o, intOf(v) != 0); });
    // A timer freed while scheduled (only possible when it is off) leaves nothing behind.
    c.timer->destruct = [inner = c.timer->destruct](REALobject o) {
        if (tf(o)->scheduled) cancel(tf(o)->scheduled);
        inner(o);
    };
}

ClassInfo *timerClass() { return core::classes().timer; }

ObjRef newTimer(int32_t period, std::function<void(REALobject)> action) {
    ObjRef t = make(timerClass());
    tf(t.get())->period = period;
    tf(t.get())->action = std::move(action);
    return t;
}

namespace {

bool running(const TimerFields *f) { return f->mode != TimerOff && f->enabled; }

// Starts or stops the timer after a change of mode or Enabled; a timer that
// was not running starts a new period.
void update(REALobject t, bool wasRunning) {
    TimerFields *f = tf(t);
    if (!running(f)) {
        if (f->scheduled) cancel(f->scheduled);
        f->scheduled = 0;
        if (f->selfHeld) {
            f->selfHeld = false;
            release(t);  // may free the timer
        }
        return;
    }
    if (!f->selfHeld) {
        f->selfHeld = true;
        retain(t);
    }
    if (!wasRunning || !f->scheduled) schedule(t, microseconds() + int64_t(f->period > 0 ? f->period : 1) * 1000);
}

}  // namespace

void setTimerMode(REALobject t, int32_t mode) {
    TimerFields *f = tf(t);
    if (mode < TimerOff || mode > TimerMultiple) mode = TimerMultiple;
    bool was = running(f);
    f->mode = mode;
    update(t, was);
}

void setTimerEnabled(REALobject t, bool enabled) {
    TimerFields *f = tf(t);
    bool was = running(f);
    f->enabled = enabled;
    update(t, was);
}

void resetTimer(REALobject t) {
    TimerFields *f = tf(t);
    if (running(f)) schedule(t, microseconds() + int64_t(f->period > 0 ? f->period : 1) * 1000);
}

void setTimerPeriod(REALobject t, int32_t ms) {
    TimerFields *f = tf(t);
    f->period = ms;
    if (running(f)) schedule(t, microseconds() + int64_t(ms > 0 ? ms : 1) * 1000);
}

}  // namespace rb
