// The simulated decks' state. Internal to libfirewire.
#pragma once

#include "fw/AVCFrame.h"
#include "fw/FWSim.h"
#include "IOKit/IOKit.h"
#include "unit.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <vector>

namespace fw::sim {

constexpr int kFps = 30;
constexpr int64_t kSub = 840;                      // sub-frame steps per frame (lcm 1..8)
constexpr int64_t kTapeFrames = 3600LL * kFps;     // one hour
constexpr int64_t kIndexFrames = 5 * 60LL * kFps;  // index marks every 5 minutes
constexpr uint8_t kCompany[3] = {0x00, 0x12, 0x34};

struct Deck : Unit {
    int id = 0;
    bool onBus = true;  // false: published nowhere, reached by fwsim_fcp

    // faults
    FwSimFault fault = FWSIM_OK;
    int faultParam = 0;
    int delayMs = 0;
    std::bitset<256> reject, notimpl, interim;

    // transport
    bool tape = true;
    uint8_t mode = avcframe::tapeop::kWind, state = avcframe::wind::kStop;  // stopped
    int64_t anchorPos = 0;                                                  // in sub-frames
    uint64_t anchorNs = 0;
    int rateNum = 0, rateDen = 1;  // tape frames per real frame
    int64_t counterOffset = 0;     // frames

    // inspection
    std::vector<uint8_t> lastCommand;
    uint32_t commands = 0, interims = 0;

    bool refuses(Step step) const override;
    IOReturn exchange(const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) override;
};

uint64_t now_ns();
std::shared_ptr<Deck> find_deck(int id);
// Fills the simulated bus: $TAVRIN_AVC_UNITS decks (1 when unset).
void populate();
// Removes the decks on the bus, and with `offBusToo` the others, without
// messages.
void clear(bool offBusToo);

// Advances the tape to `now` (stopping at the ends) and returns the
// position in frames.
int64_t update(Deck &d, uint64_t now);
// The deck's answer to one frame; sets `interim` when an INTERIM came first.
std::vector<uint8_t> respond(Deck &d, const uint8_t *cmd, uint32_t len, bool &interim);

// The registry's failure seams (fwsim_set_seam).
int32_t seam(FwSimSeam s);

}  // namespace fw::sim
