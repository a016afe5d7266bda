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

std::mutex handlerMutex;
std::function<void(const std::string &)> handler;

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
    std::lock_guard lock(handlerMutex);
    handler = std::move(h);
}

bool showURL(const std::string &url) {
    if (!acceptable(url)) return false;
    {
        std::unique_lock lock(handlerMutex);
        if (handler) {
            auto h = handler;
            lock.unlock();
            h(url);
            return true;
        }
    }
    std::string prog = "xdg-open";
    std::string arg = url;
    char *argv[] = {prog.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the child whenever it ends, without holding up the caller.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace rb
