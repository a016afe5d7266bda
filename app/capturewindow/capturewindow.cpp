#include "capturewindow/capturewindow.h"

#include "application/app.h"
#include "binding/entrypoints.h"
#include "capturethread/capturethread.h"
#include "controlwindow/controlwindow.h"
#include "deckprefs/controlprefswindow.h"

#include <rb/entrypoints.h>
#include <rb/loop.h>
#include <rb/timer.h>

#include <algorithm>
#include <cstring>

namespace tavrin {

namespace {

using K = rb::ControlKind;

// Timer periods, in milliseconds.
constexpr int kKeyPollMs = 34;        // Timer1: the transport keys
constexpr int kTimecodePollMs = 50;   // Timer2: the deck's time code
constexpr int kVideoPollMs = 50;      // qGrabPollTimer1: the grabber's Poll
constexpr int kRefreshDelayMs = 500;  // the forced redraw's second step
// How long a deck that did not answer is left alone: a second of ticks.
constexpr int64_t kTimecodeRetryTicks = 60;

rb::ObjRef repeatingTimer(int period, std::function<void()> action) {
    rb::ObjRef t = rb::newTimer(period, [action = std::move(action)](REALobject) { action(); });
    rb::setTimerMode(t.get(), rb::TimerMultiple);
    return t;
}

// The status line as laid out, its right edge 5 pixels from the window's:
// it keeps that place in every window it fits in, 500 pixels wide or wider.
// A narrower window has it on the top row, right of Grab Now.
constexpr rb::Rect kStatusLine{449, 45, 46, 17};
constexpr int kStatusMargin = 5, kStatusTopRowLeft = 187, kStatusTopRowTop = 7;
constexpr int kStatusRoomFrom = kStatusLine.left + kStatusLine.width + kStatusMargin;

}  // namespace

CaptureWindow &captureWindow() { return rb::implicitInstance<CaptureWindow>(); }

CaptureWindow *captureWindowIfOpen() { return static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow")); }

// The layout step and _CreateControls0: the controls in their creation order
// with their design-time properties, handlers bound by event name.
CaptureWindow::CaptureWindow() : rb::Window("CaptureWindow", rb::WindowKind::Document, "Tavrin!", 500, 460) {
    hasMenuBar = true;       // the application's menu bar sits above the main window's content
    minWidth = kStripWidth;  // never narrower than its strip of controls
    minHeight = 64;
    maxWidth = 32000;
    maxHeight = 32000;

    message = &add(K::StaticText, "message", kStatusLine);
    message->setText("MSG");
    message->textSize = 12;
    message->align = rb::Control::AlignLeft;

    add(K::Placard, "Placard1", {292, 39, 124, 36});

    rb::Control &shuttleLabel = add(K::StaticText, "StaticText2", {136, 70, 144, 14});
    shuttleLabel.setText("Shuttle");
    shuttleLabel.textSize = 10;
    shuttleLabel.align = rb::Control::AlignCenter;

    // The status line, the separators and the video area reach the right
    // edge of a window sized to the video (and the video area its bottom).
    message->lockRight = true;
    rb::Control &videoArea = add(K::Rectangle, "Rectangle1", {0, 100, 500, 360});
    videoArea.lockRight = videoArea.lockBottom = true;
    add(K::Separator, "TheSeparator", {0, 32, 500, 4}).lockRight = true;

    checkvideobutton = &add(K::BevelButton, "checkvideobutton", {10, 5, 82, 22});
    checkvideobutton->setCaption("Enable Video");
    checkvideobutton->textSize = 10;
    checkvideobutton->on("Action", [this] { checkvideobutton_Action(); });

    add(K::Separator, "Separator1", {0, 88, 500, 4}).lockRight = true;

    // Serial1: 38400 baud, 8 data bits, odd parity, 1 stop bit, no handshake
    // (the port object applies these line settings whenever it opens).
    Timer1 = repeatingTimer(kKeyPollMs, [this] { Timer1_Action(); });

    struct Transport {
        const char *name;
        rb::Icon icon;
        const char *help;
        int left;
        void (CaptureWindow::*action)();
    };
    const Transport transport[] = {
        {"playbutton", rb::Icon::Play, "Space Bar / L", 39, &CaptureWindow::playbutton_Action},
        {"stopbutton", rb::Icon::Stop, "Space Bar / K", 97, &CaptureWindow::stopbutton_Action},
        {"fastforwardbutton", rb::Icon::FastForward, "", 68, &CaptureWindow::fastforwardbutton_Action},
        {"rewindbutton", rb::Icon::Rewind, "", 10, &CaptureWindow::rewindbutton_Action},
    };
    for (const Transport &t : transport) {
        rb::Control &b = add(K::BevelButton, t.name, {t.left, 45, 27, 27});
        b.icon = t.icon;
        b.helpTag = t.help;
        b.on("Action", [this, fn = t.action] { (this->*fn)(); });
    }

    shuttleslider = &add(K::Slider, "shuttleslider", {136, 49, 144, 16});
    shuttleslider->setMinimum(0);
    shuttleslider->setMaximum(kShuttleRS422.maximum);
    shuttleslider->setValue(kShuttleRS422.centre);
    shuttleslider->on("Open", [this] { shuttleslider_Open(); });
    shuttleslider->on("MouseExit", [this] { shuttleslider_MouseExit(); });
    shuttleslider->on("ValueChanged", [this] { shuttleslider_ValueChanged(); });

    Timer2 = repeatingTimer(kTimecodePollMs, [this] { Timer2_Action(); });

    mytc = &add(K::StaticText, "mytc", {303, 47, 105, 20});
    mytc->setText("--:--:--:--");
    mytc->textSize = 14;
    mytc->bold = true;
    mytc->align = rb::Control::AlignCenter;
    mytc->parentName = "Placard1";

    rb::Control &grabNow = add(K::BevelButton, "BevelButton1", {97, 5, 82, 22});
    grabNow.setCaption("Grab Now");
    grabNow.textSize = 10;
    grabNow.on("Action", [this] { BevelButton1_Action(); });

    qGrabPollTimer1 = repeatingTimer(kVideoPollMs, [this] { qGrabPollTimer1_Action(); });

    AddMenuHandlers();
}

// The timers were turned off by Close; a window still open at process exit
// outlives the event loop, so nothing of the loop is touched here.
CaptureWindow::~CaptureWindow() = default;

// ---- window events ---------------------------------------------------------------

void CaptureWindow::Open() {
    // "MSG" only marks the status line's place: it is empty until the
    // FireWire events have something to say.
    message->setText("");
    EnableVideo();
    if (closed()) return;  // a quit closed its no-video message
    placeStatusLine();
    show();
    playstatus = PlayStatus::Stopped;
    readcapturesettings();
}

// The main window's close box quits the application (a quit during a
// capture waits for its frames to be saved): without this window there is
// no video and no deck.
bool CaptureWindow::CancelClose(bool appQuitting) {
    if (appQuitting || !rb::app()) return false;
    rb::app()->quit(0);
    return true;
}

void CaptureWindow::Close() {
    for (rb::ObjRef *t : {&Timer1, &Timer2, &qGrabPollTimer1})
        if (*t) rb::setTimerMode(t->get(), rb::TimerOff);
    if (app().devicepresent) stopaction();
    // After Reset Video Device the settings file stays deleted.
    if (!settingsResetPending) writecapturesettings();
    app().devicepresent = false;
}

void CaptureWindow::Paint() { SetGWorld(); }

void CaptureWindow::Resized() {
    placeStatusLine();
    videoBelowStrip();
}

void CaptureWindow::videoBelowStrip() {
    if (!qGrab) return;
    rb::ObjRef r = rb::make("IntegerRectPlyx");
    if (!r) return;
    // From x 0 to the window's right edge and from y 100 to its bottom edge.
    // A new rectangle is all zeros, and its Left and Top have no members of
    // their own: it takes the size below the strip and moves down to it.
    rb::setProp(ENTRY("IntegerRectPlyx.Width.Set"), r.get(), width());
    rb::setProp(ENTRY("IntegerRectPlyx.Height.Set"), r.get(), height() - kStripHeight);
    rb::call(ENTRY("IntegerRectPlyx.Move(deltax as integer, deltay as integer)"), r.get(), int32_t(0),
             int32_t(kStripHeight));
    rb::setProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Set"), qGrab.get(), r.get());
    SetGWorld();
}

void CaptureWindow::EnableMenuItems() {
    rb::MenuBar *bar = app().menuBar;
    for (const char *name : {"VideoSetteingsMenu", "VideoDeckControl", "SettingsResetVideoDevice"})
        if (rb::MenuItem *item = bar ? bar->child(name) : nullptr) item->enabled = true;
}

void CaptureWindow::AddMenuHandlers() {
    addMenuHandler("VideoSetteingsMenu", [this] { _VideoSetteingsMenu_Action(); });
    addMenuHandler("VideoDeckControl", [this] { _VideoDeckControl_Action(); });
    addMenuHandler("SettingsResetVideoDevice", [this] { _SettingsResetVideoDevice_Action(); });
}

// ---- control handlers --------------------------------------------------------------

void CaptureWindow::checkvideobutton_Action() { EnableVideo(); }

void CaptureWindow::playbutton_Action() {
    if (app().devicepresent) playaction();
}

// The stop-icon button pauses; it does not stop.
void CaptureWindow::stopbutton_Action() {
    if (app().devicepresent) pauseaction();
}

void CaptureWindow::fastforwardbutton_Action() {
    if (app().devicepresent) fastforwardaction();
}

void CaptureWindow::rewindbutton_Action() {
    if (app().devicepresent) rewindaction();
}

void CaptureWindow::shuttleslider_ValueChanged() {
    if (app().devicepresent) shuttleaction();
}

const ShuttleRange &shuttleRange() { return app().rs422() ? kShuttleRS422 : kShuttleFireWire; }

void CaptureWindow::shuttleslider_Open() { shuttleForDeckLink(); }

void CaptureWindow::shuttleForDeckLink() {
    const ShuttleRange &r = shuttleRange();
    shuttleslider->setMaximum(r.maximum);
    shuttleslider->setMinimum(0);
    shuttleslider->setValue(r.centre);
}

void CaptureWindow::shuttleslider_MouseExit() { shuttleslider->setValue(shuttleRange().centre); }

// A deck that does not answer makes every query wait out the AV/C time-out
// on the main thread. After a failed query the deck is asked again only a
// second later, and during a capture only when the wait it took cannot push
// the next grab past its tick.
void CaptureWindow::Timer2_Action() {
    if (!app().devicepresent || app().rs422() || !deckPresent()) return;
    int64_t now = rb::Ticks();
    if (timecodeSilent) {
        if (now < timecodeRetryAt) return;
        int64_t due = nextGrabDue();
        if (due >= 0 && now + timecodeWaitTicks + 2 > due) return;
    }
    int64_t started = rb::microseconds();  // the clock the ticks come from
    rb::String tc = rb::getProp(ENTRY("AVC.TimeCode.Get"), camera.get());
    if (rb::getProp(ENTRY("AVC.lastError.Get"), camera.get()) != 0) {
        int64_t waitedMs = (rb::microseconds() - started) / 1000;
        timecodeSilent = true;
        timecodeWaitTicks = waitedMs * 60 / 1000 + 1;
        timecodeRetryAt = rb::Ticks() + kTimecodeRetryTicks;
        return;
    }
    timecodeSilent = false;
    mytc->setText(tc.str());
}

void CaptureWindow::qGrabPollTimer1_Action() {
    if (!qGrab) return;
    rb::call(ENTRY("QTGrabberPlyx.Poll"), qGrab.get());
    // The poll notices a source that ended or failed. A capture that runs
    // meanwhile keeps the video counted as present until it ends, so that
    // it stops the deck it started.
    if (app().devicepresent && !captureRunning() &&
        !rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), qGrab.get()))
        videoLost();
}

// ---- keyboard transport --------------------------------------------------------------

void CaptureWindow::Timer1_Action() {
    if (!app().shortcutsactive || !app().devicepresent) return;
    if (latched) {
        latchkey();
        return;
    }
    if (rb::asyncKeyDown(rb::KeySpace)) {
        if (playstatus != PlayStatus::Stopped) pauseaction();
        else playaction();
        targetkey = rb::KeySpace;
        latchkey();
    }
    if (rb::asyncKeyDown(rb::KeyK)) pauseaction();
    if (rb::asyncKeyDown(rb::KeyL)) {
        playaction();
        targetkey = rb::KeyL;
        latchkey();
    }
    if (rb::asyncKeyDown(rb::KeyJ)) {
        playreverseaction();
        targetkey = rb::KeyJ;
        latchkey();
    }
}

void CaptureWindow::latchkey() { latched = rb::asyncKeyDown(targetkey); }

// ---- Grab Now -------------------------------------------------------------------------

void CaptureWindow::BevelButton1_Action() {
    // While a capture runs its frames own the array: the still is kept apart,
    // so no grabbed frame is dropped or overwritten.
    bool running = captureRunning();
    std::shared_ptr<StillFrame> still;
    if (running) {
        still = grabFrame();
    } else {
        resizeFrames(1);
        GrabStill(1);
    }
    if (!qGrab || !rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), qGrab.get())) return;
    app().shortcutsactive = false;
    // The dialog opens in the capture folder once one is chosen.
    auto *palette = static_cast<controlwindow *>(rb::findWindow("controlwindow"));
    savepicture = rb::saveFileDialog("Save Image", "Enter a filename", "Save", {}, nullptr,
                                     palette ? palette->savefolder : nullptr);
    // The keys come back only while the application is still in front.
    app().shortcutsactive = app().active();
    if (!savepicture) return;
    int error = 0;
    if (!saveSingle(running ? still.get() : frame(1), &error))
        rb::msgBox("The frame could not be saved as \"" + savepicture->absolutePath() + "\" (" +
                   (error ? std::strerror(error) : "it could not be made") + "): choose another folder or name.");
}

// ---- menu handlers ----------------------------------------------------------------------

void CaptureWindow::_VideoSetteingsMenu_Action() { VideoSettings(); }

void CaptureWindow::_VideoDeckControl_Action() { rb::implicitInstance<ControlPrefswindow>().showModalWithin(*this); }

void CaptureWindow::_SettingsResetVideoDevice_Action() {
    auto file = rb::preferencesFolder()->child(kCaptureSettingsFileName);
    if (file->exists()) file->remove();
    settingsResetPending = true;
    // The text stands as the system gives it, repeated words and all.
    rb::msgBox(
        "Tavrin! will now quit and reset your video devices.  Please re-launch the application to "
        "continue window to continue");
    if (rb::app()) rb::app()->quit(0);
    // A quit that waits for a capture's frames closes the window once they
    // are saved; the capture goes on using it until then.
    if (!rb::app()) close();
}

// ---- helpers ----------------------------------------------------------------------------

void showStatus(rb::Control &line, const std::string &text) {
    line.helpTag = text;
    line.setText(text);
}

void CaptureWindow::placeStatusLine() {
    bool room = width() >= kStatusRoomFrom;
    rb::Rect r = kStatusLine;
    r.left = room ? kStatusLine.left : kStatusTopRowLeft;
    r.top = room ? kStatusLine.top : kStatusTopRowTop;
    r.width = std::max(0, width() - kStatusMargin - r.left);
    message->setBounds(r);
}

void CaptureWindow::resizeFrames(int32_t last) {
    if (last < -1) last = -1;
    if (p.size() > size_t(last) + 1) p.resize(size_t(last) + 1);
}

const StillFrame *CaptureWindow::frame(int32_t index) const {
    return index >= 0 && size_t(index) < p.size() ? p[size_t(index)].get() : nullptr;
}

int32_t CaptureWindow::unsavedCount() const {
    return int32_t(std::count_if(unsaved.begin(), unsaved.end(), [](const auto &f) { return f != nullptr; }));
}

int32_t CaptureWindow::lastUnsavedIndex() const {
    for (size_t i = unsaved.size(); i > 0; --i)
        if (unsaved[i - 1]) return int32_t(i - 1);
    return -1;
}

bool CaptureWindow::deckPresent() const { return camera && rb::getProp(ENTRY("AVC.exists.Get"), camera.get()); }

// ---- forced redraw ------------------------------------------------------------------------

namespace TevikModule {

void ResetCapture() {
    CaptureWindow &w = captureWindow();
    w.setWidth(w.width() + 1);
    w.refresh(true);
    // CaptureRefreshTimer: once, 500 ms later, back to the former width. The
    // running timer keeps itself alive until it turns itself off.
    rb::ObjRef t = rb::newTimer(kRefreshDelayMs, [](REALobject self) {
        if (rb::Window *win = rb::findWindow("CaptureWindow")) {
            win->setWidth(win->width() - 1);
            win->refresh(true);
        }
        rb::setTimerMode(self, rb::TimerOff);
    });
    rb::setTimerMode(t.get(), rb::TimerMultiple);
}

}  // namespace TevikModule

}  // namespace tavrin
