// The deck-control members of `AVC` (host-facing functions), the idle timer
// and the time text parser.
#pragma once

#include <rb/plugin.h>

#include <Carbon/Carbon.h>

#include <cstddef>
#include <cstdint>

bool parseTimeText(const char *bytes, size_t length, uint8_t out[4]);

extern "C" {
void AVC_ForwardIndex(REALobject);
void AVC_BackwardIndex(REALobject);
void AVC_MediumEject(REALobject);
void AVC_MediumOpenTray(REALobject);
void AVC_MediumCloseTray(REALobject);
void AVC_PlayNextFrame(REALobject);
void AVC_PlayPreviousFrame(REALobject);
void AVC_PlayForward(REALobject);
void AVC_PlayReverse(REALobject);
void AVC_PlayForwardPause(REALobject);
void AVC_PlayReversePause(REALobject);
void AVC_PlayForwardSpeed(REALobject, RBInteger speed);
void AVC_PlayReverseSpeed(REALobject, RBInteger speed);
void AVC_RecordRecord(REALobject);
void AVC_RecordPause(REALobject);
void AVC_WindHighSpeedRewind(REALobject);
void AVC_WindStop(REALobject);
void AVC_WindRewind(REALobject);
void AVC_WindFastForward(REALobject);
RBBoolean AVC_vcr_is_playing(REALobject, intptr_t);
RBBoolean AVC_vcr_is_recording(REALobject, intptr_t);
RBBoolean AVC_vcr_is_winding(REALobject, intptr_t);
RBBoolean AVC_vcr_is_loading_medium(REALobject, intptr_t);
REALstring AVC_vcr_get_timecode(REALobject, intptr_t);
REALstring AVC_vcr_get_timecounter(REALobject, intptr_t);
REALstring AVC_vcr_getRecordingDate(REALobject, intptr_t);
REALstring AVC_vcr_getRecordingSpeed(REALobject, intptr_t);
REALstring AVC_vcr_getRecordingTime(REALobject, intptr_t);
void AVC_vcr_seek_timecode(REALobject, intptr_t, REALstring);
void AVC_vcr_seek_timecounter(REALobject, intptr_t, REALstring);
EventLoopTimerRef SetTimerAVC(EventLoopTimerRef *slot, RBInteger delay, RBInteger interval, void *userData,
                              EventLoopIdleTimerProcPtr proc);
void BackgroundTimerProc(EventLoopTimerRef timer, EventLoopIdleTimerMessage message, void *data);
void AVC_SetBundleTimer(REALobject, RBInteger delay, RBInteger duration);
}
