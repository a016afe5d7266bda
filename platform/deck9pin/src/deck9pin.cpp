#include "deck9pin/deck9pin.h"

#include <cstdio>

namespace deck9pin {

bool isCommandStart(std::uint8_t b) {
    switch (b >> 4) {
        case 0x0:
        case 0x2:
        case 0x4:
        case 0x6:
        case 0xA:
            return true;
        default:
            return false;
    }
}

std::uint8_t checksum(const std::uint8_t *data, std::size_t size) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string hex(const std::vector<std::uint8_t> &bytes) {
    std::string out;
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        if (!out.empty()) out += ' ';
        out += two;
    }
    return out;
}

void Parser::feed(const std::uint8_t *data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    scan(false);
}

void Parser::flush() {
    scan(true);
    emitSkipped();
}

void Parser::emitSkipped() {
    if (skipped_.empty()) return;
    Event e{sawBadChecksum_ ? Event::BadChecksum : Event::Garbage, std::move(skipped_)};
    skipped_.clear();
    sawBadChecksum_ = false;
    sink_(e);
}

// Looks for frames at the front of the buffer. Bytes that cannot start a
// frame, and starts whose checksum does not match, are moved to skipped_
// one at a time; they are reported as one event just before the next good
// frame, so one corrupted command counts once however its bytes misalign.
void Parser::scan(bool draining) {
    std::size_t pos = 0;
    while (pos < buffer_.size()) {
        std::uint8_t first = buffer_[pos];
        std::size_t length = 3 + (first & 0x0F);
        if (isCommandStart(first)) {
            if (buffer_.size() - pos < length) {
                if (!draining) break;  // wait for the rest
            } else if (checksum(&buffer_[pos], length - 1) == buffer_[pos + length - 1]) {
                emitSkipped();
                Event e{Event::Frame, {buffer_.begin() + pos, buffer_.begin() + pos + length}};
                pos += length;
                sink_(e);
                continue;
            } else {
                sawBadChecksum_ = true;
            }
        }
        skipped_.push_back(first);
        ++pos;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + pos);
}

namespace {

struct Name {
    std::uint16_t key;  // group << 8 | CMD2
    const char *name;
};

constexpr Name kNames[] = {
    {0x000C, "LOCAL DISABLE"},
    {0x0011, "DEVICE TYPE REQUEST"},
    {0x001D, "LOCAL ENABLE"},
    {0x0200, "STOP"},
    {0x0201, "PLAY"},
    {0x0202, "RECORD"},
    {0x0204, "STANDBY OFF"},
    {0x0205, "STANDBY ON"},
    {0x020F, "EJECT"},
    {0x0210, "FAST FWD"},
    {0x0211, "JOG FWD"},
    {0x0212, "VAR FWD"},
    {0x0213, "SHUTTLE FWD"},
    {0x0214, "FRAME STEP FWD"},
    {0x0220, "REWIND"},
    {0x0221, "JOG REV"},
    {0x0222, "VAR REV"},
    {0x0223, "SHUTTLE REV"},
    {0x0224, "FRAME STEP REV"},
    {0x0230, "PREROLL"},
    {0x0231, "CUE UP WITH DATA"},
    {0x0234, "SYNC PLAY"},
    {0x0240, "PREVIEW"},
    {0x0241, "REVIEW"},
    {0x0260, "EDIT OFF"},
    {0x0261, "EDIT ON"},
    {0x060C, "CURRENT TIME SENSE"},
    {0x0620, "STATUS SENSE"},
};

}  // namespace

std::string commandName(std::uint8_t cmd1, std::uint8_t cmd2) {
    std::uint16_t key = static_cast<std::uint16_t>((cmd1 >> 4) << 8 | cmd2);
    for (const Name &n : kNames)
        if (n.key == key) return n.name;
    return "UNKNOWN";
}

const char *transportName(Transport t) {
    switch (t) {
        case Transport::Stop:
            return "STOP";
        case Transport::Play:
            return "PLAY";
        case Transport::ShuttleForward:
            return "SHUTTLE FWD";
        case Transport::ShuttleReverse:
            return "SHUTTLE REV";
        case Transport::FastForward:
            return "FAST FWD";
        case Transport::Rewind:
            return "REWIND";
        case Transport::Still:
            return "STILL";
    }
    return "?";
}

std::string Deck::apply(const Event &event) {
    const auto &b = event.bytes;
    if (event.kind == Event::Garbage) {
        state_.garbageBytes += b.size();
        return hex(b) + " GARBAGE";
    }
    if (event.kind == Event::BadChecksum) {
        ++state_.badChecksums;
        return hex(b) + " BAD CHECKSUM";
    }

    ++state_.commands;
    std::string line = hex(b) + " " + commandName(b[0], b[1]);
    state_.last = line;
    bool hasData = (b[0] & 0x0F) > 0;
    auto variable = [&](Transport moving) {
        state_.speed = hasData ? b[2] : 0;
        state_.transport = state_.speed == 0 ? Transport::Still : moving;
    };
    if (b[0] >> 4 != 0x2) {
        ++state_.ignored;
        return line;
    }
    switch (b[1]) {
        case 0x00:
            state_.transport = Transport::Stop;
            state_.speed = 0;
            break;
        case 0x01:
            state_.transport = Transport::Play;
            state_.speed = 0;
            break;
        case 0x10:
            state_.transport = Transport::FastForward;
            state_.speed = 0;
            break;
        case 0x20:
            state_.transport = Transport::Rewind;
            state_.speed = 0;
            break;
        case 0x11:
        case 0x12:
        case 0x13:
            variable(Transport::ShuttleForward);
            break;
        case 0x21:
        case 0x22:
        case 0x23:
            variable(Transport::ShuttleReverse);
            break;
        case 0x14:
        case 0x24:
            state_.transport = Transport::Still;
            state_.speed = 0;
            break;
        default:
            ++state_.ignored;
            break;
    }
    return line;
}

std::string Deck::stateText() const {
    char speed[4];
    std::snprintf(speed, sizeof speed, "%02X", state_.speed);
    return std::string("transport=") + transportName(state_.transport) + "\n" + "speed=" + speed + "\n" +
           "commands=" + std::to_string(state_.commands) + "\n" +
           "bad_checksums=" + std::to_string(state_.badChecksums) + "\n" +
           "garbage_bytes=" + std::to_string(state_.garbageBytes) + "\n" + "ignored=" + std::to_string(state_.ignored) +
           "\n" + "last=" + state_.last + "\n";
}

}  // namespace deck9pin
