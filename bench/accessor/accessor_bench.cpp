#include "resolver.h"
#include "accessors.h"

#include <rb/host.h>
#include <rb/runtime.h>
#include <rb/string.h>

#include <chrono>
#include <cstdio>

using Clock = std::chrono::steady_clock;

extern "C" __attribute__((noinline)) int32_t hostLen(REALstring s) { return s ? int32_t(s->bytes.size()) : 0; }

int main() {
    RuntimeInit();
    gResolver = rb::resolve;
    rb::registerService("StringDBCSLen", reinterpret_cast<void *>(&hostLen));
    rb::String s("a host string");
    const int n = 50'000'000;
    volatile int64_t sink = 0;
    int32_t (*volatile direct)(REALstring) = &hostLen;
    auto t0 = Clock::now();
    for (int i = 0; i < n; ++i) sink = sink + direct(s.get());
    auto t1 = Clock::now();
    for (int i = 0; i < n; ++i) sink = sink + String_Len(s.get());
    auto t2 = Clock::now();
    double d = std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
    double a = std::chrono::duration<double, std::nano>(t2 - t1).count() / n;
    std::printf("direct call %.2f ns, cached accessor String_Len %.2f ns, ratio %.2f\n", d, a, a / d);
    return 0;
}
