// Video source and deck link set-up of the main window.
#include "application/app.h"
#include "binding/entrypoints.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/firewire.h"
#include "capturewindow/portnote.h"

#include <fw/FWBus.h>
#include <rb/entrypoints.h>
#include <rb/picture.h>
#include <rb/plugin_notes.h>

#include <algorithm>
#include <cstdio>
#include <new>

namespace tavrin {

namespace {

// Width and height of an IntegerRectPlyx, or false for nil.
bool rectSize(REALobject r, int32_t &w, int32_t &h) {
    if (!r) return false;
    w = rb::getProp(ENTRY("IntegerRectPlyx.Width.Get"), r);
    h = rb::getProp(ENTRY("IntegerRectPlyx.Height.Get"), r);
    return true;
}

// Forgets a note; the status line is cleared when it still shows it.
void clearNote(rb::Control &statusLine, std::string &note) {
    if (!note.empty() && statusLine.text() == note) showStatus(statusLine, "");
    note.clear();
}

bool hasVideo(REALobject grabber) {
    return grabber && rb::getProp(ENTRY("QTGrabberPlyx.CurrentVideoSize.Get"), grabber);
}

}  // namespace

// Window size for a source of w x h on a screen of sw x sh: the video at full
// size when it fits in two thirds of the screen each way, else at half size;
// plus the 100-pixel strip of controls.
void sizeForVideo(int32_t w, int32_t h, int32_t sw, int32_t sh, int32_t &outW, int32_t &outH) {
    double fw = w, fh = h;
    bool fits = fw <= 2.0 * sw / 3.0 && fh <= 2.0 * sh / 3.0;
    outW = fits ? w : int32_t(fw / 2.0);
    outH = fits ? h + kStripHeight : int32_t(fh / 2.0 + kStripHeight);
}

void widenToTheStrip(int32_t &w, int32_t &h, int32_t sh) {
    if (w >= kStripWidth) return;
    int64_t videoH = std::max(0, h - kStripHeight);
    int64_t grown = w > 0 ? videoH * kStripWidth / w : videoH;
    videoH = std::max(videoH, std::min(grown, int64_t(2) * sh / 3));
    w = kStripWidth;
    h = int32_t(videoH) + kStripHeight;
}

void CaptureWindow::EnableVideo() {
    qGrab = rb::make("QTGrabberPlyx");
    if (qGrab) {
        rb::call(ENTRY("QTGrabberPlyx.InitGrabber"), qGrab.get());
        rb::call(ENTRY("QTGrabberPlyx.InitVideo"), qGrab.get());
    }

    if (hasVideo(qGrab.get())) {
        checkvideobutton->setEnabled(false);
        app().devicepresent = true;
        clearNote(*message, videoNote);  // what was said of the video before no longer holds
    } else if (!noVideoSignal()) {
        return;  // a quit closed the message: the window is going
    }

    SetGWorld();
    readcapturesettings();
    // The settings may name a video device that is not there (it was
    // unplugged since): then there is no video after all.
    if (app().devicepresent && !hasVideo(qGrab.get()) && !noVideoSignal()) return;

    if (qGrab) {
        rb::ObjRef source = rb::getProp(ENTRY("QTGrabberPlyx.SourceVideoRect.Get"), qGrab.get());
        int32_t w = 0, h = 0;
        if (rectSize(source.get(), w, h)) {
            int32_t ww = 0, wh = 0;
            sizeForVideo(w, h, rb::mainScreen().width, rb::mainScreen().height, ww, wh);
            widenToTheStrip(ww, wh, rb::mainScreen().height);
            setWidth(ww);
            setHeight(wh);
        }
        // A new grabber shows its video from the window's top; a window
        // that kept its size is not resized to move it below the strip.
        videoBelowStrip();
        rb::call(ENTRY("QTGrabberPlyx.Prepare(PrepareForPreview as boolean, PrepareForRecord as boolean)"), qGrab.get(),
                 true, false);
        rb::call(ENTRY("QTGrabberPlyx.StartPreview"), qGrab.get());
        rb::call(ENTRY("QTGrabberPlyx.Play"), qGrab.get());
    }

    if (app().rs422()) {
        openDeckPort(app().myserialport);
    } else {
        initfirewire();
    }
}

bool CaptureWindow::noVideoSignal() {
    if (!rb::msgBox("No video signal was detected.  Check to make sure that your video device is connected and "
                    "powered on, then click the Enable Video button to reconnect to the video device."))
        return false;
    videoLost();
    return true;
}

bool CaptureWindow::sayNoVideoToGrab() {
    return rb::msgBox("Error.  You can not grab a still because there is no video device enabled.");
}

void CaptureWindow::videoLost() {
    checkvideobutton->setEnabled(true);
    app().devicepresent = false;
    // Why, where the grabber could say (a device not plugged in, a GStreamer
    // element not installed, the end of a clip), in the status line.
    videoNote = rb::pluginNote("QTGrabberPlyx");
    if (!videoNote.empty()) showStatus(*message, videoNote);
}

void CaptureWindow::openDeckPort(int32_t port) {
    // Opening closes the port opened before, so nothing leaks.
    Serial1.setIndex(port);
    bool opened = Serial1.open();
    clearNote(*message, portNote);  // what was said of a port before no longer holds
    if (opened) return;
    std::string path = rb::SerialPorts::path(port);
    portNote = serialPortNote(port, rb::SerialPorts::name(port), path, Serial1.lastError(), fileGroup(path));
    std::fprintf(stderr, "tavrin: %s\n", portNote.c_str());
    showStatus(*message, portNote);
}

void CaptureWindow::initfirewire() {
    clearNote(*message, portNote);
    fireWireNotification = newNotification(message);
    camera = newAVCUnit();
    if (camera) {
        rb::call(ENTRY("AVC.Create()"), camera.get());
        if (rb::getProp(ENTRY("AVC.lastError.Get"), camera.get()) == 0) rb::call(ENTRY("AVC.Commence()"), camera.get());
    }
    // What the platform found wrong with the FireWire bus (no permission on
    // a device file, no port), with the fix.
    if (const char *note = fw_bus_note()) showStatus(*message, note);
}

std::shared_ptr<StillFrame> CaptureWindow::grabFrame(bool sayNoVideo) {
    if (!qGrab) return {};
    rb::ObjRef r = rb::getProp(ENTRY("QTGrabberPlyx.SourceVideoRect.Get"), qGrab.get());
    rb::ObjRef pic;
    if (r) pic = rb::call(ENTRY("QTGrabberPlyx.GrabPicture(rect as object) as picture"), qGrab.get(), r);
    if (!hasVideo(qGrab.get())) {
        if (sayNoVideo) sayNoVideoToGrab();
        else grabNoVideo = true;
        return {};
    }
    int32_t w = 0, h = 0;
    // With video, a missing picture is a grab that failed (the grabber could
    // not allocate it), as is a frame that finds no memory.
    if (!rectSize(r.get(), w, h) || !pic) {
        grabFailed = true;
        return {};
    }
    std::shared_ptr<StillFrame> frame = StillFrame::fromPicture(pic.get(), w, h);
    if (!frame) grabFailed = true;
    return frame;
}

void CaptureWindow::GrabStill(int32_t index, bool sayNoVideo) {
    std::shared_ptr<StillFrame> frame = grabFrame(sayNoVideo);
    if (!frame || index < 0) return;
    // The array grows with the frames actually grabbed.
    try {
        if (size_t(index) >= p.size()) p.resize(size_t(index) + 1);
    } catch (const std::bad_alloc &) {
        grabFailed = true;
        return;
    }
    p[size_t(index)] = frame;
}

void CaptureWindow::VideoSettings() {
    if (!qGrab) return;
    rb::call(ENTRY("QTGrabberPlyx.Pause"), qGrab.get());
    rb::call(ENTRY("QTGrabberPlyx.AskVideoSettings"), qGrab.get());
    // Closed by a quit: the window and its grabber are going, and nothing
    // is to be set up again after them.
    if (rb::app() && rb::app()->quitting()) return;
    writecapturesettings();
    rb::call(ENTRY("QTGrabberPlyx.Play"), qGrab.get());
    TevikModule::ResetCapture();
}

void CaptureWindow::SetGWorld() {
    if (qGrab) rb::call(ENTRY("QTGrabberPlyx.OutputToWindow(previewWindow as window)"), qGrab.get(), handle());
}

}  // namespace tavrin
