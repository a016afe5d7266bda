// QTGrabberPlyx: live video through GStreamer (see source.h for where it
// comes from and video.h for the pipeline). InitVideo starts the source and
// waits for its first frame; without one there is no signal, and
// CurrentVideoSize is nil. Poll paints the newest preview frame into the
// window given to OutputToWindow, and notices a source that failed or ended
// (a device unplugged, the end of a clip): from then on there is no signal
// until InitVideo finds the video again. Why there is none is written to the
// standard error once, and left as the grabber's note for the application
// (PluginSetNote) until the video starts again.
//
// The video devices are listed and chosen through VideoDeviceList,
// VideoDevice and VideoDeviceInput, or in AskVideoSettings' dialog; the
// choice is kept in the settings text by the device's stable name.
#include "choice.h"
#include "devices.h"
#include "host.h"
#include "members.h"
#include "settings.h"
#include "source.h"
#include "video.h"

#include "imaging/imaging.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>

namespace grab {

namespace {

// How long InitVideo waits for the source's first frame.
constexpr std::chrono::seconds kFirstFrameWait{5};

constexpr const char *kClassName = "QTGrabberPlyx";

struct State {
    bool videoReady = false;  // InitVideo ran
    bool previewing = false;
    bool paused = false;
    bool preparedForPreview = false, preparedForRecord = false;
    IntRect current{};         // where the video goes in the window
    GrabberSettings settings;  // the controls, and the device, input and size asked for
    // The source the video comes from while there is video.
    std::optional<SourceEntry> inUse;
    bool dialogOpen = false;  // AskVideoSettings' dialog is up
    std::unique_ptr<Video> video;
    uint64_t previewSeen = 0;
    REALobject window = nullptr;
};

// The instance data, of the 44 bytes the application's objects of the class
// are built on: the state lives on the heap, made by the first member that
// needs it and freed by the destructor; the rest is unused.
struct __attribute__((packed, aligned(4))) GrabberData {
    State *state;
    uint8_t unused[36];
};
static_assert(sizeof(GrabberData) == 44, "QTGrabberPlyx instance data is 44 bytes");

State *state(REALobject o) {
    auto *d = static_cast<GrabberData *>(instanceData(o, "QTGrabberPlyx"));
    if (!d) return nullptr;
    if (!d->state) d->state = new (std::nothrow) State;
    return d->state;
}

bool sane(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide; }

// Why there is no video: on the standard error, and as the grabber's note.
void tell(const std::string &why) {
    std::fprintf(stderr, "tavrin: video: %s\n", why.c_str());
    setNote(kClassName, why);
}

// A video that failed or ended is told and let go the first time anybody
// looks (the poll, or a member that needs a frame), so that nobody finds it
// gone before its reason is there.
void letGoOfFailedVideo(State &s) {
    std::string why;
    if (s.video && s.video->failed(&why)) {
        tell(why);
        s.video.reset();
    }
}

// Whether the video runs; each member asks once it has let a failed one go.
bool hasVideo(const State &s) { return s.videoReady && s.video; }

// The grabber's state with a failed video let go; nullptr for none.
State *stateWithFailedVideoLetGo(REALobject self) {
    State *s = state(self);
    if (s) letGoOfFailedVideo(*s);
    return s;
}

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

// Stops the video there is and starts the source the settings ask for now.
void startVideo(State &s) {
    s.video.reset();
    s.inUse.reset();
    s.previewSeen = 0;
    if (!gstreamerReady()) return;
    Source source = chooseSource(s.settings);
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
    setNote(kClassName, std::string());
    s.inUse = source.entry;
    s.video->setControls(s.settings.controls);
    int w = 0, h = 0;
    s.video->frameSize(&w, &h);
    s.current = {0, h, 0, w};
    if (s.paused) s.video->pause();
}

// The settings with the device in use in them (a source chosen by default
// is kept by its name, so the same one is found next time).
GrabberSettings settingsInUse(const State &s) {
    GrabberSettings out = s.settings;
    if (s.inUse && !s.inUse->name.empty()) out.device = s.inUse->name;
    return out;
}

// Starts the video again when `next` asks for another source, input or size
// than the one running (or when there is none). A text that names no device
// (one written before devices were named) asks for none in particular.
void applySettings(State &s, const GrabberSettings &next) {
    GrabberSettings before = settingsInUse(s);
    s.settings = next;
    if (s.video) s.video->setControls(s.settings.controls);
    bool same = s.video && !s.video->failed() && (next.device.empty() || before.device == next.device) &&
                before.input == next.input && before.width == next.width && before.height == next.height;
    if (s.videoReady && !same) startVideo(s);
}

// ---- members ----------------------------------------------------------------

void destroy(REALobject o) {
    auto *d = static_cast<GrabberData *>(instanceData(o, "QTGrabberPlyx"));
    if (!d || !d->state) return;
    unlockObject(d->state->window);
    delete d->state;  // an open settings dialog holds the object: none is open
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
    State *s = stateWithFailedVideoLetGo(o);
    if (!s || !hasVideo(*s) || !s->previewing || !s->window) return;
    const IntRect r = s->current;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return;
    s->video->withNewPreview(&s->previewSeen, int(w), int(h), [&](const uint32_t *pixels) {
        paintWindow(s->window, r.left, r.top, int(w), int(h), pixels);
    });
}

// ---- the video settings dialog --------------------------------------------------

// One dialog while it is up: the grabber it belongs to (held until it
// closes), the choice and the rows as the host reads them.
struct SettingsDialog {
    REALobject grabber;
    SettingsChoice choice;
    std::vector<const char *> rows[SettingsChoice::PopupCount];
    RBDialogPopup popups[SettingsChoice::PopupCount]{};
    RBPopupDialog dialog{};

    SettingsDialog(REALobject g, SettingsChoice c) : grabber(g), choice(std::move(c)) {
        static const char *const kNames[] = {"Device", "Input", "Size"};
        static const char *const kLabels[] = {"Device:", "Input:", "Size:"};
        for (int p = 0; p < SettingsChoice::PopupCount; ++p) popups[p] = {kNames[p], kLabels[p], nullptr, 0, 0};
        show();
        dialog = {"VideoSettings", "Video Settings", popups, SettingsChoice::PopupCount, this, changed, closed};
    }
    // The choice's rows and selections into the record.
    void show() {
        for (int p = 0; p < SettingsChoice::PopupCount; ++p) {
            auto popup = SettingsChoice::Popup(p);
            rows[p].clear();
            for (const std::string &r : choice.rows(popup)) rows[p].push_back(r.c_str());
            popups[p].rows = rows[p].data();
            popups[p].rowCount = int32_t(rows[p].size());
            popups[p].selected = choice.selected(popup);
        }
    }
    static void changed(RBPopupDialog *d, int32_t popup) {
        auto *self = static_cast<SettingsDialog *>(d->context);
        if (popup < 0 || popup >= SettingsChoice::PopupCount) return;
        self->choice.choose(SettingsChoice::Popup(popup), self->popups[popup].selected);
        self->show();
    }
    static void closed(RBPopupDialog *d, RBBoolean ok) {
        auto *self = static_cast<SettingsDialog *>(d->context);
        if (State *s = state(self->grabber)) {
            s->dialogOpen = false;
            if (ok & 1) applySettings(*s, self->choice.result(s->settings));
        }
        unlockObject(self->grabber);
        delete self;
    }
};

// The modal dialog of the source, its input and the size. On OK the video
// starts again with the choice, which the settings text keeps.
void askVideoSettings(REALobject o) {
    State *s = state(o);
    if (!s || s->dialogOpen || !gstreamerReady()) return;
    Size inUse;
    if (s->video) s->video->frameSize(&inUse.width, &inUse.height);
    SettingsChoice choice(listSources(), settingsInUse(*s), s->inUse ? &*s->inUse : nullptr, inUse);
    if (choice.empty()) {
        tell("there is no video source to choose");
        return;
    }
    auto *d = new (std::nothrow) SettingsDialog(o, std::move(choice));
    if (!d) return;
    lockObject(o);
    s->dialogOpen = true;
    // On screen this returns once the dialog has closed; without a display
    // the dialog stays up for the operator.
    if (!showPopupDialog(&d->dialog)) {
        s->dialogOpen = false;
        unlockObject(o);
        delete d;
    }
}

// ---- devices --------------------------------------------------------------------------

REALobject videoDeviceList(REALobject o) {
    if (!state(o) || !gstreamerReady()) return nullptr;
    return newDeviceList(listSources());
}

REALobject videoDeviceGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s && s->inUse ? newDeviceObject(*s->inUse) : nullptr;
}

// Chooses a device from the list: the video starts again from it, at the
// size asked so far where it offers that size.
void videoDeviceSet(REALobject o, intptr_t, REALobject device) {
    State *s = state(o);
    const SourceEntry *e = deviceOf(device);
    if (!s || !e) return;
    GrabberSettings next = s->settings;
    if (e->kind != SourceEntry::Described) next.device = e->name;
    next.input.clear();
    if (std::find(e->sizes.begin(), e->sizes.end(), Size{next.width, next.height}) == e->sizes.end())
        next.width = next.height = 0;
    applySettings(*s, next);
}

// The input in use: the one asked for, else the one the device has chosen.
REALobject videoDeviceInputGet(REALobject o, intptr_t) {
    State *s = state(o);
    if (!s || !s->inUse || s->inUse->inputs.empty()) return nullptr;
    const SourceEntry &e = *s->inUse;
    auto it = std::find(e.inputs.begin(), e.inputs.end(), s->settings.input);
    int index = it != e.inputs.end() ? int(it - e.inputs.begin()) : std::max(e.currentInput, 0);
    return newInputObject({e.name, index, e.inputs[size_t(index)]});
}

// Chooses an input of the device in use.
void videoDeviceInputSet(REALobject o, intptr_t, REALobject input) {
    State *s = state(o);
    const DeviceInput *in = inputOf(input);
    if (!s || !in || !s->inUse || in->device != s->inUse->name) return;
    GrabberSettings next = settingsInUse(*s);
    next.input = in->name;
    applySettings(*s, next);
}

REALstring videoDeviceNameGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s && s->inUse ? newString(s->inUse->label) : nullptr;
}

REALstring videoDeviceInputNameGet(REALobject o, intptr_t) {
    REALobject in = videoDeviceInputGet(o, 0);
    const DeviceInput *d = inputOf(in);
    REALstring name = d ? newString(d->name) : nullptr;
    unlockObject(in);
    return name;
}

REALpicture grabPicture(REALobject o, REALobject rect) {
    State *s = stateWithFailedVideoLetGo(o);
    IntRect r;
    if (!s || !hasVideo(*s) || !readIntRect(rect, &r)) return nullptr;
    int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (!sane(w, h)) return nullptr;
    // Every pixel comes from the frame: the picture is not cleared first.
    imaging::PicHandle pic = imaging::NewPictureForOverwrite(int32_t(w), int32_t(h), 24);
    uint8_t *argb = imaging::PicturePixels(pic);
    if (!argb || !s->video->copyFrame(argb, int(w), int(h))) {
        imaging::DisposeHandle(pic);
        return nullptr;
    }
    return pictureFromPicHandle(pic);
}

REALstring settingsGet(REALobject o, intptr_t) {
    State *s = state(o);
    return s ? newString(formatSettings(settingsInUse(*s))) : nullptr;
}

// A text this grabber did not write is ignored. A device it names takes the
// place of the source in use; one that is not plugged in leaves no signal
// (Enable Video tries again), and is kept for the day it is back.
void settingsSet(REALobject o, intptr_t, REALstring text) {
    State *s = state(o);
    std::string bytes;
    GrabberSettings next;
    if (!s) return;
    next = s->settings;
    if (!stringBytes(text, &bytes) || !parseSettings(bytes, &next)) return;
    // The same device gone again is not said again.
    if (!s->video && s->videoReady && next.device == s->settings.device && next.input == s->settings.input &&
        next.width == s->settings.width && next.height == s->settings.height) {
        s->settings = next;
        return;
    }
    applySettings(*s, next);
}

// Nil when there is no video signal.
REALobject currentVideoSizeGet(REALobject o, intptr_t) {
    State *s = stateWithFailedVideoLetGo(o);
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
    State *s = stateWithFailedVideoLetGo(o);
    if (!s || !hasVideo(*s)) return nullptr;
    int w = 0, h = 0;
    s->video->frameSize(&w, &h);
    return newIntRect({0, h, 0, w});
}

}  // namespace

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_GRABBERCLASS
#define CLASS_RECORD gGrabberClass
#define CLASS_DATA GrabberData
#include "class_records.inc"

}  // namespace grab
