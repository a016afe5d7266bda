// The CPU the live preview costs on an X server, against GStreamer's own
// ximagesink showing the same source, measured in one run, each on an X
// server of its own of the same kind (two Xvfb the benchmark starts):
//  - the program, showing its default video (the test pattern, 720x480 at
//    29.97 frames a second), and
//  - ximagesink in a process of its own, showing the same source,
// at the same time, so that whatever else the machine does meanwhile falls
// on both alike; in several turns, each for a few seconds after both have
// settled, the servers changing sides from turn to turn, all on one
// processor. For each: CPU time per second of the process and of its X
// server, and the frames shown (the screen's updates, counted through the X
// server's DAMAGE extension), so CPU per shown frame. The program polls its
// grabber every 50 ms, so it shows about 20 of the source's 30 frames a
// second; ximagesink shows them all.
// Usage: preview_bench [seconds per turn] [turns]
#include "source.h"

#include <gst/gst.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
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
#include <memory>
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
    int fd() const { return ConnectionNumber(display_); }
    // The updates that came since the last call.
    long take() {
        long n = 0;
        while (XPending(display_)) {
            XEvent e;
            XNextEvent(display_, &e);
            if (e.type != event_ + XDamageNotify) continue;
            ++n;
            XDamageSubtract(display_, damage_, 0, 0);
        }
        XFlush(display_);
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

// An X server of the benchmark's own, on the first display from `from` on
// that it can have (a server that another has beaten to a display ends).
struct Server {
    pid_t pid = -1;
    std::string display;
    Display *connection = nullptr;
    std::unique_ptr<UpdateCounter> updates;
};

bool start(Server &x, int from) {
    for (int number = from; number < from + 50; ++number) {
        x.display = ":" + std::to_string(number);
        std::string n = std::to_string(number);
        if (fs::exists("/tmp/.X" + n + "-lock") || fs::exists("/tmp/.X11-unix/X" + n)) continue;  // another's
        x.pid = spawn({"Xvfb", x.display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset"}, {});
        for (int i = 0; i < 200 && !(x.connection = XOpenDisplay(x.display.c_str())); ++i) {
            if (waitpid(x.pid, nullptr, WNOHANG) == x.pid) break;
            usleep(100000);
        }
        // Still its own: another server has not beaten it to the display.
        if (x.connection && waitpid(x.pid, nullptr, WNOHANG) == 0) break;
        if (x.connection) XCloseDisplay(x.connection), x.connection = nullptr;
        end(x.pid);
        x.pid = -1;
    }
    if (!x.connection) {
        std::fprintf(stderr, "no Xvfb\n");
        return false;
    }
    x.updates = std::make_unique<UpdateCounter>(x.connection);
    if (!x.updates->ok()) {
        std::fprintf(stderr, "the X server has no DAMAGE extension\n");
        return false;
    }
    return true;
}

// The updates of both servers while `seconds` pass.
void countFor(double seconds, Server &a, long *na, Server &b, long *nb) {
    auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
        *na += a.updates->take(), *nb += b.updates->take();
        pollfd p[2] = {{a.updates->fd(), POLLIN, 0}, {b.updates->fd(), POLLIN, 0}};
        poll(p, 2, 5);
    }
}

// Runs `p` on `px` and `s` on `sx` (both started) for `settle` seconds, then
// measures both for `seconds`, then ends them.
void measure(pid_t p, Server &px, Figures *pf, pid_t s, Server &sx, Figures *sf, double settle, double seconds) {
    long ignored = 0;
    countFor(settle, px, &ignored, sx, &ignored);
    px.updates->drain(), sx.updates->drain();
    double p0 = cpuOf(p), px0 = cpuOf(px.pid), s0 = cpuOf(s), sx0 = cpuOf(sx.pid);
    auto t0 = Clock::now();
    long pn = 0, sn = 0;
    countFor(seconds, px, &pn, sx, &sn);
    double elapsed = std::chrono::duration<double>(Clock::now() - t0).count();
    *pf = {elapsed, double(pn), cpuOf(p) - p0, cpuOf(px.pid) - px0};
    *sf = {elapsed, double(sn), cpuOf(s) - s0, cpuOf(sx.pid) - sx0};
    end(p), end(s);
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
    int turns = argc > 2 ? std::atoi(argv[2]) : 4;
    if (turns < 1) turns = 4;

    // All on one processor, the one this starts on: what else runs there
    // meanwhile slows both sides alike (spread over the machine's
    // processors, one side may share its processor with a build, the other
    // not).
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);

    Server servers[2];
    int from = 200 + int(getpid() % 500);
    if (!start(servers[0], from) || !start(servers[1], from + 1)) {
        for (Server &x : servers)
            if (x.pid > 0) end(x.pid);
        return 1;
    }
    fs::path dir = fs::temp_directory_path() / ("tavrin-preview-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "script") << "wait 600000\n";
    auto env = [&](const Server &x) {
        return std::vector<std::string>{"DISPLAY=" + x.display, "TAVRIN_PREFS_DIR=" + dir.string(),
                                        "TAVRIN_SCRIPT=" + (dir / "script").string(),
                                        "TAVRIN_UPDATE_SERVER=http://127.0.0.1:9", "TAVRIN_AVC_UNITS=0"};
    };
    std::printf(
        "live preview of the test pattern, %dx%d at 29.97 frames a second, each on an Xvfb of its own, at "
        "the same time, %d turns of %.0f s:\n",
        kW, kH, turns, seconds);
    Figures program, sink;
    for (int turn = 0; turn < turns; ++turn) {
        Server &px = servers[turn % 2], &sx = servers[1 - turn % 2];
        Figures p, s;
        measure(spawn({TAVRIN_PROGRAM}, env(px)), px, &p, spawn({argv[0], "--ximagesink"}, env(sx)), sx, &s, 3,
                seconds);
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
    for (Server &x : servers) {
        XCloseDisplay(x.connection);
        end(x.pid);
    }
    fs::remove_all(dir);
    return 0;
}
