// A 64-bit FNV-1a fingerprint of some bytes: how tests pin exported frames
// byte for byte without keeping megabytes of files.
#pragma once

#include <cstdint>
#include <string_view>

namespace testsupport {

inline uint64_t fingerprint(std::string_view bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char b : bytes) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

}  // namespace testsupport
