// Accessor calls against direct calls of the same host functions, measured
// in one run and reported as ratios: a cached selector-form silent row, a
// property-first hit (the host is asked by name on every call), and a
// cached signature-first row. Each figure is the median of several rounds,
// the accessor and the direct call timed in turn in each round.
#include "accessors.h"
#include "resolver.h"

#include <rb/host.h>
#include <rb/object.h>
#include <rb/runtime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

struct Widget {
    int32_t left = 7;
};

extern "C" __attribute__((noinline)) int32_t hostFlag(REALobject o, int32_t selector) { return o ? selector + 1 : 0; }
extern "C" __attribute__((noinline)) int32_t hostTicks() { return 42; }
rb::ClassInfo *gWidget = nullptr;
__attribute__((noinline)) int32_t directLeft(REALobject o) { return rb::fields<Widget>(o, gWidget)->left; }

template <class F> double nsPerCall(int n, F f) {
    volatile int64_t sink = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) sink = sink + f();
    return std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / n;
}

// Rounds of `n` calls of each in turn; the median of each.
template <class A, class D> void report(const char *what, int n, A accessor, D direct) {
    constexpr int kRounds = 9;
    std::vector<double> a, d;
    for (int r = 0; r < kRounds; ++r) {
        a.push_back(nsPerCall(n, accessor));
        d.push_back(nsPerCall(n, direct));
    }
    std::sort(a.begin(), a.end());
    std::sort(d.begin(), d.end());
    double am = a[kRounds / 2], dm = d[kRounds / 2];
    std::printf("%-52s %8.2f ns, direct %6.2f ns, ratio %6.2f (median of %d rounds)\n", what, am, dm, am / dm, kRounds);
}

}  // namespace

int main() {
    RuntimeInit();
    gResolver = rb::resolve;
    rb::registerService("MDBBooleanGetter", reinterpret_cast<void *>(&hostFlag));
    rb::addGlobalMethod("Ticks() As Integer", reinterpret_cast<void *>(&hostTicks));
    rb::ClassInfo *cls = rb::defineClass<Widget>("BenchWidget");
    rb::addHostProperty(
        cls, "Left", "integer", [cls](REALobject o) { return rb::Value(int64_t(rb::fields<Widget>(o, cls)->left)); },
        [cls](REALobject o, const rb::Value &v) { rb::fields<Widget>(o, cls)->left = int32_t(std::get<int64_t>(v)); });
    gWidget = cls;
    rb::ObjRef w = rb::make(cls);
    REALobject o = w.get();

    int32_t (*volatile flag)(REALobject, int32_t) = &hostFlag;
    int32_t (*volatile ticks)() = &hostTicks;
    int32_t (*volatile left)(REALobject) = &directLeft;
    const int n = 5'000'000;
    report(
        "cached selector-form silent (MessageDialogButton_GetVisible)", n,
        [&] { return MessageDialogButton_GetVisible(o); }, [&] { return flag(o, 0); });
    report(
        "property-first hit (Window_GetLeft)", n / 10, [&] { return Window_GetLeft(reinterpret_cast<REALwindow>(o)); },
        [&] { return left(o); });
    report(
        "cached signature-first (Runtime_Ticks)", n, [&] { return Runtime_Ticks(); }, [&] { return ticks(); });
    return 0;
}
