#include "accessors.h"

#include <cstring>

#include "rows_define.inc"
#include "families/runtime.def"

#include "resolver.h"

// Quits through the host's application quit, tracing the function it found
// by its first word and its address (both by their low 32 bits).
void Quit(int32_t code) {
    static constinit hostwrap::Slot _quit{nullptr};
    void *fn = hostwrap::detail::fill(_quit, "RB_ApplicationQuit");
    if (!fn) return;
    uint32_t firstWord = 0;
    std::memcpy(&firstWord, fn, sizeof firstWord);
    hostwrap::logValues("_quit Refcount->(%x), Address->(%x)", firstWord,
                        unsigned(reinterpret_cast<uintptr_t>(fn) & 0xFFFFFFFFu));
    reinterpret_cast<void (*)(int32_t)>(fn)(code);
}

// Lets the host handle pending events for the application object (nil when
// there is none).
void DoEvents() { App_DoEvents(App_App(), -1); }
