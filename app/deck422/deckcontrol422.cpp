#include "deck422/deckcontrol422.h"

#include "capturewindow/capturewindow.h"

#include <rb/thread.h>

namespace tavrin::DeckControl422 {

namespace {

int hexValue(std::string_view digits) {
    int v = 0;
    for (char c : digits) {
        int d = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : 0;
        v = v * 16 + d;
    }
    return v;
}

}  // namespace

std::string HextoAscii(std::string_view hex) { return std::string(1, char(uint8_t(hexValue(hex.substr(0, 2))))); }

std::string BuildCommand(std::string_view hex) {
    int sum = 0;
    for (size_t i = 0; i < hex.size(); i += 2) {
        sum += hexValue(hex.substr(i, 2));
        rb::yield();
    }
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        out += HextoAscii(hex.substr(i, 2));
        rb::yield();
    }
    out += char(uint8_t(sum % 256));
    return out;
}

void senddevice(std::string_view hex) {
    std::string bytes = BuildCommand(hex);
    // A port that cannot take the bytes drops them; nothing blocks.
    if (CaptureWindow *w = captureWindowIfOpen()) w->Serial1.write(bytes);
}

void playdevice() { senddevice("2001"); }
void stopdevice() { senddevice("2000"); }
void fastforwarddevice() { senddevice("2010"); }
void rewinddevice() { senddevice("2020"); }
void playreversedevice() { senddevice("212340"); }

}  // namespace tavrin::DeckControl422
