#include "application/datafolder.h"

#include <rb/files.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace tavrin {

std::string makeFramesDataFolder(std::time_t now, std::error_code &error) {
    error.clear();
    std::string base = rb::userBaseFolder(std::getenv("XDG_DATA_HOME"), ".local/share") + "/tavrin";
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string dir = base + "/" + stamp;
    std::filesystem::create_directories(base, error);
    if (error) return dir;
    // mkdir either makes the folder or finds the name taken; a test for the
    // name first would let two copies both find it free and share it.
    std::string pick;
    for (int n = 1; n <= 1000; ++n) {
        pick = n == 1 ? dir : dir + "-" + std::to_string(n);
        if (::mkdir(pick.c_str(), 0777) == 0) return pick;
        if (errno != EEXIST) break;
    }
    error = std::error_code(errno, std::generic_category());
    return pick;
}

}  // namespace tavrin
