// The limit the machine sets for a TIFF frame: libtiff itself, writing the
// same packed 24-bit rows (uncompressed, strips of its default size).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Encodes the frame into a memory buffer reserved once for a whole frame
// and kept from one call to the next; returns the bytes written.
size_t libtiffToMemory(const uint8_t *rgb, int32_t width, int32_t height);
// Writes the frame to a new file at `path`; false when it could not.
bool libtiffToFile(const std::string &path, const uint8_t *rgb, int32_t width, int32_t height);
