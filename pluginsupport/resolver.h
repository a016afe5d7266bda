// The plug-in's one resolver of host services, kept by REALPluginMain, and
// a cache for one service fetched through it.
#pragma once

#include <rb/plugin.h>

#include <atomic>
#include <cstdint>

extern "C" REALResolver gResolver;

// Counts the resolvers handed to setResolver: a service kept under an
// earlier one is fetched again through the new one.
extern std::atomic<uint32_t> gResolverGeneration;

// Keeps `resolver` as the plug-in's resolver (REALPluginMain). A plug-in
// that is given a new resolver without being unloaded, as a test host may
// do, then asks the new host for every service.
inline void setResolver(REALResolver resolver) {
    gResolver = resolver;
    gResolverGeneration.fetch_add(1, std::memory_order_acq_rel);
}

// A host service by name, or nullptr when there is no resolver or no service.
inline void *hostService(const char *name) { return gResolver ? gResolver(name) : nullptr; }

// One host service, fetched by name on first use and kept once found (a
// missing service is asked for again on the next use, and a kept one again
// after setResolver). Declare it as a function-local static next to the one
// call that needs it, or with HOST_SERVICE.
template <class F> class HostService {
public:
    explicit constexpr HostService(const char *name) : name_(name) {}
    F get() {
        uint32_t generation = gResolverGeneration.load(std::memory_order_acquire);
        void *fn = slot_.load(std::memory_order_acquire);
        if (!fn || generation_.load(std::memory_order_acquire) != generation) {
            fn = hostService(name_);
            slot_.store(fn, std::memory_order_release);
            generation_.store(generation, std::memory_order_release);
        }
        return reinterpret_cast<F>(fn);
    }

private:
    const char *name_;
    std::atomic<void *> slot_{nullptr};
    std::atomic<uint32_t> generation_{0};
};

// `var`: the service `name` of type `type`, or nullptr, from a slot of its own.
#define HOST_SERVICE(var, name, type)             \
    static HostService<type> var##_service(name); \
    auto var = var##_service.get()
