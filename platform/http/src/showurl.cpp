#include "rb/showurl.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cctype>
#include <cerrno>
#include <mutex>
#include <thread>

extern char **environ;

namespace rb {

namespace {

// Function-local, so that a handler set during another file's static
// initialisation is not wiped out afterwards.
std::mutex &handlerMutex() {
    static std::mutex m;
    return m;
}
std::function<void(const std::string &)> &handler() {
    static std::function<void(const std::string &)> h;
    return h;
}

bool acceptable(const std::string &url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0]))) return false;
    size_t colon = url.find(':');
    if (colon == std::string::npos) return false;
    for (size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    for (char ch : url) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

void setShowURLHandler(std::function<void(const std::string &)> h) {
    std::lock_guard lock(handlerMutex());
    handler() = std::move(h);
}

bool showURL(const std::string &url) {
    if (!acceptable(url)) return false;
    {
        std::unique_lock lock(handlerMutex());
        if (handler()) {
            auto h = handler();
            lock.unlock();
            h(url);
            return true;
        }
    }
    return spawnOpener("xdg-open", url);
}

bool spawnOpener(const std::string &program, const std::string &target) {
    if (target.empty() || target[0] == '-') return false;
    std::string prog = program;
    std::string arg = target;
    char *argv[] = {prog.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the child whenever it ends, without holding up the caller.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    return true;
}

std::string fileURL(const std::string &path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (char ch : path) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += ch;
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

}  // namespace rb
