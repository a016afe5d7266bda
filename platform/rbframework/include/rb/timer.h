// The framework class "Timer": properties Mode (0 off, 1 single, 2 repeating),
// Period (ms) and Enabled; the Action handler runs on the main loop (a
// handler a plug-in installed on the timer object comes first). A running
// timer holds a reference on itself, so it keeps firing with no other owner;
// turning it off lets that reference go.
#pragma once

#include <rb/object.h>

namespace rb {

enum { TimerOff = 0, TimerSingle = 1, TimerMultiple = 2 };

struct TimerFields {
    int32_t mode = TimerOff;
    bool enabled = true;  // a disabled timer keeps its mode but does not fire
    int32_t period = 1000;
    std::function<void(REALobject)> action;
    uint64_t scheduled = 0;  // loop id of the next firing
    bool selfHeld = false;
    int64_t due = 0;  // microseconds
};

ClassInfo *timerClass();
ObjRef newTimer(int32_t period = 1000, std::function<void(REALobject)> action = {});
void setTimerMode(REALobject timer, int32_t mode);
void setTimerPeriod(REALobject timer, int32_t ms);
void setTimerEnabled(REALobject timer, bool enabled);
// Starts the period anew (a running timer fires one period from now).
void resetTimer(REALobject timer);

}  // namespace rb
