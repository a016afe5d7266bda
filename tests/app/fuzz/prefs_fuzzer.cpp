// libFuzzer target: any bytes as the preferences file, read the way start-up
// reads it (from a file on disk, through the size cap) and parsed.
#include "application/prefsbytes.h"
#include "application/smallfile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const std::string path = "/tmp/tavrin-prefs-fuzz-" + std::to_string(::getpid());
    if (FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    auto bytes = tavrin::readSmallFile(path, tavrin::kMaxPrefsBytes);
    if (bytes.has_value() != (size <= tavrin::kMaxPrefsBytes)) __builtin_trap();
    if (bytes) {
        tavrin::PrefsFields f = tavrin::parsePrefs(*bytes);
        if (f.filecreator && (!f.controlpref || !f.myserialport)) __builtin_trap();
    }
    return 0;
}
