// The deck-control members of `AVC`: transport commands to the tape
// subunit, the transport-state and time-code queries, the time setters and
// the idle timer.
#include "commands.h"

#include "debug.h"
#include "host_api.h"
#include "bundle.h"
#include "unit.h"
#include "xstring.h"

#include <fw/AVCFrame.h>

#include <cstdio>
#include <cstring>

using namespace avcframe;

namespace {

// Fills bytes 0 to 7 of a frame to the tape subunit (bytes past the length
// carry nothing).
void frame(AVCData *d, uint8_t type, uint8_t opcode, uint8_t operand, uint32_t length, const uint8_t *rest = nullptr) {
    uint8_t f[8] = {type, subunit::kTape, opcode, operand, kNone, kNone, kNone, kNone};
    if (rest) std::memcpy(f + 4, rest, 4);
    std::memset(d->command, kNone, sizeof d->command);
    std::memcpy(d->command, f, sizeof f);
    d->commandLength = length;
}

void transport(REALobject obj, uint8_t opcode, uint8_t operand) {
    AVCData *d = AVC_Data(obj);
    frame(d, ctype::kControl, opcode, operand, 4);
    AVC_Send2Device(obj, 4);
}

// The speed operand: base + s for s in -7..7 (s the low byte, signed), else base.
uint8_t speedOperand(uint8_t base, RBInteger speed) {
    int s = int8_t(uint8_t(speed & 0xFF));
    return uint8_t(s >= -play::kMaxSpeedStep && s <= play::kMaxSpeedStep ? base + s : base);
}

bool transportState(REALobject obj, uint8_t mode, uint8_t AVCData::*stateByte, uint8_t match1, uint8_t match2) {
    AVCData *d = AVC_Data(obj);
    frame(d, ctype::kStatus, tapeop::kTransportState, operand::kTransportQuery, 4);
    bool ok = AVC_Send2Device(obj, 4, 4);
    if (!ok || d->response[2] != mode) {
        d->*stateByte = 0;
        return false;
    }
    d->*stateByte = 1;
    return d->response[3] == match1 || d->response[3] == match2;
}

// Hours, minutes, seconds and frames of a response as "hh:mm:ss:ff"; no
// string when the exchange failed, came back short or byte 0 is 0.
REALstring timeQuery(REALobject obj, uint8_t type, uint8_t opcode) {
    AVCData *d = AVC_Data(obj);
    frame(d, type, opcode, operand::kTimeQuery, 8);
    if (!AVC_Send2Device(obj, 8, 8) || d->response[0] == 0) return nullptr;
    char text[12];
    std::snprintf(text, sizeof text, "%2.2x:%2.2x:%2.2x:%2.2x", d->response[7], d->response[6], d->response[5],
                  d->response[4]);
    return XString(text);  // the host takes the reference over
}

}  // namespace

namespace {

void timeSetter(REALobject obj, uint8_t type, uint8_t opcode, REALstring text, bool trace) {
    AVCData *d = AVC_Data(obj);
    size_t length = 0;
    const char *bytes = plugin::stringBytes(text, &length);
    uint8_t t[4];
    // A missing or malformed text sends nothing.
    if (!parseTimeText(bytes, length, t)) {
        d->lastError = -50;
        return;
    }
    if (trace && print) {
        print("\ncalling AVC_vcr_seek_timecounter (setter)\n");
        print("\nhh: %2x\n", t[0]);
        print("\nmm: %2x\n", t[1]);
        print("\nss: %2x\n", t[2]);
        print("\nff: %2x\n", t[3]);
    }
    const uint8_t rest[4] = {t[3], t[2], t[1], t[0]};
    frame(d, type, opcode, operand::kTimeSet, 8, rest);
    AVC_Send2Device(obj, 8);
}

}  // namespace

extern "C" {

void AVC_ForwardIndex(REALobject o) { transport(o, tapeop::kForwardIndex, operand::kIndexOne); }
void AVC_BackwardIndex(REALobject o) { transport(o, tapeop::kBackwardIndex, operand::kIndexOne); }
void AVC_MediumEject(REALobject o) { transport(o, tapeop::kLoadMedium, load::kEject); }
void AVC_MediumOpenTray(REALobject o) { transport(o, tapeop::kLoadMedium, load::kOpenTray); }
void AVC_MediumCloseTray(REALobject o) { transport(o, tapeop::kLoadMedium, load::kCloseTray); }
void AVC_PlayNextFrame(REALobject o) { transport(o, tapeop::kPlay, play::kNextFrame); }
void AVC_PlayPreviousFrame(REALobject o) { transport(o, tapeop::kPlay, play::kPreviousFrame); }
void AVC_PlayForward(REALobject o) { transport(o, tapeop::kPlay, play::kForward); }
void AVC_PlayReverse(REALobject o) { transport(o, tapeop::kPlay, play::kReverse); }
void AVC_PlayForwardPause(REALobject o) { transport(o, tapeop::kPlay, play::kForwardPause); }
void AVC_PlayReversePause(REALobject o) { transport(o, tapeop::kPlay, play::kReversePause); }
void AVC_PlayForwardSpeed(REALobject o, RBInteger speed) {
    transport(o, tapeop::kPlay, speedOperand(play::kForwardX1, speed));
}
void AVC_PlayReverseSpeed(REALobject o, RBInteger speed) {
    transport(o, tapeop::kPlay, speedOperand(play::kReverseX1, speed));
}
void AVC_RecordRecord(REALobject o) { transport(o, tapeop::kRecord, record::kRecord); }
void AVC_RecordPause(REALobject o) { transport(o, tapeop::kRecord, record::kPause); }
void AVC_WindHighSpeedRewind(REALobject o) { transport(o, tapeop::kWind, wind::kHighSpeedRewind); }
void AVC_WindStop(REALobject o) { transport(o, tapeop::kWind, wind::kStop); }
void AVC_WindRewind(REALobject o) { transport(o, tapeop::kWind, wind::kRewind); }
void AVC_WindFastForward(REALobject o) { transport(o, tapeop::kWind, wind::kFastForward); }

// Each state query answers from the transport mode its member watches.
RBBoolean AVC_vcr_is_playing(REALobject o, intptr_t) {
    return transportState(o, tapeop::kPlay, &AVCData::PlayState, play::kForward, play::kForward);
}
RBBoolean AVC_vcr_is_recording(REALobject o, intptr_t) {
    return transportState(o, tapeop::kRecord, &AVCData::RecordState, record::kRecord, record::kRecord);
}
RBBoolean AVC_vcr_is_winding(REALobject o, intptr_t) {
    return transportState(o, tapeop::kWind, &AVCData::WindState, wind::kFastForward, wind::kRewind);
}
// A loading medium reports the forward operand (0x75) in the load mode.
RBBoolean AVC_vcr_is_loading_medium(REALobject o, intptr_t) {
    return transportState(o, tapeop::kLoadMedium, &AVCData::LoadState, play::kForward, play::kForward);
}

// The time code, the counter and the recording date, speed and time are all
// STATUS queries, answered in bytes 4 to 7.
REALstring AVC_vcr_get_timecode(REALobject o, intptr_t) { return timeQuery(o, ctype::kStatus, tapeop::kTimeCode); }
REALstring AVC_vcr_get_timecounter(REALobject o, intptr_t) {
    return timeQuery(o, ctype::kStatus, tapeop::kRelativeTimeCounter);
}
REALstring AVC_vcr_getRecordingDate(REALobject o, intptr_t) {
    return timeQuery(o, ctype::kStatus, tapeop::kRecordingDate);
}
REALstring AVC_vcr_getRecordingSpeed(REALobject o, intptr_t) {
    return timeQuery(o, ctype::kStatus, tapeop::kRecordingSpeed);
}
REALstring AVC_vcr_getRecordingTime(REALobject o, intptr_t) {
    return timeQuery(o, ctype::kStatus, tapeop::kRecordingTime);
}
// The setters move the tape to a time code (a search) and preset the
// counter: CONTROL commands, so the deck acts on them.
void AVC_vcr_seek_timecode(REALobject o, intptr_t, REALstring text) {
    timeSetter(o, ctype::kControl, tapeop::kTimeCode, text, false);
}
void AVC_vcr_seek_timecounter(REALobject o, intptr_t, REALstring text) {
    timeSetter(o, ctype::kControl, tapeop::kRelativeTimeCounter, text, true);
}

// ---- idle timer ------------------------------------------------------------------------

EventLoopTimerRef SetTimerAVC(EventLoopTimerRef *slot, RBInteger delay, RBInteger interval, void *userData,
                              EventLoopIdleTimerProcPtr proc) {
    if (*slot) {
        RemoveEventLoopTimer(*slot);
        *slot = nullptr;
    }
    EventLoopIdleTimerUPP upp = NewEventLoopIdleTimerUPP(proc);
    EventLoopTimerRef timer = nullptr;
    InstallEventLoopIdleTimer(GetCurrentEventLoop(), delay * 0.001, interval * 0.001, upp, userData, &timer);
    *slot = timer;
    return timer;
}

void BackgroundTimerProc(EventLoopTimerRef, EventLoopIdleTimerMessage message, void *data) {
    auto *d = static_cast<AVCData *>(data);
    int position = message == kEventLoopIdleTimerStarted   ? 1
                   : message == kEventLoopIdleTimerIdling  ? 0
                   : message == kEventLoopIdleTimerStopped ? 2
                                                           : -1;
    if (position < 0 || !d || !d->owner) return;
    auto handler =
        reinterpret_cast<void (*)(REALobject)>(plugin::eventInstance(d->owner, AVCClass.events[position].forSystemUse));
    if (handler) handler(d->owner);
}

void AVC_SetBundleTimer(REALobject obj, RBInteger delay, RBInteger duration) {
    AVCData *d = AVC_Data(obj);
    using Fn = EventLoopTimerRef (*)(EventLoopTimerRef *, RBInteger, RBInteger, void *, EventLoopIdleTimerProcPtr);
    if (d->bundleLoaded == 1) {
        d->lastError = -50;
        auto fn = reinterpret_cast<Fn>(avc::bundleFunction(d->bundle, "SetTimerAVC"));
        if (!fn) return;
        d->lastError = 0;
        fn(&d->idleTimer, delay, duration, d, &BackgroundTimerProc);
        return;
    }
    SetTimerAVC(&d->idleTimer, delay, duration, d, &BackgroundTimerProc);
    d->lastError = 0;
}

}  // extern "C"
