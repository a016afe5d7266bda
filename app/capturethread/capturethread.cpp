#include "capturethread/capturethread.h"

#include "application/app.h"
#include "capturewindow/capturewindow.h"
#include "controlwindow/controlwindow.h"

#include <rb/loop.h>
#include <rb/thread.h>

#include <memory>
#include <new>

namespace tavrin {

namespace {

bool gRunning = false;

controlwindow &palette() { return rb::implicitInstance<controlwindow>(); }

}  // namespace

bool captureRunning() { return gRunning; }

void startCaptureThread() {
    auto state = std::make_shared<CaptureThread>();
    gRunning = true;
    rb::ObjRef t = rb::newThread([state](REALobject) {
        try {
            state->Run();
        } catch (...) {
            gRunning = false;
            throw;
        }
    });
    rb::startThread(t.get());
}

void CaptureThread::Run() {
    CaptureWindow &main = captureWindow();
    controlwindow &pal = palette();

    main.stopaction();
    main.playaction();

    // Frames of an earlier run are never saved under this run's names.
    main.p.clear();
    pal.counter = 0;
    pal.ProgressBar1->setMaximum(numericValue(pal.framecount->text()));
    pal.ProgressBar1->setValue(pal.counter);
    pal.mymessage->setText("Capturing frames...");
    currentticks = int32_t(rb::Ticks());
    myinterval = int32_t(double(numericValue(pal.interval->text())) * 2.0);

    for (;;) {
        if (numericValue(pal.framecount->text()) < pal.counter) break;
        if (!app().allowcapture) break;
        if (int64_t(currentticks) + myinterval <= rb::Ticks()) {
            currentticks = int32_t(rb::Ticks());
            main.grabOutOfMemory = false;
            main.GrabStill(pal.counter);
            // Out of memory: stop here and save what was grabbed.
            if (main.grabOutOfMemory) break;
            pal.counter += 1;
            pal.ProgressBar1->setValue(pal.counter);
        }
        rb::sleep(1);
        rb::yield();
    }

    if (app().devicepresent) main.stopaction();
    framescaptured = pal.counter - 1;
    saveframestodisk();
    resetcontrolwindow();
}

void CaptureThread::saveframestodisk() {
    controlwindow &pal = palette();
    pal.capturebutton->setEnabled(false);
    pal.ProgressBar1->setMaximum(framescaptured);
    pal.ProgressBar1->setValue(0);
    pal.mymessage->setText("Saving frames to disk...");
    for (int32_t index = 0; index <= framescaptured; ++index) {
        // A frame that cannot be written does not end the pass.
        if (!captureWindow().saveFrame(index)) ++notsaved;
        pal.ProgressBar1->setValue(index + 1);
        rb::yield();
    }
}

void CaptureThread::resetcontrolwindow() {
    controlwindow &pal = palette();
    pal.ProgressBar1->setValue(0);
    pal.ProgressBar1->setMaximum(100);
    if (notsaved == 0)
        pal.mymessage->setText("Done");
    else
        pal.mymessage->setText(std::to_string(notsaved) + (notsaved == 1 ? " frame" : " frames") +
                               " could not be saved");
    pal.capturebutton->setEnabled(true);
    pal.capturebutton->setCaption("Start Capture");
    gRunning = false;
}

}  // namespace tavrin
