// The simulated decks' state and the calls between the I/O registry
// (iokit.cpp) and the decks (simavc.cpp). Internal to libfwplatform.
#pragma once

#include "fw/AVCFrame.h"
#include "fw/FWSim.h"
#include "fw/IOKit.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw::sim {

constexpr int kFps = 30;
constexpr int64_t kSub = 840;                        // sub-frame steps per frame (lcm 1..8)
constexpr int64_t kTapeFrames = 3600LL * kFps;       // one hour
constexpr int64_t kIndexFrames = 5 * 60LL * kFps;    // index marks every 5 minutes
constexpr uint8_t kCompany[3] = {0x00, 0x12, 0x34};

struct Deck {
    int id = 0;
    uint32_t specId = 0, swVersion = 0;
    io_object_t deviceService = 0, unitService = 0;
    bool gone = false;
    void *openedBy = nullptr;      // the unit interface that has it open

    // faults
    FwSimFault fault = FWSIM_OK;
    int faultParam = 0;
    int delayMs = 0;
    std::bitset<256> reject, notimpl, interim;

    // transport
    bool tape = true;
    uint8_t mode = avcframe::tapeop::kWind, state = avcframe::wind::kStop;   // stopped
    int64_t anchorPos = 0;         // in sub-frames
    uint64_t anchorNs = 0;
    int rateNum = 0, rateDen = 1;  // tape frames per real frame
    int64_t counterOffset = 0;     // frames

    // inspection
    std::vector<uint8_t> lastCommand;
    uint32_t commands = 0, interims = 0;
};

uint64_t now_ns();
int timeout_ms();
std::shared_ptr<Deck> find_deck(int id);
void ensure_bus();

// Advances the tape to `now` (stopping at the ends) and returns the
// position in frames.
int64_t update(Deck &d, uint64_t now);
// The deck's answer to one frame; sets `interim` when an INTERIM came first.
std::vector<uint8_t> respond(Deck &d, const uint8_t *cmd, uint32_t len, bool &interim);

// Registry side (iokit.cpp).
void publish(Deck &d);                 // creates and announces its services
void terminate(Deck &d, bool notify);  // announces and drops them
void message(io_object_t service, uint32_t type, void *arg);
int32_t seam(FwSimSeam s);

}  // namespace fw::sim
