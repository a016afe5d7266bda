// Handles inside the imaging library: output buffers handed over without a
// copy, and the big-endian fields of the atoms that handles carry. Internal.
#pragma once

#include "imaging/imaging.h"

#include <vector>

namespace imaging {

// The handle takes over `bytes`, an encoder's output, as its contents
// without copying them (an unlocked handle; a locked one keeps its memory
// and takes a copy of bytes of its own size, memFullErr otherwise). `bytes`
// is left empty. When the handle is disposed, that memory is kept for the
// next output (KeepSpareBuffer); other handles' memory goes back at once.
OSErr SetHandleBytes(Handle h, std::vector<uint8_t> &&bytes);

// A handle of `size` bytes that the caller overwrites whole: its bytes are
// not cleared. It takes the kept output buffer (below) when that is large
// enough, and its memory is kept again when it is disposed, so a run of
// same-sized handles (a picture grabbed for every frame) reuses one block.
Handle NewHandleForOverwrite(size_t size);

// Output buffers. A frame-sized buffer taken anew from the system for every
// export costs a page fault per page, several times the encoding itself, so
// the memory of the last large output buffer let go is kept (one, up to
// 64 MiB) and handed to the next export that needs no more than it holds.
//
// An empty buffer with room for at least `capacity` bytes: the kept one when
// it is large enough, else a new one (may throw std::bad_alloc).
std::vector<uint8_t> TakeOutputBuffer(size_t capacity);
// Lets go of a buffer; a large one is kept for the next TakeOutputBuffer.
void KeepSpareBuffer(std::vector<uint8_t> &&buffer);

// A 32-bit big-endian field, as atoms (size, type, value) hold them.
inline uint32_t getBE32(const uint8_t *p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void putBE32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

}  // namespace imaging
