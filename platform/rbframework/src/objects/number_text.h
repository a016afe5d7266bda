// Numbers read from text the same in every locale (Val, the Variant's
// conversions); they are written with std::to_chars, which has no locale.
#pragma once

#include <clocale>
#include <cstdlib>

namespace rb::core {

// strtod as the "C" locale has it: the decimal point is a point whatever
// the process's locale (on screen GTK sets the desktop's).
inline double readNumber(const char *text) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtod_l(text, nullptr, c);
}

}  // namespace rb::core
