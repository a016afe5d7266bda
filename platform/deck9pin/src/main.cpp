// deck9pin-sim: a Sony 9-pin deck on a pseudo-terminal.
//
//   deck9pin-sim [--link PATH] [--log FILE] [--state FILE] [--list-as NAME]
//
// Prints the terminal's path on the first line of standard output, then one
// line per received command (or to --log FILE). --state FILE is rewritten
// (atomically) after every command with the deck's state as key=value lines.
// --link PATH makes a symbolic link to the terminal; --list-as NAME prints
// the TAVRIN_SERIAL_PORTS setting that lists the deck under NAME.
// Runs until SIGINT or SIGTERM.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "deck9pin/deck9pin.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }

int usage() {
    std::fprintf(stderr, "usage: deck9pin-sim [--link PATH] [--log FILE] [--state FILE] [--list-as NAME]\n");
    return 2;
}

bool writeState(const std::string &path, const std::string &text) {
    std::string temp = path + ".tmp";
    FILE *f = std::fopen(temp.c_str(), "w");
    if (!f) return false;
    bool ok = std::fputs(text.c_str(), f) >= 0;
    ok = std::fclose(f) == 0 && ok;
    return ok && std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::string link, logPath, statePath, listAs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return usage();
        if (arg == "--link") link = argv[++i];
        else if (arg == "--log") logPath = argv[++i];
        else if (arg == "--state") statePath = argv[++i];
        else if (arg == "--list-as") listAs = argv[++i];
        else return usage();
    }

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("deck9pin-sim: pseudo-terminal");
        return 1;
    }
    const char *slaveName = ptsname(master);
    if (!slaveName) {
        std::perror("deck9pin-sim: ptsname");
        return 1;
    }
    std::string slavePath = slaveName;
    // Holding the slave open ourselves keeps the master readable while no
    // application has the port open (else every read fails with EIO).
    int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        std::perror("deck9pin-sim: open slave");
        return 1;
    }
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
    }

    if (!link.empty()) {
        struct stat st {};
        if (lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(link.c_str());
        if (symlink(slavePath.c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "deck9pin-sim: cannot link %s: %s\n", link.c_str(), std::strerror(errno));
            return 1;
        }
    }

    FILE *log = stdout;
    if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "a"))) {
        std::fprintf(stderr, "deck9pin-sim: cannot open log %s: %s\n", logPath.c_str(), std::strerror(errno));
        return 1;
    }

    std::printf("%s\n", slavePath.c_str());
    if (!listAs.empty())
        std::printf("export TAVRIN_SERIAL_PORTS=%s=%s\n", listAs.c_str(), (link.empty() ? slavePath : link).c_str());
    std::fflush(stdout);

    deck9pin::Deck deck;
    if (!statePath.empty()) writeState(statePath, deck.stateText());
    deck9pin::Parser parser([&](const deck9pin::Event &e) {
        std::fprintf(log, "%s\n", deck.apply(e).c_str());
        std::fflush(log);
        if (!statePath.empty() && !writeState(statePath, deck.stateText()))
            std::fprintf(stderr, "deck9pin-sim: cannot write %s\n", statePath.c_str());
    });

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    // A frame's bytes follow each other closely; 20 ms of silence ends
    // whatever was half received.
    const int quietMs = 20;
    int status = 0;
    while (!stopRequested) {
        pollfd pfd{master, POLLIN, 0};
        int n = poll(&pfd, 1, parser.pending() ? quietMs : 250);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::perror("deck9pin-sim: poll");
            status = 1;
            break;
        }
        if (n == 0) {
            parser.flush();
            continue;
        }
        std::uint8_t buf[512];
        ssize_t got = read(master, buf, sizeof buf);
        if (got > 0) {
            parser.feed(buf, static_cast<std::size_t>(got));
        } else if (got < 0 && errno != EINTR && errno != EAGAIN) {
            std::perror("deck9pin-sim: read");
            status = 1;
            break;
        }
    }
    parser.flush();
    if (!link.empty()) unlink(link.c_str());
    if (log != stdout) std::fclose(log);
    close(slave);
    close(master);
    return status;
}
