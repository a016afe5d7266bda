// The preferences file's bytes: controlpref, myserialport (a byte each), two
// texts each after a big-endian 16-bit length, filecreator (a byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tavrin {

// The largest file of this format: two texts of 32767 bytes.
inline constexpr size_t kMaxPrefsBytes = 1 + 1 + 2 * (2 + 32767) + 1;

// The fields the bytes really hold; a file that ends early leaves the
// fields it does not reach empty.
struct PrefsFields {
    std::optional<int32_t> controlpref, myserialport, filecreator;
};
PrefsFields parsePrefs(const std::string &bytes);

}  // namespace tavrin
