// libFuzzer target: the AV/C plug-in in the host, made with a fake helper
// bundle whose unit answers each frame with bytes of the input. The input
// is one flags byte (bit 0: the bundle gives no plug-in interface, bit 1: no
// unit), then members to call, each an opcode byte followed by what the
// member reads: a text for the setters, a message type for notifications,
// and one scripted answer per frame the member sends (see fake_helper.cpp).
//
// Besides what the sanitizers catch, each answer is checked against what the
// member made of it: a state query is true only for a successful, long
// enough answer of its mode and state, and a time text comes only from a
// successful answer of eight bytes or more, spelled from its bytes 7 to 4.
#include <binding/entrypoints.h>
#include <rb/entrypoints.h>
#include <rb/exception.h>
#include <rb/object.h>
#include <rb/plugins.h>
#include <rb/runtime.h>
#include <rb/string.h>

#include <IOKit/IOKit.h>

#include <sanitizer/lsan_interface.h>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Unit = IOFireWireAVCLibUnitInterface **;
using Inquiry = IOReturn (*)(Unit, UInt8);

struct Helper {
    void (*reset)(const uint8_t *, size_t, uint8_t, Inquiry);
    size_t (*left)();
    uint8_t (*next)();
    void (*last)(uint32_t *, IOReturn *, UInt32 *, const uint8_t **);
    bool (*message)(natural_t);
    std::string path;
} gHelper;
Inquiry gInquiry = nullptr;

template <class F> F symbol(void *lib, const char *name) {
    void *p = lib ? dlsym(lib, name) : nullptr;
    if (!p) {
        std::fprintf(stderr, "avc_fuzzer: no %s\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(p);
}

// A member of the loaded plug-in typed like Like (its own text, or one
// declared the same); there must be one.
template <rb::Text Like> auto entry(const char *text = Like.chars) {
    auto m = tavrin::lookupEntryLike<Like>(text);
    if (!m.entry || rb::isTrap(m.entry)) {
        std::fprintf(stderr, "avc_fuzzer: no member %s\n", text);
        std::abort();
    }
    return m;
}

void check(bool holds, const char *what) {
    if (holds) return;
    std::fprintf(stderr, "avc_fuzzer: %s\n", what);
    __builtin_trap();
}

struct Answer {
    uint32_t serial;
    IOReturn status;
    UInt32 reported;
    const uint8_t *bytes;
};
Answer lastAnswer() {
    Answer a{};
    gHelper.last(&a.serial, &a.status, &a.reported, &a.bytes);
    return a;
}
// Whether the member's one exchange gave a successful answer of at least
// `length` bytes (none when it sent nothing).
bool answered(uint32_t before, const Answer &a, UInt32 length) {
    return a.serial != before && a.status == 0 && a.reported >= length;
}

// ---- the members --------------------------------------------------------------------------

const char *const kCommands[] = {
    "AVC.ForwardIndex()",      "AVC.BackwardIndex()",
    "AVC.MediumEject()",       "AVC.MediumOpenTray()",
    "AVC.MediumCloseTray()",   "AVC.PlayNextFrame()",
    "AVC.PlayPreviousFrame()", "AVC.PlayForward()",
    "AVC.PlayReverse()",       "AVC.PlayForwardPause()",
    "AVC.PlayReversePause()",  "AVC.RecordRecord()",
    "AVC.RecordPause()",       "AVC.WindHighSpeedRewind()",
    "AVC.WindStop()",          "AVC.WindRewind()",
    "AVC.WindFastForward()",   "AVC.UnitInfo()",
    "AVC.SubunitInfo()",       "AVC.OutputPlugSignalFormat()",
    "AVC.VendorDependent()",   "AVC.Create()",
    "AVC.Commence()",          "AVC.Cease()",
    "AVC.Destroy()",
};
constexpr int kCommandCount = sizeof kCommands / sizeof kCommands[0];

struct State {
    const char *getter, *field;
    uint8_t mode, state1, state2;
};
const State kStates[] = {
    {"AVC.vcr_is_playing.Get", "PlayState", 0xC3, 0x75, 0x75},
    {"AVC.vcr_is_recording.Get", "RecordState", 0xC2, 0x75, 0x75},
    {"AVC.vcr_is_winding.Get", "WindState", 0xC4, 0x75, 0x65},
    {"AVC.vcr_is_loading_medium.Get", "LoadState", 0xC1, 0x75, 0x75},
};
const char *const kTimes[] = {"AVC.TimeCode.Get", "AVC.TimeCounter.Get", "AVC.RecordingDate.Get",
                              "AVC.RecordingSpeed.Get", "AVC.RecordingTime.Get"};
const char *const kTimeSetters[] = {"AVC.TimeCode.Set", "AVC.TimeCounter.Set"};

enum Op { kCommand, kState, kTime, kSetTime, kMessage, kOpCount };

void stateQuery(REALobject avc, const State &s) {
    uint32_t before = lastAnswer().serial;
    bool inState = rb::getProp(entry<"AVC.vcr_is_playing.Get">(s.getter), avc);
    Answer a = lastAnswer();
    bool inMode = answered(before, a, 4) && a.bytes[2] == s.mode;
    check(inState == (inMode && (a.bytes[3] == s.state1 || a.bytes[3] == s.state2)), "state query misread");
    rb::Value field = rb::getPropValue(avc, s.field);
    check(std::get<bool>(field) == inMode, "state byte misread");
}

void timeQuery(REALobject avc, const char *getter) {
    uint32_t before = lastAnswer().serial;
    rb::String text = rb::getProp(entry<"AVC.TimeCode.Get">(getter), avc);
    Answer a = lastAnswer();
    bool usable = answered(before, a, 8) && a.bytes[0] != 0;
    check(bool(text) == usable, "time text from an unusable answer, or none from a usable one");
    if (!usable) return;
    char expected[12];
    std::snprintf(expected, sizeof expected, "%2.2x:%2.2x:%2.2x:%2.2x", a.bytes[7], a.bytes[6], a.bytes[5], a.bytes[4]);
    check(text.str() == expected, "time text is not the answer's bytes");
}

void setTime(REALobject avc, const char *setter) {
    std::string text;
    for (uint8_t n = gHelper.next() % 16; n; --n) text.push_back(char(gHelper.next()));
    rb::setProp(entry<"AVC.TimeCode.Set">(setter), avc, rb::String(text));
}

void run(REALobject avc) {
    while (gHelper.left()) {
        uint8_t op = gHelper.next();
        uint8_t which = gHelper.next();
        try {
            switch (op % kOpCount) {
                case kCommand:
                    rb::call(entry<"AVC.WindStop()">(kCommands[which % kCommandCount]), avc);
                    break;
                case kState:
                    stateQuery(avc, kStates[which % 4]);
                    break;
                case kTime:
                    timeQuery(avc, kTimes[which % 5]);
                    break;
                case kSetTime:
                    setTime(avc, kTimeSetters[which % 2]);
                    break;
                case kMessage: {
                    uint32_t type = 0xE0000000u | uint32_t(which) << 4 | (gHelper.next() & 0x0F);
                    if (which == 0xFF) type = uint32_t(gHelper.next()) << 24 | gHelper.next();
                    gHelper.message(type);
                    break;
                }
            }
        } catch (const rb::Exception &e) {
            // Only an object without a plug-in interface raises, and only AVCException.
            check(e.className() == "AVCException", "an exception other than AVCException");
            check(!rb::getProp(entry<"AVC.isprimed.Get">(), avc), "an exception with a plug-in interface");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    RuntimeInit();
    std::string plugin = TAVRIN_AVC_PLUGIN;
    // What the plug-in keeps for the life of the process from its loading
    // on (its records, the debug printers' bundle) is no leak of an input.
    __lsan_disable();
    rb::PluginLoad load = rb::loadPlugin(plugin);
    __lsan_enable();
    if (!load.ok) {
        std::fprintf(stderr, "avc_fuzzer: %s\n", load.error.c_str());
        std::abort();
    }
    gInquiry = symbol<Inquiry>(dlopen(plugin.c_str(), RTLD_NOW | RTLD_NOLOAD), "SendCommandStatusInquiry");
    gHelper.path = TAVRIN_FUZZ_HELPER;
    // Held open for the whole run, so the plug-in's loads and unloads of the
    // bundle always find this same copy and its script.
    void *helper = dlopen((gHelper.path + "/FuzzHelper.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    gHelper.reset = symbol<decltype(gHelper.reset)>(helper, "FuzzHelperReset");
    gHelper.left = symbol<decltype(gHelper.left)>(helper, "FuzzHelperLeft");
    gHelper.next = symbol<decltype(gHelper.next)>(helper, "FuzzHelperNext");
    gHelper.last = symbol<decltype(gHelper.last)>(helper, "FuzzHelperLastAnswer");
    gHelper.message = symbol<decltype(gHelper.message)>(helper, "FuzzHelperMessage");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0) return 0;
    gHelper.reset(data + 1, size - 1, data[0] & 3, gInquiry);
    rb::String path(gHelper.path);
    rb::ObjRef avc = rb::make("AVC");
    rb::call(entry<"AVC.AVC(bundleURL as String)">(), avc.get(), path);
    check(rb::getProp(entry<"AVC.lastError.Get">(), avc.get()) != -4960, "the fake bundle did not load");
    rb::ObjRef note = rb::make("FWNotification");
    rb::call(entry<"FWNotification.FWNotification(bundleURL as string)">(), note.get(), path);
    run(avc.get());
    return 0;
}
