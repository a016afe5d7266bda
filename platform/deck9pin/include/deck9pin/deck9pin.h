// A simulated Sony 9-pin (RS-422) VTR: a frame parser that finds commands in
// a byte stream and a deck that keeps the transport state they set.
//
// A frame is CMD1, CMD2, (CMD1 & 0x0F) data bytes and a checksum, the sum of
// all preceding bytes modulo 256. The stream has no start marker, so the
// parser resynchronises on its own: a byte that cannot begin a command is
// skipped as garbage, a candidate frame whose checksum does not match is
// counted as bad and the search goes on one byte later, and after a pause in
// the stream (flush) whatever is left over is searched once more and then
// discarded. Skipped bytes are reported as one event before the next good
// frame: BadChecksum when a checksum mismatch was among them, else Garbage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace deck9pin {

// One parse result: a good frame, a frame with a wrong checksum, or a run of
// bytes that belong to no frame.
struct Event {
    enum Kind { Frame, BadChecksum, Garbage } kind;
    std::vector<std::uint8_t> bytes;  // as received, checksum last for frames
};

class Parser {
public:
    using Sink = std::function<void(const Event &)>;
    explicit Parser(Sink sink) : sink_(std::move(sink)) {}

    void feed(const std::uint8_t *data, std::size_t size);
    // The line went quiet: no more bytes of a half-received frame will come.
    void flush();
    // Bytes received but not yet reported.
    std::size_t pending() const { return buffer_.size() + skipped_.size(); }

private:
    void scan(bool draining);
    void emitSkipped();

    Sink sink_;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> skipped_;  // bytes between good frames
    bool sawBadChecksum_ = false;
};

// Whether b can be the first byte of a controller's command (groups 0, 2, 4,
// 6 and A: system, transport, preset/select, sense request, extended).
bool isCommandStart(std::uint8_t b);
std::uint8_t checksum(const std::uint8_t *data, std::size_t size);
// "PLAY", "SHUTTLE REV", ...; "UNKNOWN" for a command this deck ignores.
std::string commandName(std::uint8_t cmd1, std::uint8_t cmd2);
// "21 23 40 84"
std::string hex(const std::vector<std::uint8_t> &bytes);

enum class Transport { Stop, Play, ShuttleForward, ShuttleReverse, FastForward, Rewind, Still };
const char *transportName(Transport t);  // "STOP", "PLAY", "SHUTTLE FWD", ...

struct State {
    Transport transport = Transport::Stop;
    std::uint8_t speed = 0;      // data byte of the last shuttle/jog/var command
    std::uint64_t commands = 0;  // good frames
    std::uint64_t badChecksums = 0;
    std::uint64_t garbageBytes = 0;
    std::uint64_t ignored = 0;  // good frames that do not move the transport
    std::string last;           // log line of the last good frame
};

class Deck {
public:
    // Applies one parse result and returns its log line, e.g. "20 01 21 PLAY",
    // "21 23 40 85 BAD CHECKSUM (want 84)", "FF 13 GARBAGE".
    std::string apply(const Event &event);
    const State &state() const { return state_; }
    // The state as "key=value" lines, for --state files.
    std::string stateText() const;

private:
    State state_;
};

}  // namespace deck9pin
