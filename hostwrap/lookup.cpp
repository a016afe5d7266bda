#include "lookup.h"

#include "debug.h"

#include <cstdint>
#include <cstdio>

// The trampolines of accessors with a narrow result (lookup.h): each jumps
// to the host function in the integer register after the host's arguments,
// with every other register and the stack as the accessor left them.
#if defined(__x86_64__)
// clang-format off
#define HW_LABEL(name)                     \
    ".globl " name "\n"                    \
    ".hidden " name "\n"                   \
    ".type " name ", @function\n"          \
    name ":\n"
#define HW_JUMP(n, reg)                    \
    ".p2align 4\n"                         \
    HW_LABEL("hostwrap_jump" #n "_u8")     \
    HW_LABEL("hostwrap_jump" #n "_i16")    \
    HW_LABEL("hostwrap_jump" #n "_u16")    \
    ".cfi_startproc\n"                     \
    "jmp *%" reg "\n"                      \
    ".cfi_endproc\n"
__asm__(".pushsection .text\n"
        HW_JUMP(0, "rdi") HW_JUMP(1, "rsi") HW_JUMP(2, "rdx") HW_JUMP(3, "rcx") HW_JUMP(4, "r8") HW_JUMP(5, "r9")
        ".popsection\n");
// clang-format on
#undef HW_JUMP
#undef HW_LABEL
#endif

namespace hostwrap {

void logText(const char *text) {
    if (IsMacOSX()) dlog("%s", text);
    else dprintf("%s\n", text);
}

void logFailure(const char *prefix, const char *name) {
    if (IsMacOSX()) dlog("%s %s", prefix, name);
    else dprintf("%s %s\n", prefix, name);
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
