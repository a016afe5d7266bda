// The time text of the deck-control members ("hh:mm:ss:ff") read into the
// four bytes a time-code frame carries.
#include "commands.h"

// Parses "hh:mm:ss:ff" (two hexadecimal digits a field, as the deck reports
// BCD); false for anything else.
bool parseTimeText(const char *bytes, size_t length, uint8_t out[4]) {
    if (!bytes || length < 11 || length > 11) return false;
    for (int f = 0; f < 4; ++f) {
        unsigned v = 0;
        for (int i = 0; i < 2; ++i) {
            char c = bytes[f * 3 + i];
            int digit = c >= '0' && c <= '9'   ? c - '0'
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                               : -1;
            if (digit < 0) return false;
            v = v * 16 + unsigned(digit);
        }
        if (f < 3 && bytes[f * 3 + 2] != ':') return false;
        out[f] = uint8_t(v);
    }
    return true;
}
