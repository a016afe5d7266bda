// QTGrabberPlyx: live video through GStreamer (see source.h for where it
// comes from and video.h for the pipeline). InitVideo starts the source and
// waits for its first frame; without one there is no signal, and
// CurrentVideoSize is nil. Poll paints the newest preview frame into the
// window given to OutputToWindow, and notices a source that failed or ended
// (a device unplugged, the end of a clip): from then on there is no signal
// until InitVideo finds the video again. Why there is none is written to the
// standard error once.
#include "host.h"
#include "members.h"
#include "settings.h"
#include "source.h"
#include "video.h"

#include "imaging/imaging.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

namespace grab {

namespace {

// How long InitVideo waits for the source's first frame.
constexpr std::chrono::seconds kFirstFrameWait{5};

struct State {
    bool videoReady = false;  // InitVideo ran
    bool previewing = false;
    bool paused = false;
    bool preparedForPreview = false, preparedForRecord = false;
    IntRect current{};         // where the video goes in the window
    GrabberSettings settings;  // the controls, and the device asked for
    std::string deviceInUse;   // the device the video comes from, if any
    std::unique_ptr<Video> video;
    uint64_t previewSeen = 0;
    REALobject window = nullptr;
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

bool hasVideo(const State &s) { return s.videoReady && s.video && !s.video->failed(); }

bool sane(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide; }

void tell(const std::string &why) { std::fprintf(stderr, "tavrin: video: %s\n", why.c_str()); }

bool gstreamerReady() {
    static const bool ready = [] {
        GError *error = nullptr;
        if (gst_init_check(nullptr, nullptr, &error)) return true;
        tell(std::string("GStreamer cannot start: ") + (error ? error->message : "unknown error"));
        if (error) g_error_free(error);
        return false;
    }();
    return ready;
}

// Stops the video there is and starts the source there is now.
void startVideo(State &s) {
    s.video.reset();
    s.deviceInUse.clear();
    s.previewSeen = 0;
    if (!gstreamerReady()) return;
    Source source = chooseSource(s.settings.device);
    if (source.kind == Source::None) {
        tell(source.failure);
        return;
    }
    std::string why;
    s.video = Video::start(source, hostMicroseconds(), kFirstFrameWait, &why);
    if (!s.video) {
        tell(why);
        return;
    }
    s.deviceInUse = source.deviceName;
    s.video->setControls(s.settings.controls);
    int w = 0, h = 0;
    s.video->frameSize(&w, &h);
    s.current = {0, h, 0, w};
    if (s.paused) s.video->pause();
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
    s->videoReady = true;
    startVideo(*s);
}

void outputToWindow(REALobject o, REALobject window) {
    State *s = state(o);
    if (!s || window == s->window) return;
    lockObject(window);
    unlockObject(s->window);
    s->window = window;
    s->previewSeen = 0;  // the new window gets the picture at once
}

void prepare(REALobject o, RBBoolean forPreview, RBBoolean forRecord) {
    if (State *s = state(o)) s->preparedForPreview = forPreview & 1, s->preparedForRecord = forRecord & 1;
}

void startPreview(REALobject o) {
    if (State *s = state(o)) s->previewing = true;
}

void play(REALobject o) {
    State *s = state(o);
    if (!s || !s->paused) return;
    s->paused = false;
    if (s->video) s->video->play();
}

void pause(REALobject o) {
    State *s = state(o);
    if (!s || s->paused) return;
    s->paused = true;
    if (s->video) s->video->pause();
}

void poll(REALobject o) {
    State *s = state(o);
    if (!s || !s->video) return;
    std::string why;
    if (s->video->failed(&why)) {
        tell(why);
        s->video.reset();
        return;
    }
    if (!s->videoReady || !s->previewing || !s->window) return;
    const IntRect r = s->current;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return;
    s->video->withNewPreview(&s->previewSeen, int(w), int(h), [&](const uint32_t *pixels) {
        paintWindow(s->window, r.left, r.top, int(w), int(h), pixels);
    });
}

// There is no dialog here: each call steps the brightness by 10, wrapping
// from 100 to 0.
void askVideoSettings(REALobject o) {
    State *s = state(o);
    if (!s) return;
    int &b = s->settings.controls.brightness;
    b = b >= 100 ? 0 : b + 10;
    if (s->video) s->video->setControls(s->settings.controls);
}

REALpicture grabPicture(REALobject o, REALobject rect) {
    State *s = state(o);
    IntRect r;
    if (!s || !hasVideo(*s) || !readIntRect(rect, &r)) return nullptr;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return nullptr;
    imaging::PicHandle pic = imaging::NewPicture(int32_t(w), int32_t(h), 24);
    uint8_t *argb = imaging::PicturePixels(pic);
    if (!argb || !s->video->copyFrame(argb, int(w), int(h))) {
        imaging::DisposeHandle(pic);
        return nullptr;
    }
    return pictureFromPicHandle(pic);
}

REALstring settingsGet(REALobject o, intptr_t) {
    State *s = state(o);
    if (!s) return nullptr;
    GrabberSettings out = s->settings;
    if (!s->deviceInUse.empty()) out.device = s->deviceInUse;
    return newString(formatSettings(out));
}

// A text this grabber did not write is ignored. A device it names that is
// plugged in takes the place of the device in use (or the test source); one
// that is not is kept for another time, and said so.
void settingsSet(REALobject o, intptr_t, REALstring text) {
    State *s = state(o);
    std::string bytes;
    if (!s || !stringBytes(text, &bytes) || !parseSettings(bytes, &s->settings)) return;
    if (s->video) s->video->setControls(s->settings.controls);
    const std::string &wanted = s->settings.device;
    if (!s->videoReady || wanted.empty() || wanted == s->deviceInUse || std::getenv("TAVRIN_VIDEO_SOURCE") ||
        std::getenv("TAVRIN_NO_VIDEO"))
        return;
    if (deviceAvailable(wanted)) startVideo(*s);
    else tell("the video device " + wanted + " named in the settings is not plugged in");
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
    s->previewSeen = 0;  // painted at the new size at once
}

REALobject sourceVideoRectGet(REALobject o, intptr_t) {
    State *s = state(o);
    if (!s || !hasVideo(*s)) return nullptr;
    int w = 0, h = 0;
    s->video->frameSize(&w, &h);
    return newIntRect({0, h, 0, w});
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
