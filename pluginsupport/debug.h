// Diagnostics of the AV/C plug-in library: printf-style text to the system
// debugger (at most 255 characters), hex dumps of memory blocks, a cached
// system test, and the C library's print function loaded by name.
#pragma once

#include <rb/plugin.h>

#include <cstdint>

extern "C" {

// The print function and the idle-timer procedure maker, fetched by name
// (none until Loadprint / Loadprintf ran).
typedef int (*PrintProc)(const char *format, ...);
extern PrintProc print;
extern PrintProc gprintf;
extern void *NewEventLoopIdleTimer;

RBBoolean IsMacOSX();
// `text` into a length-prefixed string of at most 255 bytes; in place when
// out == text.
void CopyC2P(const char *text, unsigned char *out);
int32_t Loadprint();
int32_t Loadprintf();
void dlog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void dlogmem(REALobject block, int32_t size);
void dprintmem(REALobject block, int32_t size);
void show(const char *format, ...);
}

// C++ linkage: an overload beside the C library's dprintf(int fd, ...).
void dprintf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The hex dump text of `size` bytes of a memory block object (its size is
// the 32-bit word at byte 24), cut at 255 characters.
#include <string>
std::string hexDumpText(REALobject block, int32_t size);
