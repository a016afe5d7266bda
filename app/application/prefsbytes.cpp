#include "prefsbytes.h"

namespace tavrin {

PrefsFields parsePrefs(const std::string &s) {
    PrefsFields out;
    size_t pos = 0;
    if (s.size() >= 1) out.controlpref = uint8_t(s[0]);
    if (s.size() >= 2) out.myserialport = uint8_t(s[1]);
    pos = 2;
    for (int i = 0; i < 2; ++i) {
        if (s.size() < pos + 2) return out;
        auto len = int16_t(uint8_t(s[pos]) << 8 | uint8_t(s[pos + 1]));
        pos += 2;
        if (len <= 0) continue;
        if (s.size() - pos < size_t(len)) return out;
        pos += size_t(len);
    }
    if (pos < s.size()) out.filecreator = uint8_t(s[pos]);
    return out;
}

}  // namespace tavrin
