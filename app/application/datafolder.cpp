#include "application/datafolder.h"

#include <rb/files.h>

#include <cstdlib>
#include <filesystem>

namespace tavrin {

std::string framesDataFolder(std::time_t now) {
    std::string base = rb::userBaseFolder(std::getenv("XDG_DATA_HOME"), ".local/share");
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
