// The simulated bus and its AV/C tape decks: transport model, time code and
// the answers to AV/C frames.
#include "bus.h"
#include "sim.h"

#include "fw/AVCFrame.h"

#include <CoreFoundation/CoreFoundation.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace fw::sim {
namespace {

// By id (ids grow with publication); never destroyed.
std::map<int, std::shared_ptr<Deck>> &g_decks = *new std::map<int, std::shared_ptr<Deck>>;
int g_next_id = 1;
int g_timeout_ms = 500;
int32_t g_seams[FWSIM_SEAM_COUNT] = {};

using namespace avcframe;
using ctype::kControl, ctype::kStatus, ctype::kSpecificInquiry, ctype::kGeneralInquiry;
using response::kNotImplemented, response::kAccepted, response::kRejected, response::kStable;
using subunit::kUnit, subunit::kTape;

// The output plug's signal format: DVCR, SD 525-60.
constexpr uint8_t kFormatDVCR = 0x80, kFormatSD525_60 = 0x00;

uint8_t bcd(int v) { return uint8_t(((v / 10) << 4) | (v % 10)); }
int from_bcd(uint8_t b, int limit) {
    int hi = b >> 4, lo = b & 15;
    if (hi > 9 || lo > 9) return -1;
    int v = hi * 10 + lo;
    return v < limit ? v : -1;
}

// Writes frames as ff ss mm hh at r[4..7].
void put_time(std::vector<uint8_t> &r, int64_t frames) {
    frames %= 24LL * 3600 * kFps;
    if (frames < 0) frames += 24LL * 3600 * kFps;
    r.resize(std::max<size_t>(r.size(), 8));
    r[4] = bcd(int(frames % kFps));
    r[5] = bcd(int(frames / kFps % 60));
    r[6] = bcd(int(frames / (kFps * 60) % 60));
    r[7] = bcd(int(frames / (kFps * 3600)));
}

// ff ss mm hh at c[4..7] in frames, or -1 when not a valid time code.
int64_t get_time(const uint8_t *c, uint32_t len) {
    if (len < 8) return -1;
    int ff = from_bcd(c[4], kFps), ss = from_bcd(c[5], 60), mm = from_bcd(c[6], 60), hh = from_bcd(c[7], 24);
    if (ff < 0 || ss < 0 || mm < 0 || hh < 0) return -1;
    return ((int64_t(hh) * 60 + mm) * 60 + ss) * kFps + ff;
}

void set_motion(Deck &d, uint8_t mode, uint8_t state, int num, int den) {
    uint64_t now = now_ns();
    update(d, now);
    d.mode = mode;
    d.state = state;
    d.rateNum = num;
    d.rateDen = den;
    d.anchorNs = now;
}

void move_to(Deck &d, int64_t frames, uint8_t mode, uint8_t state) {
    set_motion(d, mode, state, 0, 1);
    d.anchorPos = std::clamp<int64_t>(frames, 0, kTapeFrames) * kSub;
}

void stop(Deck &d) { set_motion(d, tapeop::kWind, wind::kStop, 0, 1); }

// PLAY operands: the speed as a fraction of x1 (false when unknown).
bool play_rate(uint8_t op, int &num, int &den) {
    const int steps = play::kMaxSpeedStep;
    int sign = 1;
    uint8_t base = play::kForwardX1;
    if (op >= play::kReverseX1 - steps && op <= play::kReverseX1 + steps) {
        sign = -1;
        base = play::kReverseX1;
    } else if (!(op >= play::kForwardX1 - steps && op <= play::kForwardX1 + steps)) return false;
    int n = int(op) - base;
    if (n < 0) {
        num = sign;
        den = 1 - n;
    }  // slow: 1/2 .. 1/8
    else {
        num = sign * (n + 1);
        den = 1;
    }  // x1, fast: x2 .. x8
    return true;
}

// The answer of a tape-subunit CONTROL frame (ACCEPTED/REJECTED/NOT IMPLEMENTED).
uint8_t tape_control(Deck &d, const uint8_t *c, uint32_t len, bool &interim) {
    uint8_t op = c[2];
    if (len < 4) return kRejected;
    uint8_t arg = c[3];
    if (op == tapeop::kLoadMedium) {
        if (arg == load::kEject || arg == load::kOpenTray) {
            move_to(d, 0, tapeop::kLoadMedium, load::kEject);
            d.tape = false;
            return kAccepted;
        }
        if (arg == load::kCloseTray) {
            if (!d.tape) {
                d.tape = true;
                move_to(d, 0, tapeop::kWind, wind::kStop);
            }
            return kAccepted;
        }
        return kRejected;
    }
    if (!d.tape) return kRejected;
    int64_t pos = update(d, now_ns());
    int num, den;
    switch (op) {
        case tapeop::kPlay:
            if (arg == play::kNextFrame) {
                move_to(d, pos + 1, tapeop::kPlay, play::kForwardPause);
                return kAccepted;
            }
            if (arg == play::kPreviousFrame) {
                move_to(d, pos - 1, tapeop::kPlay, play::kReversePause);
                return kAccepted;
            }
            if (arg == play::kForward) {
                set_motion(d, tapeop::kPlay, arg, 1, 1);
                return kAccepted;
            }
            if (arg == play::kReverse) {
                set_motion(d, tapeop::kPlay, arg, -1, 1);
                return kAccepted;
            }
            if (arg == play::kForwardPause || arg == play::kReversePause) {
                set_motion(d, tapeop::kPlay, arg, 0, 1);
                return kAccepted;
            }
            if (play_rate(arg, num, den)) {
                set_motion(d, tapeop::kPlay, arg, num, den);
                return kAccepted;
            }
            return kRejected;
        case tapeop::kRecord:
            if (arg == record::kRecord) {
                set_motion(d, tapeop::kRecord, arg, 1, 1);
                return kAccepted;
            }
            if (arg == record::kPause) {
                set_motion(d, tapeop::kRecord, arg, 0, 1);
                return kAccepted;
            }
            return kRejected;
        case tapeop::kWind:
            if (arg == wind::kStop) {
                stop(d);
                return kAccepted;
            }
            if (arg == wind::kFastForward) {
                set_motion(d, tapeop::kWind, arg, 20, 1);
                return kAccepted;
            }
            if (arg == wind::kRewind) {
                set_motion(d, tapeop::kWind, arg, -20, 1);
                return kAccepted;
            }
            if (arg == wind::kHighSpeedRewind) {
                set_motion(d, tapeop::kWind, arg, -60, 1);
                return kAccepted;
            }
            return kRejected;
        case tapeop::kForwardIndex:  // the next mark
            move_to(d, std::min(kTapeFrames, (pos / kIndexFrames + 1) * kIndexFrames), tapeop::kWind, wind::kStop);
            return kAccepted;
        case tapeop::kBackwardIndex:  // the previous mark
            move_to(d, pos <= 0 ? 0 : (pos - 1) / kIndexFrames * kIndexFrames, tapeop::kWind, wind::kStop);
            return kAccepted;
        case tapeop::kTimeCode: {  // search
            int64_t t = get_time(c, len);
            if (arg != operand::kTimeSet || t < 0 || t > kTapeFrames) return kRejected;
            interim = true;  // the search reports INTERIM until the tape is there
            move_to(d, t, tapeop::kWind, wind::kStop);
            return kAccepted;
        }
        case tapeop::kRelativeTimeCounter: {  // preset
            int64_t t = get_time(c, len);
            if (arg != operand::kTimeSet || t < 0) return kRejected;
            d.counterOffset = pos - t;
            return kAccepted;
        }
        default:
            return kNotImplemented;
    }
}

// Fills a tape-subunit STATUS answer into r (a copy of the frame).
uint8_t tape_status(Deck &d, std::vector<uint8_t> &r, uint32_t len) {
    uint8_t op = r[2];
    if (len < 4) return kRejected;
    uint8_t arg = r[3];
    int64_t pos = update(d, now_ns());
    if (op == tapeop::kTransportState) {
        if (arg != operand::kTransportQuery) return kRejected;
        r.resize(4);
        r[2] = d.mode;
        r[3] = d.state;
        return kStable;
    }
    if (op != tapeop::kTimeCode && op != tapeop::kRelativeTimeCounter && op != tapeop::kRecordingDate &&
        op != tapeop::kRecordingTime && op != tapeop::kRecordingSpeed)
        return kNotImplemented;
    if (arg != operand::kTimeQuery) return kRejected;
    if (!d.tape) return kRejected;
    r.resize(8);
    switch (op) {
        case tapeop::kTimeCode:
            put_time(r, pos);
            break;
        case tapeop::kRelativeTimeCounter:
            put_time(r, pos - d.counterOffset);
            break;
        case tapeop::kRecordingDate:
            r[4] = 0x15;
            r[5] = 0x03;
            r[6] = 0x07;
            r[7] = 0x20;
            break;  // 15 March 2007
        case tapeop::kRecordingTime:
            r[4] = 0x00;
            r[5] = 0x00;
            r[6] = 0x30;
            r[7] = 0x14;
            break;  // 14:30:00:00
        case tapeop::kRecordingSpeed:
            r[4] = 0x01;
            r[5] = r[6] = r[7] = 0x00;
            break;  // standard play
    }
    return kStable;
}

uint8_t unit_status(const Deck &d, std::vector<uint8_t> &r, uint32_t len) {
    (void)d;
    uint8_t op = r[2];
    r.resize(std::max<size_t>(r.size(), 8));
    switch (op) {
        case unitop::kUnitInfo:
            r[3] = 0x07;
            r[4] = kTape;  // a tape recorder/player unit, unit 0
            std::memcpy(&r[5], kCompany, 3);
            return kStable;
        case unitop::kSubunitInfo: {
            if (len < 4) return kRejected;
            bool page0 = ((r[3] >> 4) & 7) == 0;
            r[4] = page0 ? kTape : kNone;
            r[5] = r[6] = r[7] = kNone;
            return kStable;
        }
        case unitop::kOutputPlugSignalFormat:  // of plug 0, or any (0xFF)
            if (len < 4 || (r[3] != 0x00 && r[3] != 0xFF)) return kRejected;
            r[4] = kFormatDVCR;
            r[5] = kFormatSD525_60;
            r[6] = r[7] = kNone;
            return kStable;
        case unitop::kVendorDependent:
            return len >= 6 && std::memcmp(&r[3], kCompany, 3) == 0 ? kStable : kNotImplemented;
        default:
            return kNotImplemented;
    }
}

bool known(uint8_t subunit, uint8_t op) {
    static const uint8_t unitOps[] = {unitop::kUnitInfo, unitop::kSubunitInfo, unitop::kOutputPlugSignalFormat,
                                      unitop::kVendorDependent};
    static const uint8_t tapeOps[] = {
        tapeop::kLoadMedium,     tapeop::kRecord,        tapeop::kPlay,          tapeop::kWind,
        tapeop::kForwardIndex,   tapeop::kBackwardIndex, tapeop::kTimeCode,      tapeop::kRelativeTimeCounter,
        tapeop::kTransportState, tapeop::kRecordingDate, tapeop::kRecordingTime, tapeop::kRecordingSpeed};
    if (subunit == kUnit) return std::find(std::begin(unitOps), std::end(unitOps), op) != std::end(unitOps);
    if (subunit == kTape) return std::find(std::begin(tapeOps), std::end(tapeOps), op) != std::end(tapeOps);
    return false;
}

// A deck waits (its response delay, a command's time-out) on the
// platform's clock.
void sleep_ms(int ms) { fw_clock_wait(ms); }

enum class Outcome { Answered, Silent, Gone };

// The deck's part of one exchange, without the waiting: it takes the frame,
// then gives its final answer in r (shaped by the response faults), or none
// (a deck that is `late`, or the time-out faults), or it leaves the bus.
Outcome answer(Deck &d, const uint8_t *c, uint32_t len, size_t room, bool late, std::vector<uint8_t> &r) {
    d.lastCommand.assign(c, c + len);
    ++d.commands;
    if (d.fault == FWSIM_TIMEOUT) return Outcome::Silent;
    if (d.fault == FWSIM_GONE_MID_COMMAND) {
        fwsim_remove_unit(d.id);
        return Outcome::Gone;
    }
    if (late) return Outcome::Silent;
    bool interim = false;
    r = respond(d, c, len, interim);
    if (interim) ++d.interims;
    if (d.fault == FWSIM_INTERIM_FOREVER) {
        ++d.interims;
        return Outcome::Silent;
    }
    if (d.fault == FWSIM_SHORT) r.resize(std::min<size_t>(r.size(), size_t(std::max(0, d.faultParam))));
    if (d.fault == FWSIM_GARBAGE) {
        size_t n = d.faultParam > 0 ? size_t(d.faultParam) : room;
        r.assign(std::min<size_t>(n, 512), 0);
        uint32_t x = 0x9E3779B9u ^ d.commands;
        for (auto &b : r) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = uint8_t(x);
        }
    }
    return Outcome::Answered;
}

}  // namespace

bool Deck::refuses(Step step) const {
    switch (step) {
        case Step::PlugIn:
            return fault == FWSIM_REFUSE_PLUGIN;
        case Step::Interface:
            return fault == FWSIM_REFUSE_INTERFACE;
        case Step::Open:
            return fault == FWSIM_REFUSE_OPEN;
    }
    return false;
}

IOReturn Deck::exchange(const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) {
    const int limit = g_timeout_ms;
    const bool late = delayMs >= limit;
    // The deck takes its time before it acts, unless it never answers.
    const int before = fault == FWSIM_TIMEOUT || fault == FWSIM_GONE_MID_COMMAND || late ? 0 : delayMs;
    sleep_ms(before);
    std::vector<uint8_t> r;
    switch (answer(*this, command, cmdLen, *responseLen, late, r)) {
        case Outcome::Gone:
            *responseLen = 0;
            return kIOReturnNoDevice;
        case Outcome::Silent:
            sleep_ms(limit - before);
            *responseLen = 0;
            return kIOReturnTimeout;
        case Outcome::Answered:
            break;
    }
    UInt32 n = std::min<UInt32>(*responseLen, UInt32(r.size()));
    std::memcpy(response, r.data(), n);
    *responseLen = n;
    return kIOReturnSuccess;
}

uint64_t now_ns() { return fw_clock_ns(); }
int32_t seam(FwSimSeam s) { return s >= 0 && s < FWSIM_SEAM_COUNT ? g_seams[s] : 0; }

std::shared_ptr<Deck> find_deck(int id) {
    bus::ensure();
    auto it = g_decks.find(id);
    return it == g_decks.end() ? nullptr : it->second;
}

void clear(bool offBusToo) {
    for (auto it = g_decks.begin(); it != g_decks.end();) {
        if (it->second->onBus || offBusToo) {
            terminate(*it->second, false);
            it = g_decks.erase(it);
        } else {
            ++it;
        }
    }
}

void populate() {
    int units = 1;
    if (const char *env = std::getenv("TAVRIN_AVC_UNITS"); env && *env) units = std::clamp(std::atoi(env), 0, 16);
    for (int i = 0; i < units; ++i) fwsim_add_default_unit();
}

int64_t update(Deck &d, uint64_t now) {
    if (now > d.anchorNs && d.rateNum != 0) {
        // sub-frames = elapsed ns * 30 frames/s * kSub * rate / 1e9
        __int128 moved = __int128(now - d.anchorNs) * kFps * kSub * d.rateNum / d.rateDen / 1000000000;
        __int128 pos = d.anchorPos + moved;
        bool atEnd = (d.rateNum < 0 && pos <= 0) || (d.rateNum > 0 && pos >= __int128(kTapeFrames) * kSub);
        pos = std::clamp<__int128>(pos, 0, __int128(kTapeFrames) * kSub);
        if (atEnd) {  // the tape stops at either end
            d.mode = tapeop::kWind;
            d.state = wind::kStop;
            d.rateNum = 0;
            d.rateDen = 1;
            d.anchorPos = int64_t(pos);
            d.anchorNs = now;
        } else if (moved != 0) {
            // Re-anchor only by whole steps, so no time is lost to rounding.
            d.anchorPos = int64_t(pos);
            d.anchorNs += uint64_t(moved * 1000000000 * d.rateDen / (__int128(kFps) * kSub * d.rateNum));
        }
    } else if (d.rateNum == 0 || now < d.anchorNs) {
        d.anchorNs = std::max(d.anchorNs, now);
    }
    return d.anchorPos / kSub;
}

std::vector<uint8_t> respond(Deck &d, const uint8_t *c, uint32_t len, bool &interim) {
    std::vector<uint8_t> r(c, c + len);
    uint8_t ctype = c[0], subunit = c[1], op = c[2];
    interim = d.interim[op];
    uint8_t code;
    if (d.reject[op]) code = kRejected;
    else if (d.notimpl[op]) code = kNotImplemented;
    else if (!known(subunit, op)) code = kNotImplemented;
    else if (ctype == kGeneralInquiry || ctype == kSpecificInquiry) code = kStable;  // "implemented"
    else if (ctype == kControl && subunit == kTape) {
        bool searching = false;
        code = tape_control(d, c, len, searching);
        interim = interim || searching;
    } else if (ctype == kControl && subunit == kUnit && op == unitop::kVendorDependent) {
        code = len >= 6 && std::memcmp(c + 3, kCompany, 3) == 0 ? kAccepted : kNotImplemented;
    } else if (ctype == kStatus && subunit == kTape) code = tape_status(d, r, len);
    else if (ctype == kStatus && subunit == kUnit) code = unit_status(d, r, len);
    else code = kNotImplemented;
    r[0] = code;
    return r;
}

}  // namespace fw::sim

using namespace fw::sim;

extern "C" {

void fwsim_reset(int units) {
    fw::bus::use_sim();
    clear(true);
    g_timeout_ms = 500;
    for (auto &s : g_seams) s = 0;
    for (int i = 0; i < units; ++i) fwsim_add_default_unit();
}

namespace {

std::shared_ptr<Deck> new_deck(uint32_t specId, uint32_t swVersion, bool onBus) {
    fw::bus::ensure();
    auto d = std::make_shared<Deck>();
    d->id = g_next_id++;
    d->onBus = onBus;
    d->guid = 0x0800460100000000ull + uint64_t(d->id);
    d->specId = specId;
    d->swVersion = swVersion;
    d->anchorNs = now_ns();
    g_decks[d->id] = d;
    return d;
}

std::vector<int> on_bus() {
    fw::bus::ensure();
    std::vector<int> ids;
    for (auto &[id, d] : g_decks)
        if (d->onBus) ids.push_back(id);
    return ids;
}

}  // namespace

int fwsim_add_unit(uint32_t specId, uint32_t swVersion) {
    auto d = new_deck(specId, swVersion, true);
    publish(d);
    return d->id;
}

int fwsim_add_default_unit() { return fwsim_add_unit(avcframe::kUnitSpecId, avcframe::kUnitSwVersion); }

int fwsim_add_offbus_unit() { return new_deck(avcframe::kUnitSpecId, avcframe::kUnitSwVersion, false)->id; }

int fwsim_fcp(int id, const uint8_t *frame, uint32_t len, uint8_t *response, uint32_t capacity, int *interims) {
    auto d = find_deck(id);
    if (!d || !frame || len < 3 || (capacity && !response)) return -1;
    uint32_t before = d->interims;
    std::vector<uint8_t> r;
    Outcome o = answer(*d, frame, len, capacity, false, r);
    if (interims) *interims = int(d->interims - before);
    if (o == Outcome::Gone) return -1;
    if (o == Outcome::Silent) return 0;
    uint32_t n = std::min<uint32_t>(capacity, uint32_t(r.size()));
    if (n) std::memcpy(response, r.data(), n);
    return int(n);
}

void fwsim_remove_unit(int id) {
    auto d = find_deck(id);
    if (!d) return;
    g_decks.erase(id);
    terminate(*d, true);
}

int fwsim_unit_count() { return int(on_bus().size()); }

int fwsim_unit_id(int index) {
    std::vector<int> ids = on_bus();
    return index < 0 || index >= int(ids.size()) ? 0 : ids[size_t(index)];
}

void fwsim_send_message(int id, uint32_t messageType, void *argument) {
    auto d = find_deck(id);
    if (d && d->onBus) message(*d, messageType, argument);
}

void fwsim_bus_reset() {
    for (int id : on_bus()) fwsim_send_message(id, kIOMessageServiceIsSuspended, nullptr);
    for (int id : on_bus()) fwsim_send_message(id, kIOMessageServiceIsResumed, nullptr);
}

void fwsim_set_fault(int id, FwSimFault fault, int param) {
    if (auto d = find_deck(id)) {
        d->fault = fault;
        d->faultParam = param;
    }
}

void fwsim_reject_opcode(int id, uint8_t opcode, int on) {
    if (auto d = find_deck(id)) d->reject[opcode] = on != 0;
}
void fwsim_notimpl_opcode(int id, uint8_t opcode, int on) {
    if (auto d = find_deck(id)) d->notimpl[opcode] = on != 0;
}
void fwsim_interim_opcode(int id, uint8_t opcode, int on) {
    if (auto d = find_deck(id)) d->interim[opcode] = on != 0;
}
void fwsim_set_response_delay_ms(int id, int ms) {
    if (auto d = find_deck(id)) d->delayMs = std::max(0, ms);
}
void fwsim_set_timeout_ms(int ms) { g_timeout_ms = std::clamp(ms, 1, 60000); }

void fwsim_set_seam(FwSimSeam s, int32_t status) {
    if (s >= 0 && s < FWSIM_SEAM_COUNT) g_seams[s] = status;
}

uint32_t fwsim_last_command(int id, uint8_t *out, uint32_t capacity) {
    auto d = find_deck(id);
    if (!d) return 0;
    uint32_t n = uint32_t(d->lastCommand.size());
    if (out) std::memcpy(out, d->lastCommand.data(), std::min(n, capacity));
    return n;
}

uint32_t fwsim_command_count(int id) {
    auto d = find_deck(id);
    return d ? d->commands : 0;
}

uint32_t fwsim_interim_count(int id) {
    auto d = find_deck(id);
    return d ? d->interims : 0;
}

void fwsim_transport(int id, uint8_t *mode, uint8_t *state) {
    auto d = find_deck(id);
    if (!d) return;
    update(*d, now_ns());
    if (mode) *mode = d->mode;
    if (state) *state = d->state;
}

int64_t fwsim_position(int id) {
    auto d = find_deck(id);
    return d ? update(*d, now_ns()) : 0;
}

void fwsim_set_position(int id, int64_t frames) {
    auto d = find_deck(id);
    if (!d) return;
    update(*d, now_ns());
    d->anchorPos = std::clamp<int64_t>(frames, 0, kTapeFrames) * kSub;
    d->anchorNs = now_ns();
}

int fwsim_is_open(int id) {
    auto d = find_deck(id);
    return d && d->openedBy;
}

int fwsim_has_tape(int id) {
    auto d = find_deck(id);
    return d && d->tape;
}

}  // extern "C"
