// SIGINT, SIGTERM and SIGHUP (the terminal closed) ask the application to
// quit, as its Quit menu item does. A signal handler may do next to nothing safely: it writes a byte to
// a pipe, and the request runs on the main loop, which watches the pipe.
#include <rb/loop.h>
#include <rb/runtime.h>
#include <rb/ui.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace rb {

namespace {

int gPipe[2] = {-1, -1};
bool gBySignal = false;

extern "C" void onQuitSignal(int) {
    int saved = errno;
    char b = 1;
    (void)!::write(gPipe[1], &b, 1);
    errno = saved;
}

}  // namespace

void quitOnTerminationSignals() {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    addSource(gPipe[0], POLLIN, [] {
        char buf[64];
        while (::read(gPipe[0], buf, sizeof buf) > 0) {}
        gBySignal = true;
        if (Application *a = app()) a->quit(0);
        else quit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = onQuitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
}

bool quitBySignal() { return gBySignal; }

}  // namespace rb
