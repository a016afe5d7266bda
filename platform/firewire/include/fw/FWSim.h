// The simulated FireWire bus and its AV/C tape decks.
//
// When the start-up choice (fw/FWBus.h) makes it the bus, it holds
// $TAVRIN_AVC_UNITS decks (0, 1 or more; 1 when unset). Tests reset it with
// fwsim_reset, which also makes it the bus. Each deck publishes an
// "IOFireWireDevice" and an "IOFireWireAVCUnit" service and answers AV/C
// frames like a DV tape deck:
//
// Unit (subunit byte 0xFF), STATUS (0x01):
//   0x30 UNIT INFO       -> 0C FF 30 07 20 <company id: 3 bytes>
//   0x31 SUBUNIT INFO    -> 0C FF 31 <page/ext> 20 FF FF FF (one tape subunit)
//   0x18 OUTPUT PLUG SIGNAL FORMAT, plug 0 or 0xFF
//                        -> 0C FF 18 <plug> 80 00 FF FF (DVCR, SD 525-60)
//   0x00 VENDOR DEPENDENT with the deck's company id -> 0C echo; another
//        company id -> 08 NOT IMPLEMENTED
// Tape subunit (0x20), CONTROL (0x00) -> 09 ACCEPTED, 0A REJECTED (no tape,
// bad operand, bad time code):
//   0xC3 PLAY 30 next frame, 40 previous frame, 31..37 slow forward (1/8..1/2),
//        38 forward x1, 39..3F fast forward (x2..x8), 41..47 / 48 / 49..4F the
//        same in reverse, 75 forward, 65 reverse, 7D forward pause, 6D reverse pause
//   0xC2 RECORD 75 record, 7D record pause
//   0xC4 WIND 45 high-speed rewind (x-60), 60 stop, 65 rewind (x-20),
//        75 fast forward (x20)
//   0xC1 LOAD MEDIUM 60 eject, 31 open tray (also ejects), 32 close tray
//        (loads a tape, stopped at its start)
//   0x55 / 0x56 FORWARD / BACKWARD INDEX (index marks every 5 minutes; stops)
//   0x51 TIME CODE 20 ff ss mm hh: seek there (INTERIM, then ACCEPTED; stops)
//   0x57 RELATIVE TIME COUNTER 20 ff ss mm hh: preset the counter
// Tape subunit, STATUS (0x01) -> 0C STABLE:
//   0xD0 TRANSPORT STATE 7F -> 0C 20 <mode C1/C2/C3/C4> <state>
//   0x51 TIME CODE 71, 0x57 RELATIVE TIME COUNTER 71
//        -> 0C 20 op 71 ff ss mm hh (two BCD digits each)
//   0x53 RECORDING DATE 71 -> bytes 4..7 = day, month, year (2 digits), century
//   0x54 RECORDING TIME 71 -> bytes 4..7 = frames, seconds, minutes, hours
//   0xDB RECORDING SPEED 71 -> byte 4 = 0x01 (standard play), bytes 5..7 = 0
//   without a tape the time queries are REJECTED
// GENERAL or SPECIFIC INQUIRY (0x02, 0x04) of a known opcode -> 0C with the
// frame echoed; anything else -> 08 NOT IMPLEMENTED.
//
// Transport states (mode, state): stop C4 60; winding C4 75/65/45; play C3
// with the PLAY operand (75 forward x1, 7D pause, ...); record C2 75 / 7D;
// no tape C1 60.
//
// The tape is one hour long at 30 frames per second (non-drop time code);
// the position moves in real time by the platform's clock (fw_clock_ns in
// CoreFoundation/CoreFoundation.h: the runtime's once it has started), and
// playing or winding stops at either end of the tape. A deck's waits (its
// response delay, a command's time-out) are waits on that clock.
#pragma once

#include <cstdint>

extern "C" {

// ---- the bus ------------------------------------------------------------------------
// Makes the simulated bus the registry's bus (a Linux bus leaves, its units
// without messages), removes every deck (without messages), restores default
// faults and time-out, then adds `units` decks. Does not end notifications.
void fwsim_reset(int units);
// Publishes a new deck (matching notifications fire); returns its id (>0).
// specId/swVersion: the AV/C unit's "Unit_Spec_ID" / "Unit_SW_Vers"
// (0xA02D / 0x10001 match the deck-control plug-in).
int fwsim_add_unit(uint32_t specId, uint32_t swVersion);
int fwsim_add_default_unit();
// Terminates a deck: ServiceIsTerminated to its interest notifications,
// terminated-matching notifications, then it leaves the registry. Open
// interfaces on it answer kIOReturnNoDevice from then on.
void fwsim_remove_unit(int id);
int fwsim_unit_count();
int fwsim_unit_id(int index);  // by publication order; 0 when none

// ---- decks on no bus ------------------------------------------------------------------
// A deck that publishes nothing (fwsim_unit_count does not count it): a
// transport of the tests puts it behind a node of another bus. The fault,
// opcode and inspection functions work on it as on any deck.
int fwsim_add_offbus_unit();
// The deck's FCP handler, on or off the bus: its final answer to one frame,
// without the waiting of an AV/C command. Returns the response length
// (copied to `response`, at most `capacity` bytes), 0 when no final answer
// comes (the time-out faults, or INTERIM forever) and -1 when the deck is
// not there (unknown, removed, or gone mid-command) or the frame is shorter
// than 3 bytes. *interims := the INTERIM answers given first.
int fwsim_fcp(int id, const uint8_t *frame, uint32_t len, uint8_t *response, uint32_t capacity, int *interims);
// Sends a message to every interest notification on the deck's services.
void fwsim_send_message(int id, uint32_t messageType, void *argument);
// Bus reset: ServiceIsSuspended then ServiceIsResumed to every deck.
void fwsim_bus_reset();

// ---- faults (per deck) ---------------------------------------------------------------
enum FwSimFault {
    FWSIM_OK = 0,
    FWSIM_REFUSE_PLUGIN,     // IOCreatePlugInInterfaceForService fails
    FWSIM_REFUSE_INTERFACE,  // QueryInterface for the AV/C unit interface fails
    FWSIM_REFUSE_OPEN,       // open answers kIOReturnExclusiveAccess
    FWSIM_TIMEOUT,           // no answer: the command waits out the time-out
    FWSIM_INTERIM_FOREVER,   // INTERIM, then nothing: time-out
    FWSIM_SHORT,             // success, but only `param` bytes of the response
    FWSIM_GARBAGE,           // success, `param` bytes (all when 0) of noise
    FWSIM_GONE_MID_COMMAND,  // the deck vanishes during the exchange
};
// Sets the deck's fault (one at a time; FWSIM_OK clears it).
void fwsim_set_fault(int id, FwSimFault fault, int param);
// Answer REJECTED / NOT IMPLEMENTED / INTERIM-then-final for an opcode
// (any subunit); on = 0 restores the normal answer.
void fwsim_reject_opcode(int id, uint8_t opcode, int on);
void fwsim_notimpl_opcode(int id, uint8_t opcode, int on);
void fwsim_interim_opcode(int id, uint8_t opcode, int on);
// Extra time the deck takes to answer (below the time-out it just delays).
void fwsim_set_response_delay_ms(int id, int ms);
// The AV/C command time-out of every unit interface (default 500 ms).
void fwsim_set_timeout_ms(int ms);

// ---- platform seams ----------------------------------------------------------------
enum FwSimSeam {
    FWSIM_SEAM_MASTER_PORT,   // IOMasterPort
    FWSIM_SEAM_NOTIFY_PORT,   // IONotificationPortCreate returns 0
    FWSIM_SEAM_ADD_MATCHING,  // IOServiceAddMatchingNotification
    FWSIM_SEAM_ADD_INTEREST,  // IOServiceAddInterestNotification
    FWSIM_SEAM_COUNT
};
// A non-zero status makes the call fail with it; 0 restores it.
void fwsim_set_seam(FwSimSeam seam, int32_t status);

// ---- inspection ----------------------------------------------------------------------
// The last frame the deck received; returns its length (0 when none).
uint32_t fwsim_last_command(int id, uint8_t *out, uint32_t capacity);
uint32_t fwsim_command_count(int id);  // frames received
uint32_t fwsim_interim_count(int id);  // INTERIM answers given
// Transport mode and state as TRANSPORT STATE reports them.
void fwsim_transport(int id, uint8_t *mode, uint8_t *state);
// Tape position in frames (from the start of the tape), read at the clock now.
int64_t fwsim_position(int id);
void fwsim_set_position(int id, int64_t frames);
int fwsim_is_open(int id);
int fwsim_has_tape(int id);

}  // extern "C"
