#include "application/datafolder.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace tavrin {

std::string framesDataFolder(std::time_t now) {
    std::string base;
    if (const char *x = std::getenv("XDG_DATA_HOME"); x && *x == '/') {
        base = x;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || !*home) {
            struct passwd *pw = ::getpwuid(::getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.local/share";
    }
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    std::string dir = base + "/tavrin/" + stamp;
    std::string pick = dir;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(pick, ec) && n < 1000; ++n) pick = dir + "-" + std::to_string(n);
    return pick;
}

}  // namespace tavrin
