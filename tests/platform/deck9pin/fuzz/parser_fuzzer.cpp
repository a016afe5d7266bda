// libFuzzer target: any bytes on the 9-pin line, fed in pieces whose sizes
// come from the input, then the line going quiet. Every byte is reported
// exactly once, and the deck applies every event.
#include "deck9pin/deck9pin.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    deck9pin::Deck deck;
    size_t reported = 0;
    deck9pin::Parser parser([&](const deck9pin::Event &e) {
        reported += e.bytes.size();
        deck.apply(e);
    });
    // The first byte sets the piece size: bytes arrive split anywhere.
    size_t piece = size ? data[0] % 16 + 1 : 1;
    for (size_t at = 0; at < size; at += piece) parser.feed(data + at, size - at < piece ? size - at : piece);
    parser.flush();
    if (reported + parser.pending() != size) __builtin_trap();
    (void)deck.stateText();
    return 0;
}
