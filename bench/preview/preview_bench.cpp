// The CPU the live preview costs on an X server, against GStreamer's own
// ximagesink showing the same source, measured in one run on an X server of
// the benchmark's own (Xvfb):
//  - the program, showing its default video (the test pattern, 720x480 at
//    29.97 frames a second), and
//  - ximagesink in a process of its own, showing the same source,
// in turns (A B A B ...), each for a few seconds after it has settled. For each: CPU time
// per second of the process and of the X server, and the frames shown (the
// screen's updates, counted through the X server's DAMAGE extension), so
// CPU per shown frame. The program polls its grabber every 50 ms, so it
// shows about 20 of the source's 30 frames a second; ximagesink shows them
// all.
// Usage: preview_bench [seconds per turn] [turns of each]
#include "source.h"

#include <gst/gst.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kW = 720, kH = 480;

// CPU seconds a process has used so far (all its threads, those ended too),
// to the nanosecond: the kernel's clock of the process, not its tick counts.
double cpuOf(pid_t pid) {
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0) return 0;
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

pid_t spawn(const std::vector<std::string> &argv, const std::vector<std::string> &env) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string &e : env) putenv(strdup(e.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1), dup2(null, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        usleep(100000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Counts the screen's updates: one DamageNotify each time the screen goes
// from unchanged to changed, taken back at once.
class UpdateCounter {
public:
    explicit UpdateCounter(Display *d) : display_(d) {
        int error = 0;
        ok_ = XDamageQueryExtension(d, &event_, &error);
        if (ok_) damage_ = XDamageCreate(d, DefaultRootWindow(d), XDamageReportNonEmpty);
        XFlush(d);
    }
    bool ok() const { return ok_; }
    // Updates counted while `seconds` pass.
    long countFor(double seconds) {
        long n = 0;
        auto until = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < until) {
            while (XPending(display_)) {
                XEvent e;
                XNextEvent(display_, &e);
                if (e.type != event_ + XDamageNotify) continue;
                ++n;
                XDamageSubtract(display_, damage_, 0, 0);
            }
            XFlush(display_);
            pollfd p{ConnectionNumber(display_), POLLIN, 0};
            poll(&p, 1, 5);
        }
        return n;
    }
    // Drops what came before.
    void drain() {
        XSync(display_, False);
        while (XPending(display_)) {
            XEvent e;
            XNextEvent(display_, &e);
        }
        XDamageSubtract(display_, damage_, 0, 0);
        XSync(display_, False);
    }

private:
    Display *display_;
    bool ok_ = false;
    int event_ = 0;
    Damage damage_ = 0;
};

struct Figures {
    double seconds = 0, shown = 0, client = 0, server = 0;
    Figures &operator+=(const Figures &o) {
        seconds += o.seconds, shown += o.shown, client += o.client, server += o.server;
        return *this;
    }
};

// Runs `pid` (already started) for `settle` seconds, then measures it for
// `seconds`, then ends it.
Figures measure(pid_t pid, pid_t server, UpdateCounter &updates, double settle, double seconds) {
    updates.countFor(settle);
    updates.drain();
    Figures f;
    double c0 = cpuOf(pid), s0 = cpuOf(server);
    auto t0 = Clock::now();
    f.shown = double(updates.countFor(seconds));
    f.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    f.client = cpuOf(pid) - c0, f.server = cpuOf(server) - s0;
    end(pid);
    return f;
}

void print(const char *name, const Figures &f) {
    std::printf(
        "%-12s %5.1f frames/s  CPU %5.1f%% + X server %5.1f%% = %5.1f%% of a core;  %.2f + %.2f = %.2f ms a frame\n",
        name, f.shown / f.seconds, 100 * f.client / f.seconds, 100 * f.server / f.seconds,
        100 * (f.client + f.server) / f.seconds, 1000 * f.client / f.shown, 1000 * f.server / f.shown,
        1000 * (f.client + f.server) / f.shown);
}

// CPU of the client and the X server together, a second.
double cost(const Figures &f) { return (f.client + f.server) / f.seconds; }

// The peer: ximagesink showing the program's source, until it is ended.
int runSink() {
    gst_init(nullptr, nullptr);
    std::string description = grab::testSourceDescription(kW, kH) + " ! videoconvert ! ximagesink";
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "no pipeline: %s\n", error ? error->message : "?");
        return 1;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--ximagesink") == 0) return runSink();
    double seconds = argc > 1 ? std::atof(argv[1]) : 8;
    if (seconds <= 0) seconds = 8;
    int pairs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (pairs < 1) pairs = 3;

    // The X server, on a display it picks itself.
    int fds[2];
    if (pipe(fds) != 0) return 1;
    pid_t server = fork();
    if (server == 0) {
        dup2(fds[1], 3);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1), dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char number[32] = {};
    ssize_t n = read(fds[0], number, sizeof number - 1);
    close(fds[0]);
    if (n <= 0) {
        std::fprintf(stderr, "no Xvfb\n");
        return 1;
    }
    std::string display = ":" + std::string(number, size_t(n - (number[n - 1] == '\n')));
    Display *d = nullptr;
    for (int i = 0; i < 50 && !(d = XOpenDisplay(display.c_str())); ++i) usleep(100000);
    if (!d) {
        std::fprintf(stderr, "cannot open the display %s\n", display.c_str());
        return 1;
    }
    UpdateCounter updates(d);
    if (!updates.ok()) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return 1;
    }

    fs::path dir = fs::temp_directory_path() / ("tavrin-preview-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "script") << "wait 600000\n";
    std::vector<std::string> env = {"DISPLAY=" + display, "TAVRIN_PREFS_DIR=" + dir.string(),
                                    "TAVRIN_SCRIPT=" + (dir / "script").string(),
                                    "TAVRIN_UPDATE_SERVER=http://127.0.0.1:9", "TAVRIN_AVC_UNITS=0"};
    // The two in alternation, turn after turn, so that a change of the
    // machine's load falls on both alike; each turn's figures, then the sums'.
    std::printf("live preview of the test pattern, %dx%d at 29.97 frames a second, on Xvfb, %d turns of %.0f s each:\n",
                kW, kH, 2 * pairs, seconds);
    Figures program, sink;
    for (int pair = 1; pair <= pairs; ++pair) {
        Figures p = measure(spawn({TAVRIN_PROGRAM}, env), server, updates, 3, seconds);
        Figures s = measure(spawn({argv[0], "--ximagesink"}, env), server, updates, 3, seconds);
        print("program", p);
        print("ximagesink", s);
        std::printf("%-12s %.2fx\n", "", cost(p) / cost(s));
        program += p, sink += s;
    }
    std::printf("all turns:\n");
    print("program", program);
    print("ximagesink", sink);
    double perFrame = (program.client + program.server) / program.shown / ((sink.client + sink.server) / sink.shown);
    std::printf("program + X server against ximagesink + X server: %.2fx a second, %.2fx a frame shown\n",
                cost(program) / cost(sink), perFrame);
    XCloseDisplay(d);
    end(server);
    fs::remove_all(dir);
    return 0;
}
