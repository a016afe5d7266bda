// The bytes of AV/C frames as named constants: command types and response
// codes (byte 0), subunit addresses (byte 1), the opcodes of the unit and of
// the tape recorder/player subunit (byte 2) and their operands (byte 3 on);
// and the unit directory values that mark an AV/C unit. Shared by the
// simulated decks here and by the code that talks to a unit.
#pragma once

#include <cstdint>

namespace avcframe {

// Byte 0 of a command.
namespace ctype {
constexpr uint8_t kControl = 0x00;
constexpr uint8_t kStatus = 0x01;
constexpr uint8_t kSpecificInquiry = 0x02;
constexpr uint8_t kNotify = 0x03;
constexpr uint8_t kGeneralInquiry = 0x04;
}  // namespace ctype

// Byte 0 of a response, its low four bits.
namespace response {
constexpr uint8_t kNotImplemented = 0x08;
constexpr uint8_t kAccepted = 0x09;
constexpr uint8_t kRejected = 0x0A;
constexpr uint8_t kInTransition = 0x0B;
constexpr uint8_t kStable = 0x0C;  // IMPLEMENTED/STABLE
constexpr uint8_t kChanged = 0x0D;
constexpr uint8_t kInterim = 0x0F;
constexpr uint8_t kMask = 0x0F;
}  // namespace response

// Byte 1: subunit type (upper five bits) and id (lower three).
namespace subunit {
constexpr uint8_t kUnit = 0xFF;  // the unit itself
constexpr uint8_t kTape = 0x20;  // tape recorder/player (type 4), id 0
}  // namespace subunit

// A byte that carries nothing (unused operands, padding past the length).
constexpr uint8_t kNone = 0xFF;

// Opcodes of the unit (subunit byte kUnit).
namespace unitop {
constexpr uint8_t kVendorDependent = 0x00;
constexpr uint8_t kOutputPlugSignalFormat = 0x18;
constexpr uint8_t kUnitInfo = 0x30;
constexpr uint8_t kSubunitInfo = 0x31;
}  // namespace unitop

// Opcodes of the tape recorder/player subunit. A transport state answer
// carries a transport opcode as the mode (byte 2) and one of its operands as
// the state (byte 3).
namespace tapeop {
constexpr uint8_t kTimeCode = 0x51;
constexpr uint8_t kRecordingDate = 0x53;
constexpr uint8_t kRecordingTime = 0x54;
constexpr uint8_t kForwardIndex = 0x55;
constexpr uint8_t kBackwardIndex = 0x56;
constexpr uint8_t kRelativeTimeCounter = 0x57;
constexpr uint8_t kLoadMedium = 0xC1;
constexpr uint8_t kRecord = 0xC2;
constexpr uint8_t kPlay = 0xC3;
constexpr uint8_t kWind = 0xC4;
constexpr uint8_t kTransportState = 0xD0;
constexpr uint8_t kRecordingSpeed = 0xDB;
}  // namespace tapeop

// Operands of kLoadMedium.
namespace load {
constexpr uint8_t kOpenTray = 0x31;
constexpr uint8_t kCloseTray = 0x32;
constexpr uint8_t kEject = 0x60;
}  // namespace load

// Operands of kPlay. kForwardX1 + s and kReverseX1 + s (s from -7 to 7) play
// at a speed: 1/8 to x1 below, x2 to x8 above.
namespace play {
constexpr uint8_t kNextFrame = 0x30;
constexpr uint8_t kForwardX1 = 0x38;
constexpr uint8_t kPreviousFrame = 0x40;
constexpr uint8_t kReverseX1 = 0x48;
constexpr uint8_t kReverse = 0x65;
constexpr uint8_t kReversePause = 0x6D;
constexpr uint8_t kForward = 0x75;
constexpr uint8_t kForwardPause = 0x7D;
constexpr int kMaxSpeedStep = 7;
}  // namespace play

// Operands of kRecord.
namespace record {
constexpr uint8_t kRecord = 0x75;
constexpr uint8_t kPause = 0x7D;
}  // namespace record

// Operands of kWind.
namespace wind {
constexpr uint8_t kHighSpeedRewind = 0x45;
constexpr uint8_t kStop = 0x60;
constexpr uint8_t kRewind = 0x65;
constexpr uint8_t kFastForward = 0x75;
}  // namespace wind

// Other operands (byte 3).
namespace operand {
constexpr uint8_t kIndexOne = 0x04;        // kForwardIndex, kBackwardIndex: one index mark
constexpr uint8_t kTimeSet = 0x20;         // kTimeCode (search), kRelativeTimeCounter (preset)
constexpr uint8_t kTimeQuery = 0x71;       // time, date and speed STATUS queries
constexpr uint8_t kTransportQuery = 0x7F;  // kTransportState STATUS
}  // namespace operand

// What an AV/C unit's unit directory holds, matched when looking for one.
constexpr int32_t kUnitSpecId = 0xA02D;
constexpr int32_t kUnitSwVersion = 0x10001;

}  // namespace avcframe
