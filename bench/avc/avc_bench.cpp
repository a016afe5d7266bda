// Prints the time of a transport command and of a time-code query through
// the entry-point table into the AV/C plug-in and on to the simulated deck.
#include <fw/FWSim.h>
#include <rb/entrypoints.h>
#include <rb/plugins.h>
#include <rb/runtime.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using Clock = std::chrono::steady_clock;

template <class F> static void measure(const char *what, F f) {
    std::vector<double> ns;
    for (int i = 0; i < 20000; ++i) {
        auto t0 = Clock::now();
        f();
        ns.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
    }
    std::sort(ns.begin(), ns.end());
    std::printf("%s: median %.0f ns, p99 %.0f ns\n", what, ns[ns.size() / 2], ns[ns.size() * 99 / 100]);
}

int main() {
    RuntimeInit();
    if (!rb::loadPlugin(TAVRIN_AVC_PLUGIN).ok) return 1;
    fwsim_reset(1);
    auto ctor = rb::lookup<"AVC.AVC()">();
    auto play = rb::lookup<"AVC.PlayForward()">();
    auto tc = rb::lookup<"AVC.TimeCode.Get", "String">();
    rb::ObjRef o = rb::make("AVC");
    rb::call(ctor, o.get());
    measure("transport command (PlayForward)", [&] { rb::call(play, o.get()); });
    measure("time code query (TimeCode.Get)", [&] { rb::getProp(tc, o.get()); });
    return 0;
}
