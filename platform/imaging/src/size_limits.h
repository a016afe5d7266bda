// The one size limit of decoded images, and whether some data can hold the
// image its header claims. Checked before any pixel memory is taken, so a
// few bytes that claim a huge image cost nothing. Internal to the library.
#pragma once

#include "imaging/imaging.h"

#include <cstddef>
#include <cstdint>

typedef struct tiff TIFF;

namespace imaging::limits {

// Sides within kMaxImageSide, and the ARGB pixels, with a picture's header,
// within one block (the largest picture the layer can hand back).
bool imageSizeOk(uint64_t width, uint64_t height);

// Each format packs only so many pixels in a byte: the most its compression
// can reach, with a margin. False when the header claims more than that.
bool pngDataCanHold(const uint8_t *data, size_t size);  // from the IHDR chunk
// A PNG's chunks up to the first one that claims more bytes than are left
// (libpng would take that much memory for it before reading a byte): the
// size of the data libpng is given.
size_t pngChunksEnd(const uint8_t *data, size_t size);
bool jpegDataCanHold(uint64_t width, uint64_t height, size_t size);
// The current page of a TIFF: its strips or tiles lie in the data, and the
// samples libtiff decodes them to stay within the size limit and what the
// compression can reach.
bool tiffDataCanHold(TIFF *tif, size_t size);
// What libtiff's reader holds at once for one strip or tile of the current
// page (`held`: decoded, with the planes it reads together) against the
// pixels the importer draws from it. False when the block is more than those
// pixels can need, whatever samples, bytes or strips the file declares.
bool tiffBlockFits(TIFF *tif, uint64_t held);

}  // namespace imaging::limits
