#include "lookup.h"

#include "debug.h"

#include <cstdint>
#include <cstdio>

namespace hostwrap {

void logText(const char *text) {
    if (IsMacOSX())
        dlog("%s", text);
    else
        dprintf("%s\n", text);
}

void logFailure(const char *prefix, const char *name) {
    if (IsMacOSX())
        dlog("%s %s", prefix, name);
    else
        dprintf("%s %s\n", prefix, name);
}

void logAddress(const char *format, const void *address) {
    // Addresses print by their low 32 bits: %x takes an unsigned int.
    unsigned low = unsigned(reinterpret_cast<uintptr_t>(address) & 0xFFFFFFFFu);
    if (IsMacOSX()) {
        dlog(format, low);
    } else {
        char line[256];
        std::snprintf(line, sizeof line, format, low);
        dprintf("%s\n", line);
    }
}

void logValues(const char *format, unsigned first, unsigned second) {
    if (IsMacOSX()) {
        dlog(format, first, second);
    } else {
        char line[256];
        std::snprintf(line, sizeof line, format, first, second);
        dprintf("%s\n", line);
    }
}

}  // namespace hostwrap
