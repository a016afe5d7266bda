// Standard output, shared with the plug-ins. Their diagnostics go through the
// C library's stdout too, and some leave a line open (the FireWire device
// matcher prints "device 0x1001 found." with no newline). From RuntimeInit on,
// stdout is a stream over the same descriptor that remembers whether its last
// byte ended a line, so the program's own text can start on a line of its own.
#include "core.h"

#include <rb/runtime.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace rb {

namespace {

std::atomic<bool> gAtLineStart{true};

ssize_t writeOut(void *, const char *buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::write(STDOUT_FILENO, buf + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += size_t(w);
    }
    if (done > 0) gAtLineStart = buf[done - 1] == '\n';
    return done > 0 || n == 0 ? ssize_t(done) : -1;
}

}  // namespace

void core::trackStandardOutput() {
    static bool installed = false;
    if (installed) return;
    std::fflush(stdout);
    FILE *tracked = fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, writeOut, nullptr, nullptr});
    if (!tracked) return;
    // Buffered as the C library buffers stdout: by lines on a terminal.
    std::setvbuf(tracked, nullptr, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, BUFSIZ);
    stdout = tracked;
    installed = true;
}

void writeOwnLines(const std::string &text) {
    if (text.empty()) return;
    std::fflush(stdout);
    if (!gAtLineStart) std::fputc('\n', stdout);
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace rb
