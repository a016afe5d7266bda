// QTGrabberPlyx: a synthetic video source. It shows a moving test picture
// at the source size (720x480, or TAVRIN_VIDEO_SIZE=WxH), or no signal at
// all with TAVRIN_NO_VIDEO=1 (both read by InitVideo). The picture runs at
// 30 frames a second of real time while previewing and not paused; Poll
// catches up and paints the window given to OutputToWindow.
#include "host.h"
#include "members.h"
#include "pattern.h"

#include "imaging/imaging.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace grab {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFramesPerSecond = 30;
constexpr int kDefaultWidth = 720, kDefaultHeight = 480;
// Largest picture side the grabber makes or paints.
constexpr int kMaxSide = 8192;

struct State {
    bool videoReady = false;  // InitVideo ran
    bool noSignal = false;
    bool previewing = false;
    bool paused = false;
    bool preparedForPreview = false, preparedForRecord = false;
    int width = kDefaultWidth, height = kDefaultHeight;  // the source
    IntRect current{};                                   // where the video goes in the window
    PictureControls controls;
    uint64_t frame = 0;
    Clock::time_point last{};
    int64_t carry = 0;  // time not yet worth a whole frame, in microseconds x frame rate
    REALobject window = nullptr;
    std::vector<uint32_t> scratch;
};

// The instance data (44 bytes in the class record): the state lives on the
// heap, made by the first member that needs it and freed by the destructor.
struct GrabberData {
    State *state;
};
static_assert(sizeof(GrabberData) <= 44, "QTGrabberPlyx instance data is 44 bytes");

State *state(REALobject o) {
    auto *d = static_cast<GrabberData *>(instanceData(o, "QTGrabberPlyx"));
    if (!d) return nullptr;
    if (!d->state) d->state = new (std::nothrow) State;
    return d->state;
}

bool hasVideo(const State &s) { return s.videoReady && !s.noSignal; }

bool sane(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide; }

// "WxH" with both sides within limits.
bool parseSize(const char *text, int *w, int *h) {
    if (!text) return false;
    char *end = nullptr;
    long a = std::strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char *second = end + 1;
    long b = std::strtol(second, &end, 10);
    if (end == second || *end || a < 1 || b < 1 || a > kMaxSide || b > kMaxSide) return false;
    *w = int(a), *h = int(b);
    return true;
}

// Brings the frame counter up to now.
void advance(State &s) {
    Clock::time_point now = Clock::now();
    if (hasVideo(s) && s.previewing && !s.paused) {
        int64_t micros = std::chrono::duration_cast<std::chrono::microseconds>(now - s.last).count();
        if (micros > 0) s.carry += micros * kFramesPerSecond;
        int64_t frames = s.carry / 1000000;
        s.frame += uint64_t(frames);
        s.carry -= frames * 1000000;
    }
    s.last = now;
}

// ---- members ----------------------------------------------------------------

void destroy(REALobject o) {
    auto *d = static_cast<GrabberData *>(instanceData(o, "QTGrabberPlyx"));
    if (!d || !d->state) return;
    unlockObject(d->state->window);
    delete d->state;
    d->state = nullptr;
}

void initGrabber(REALobject o) { state(o); }

void initVideo(REALobject o) {
    State *s = state(o);
    if (!s) return;
    const char *noVideo = std::getenv("TAVRIN_NO_VIDEO");
    s->noSignal = noVideo && std::strcmp(noVideo, "1") == 0;
    if (!parseSize(std::getenv("TAVRIN_VIDEO_SIZE"), &s->width, &s->height))
        s->width = kDefaultWidth, s->height = kDefaultHeight;
    s->current = {0, s->height, 0, s->width};
    s->videoReady = true;
    s->frame = 0;
    s->carry = 0;
    s->last = Clock::now();
}

void outputToWindow(REALobject o, REALobject window) {
    State *s = state(o);
    if (!s || window == s->window) return;
    lockObject(window);
    unlockObject(s->window);
    s->window = window;
}

void prepare(REALobject o, RBBoolean forPreview, RBBoolean forRecord) {
    if (State *s = state(o)) s->preparedForPreview = forPreview & 1, s->preparedForRecord = forRecord & 1;
}

void startPreview(REALobject o) {
    State *s = state(o);
    if (!s || s->previewing) return;
    s->previewing = true;
    s->last = Clock::now();
}

void play(REALobject o) {
    State *s = state(o);
    if (!s || !s->paused) return;
    s->paused = false;
    s->last = Clock::now();  // the paused time does not count
}

void pause(REALobject o) {
    State *s = state(o);
    if (!s || s->paused) return;
    advance(*s);
    s->paused = true;
}

void poll(REALobject o) {
    State *s = state(o);
    if (!s) return;
    advance(*s);
    if (!hasVideo(*s) || !s->previewing || !s->window) return;
    const IntRect &r = s->current;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return;
    s->scratch.resize(size_t(w) * size_t(h));
    renderFrame(s->frame, int(w), int(h), s->controls, s->scratch.data(), size_t(w));
    paintWindow(s->window, r.left, r.top, int(w), int(h), s->scratch.data());
}

// Headless, there is no dialog: each call steps the brightness by 10,
// wrapping from 100 to 0.
void askVideoSettings(REALobject o) {
    if (State *s = state(o)) s->controls.brightness = s->controls.brightness >= 100 ? 0 : s->controls.brightness + 10;
}

REALpicture grabPicture(REALobject o, REALobject rect) {
    State *s = state(o);
    IntRect r;
    if (!s || !hasVideo(*s) || !readIntRect(rect, &r)) return nullptr;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return nullptr;
    advance(*s);
    imaging::PicHandle pic = imaging::NewPicture(int32_t(w), int32_t(h), 24);
    uint8_t *argb = imaging::PicturePixels(pic);
    if (!argb) {
        imaging::DisposeHandle(pic);
        return nullptr;
    }
    std::vector<uint32_t> rgb(size_t(w) * size_t(h));
    renderFrame(s->frame, int(w), int(h), s->controls, rgb.data(), size_t(w));
    for (uint32_t p : rgb) {
        *argb++ = 0xFF;
        *argb++ = uint8_t(p >> 16);
        *argb++ = uint8_t(p >> 8);
        *argb++ = uint8_t(p);
    }
    return pictureFromPicHandle(pic);
}

REALstring settingsGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s ? newString(formatSettings(s->controls)) : nullptr;
}

// A text this grabber did not write is ignored.
void settingsSet(REALobject o, intptr_t, REALstring text) {
    State *s = state(o);
    std::string bytes;
    if (s && stringBytes(text, &bytes)) parseSettings(bytes, &s->controls);
}

// Nil when there is no video signal.
REALobject currentVideoSizeGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s && hasVideo(*s) ? newIntRect(s->current) : nullptr;
}

// The part of the output window the video fills; an empty, inverted or
// oversized rectangle is ignored.
void currentVideoSizeSet(REALobject o, intptr_t, REALobject rect) {
    State *s = state(o);
    IntRect r;
    if (!s || !readIntRect(rect, &r)) return;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return;
    s->current = r;
}

REALobject sourceVideoRectGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s && hasVideo(*s) ? newIntRect({0, s->height, 0, s->width}) : nullptr;
}

template <typename F>
void *fp(F f) {
    return reinterpret_cast<void *>(f);
}

}  // namespace

void addGrabberMembers(ImplMap &m) {
#define OUTSIDE_SECTION OUTSIDE_GRABBER
#define MEMBER(group, cls, kind, text, type)
#define MEMBER_IMPL(group, cls, kind, text, type, fn) m[text] = fp(fn);
#include "outside_members.def"
#undef OUTSIDE_SECTION
}

}  // namespace grab
