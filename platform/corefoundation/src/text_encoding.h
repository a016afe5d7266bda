// The text-encoding engine under CF strings. Internal to libcorefoundation.
#pragma once

#include "CoreFoundation/CoreFoundation.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fw::text {

// ASCII, ISO Latin 1, Mac OS Roman and UTF-8; no others.
bool known_encoding(CFStringEncoding enc);

// Bytes in `enc` to UTF-16; false when they are not valid text in it.
bool decode(const uint8_t *p, size_t n, CFStringEncoding enc, std::u16string &out);

// Converts units [from, from+count) to `enc`, appending to out; stops at a
// character without a form unless lossByte stands in. Returns units taken;
// with a byte budget (limit) it also stops before overflowing it.
size_t encode_units(const std::u16string &t, size_t from, size_t count, CFStringEncoding enc, uint8_t lossByte,
                    std::string &out, size_t limit = SIZE_MAX);

}  // namespace fw::text
