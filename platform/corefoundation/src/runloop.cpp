// The main run loop: version-0 sources, file descriptors and timers, driven
// through one epoll descriptor that the host polls (fw_runloop_fd) and
// fw_runloop_perform. The epoll set holds a timerfd (timers and signalled
// sources) and the descriptors whose read callbacks are enabled.
#include "object.h"

#include <poll.h>
#include <sys/epoll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

namespace fw {
namespace {

constexpr uint64_t kNever = UINT64_MAX;
// Seconds between the Unix epoch and 1 Jan 2001.
constexpr double kAbsoluteTimeEpoch = 978307200.0;

struct FileDescriptor;

struct Source : Object {
    Source() : Object(kTypeSource) {}
    ~Source() override {
        if (ctx.release && ctx.info) ctx.release(ctx.info);
    }
    CFRunLoopSourceContext ctx{};
    CFIndex order = 0;
    bool valid = true, signalled = false, inLoop = false;
    FileDescriptor *watch = nullptr;  // a file descriptor's source: held through ctx.info
    bool watched = false;             // its descriptor is in the epoll set
};

struct FileDescriptor : Object {
    FileDescriptor() : Object(kTypeFileDescriptor) {}
    ~FileDescriptor() override {
        if (ctx.release && ctx.info) ctx.release(ctx.info);
    }
    int fd = -1;
    bool closeOnInvalidate = false, valid = true;
    bool wantRead = false;  // the read callback is enabled
    CFFileDescriptorCallBack callout = nullptr;
    CFFileDescriptorContext ctx{};
    Source *source = nullptr;  // its run-loop source while that lives (not held)
};

struct Timer : Object {
    Timer() : Object(kTypeTimer) {}
    ~Timer() override {
        if (ctx.release && ctx.info) ctx.release(ctx.info);
    }
    CFRunLoopTimerContext ctx{};
    CFRunLoopTimerCallBack callout = nullptr;
    CFTimeInterval interval = 0;
    uint64_t due = kNever;  // monotonic ns
    bool valid = true, inLoop = false;
};

struct RunLoop : Object {
    RunLoop() : Object(kTypeRunLoop) {
        immortal = true;
        fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        ep = epoll_create1(EPOLL_CLOEXEC);
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.ptr = nullptr;  // the timerfd
        epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev);
    }
    std::recursive_mutex m;
    std::vector<Source *> sources;  // each holds one reference
    std::vector<Timer *> timers;    // each holds one reference
    int fd = -1;                    // the timerfd
    int ep = -1;                    // what the host polls

    // Puts a file descriptor's source in the epoll set while it is in the
    // loop with its read callback enabled, and takes it out otherwise
    // (caller holds m).
    void watch(Source *s) {
        FileDescriptor *f = s->watch;
        bool want = f && f->valid && f->wantRead && s->valid && s->inLoop;
        if (want == s->watched) return;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.ptr = s;
        // A descriptor closed meanwhile has left the set by itself.
        epoll_ctl(ep, want ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, f->fd, &ev);
        s->watched = want;
    }

    // Arms the fd for the earliest work (caller holds m).
    void arm() {
        uint64_t next = kNever;
        for (Source *s : sources)
            if (s->signalled && s->valid) next = 1;
        for (Timer *t : timers) next = std::min(next, t->due);
        itimerspec its{};
        int flags = TFD_TIMER_ABSTIME;
        if (next != kNever && clock_injected()) {
            // The fd wakes the host in the machine's time: as far ahead as
            // the work is on the run loop's clock (a host that moves that
            // clock itself calls fw_runloop_perform anyway).
            uint64_t now = mono_ns();
            next = next > now ? next - now : 1;
            flags = 0;
        }
        if (next != kNever) {
            if (next == 0) next = 1;  // zero would disarm
            its.it_value.tv_sec = time_t(next / 1000000000ull);
            its.it_value.tv_nsec = long(next % 1000000000ull);
        }
        timerfd_settime(fd, flags, &its, nullptr);
    }
    void removeSource(Source *s) {
        auto it = std::find(sources.begin(), sources.end(), s);
        if (it == sources.end()) return;
        sources.erase(it);
        s->inLoop = false;
        watch(s);
        CFRelease(s);
    }
    void removeTimer(Timer *t) {
        auto it = std::find(timers.begin(), timers.end(), t);
        if (it == timers.end()) return;
        timers.erase(it);
        t->inLoop = false;
        CFRelease(t);
    }
};

RunLoop &main_loop() {
    static RunLoop *rl = new RunLoop;
    return *rl;
}

// The machine's absolute time and the run loop's clock when a clock was
// injected: absolute time then follows that clock.
double g_absBase = 0;
uint64_t g_clockBase = 0;

uint64_t abs_to_mono(CFAbsoluteTime t) {
    if (std::isnan(t)) return kNever;
    double delta = t - CFAbsoluteTimeGetCurrent();
    uint64_t now = mono_ns();
    if (delta <= 0) return now;
    if (delta > 1e9) return kNever;  // beyond thirty years: never
    // Whole microseconds: a date made as now + a delay lands on that delay.
    return now + uint64_t(std::llround(delta * 1e6)) * 1000u;
}

}  // namespace
}  // namespace fw

using namespace fw;

extern "C" {

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

CFRunLoopRef CFRunLoopGetCurrent() { return reinterpret_cast<CFRunLoopRef>(&main_loop()); }
CFRunLoopRef CFRunLoopGetMain() { return CFRunLoopGetCurrent(); }

namespace {
CFAbsoluteTime machineAbsoluteTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9 - kAbsoluteTimeEpoch;
}
}  // namespace

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
    if (!clock_injected()) return machineAbsoluteTime();
    return g_absBase + double(int64_t(mono_ns() - g_clockBase)) * 1e-9;
}

void fw_set_clock(uint64_t (*nowNs)(void *ctx), bool (*passMs)(void *ctx, int ms), void *ctx) {
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    // Timers keep their time still to run across the change.
    uint64_t before = mono_ns();
    g_absBase = CFAbsoluteTimeGetCurrent();
    set_injected_clock(nowNs, passMs, ctx);
    uint64_t after = mono_ns();
    g_clockBase = after;
    for (Timer *t : rl.timers)
        if (t->due != kNever) t->due = t->due > before ? after + (t->due - before) : after;
    rl.arm();
}

// ---- sources ----------------------------------------------------------------------

CFRunLoopSourceRef CFRunLoopSourceCreate(CFAllocatorRef, CFIndex order, CFRunLoopSourceContext *context) {
    if (!context || context->version != 0) return nullptr;
    auto *s = new Source;
    s->ctx = *context;
    s->order = order;
    if (s->ctx.retain && s->ctx.info) s->ctx.info = const_cast<void *>(s->ctx.retain(s->ctx.info));
    return reinterpret_cast<CFRunLoopSourceRef>(s);
}

void CFRunLoopSourceSignal(CFRunLoopSourceRef source) {
    auto *s = as<Source>(source, kTypeSource);
    if (!s) return;
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    if (!s->valid) return;
    s->signalled = true;
    if (s->inLoop) rl.arm();
}

void CFRunLoopSourceInvalidate(CFRunLoopSourceRef source) {
    auto *s = as<Source>(source, kTypeSource);
    if (!s) return;
    RunLoop &rl = main_loop();
    CFRetain(s);
    {
        std::lock_guard<std::recursive_mutex> lock(rl.m);
        s->valid = false;
        s->signalled = false;
        rl.removeSource(s);
        rl.arm();
    }
    CFRelease(s);
}

Boolean CFRunLoopSourceIsValid(CFRunLoopSourceRef source) {
    auto *s = as<Source>(source, kTypeSource);
    return s && s->valid;
}

void CFRunLoopAddSource(CFRunLoopRef, CFRunLoopSourceRef source, CFStringRef) {
    auto *s = as<Source>(source, kTypeSource);
    if (!s) return;
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    if (!s->valid || s->inLoop) return;
    CFRetain(s);
    s->inLoop = true;
    // Lower order runs first; equal orders keep the order of adding.
    auto it = std::upper_bound(rl.sources.begin(), rl.sources.end(), s,
                               [](Source *a, Source *b) { return a->order < b->order; });
    rl.sources.insert(it, s);
    if (s->ctx.schedule) s->ctx.schedule(s->ctx.info, CFRunLoopGetMain(), kCFRunLoopDefaultMode);
    rl.watch(s);
    rl.arm();
}

void CFRunLoopRemoveSource(CFRunLoopRef, CFRunLoopSourceRef source, CFStringRef) {
    auto *s = as<Source>(source, kTypeSource);
    if (!s) return;
    RunLoop &rl = main_loop();
    CFRetain(s);
    {
        std::lock_guard<std::recursive_mutex> lock(rl.m);
        if (s->inLoop && s->ctx.cancel) s->ctx.cancel(s->ctx.info, CFRunLoopGetMain(), kCFRunLoopDefaultMode);
        rl.removeSource(s);
        rl.arm();
    }
    CFRelease(s);
}

Boolean CFRunLoopContainsSource(CFRunLoopRef, CFRunLoopSourceRef source, CFStringRef) {
    auto *s = as<Source>(source, kTypeSource);
    std::lock_guard<std::recursive_mutex> lock(main_loop().m);
    return s && s->inLoop;
}

void CFRunLoopWakeUp(CFRunLoopRef) {
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    itimerspec its{};
    its.it_value.tv_nsec = 1;
    timerfd_settime(rl.fd, TFD_TIMER_ABSTIME, &its, nullptr);
}

// ---- file descriptors ----------------------------------------------------------------

namespace {

void fd_perform(void *info) {
    auto *f = static_cast<FileDescriptor *>(info);
    if (f->valid && f->callout)
        f->callout(reinterpret_cast<CFFileDescriptorRef>(f), kCFFileDescriptorReadCallBack, f->ctx.info);
}

const void *fd_retain(const void *info) { return CFRetain(info); }

void fd_release(const void *info) {
    auto *f = static_cast<FileDescriptor *>(const_cast<void *>(info));
    f->source = nullptr;  // the source is going
    CFRelease(f);
}

void fd_resync(FileDescriptor *f) {
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    if (f->source) rl.watch(f->source);
}

}  // namespace

CFFileDescriptorRef CFFileDescriptorCreate(CFAllocatorRef, CFFileDescriptorNativeDescriptor fd,
                                           Boolean closeOnInvalidate, CFFileDescriptorCallBack callout,
                                           const CFFileDescriptorContext *context) {
    if (fd < 0 || !callout) return nullptr;
    auto *f = new FileDescriptor;
    f->fd = fd;
    f->closeOnInvalidate = closeOnInvalidate;
    f->callout = callout;
    if (context) f->ctx = *context;
    if (f->ctx.retain && f->ctx.info) f->ctx.info = const_cast<void *>(f->ctx.retain(f->ctx.info));
    return reinterpret_cast<CFFileDescriptorRef>(f);
}

CFFileDescriptorNativeDescriptor CFFileDescriptorGetNativeDescriptor(CFFileDescriptorRef d) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    return f ? f->fd : -1;
}

void CFFileDescriptorEnableCallBacks(CFFileDescriptorRef d, CFOptionFlags callBackTypes) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    if (!f || !f->valid || !(callBackTypes & kCFFileDescriptorReadCallBack)) return;
    f->wantRead = true;
    fd_resync(f);
}

void CFFileDescriptorDisableCallBacks(CFFileDescriptorRef d, CFOptionFlags callBackTypes) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    if (!f || !(callBackTypes & kCFFileDescriptorReadCallBack)) return;
    f->wantRead = false;
    fd_resync(f);
}

void CFFileDescriptorInvalidate(CFFileDescriptorRef d) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    if (!f || !f->valid) return;
    CFRetain(f);
    f->valid = false;
    fd_resync(f);  // out of the epoll set before the descriptor may close
    if (f->source) CFRunLoopSourceInvalidate(reinterpret_cast<CFRunLoopSourceRef>(f->source));
    if (f->closeOnInvalidate) close(f->fd);
    CFRelease(f);
}

Boolean CFFileDescriptorIsValid(CFFileDescriptorRef d) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    return f && f->valid;
}

CFRunLoopSourceRef CFFileDescriptorCreateRunLoopSource(CFAllocatorRef, CFFileDescriptorRef d, CFIndex order) {
    auto *f = as<FileDescriptor>(d, kTypeFileDescriptor);
    if (!f || !f->valid) return nullptr;
    if (f->source) {
        CFRetain(f->source);
        return reinterpret_cast<CFRunLoopSourceRef>(f->source);
    }
    CFRunLoopSourceContext ctx{};
    ctx.info = f;
    ctx.retain = fd_retain;
    ctx.release = fd_release;
    ctx.perform = fd_perform;
    CFRunLoopSourceRef ref = CFRunLoopSourceCreate(nullptr, order, &ctx);
    f->source = as<Source>(ref, kTypeSource);
    f->source->watch = f;
    return ref;
}

// ---- timers ----------------------------------------------------------------------------

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate, CFTimeInterval interval, CFOptionFlags,
                                       CFIndex, CFRunLoopTimerCallBack callout, CFRunLoopTimerContext *context) {
    if (!callout) return nullptr;
    auto *t = new Timer;
    if (context) t->ctx = *context;
    if (t->ctx.retain && t->ctx.info) t->ctx.info = const_cast<void *>(t->ctx.retain(t->ctx.info));
    t->callout = callout;
    t->interval = interval > 0 ? interval : 0;
    t->due = abs_to_mono(fireDate);
    return reinterpret_cast<CFRunLoopTimerRef>(t);
}

void CFRunLoopAddTimer(CFRunLoopRef, CFRunLoopTimerRef timer, CFStringRef) {
    auto *t = as<Timer>(timer, kTypeTimer);
    if (!t) return;
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    if (!t->valid || t->inLoop) return;
    CFRetain(t);
    t->inLoop = true;
    rl.timers.push_back(t);
    rl.arm();
}

void CFRunLoopRemoveTimer(CFRunLoopRef, CFRunLoopTimerRef timer, CFStringRef) {
    auto *t = as<Timer>(timer, kTypeTimer);
    if (!t) return;
    RunLoop &rl = main_loop();
    CFRetain(t);
    {
        std::lock_guard<std::recursive_mutex> lock(rl.m);
        rl.removeTimer(t);
        rl.arm();
    }
    CFRelease(t);
}

void CFRunLoopTimerSetNextFireDate(CFRunLoopTimerRef timer, CFAbsoluteTime fireDate) {
    auto *t = as<Timer>(timer, kTypeTimer);
    if (!t) return;
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    t->due = abs_to_mono(fireDate);
    rl.arm();
}

CFAbsoluteTime CFRunLoopTimerGetNextFireDate(CFRunLoopTimerRef timer) {
    auto *t = as<Timer>(timer, kTypeTimer);
    if (!t) return 0;
    std::lock_guard<std::recursive_mutex> lock(main_loop().m);
    if (t->due == kNever) return 1e300;
    double delta = (double(t->due) - double(mono_ns())) * 1e-9;
    return CFAbsoluteTimeGetCurrent() + delta;
}

void CFRunLoopTimerInvalidate(CFRunLoopTimerRef timer) {
    auto *t = as<Timer>(timer, kTypeTimer);
    if (!t) return;
    RunLoop &rl = main_loop();
    CFRetain(t);
    {
        std::lock_guard<std::recursive_mutex> lock(rl.m);
        t->valid = false;
        t->due = kNever;
        rl.removeTimer(t);
        rl.arm();
    }
    CFRelease(t);
}

Boolean CFRunLoopTimerIsValid(CFRunLoopTimerRef timer) {
    auto *t = as<Timer>(timer, kTypeTimer);
    return t && t->valid;
}

// ---- driving the loop ----------------------------------------------------------------------

int fw_runloop_fd() { return main_loop().ep; }

int fw_runloop_perform() {
    RunLoop &rl = main_loop();
    uint64_t expirations;
    while (read(rl.fd, &expirations, sizeof expirations) > 0) {}
    std::vector<Source *> due_sources;
    std::vector<Timer *> due_timers;
    {
        std::lock_guard<std::recursive_mutex> lock(rl.m);
        // Readable descriptors signal their sources; each read callback
        // fires once, then waits to be enabled again.
        epoll_event ready[32];
        int n = epoll_wait(rl.ep, ready, 32, 0);
        for (int i = 0; i < n; ++i) {
            auto *s = static_cast<Source *>(ready[i].data.ptr);
            if (!s || !s->watched) continue;
            s->signalled = true;
            s->watch->wantRead = false;
            rl.watch(s);
        }
        uint64_t now = mono_ns();
        for (Source *s : rl.sources) {
            if (s->signalled && s->valid) {
                s->signalled = false;
                CFRetain(s);
                due_sources.push_back(s);
            }
        }
        for (Timer *t : rl.timers) {
            if (t->due > now) continue;
            CFRetain(t);
            due_timers.push_back(t);
            if (t->interval > 0) {
                uint64_t step = std::max<uint64_t>(1, uint64_t(t->interval * 1e9));
                uint64_t missed = (now - t->due) / step + 1;  // skip the missed firings
                t->due += missed * step;
            } else {
                t->due = kNever;
            }
        }
    }
    int ran = 0;
    for (Source *s : due_sources) {
        if (s->valid && s->inLoop && s->ctx.perform) {
            s->ctx.perform(s->ctx.info);
            ++ran;
        }
        CFRelease(s);
    }
    for (Timer *t : due_timers) {
        if (t->valid && t->inLoop) {
            t->callout(reinterpret_cast<CFRunLoopTimerRef>(t), t->ctx.info);
            ++ran;
        }
        // A one-shot timer is done after firing unless its callout set a
        // new date.
        if (t->interval == 0) {
            std::lock_guard<std::recursive_mutex> lock(rl.m);
            if (t->due == kNever) {
                t->valid = false;
                rl.removeTimer(t);
            }
        }
        CFRelease(t);
    }
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    rl.arm();
    return ran;
}

double fw_runloop_next_timeout() {
    RunLoop &rl = main_loop();
    std::lock_guard<std::recursive_mutex> lock(rl.m);
    uint64_t next = kNever;
    for (Source *s : rl.sources)
        if (s->signalled && s->valid) return 0;
    for (Timer *t : rl.timers) next = std::min(next, t->due);
    if (next == kNever) return -1;
    uint64_t now = mono_ns();
    return next <= now ? 0 : double(next - now) * 1e-9;
}

SInt32 CFRunLoopRunInMode(CFStringRef, CFTimeInterval seconds, Boolean returnAfterSourceHandled) {
    uint64_t deadline = mono_ns() + uint64_t(std::max(0.0, std::min(seconds, 1e6)) * 1e9);
    bool handled = false;
    for (;;) {
        if (fw_runloop_perform() > 0) {
            handled = true;
            if (returnAfterSourceHandled) return kCFRunLoopRunHandledSource;
        }
        uint64_t now = mono_ns();
        if (now >= deadline) break;
        // On a clock moved by hand the wait moves it on; else work coming
        // ends the wait early.
        int ms = int((deadline - now + 999999) / 1000000);
        if (pass_by_hand(ms)) continue;
        pollfd p{fw_runloop_fd(), POLLIN, 0};
        poll(&p, 1, ms);
    }
    return handled ? kCFRunLoopRunHandledSource : kCFRunLoopRunTimedOut;
}

}  // extern "C"

extern "C" uint64_t fw_clock_ns() { return mono_ns(); }
extern "C" void fw_clock_wait(int ms) { wait_ms(ms); }
