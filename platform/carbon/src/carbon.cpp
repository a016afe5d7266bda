// Carbon services: Gestalt, DebugStr, file references, the Frameworks
// folder and event-loop (idle) timers on the main run loop.
#include "Carbon/Carbon.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

OSErr g_gestalt_fail = 0;
FwDebugStrHook g_debug_hook = nullptr;
void *g_debug_ctx = nullptr;

// Makes a folder and its parents; true when it exists afterwards.
bool make_dirs(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !make_dirs(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string frameworks_dir() {
    if (const char *env = std::getenv("TAVRIN_FRAMEWORKS_DIR"); env && *env) return env;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&FSFindFolder), &info) && info.dli_fname) {
        std::string lib = info.dli_fname;
        size_t slash = lib.rfind('/');
        return (slash == std::string::npos ? std::string(".") : lib.substr(0, slash)) + "/Frameworks";
    }
    return "Frameworks";
}

// ---- event-loop timers ---------------------------------------------------------------

// A Carbon timer drives one CF timer whose own repeat is parked far away; the
// next firing is always set explicitly.
constexpr double kParked = 1e8;

struct EvTimer {
    bool idle = false;
    EventLoopIdleTimerProcPtr idleProc = nullptr;
    EventLoopTimerProcPtr proc = nullptr;
    void *data = nullptr;
    double delay = 0, interval = 0;
    bool started = false;      // idle: Started was sent
    bool stopPending = false;  // idle: the user came back
    bool busy = false, removed = false;
    CFRunLoopTimerRef cf = nullptr;
};

std::vector<EvTimer *> &idle_timers() {
    static auto *v = new std::vector<EvTimer *>;
    return *v;
}

void set_next(EvTimer *t, double seconds) {
    CFRunLoopTimerSetNextFireDate(t->cf, seconds < 0 ? 1e300 : CFAbsoluteTimeGetCurrent() + seconds);
}

void destroy(EvTimer *t) {
    CFRunLoopTimerInvalidate(t->cf);
    CFRelease(t->cf);
    delete t;
}

void fire(CFRunLoopTimerRef, void *info) {
    auto *t = static_cast<EvTimer *>(info);
    t->busy = true;
    double next = -1;
    if (!t->idle) {
        next = t->interval > 0 ? t->interval : -1;
        set_next(t, next);  // before the call, so the procedure may change it
        t->proc(reinterpret_cast<EventLoopTimerRef>(t), t->data);
    } else if (t->stopPending) {
        t->stopPending = false;
        t->started = false;
        set_next(t, t->delay);
        t->idleProc(reinterpret_cast<EventLoopTimerRef>(t), kEventLoopIdleTimerStopped, t->data);
    } else {
        EventLoopIdleTimerMessage msg = t->started ? kEventLoopIdleTimerIdling : kEventLoopIdleTimerStarted;
        t->started = true;
        set_next(t, t->interval > 0 ? t->interval : -1);
        t->idleProc(reinterpret_cast<EventLoopTimerRef>(t), msg, t->data);
    }
    t->busy = false;
    if (t->removed) destroy(t);
}

OSStatus install(EvTimer *t, double delay, EventLoopTimerRef *out) {
    CFRunLoopTimerContext ctx{0, t, nullptr, nullptr, nullptr};
    t->cf = CFRunLoopTimerCreate(nullptr, CFAbsoluteTimeGetCurrent() + std::max(0.0, delay), kParked, 0, 0, fire, &ctx);
    if (!t->cf) {
        delete t;
        return paramErr;
    }
    if (delay < 0) CFRunLoopTimerSetNextFireDate(t->cf, 1e300);
    CFRunLoopAddTimer(CFRunLoopGetMain(), t->cf, kCFRunLoopCommonModes);
    if (out) *out = reinterpret_cast<EventLoopTimerRef>(t);
    return noErr;
}

}  // namespace

struct OpaqueEventLoopRef {
    int unused;
};
static OpaqueEventLoopRef g_main_event_loop;

extern "C" {

OSErr Gestalt(OSType selector, SInt32 *response) {
    if (g_gestalt_fail) return g_gestalt_fail;
    if (!response) return paramErr;
    if (selector == gestaltSystemVersion) {
        *response = 0x1048;
        return noErr;
    }
    return gestaltUndefSelectorErr;
}

void fw_gestalt_fail(OSErr status) { g_gestalt_fail = status; }

void DebugStr(ConstStr255Param msg) {
    size_t n = msg ? msg[0] : 0;
    const char *text = msg ? reinterpret_cast<const char *>(msg + 1) : "";
    if (g_debug_hook) {
        g_debug_hook(text, n, g_debug_ctx);
        return;
    }
    std::fwrite(text, 1, n, stderr);
    std::fputc('\n', stderr);
}

void fw_set_debugstr_hook(FwDebugStrHook hook, void *ctx) {
    g_debug_hook = hook;
    g_debug_ctx = ctx;
}

// ---- files -------------------------------------------------------------------------------

OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory) {
    if (!path || !ref) return paramErr;
    const char *p = reinterpret_cast<const char *>(path);
    char full[4096];
    if (!realpath(p, full)) return fnfErr;
    if (std::strlen(full) >= sizeof ref->path) return paramErr;
    struct stat st {};
    if (stat(full, &st) != 0) return fnfErr;
    std::memset(ref, 0, sizeof *ref);
    std::strcpy(ref->path, full);
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return noErr;
}

OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize) {
    if (!ref || !path || ref->path[0] != '/') return paramErr;
    size_t n = strnlen(ref->path, sizeof ref->path);
    if (n == sizeof ref->path || n + 1 > maxPathSize) return paramErr;
    std::memcpy(path, ref->path, n + 1);
    return noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef *ref) {
    if (!ref || ref->path[0] != '/') return nullptr;
    size_t n = strnlen(ref->path, sizeof ref->path);
    if (n == sizeof ref->path) return nullptr;
    struct stat st {};
    bool dir = stat(ref->path, &st) == 0 && S_ISDIR(st.st_mode);
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(ref->path), CFIndex(n),
                                                   dir);
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef *ref) {
    UInt8 buf[sizeof(FSRef::path)];
    if (!ref || !CFURLGetFileSystemRepresentation(url, 1, buf, sizeof buf)) return 0;
    return FSPathMakeRef(buf, ref, nullptr) == noErr;
}

OSErr FSFindFolder(SInt16, OSType folderType, Boolean createFolder, FSRef *foundRef) {
    if (!foundRef) return paramErr;
    if (folderType != kFrameworksFolderType) return fnfErr;
    std::string dir = frameworks_dir();
    if (createFolder && !make_dirs(dir)) return dirNFErr;
    OSStatus st = FSPathMakeRef(reinterpret_cast<const UInt8 *>(dir.c_str()), foundRef, nullptr);
    return st == noErr ? noErr : fnfErr;
}

// ---- event loop --------------------------------------------------------------------------

EventLoopRef GetCurrentEventLoop() { return &g_main_event_loop; }
EventLoopRef GetMainEventLoop() { return &g_main_event_loop; }
CFRunLoopRef GetCFRunLoopFromEventLoop(EventLoopRef) { return CFRunLoopGetMain(); }

OSStatus RunCurrentEventLoop(EventTimeout inTimeout) {
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, inTimeout < 0 ? 1e6 : inTimeout, 0);
    return noErr;
}

EventLoopIdleTimerUPP NewEventLoopIdleTimerUPP(EventLoopIdleTimerProcPtr proc) { return proc; }
void DisposeEventLoopIdleTimerUPP(EventLoopIdleTimerUPP) {}

OSStatus InstallEventLoopIdleTimer(EventLoopRef, EventTimerInterval inFireDelay, EventTimerInterval inInterval,
                                   EventLoopIdleTimerUPP inTimerProc, void *inTimerData, EventLoopTimerRef *outTimer) {
    if (!inTimerProc) return paramErr;
    auto *t = new EvTimer;
    t->idle = true;
    t->idleProc = inTimerProc;
    t->data = inTimerData;
    t->delay = std::max(0.0, inFireDelay);
    t->interval = std::max(0.0, inInterval);
    OSStatus st = install(t, t->delay, outTimer);
    if (st == noErr) idle_timers().push_back(t);
    return st;
}

OSStatus InstallEventLoopTimer(EventLoopRef, EventTimerInterval inFireDelay, EventTimerInterval inInterval,
                               EventLoopTimerUPP inTimerProc, void *inTimerData, EventLoopTimerRef *outTimer) {
    if (!inTimerProc) return paramErr;
    auto *t = new EvTimer;
    t->proc = inTimerProc;
    t->data = inTimerData;
    t->delay = inFireDelay;
    t->interval = std::max(0.0, inInterval);
    return install(t, inFireDelay, outTimer);
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef inTimer) {
    auto *t = reinterpret_cast<EvTimer *>(inTimer);
    if (!t) return paramErr;
    auto &v = idle_timers();
    v.erase(std::remove(v.begin(), v.end(), t), v.end());
    CFRunLoopTimerInvalidate(t->cf);
    if (t->busy) t->removed = true;  // inside its own procedure: freed on return
    else destroy(t);
    return noErr;
}

OSStatus SetEventLoopTimerNextFireTime(EventLoopTimerRef inTimer, EventTimerInterval inNextFire) {
    auto *t = reinterpret_cast<EvTimer *>(inTimer);
    if (!t) return paramErr;
    set_next(t, inNextFire);
    return noErr;
}

void fw_note_user_activity() {
    for (EvTimer *t : idle_timers()) {
        if (t->started) {
            t->stopPending = true;
            set_next(t, 0);
        } else {
            set_next(t, t->delay);
        }
    }
}

}  // extern "C"
