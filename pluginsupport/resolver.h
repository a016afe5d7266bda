// The plug-in's one resolver of host services, kept by REALPluginMain, and
// a cache for one service fetched through it.
#pragma once

#include <rb/plugin.h>

#include <atomic>

extern "C" REALResolver gResolver;

// A host service by name, or nullptr when there is no resolver or no service.
inline void *hostService(const char *name) { return gResolver ? gResolver(name) : nullptr; }

// One host service, fetched by name on first use and kept once found (a
// missing service is asked for again on the next use). Declare it as a
// function-local static next to the one call that needs it.
template <class F> class HostService {
public:
    explicit constexpr HostService(const char *name) : name_(name) {}
    F get() {
        void *fn = slot_.load(std::memory_order_acquire);
        if (!fn) {
            fn = hostService(name_);
            if (fn) slot_.store(fn, std::memory_order_release);
        }
        return reinterpret_cast<F>(fn);
    }

private:
    const char *name_;
    std::atomic<void *> slot_{nullptr};
};
