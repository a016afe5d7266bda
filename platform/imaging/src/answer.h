// How the component calls hand back what they are asked for: through an
// out-parameter, refused with paramErr when it is null. Internal to the
// imaging library.
#pragma once

#include "imaging/imaging.h"

#include <vector>

namespace imaging {

template <class T, class V> ComponentResult answer(T *out, const V &value) {
    if (!out) return paramErr;
    *out = static_cast<T>(value);
    return noErr;
}

// A new handle holding a copy of `bytes`, or 0 when there are none.
inline ComponentResult answerBytes(Handle *out, const std::vector<uint8_t> &bytes) {
    if (!out) return paramErr;
    *out = nullptr;
    return bytes.empty() ? ComponentResult(noErr) : ComponentResult(PtrToHand(bytes.data(), out, bytes.size()));
}

}  // namespace imaging
