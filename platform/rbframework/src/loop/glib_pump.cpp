// GLib's default main context, run from the runtime's loop once GTK is up:
// GLib's descriptors are the loop's sources and its next timeout a timer.
#include "loop/glib_pump.h"

#include <rb/loop.h>
#include <rb/thread.h>

#include <glib.h>

#include <map>
#include <vector>

namespace rb::screen {

namespace {

// GLib's default main context, run from the runtime's loop once GTK is up:
// each pass dispatches what is ready, then hands the loop the descriptors
// and the timeout GLib waits for next.
class GlibPump {
public:
    void start() {
        if (started_) return;
        started_ = true;
        pass();
    }

    // Runs what is ready now and arranges the next pass.
    void pass() {
        if (stopped_) return;
        GMainContext *c = g_main_context_default();
        int timeout = -1;
        int n = 0;
        {
            AwayFromLoop gtkAtWork;
            if (!g_main_context_acquire(c)) return;
            lookAndDispatch(c, n, timeout);
            g_main_context_release(c);
        }
        watch(n, timeout);
    }

    void stop() {
        stopped_ = true;
        for (const auto &[fd, w] : watched_) removeSource(fd, w.source);
        watched_.clear();
        if (timer_) cancel(timer_);
        timer_ = 0;
    }

private:
    static constexpr int kMostRounds = 50;

    // Dispatches what GLib has ready, and finds what it waits for next.
    void lookAndDispatch(GMainContext *c, int &n, int &timeout) {
        for (int round = 0;; ++round) {
            gint priority = 0;
            g_main_context_prepare(c, &priority);
            while ((n = g_main_context_query(c, priority, &timeout, fds_.data(), int(fds_.size()))) > int(fds_.size()))
                fds_.resize(size_t(n));
            // The runtime's loop does the waiting: here GLib only looks.
            g_poll(fds_.data(), guint(n), 0);
            if (!g_main_context_check(c, priority, fds_.data(), n)) break;
            g_main_context_dispatch(c);
            // What keeps falling ready waits for the next pass, so that the
            // runtime's own work is never starved.
            if (round == kMostRounds) {
                timeout = 0;
                break;
            }
        }
    }

    // GLib's poll records (a descriptor and the events GLib waits for on
    // it, as GLib reports them each pass) as the loop's sources. A record
    // GLib has dropped takes its own source away, not one added for the
    // same descriptor number since (GLib closed it, and the number was
    // taken again); a record GLib has not had before gets a source.
    void watch(int n, int timeout) {
        std::map<int, short> now;  // the events by descriptor
        for (int i = 0; i < n; ++i) {
            const GPollFD &f = fds_[size_t(i)];
            if (f.fd >= 0) now[f.fd] |= short(f.events);
        }
        for (auto it = watched_.begin(); it != watched_.end();) {
            auto still = now.find(it->first);
            if (still != now.end() && still->second == it->second.events) {
                ++it;
                continue;
            }
            removeSource(it->first, it->second.source);
            it = watched_.erase(it);
        }
        for (auto [fd, events] : now)
            if (!watched_.count(fd)) watched_[fd] = {events, addSource(fd, events, [this] { pass(); })};
        if (timer_) cancel(timer_);
        timer_ = timeout >= 0 ? postAfter(timeout,
                                          [this] {
                                              timer_ = 0;
                                              pass();
                                          })
                              : 0;
    }

    struct Watched {
        short events;
        uint64_t source;
    };
    bool started_ = false, stopped_ = false;
    std::vector<GPollFD> fds_ = std::vector<GPollFD>(8);
    std::map<int, Watched> watched_;  // by descriptor
    uint64_t timer_ = 0;
};

GlibPump &pump() {
    static GlibPump p;
    return p;
}

}  // namespace

void startGlibPump() { pump().start(); }

void runGlibPass() { pump().pass(); }

void stopGlibPump() { pump().stop(); }

}  // namespace rb::screen
