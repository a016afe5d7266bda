#include "capturethread/capturethread.h"

#include "application/app.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"

#include <rb/loop.h>
#include <rb/runtime.h>
#include <rb/screen.h>
#include <rb/thread.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace tavrin {

namespace {

// The capture that runs, from its start until its palette reset. Only that
// capture ends it: its thread, still showing its message after that, cannot
// end the next capture's run.
const CaptureThread *gRunning = nullptr;
int64_t gNextGrab = -1;

controlwindow &palette() { return rb::implicitInstance<controlwindow>(); }

void endRun(const CaptureThread *capture) {
    if (gRunning != capture) return;
    gRunning = nullptr;
    gNextGrab = -1;
}

}  // namespace

bool captureRunning() { return gRunning != nullptr; }
int64_t nextGrabDue() { return gNextGrab; }

void startCaptureThread(bool keptOnly) {
    auto state = std::make_shared<CaptureThread>();
    state->keptOnly = keptOnly;
    gRunning = state.get();
    rb::ObjRef t = rb::newThread([state](REALobject) {
        try {
            state->Run();
        } catch (...) {
            endRun(state.get());
            throw;
        }
    });
    rb::startThread(t.get());
}

void CaptureThread::Run() {
    CaptureWindow &main = captureWindow();
    controlwindow &pal = palette();

    if (keptOnly) {
        main.p = std::move(main.unsaved);
        main.unsaved.clear();
        framescaptured = int32_t(main.p.size()) - 1;
        saveframestodisk();
        resetcontrolwindow();
        return;
    }

    main.stopaction();
    main.playaction();

    // Frames of an earlier run are never saved under this run's names.
    main.p.clear();
    pal.counter = 0;
    pal.ProgressBar1->setMaximum(numericValue(pal.framecount->text()));
    pal.ProgressBar1->setValue(pal.counter);
    pal.mymessage->setText("Capturing frames...");
    currentticks = rb::Ticks();
    myinterval = int64_t(numericValue(pal.interval->text())) * 2;

    gNextGrab = currentticks + myinterval;
    for (;;) {
        if (numericValue(pal.framecount->text()) < pal.counter) break;
        if (!app().allowcapture) break;
        if (currentticks + myinterval <= rb::Ticks()) {
            currentticks = rb::Ticks();
            main.grabFailed = false;
            main.grabNoVideo = false;
            main.GrabStill(pal.counter, false);
            // The video has gone (a clip ended, a device failed): the
            // capture ends as Stop Capture ends it, and says so once done.
            if (main.grabNoVideo) {
                videoEnded = true;
                break;
            }
            // Room to save is set aside with the first frame: grabbing must
            // not take the memory that saving the frames needs.
            if (!main.grabFailed && !saveReserve) {
                if (const StillFrame *f = main.frame(pal.counter))
                    saveReserve.reset(new (std::nothrow) char[saveReserveBytes(f->width(), f->height())]);
                if (!saveReserve) {
                    main.resizeFrames(pal.counter - 1);
                    main.grabFailed = true;
                }
            }
            // A frame that could not be grabbed is not counted: stop here,
            // save what was grabbed and say how many are missing.
            if (main.grabFailed) {
                missing = std::max(0, numericValue(pal.framecount->text()) + 1 - pal.counter);
                break;
            }
            pal.counter += 1;
            pal.ProgressBar1->setValue(pal.counter);
            gNextGrab = currentticks + myinterval;
        }
        rb::sleep(1);
        rb::yield();
    }

    gNextGrab = -1;
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
    if (pal.savefolder) removeStaleTemporaries(*pal.savefolder);
    saveReserve.reset();
    rb::yield();  // the palette says so before the first file takes its time
    CaptureWindow &main = captureWindow();
    // Every file is written first, its write-back started at once; then one
    // commit puts them all on the disk (a sync of each temporary file, the
    // renames, one sync of the folder). A frame whose file cannot be
    // written does not end the pass, and a frame's memory goes back only
    // once its file is on the disk.
    rb::DurableBatch pass;
    std::vector<int32_t> joined;  // the frames whose files joined the pass, in order
    // Room for every frame up front: nothing the pass keeps is taken
    // between the frame-sized blocks of the saves.
    try {
        if (framescaptured >= 0) {
            pass.reserve(size_t(framescaptured) + 1);
            joined.reserve(size_t(framescaptured) + 1);
        }
    } catch (const std::bad_alloc &) {
        // Taken as the pass goes.
    }
    for (int32_t index = 0; index <= framescaptured; ++index) {
        bool grabbed = main.frame(index) != nullptr;
        if (!main.saveFrame(index, &pass)) ++notsaved;
        else if (grabbed) joined.push_back(index);
        pal.ProgressBar1->setValue(index + 1);
        rb::yield();
    }
    std::vector<bool> onDisk = pass.commit(rb::yield);
    for (size_t i = 0; i < joined.size(); ++i) {
        if (!onDisk[i]) {
            ++notsaved;
        } else {
            ++saved;
            if (size_t(joined[i]) < main.p.size()) main.p[size_t(joined[i])].reset();
        }
    }
    // What could not be written stays in memory until another folder
    // takes it (Start Capture saves it then).
    if (notsaved > 0) main.unsaved = std::move(main.p);
    main.p.clear();
}

namespace {

std::string frames(int32_t n) { return std::to_string(n) + (n == 1 ? " frame" : " frames"); }

}  // namespace

std::string outcomeText(int32_t missing, int32_t notsaved) {
    if (missing <= 0 && notsaved <= 0) return "Done";
    if (notsaved <= 0) return frames(missing) + " missing (out of memory)";
    if (missing <= 0) return frames(notsaved) + " could not be saved: choose another folder";
    // Both, said shorter to fit the palette's line.
    return std::to_string(missing) + " missing (out of memory), " + std::to_string(notsaved) +
           " not saved: choose another folder";
}

std::string videoEndedText(int32_t saved, int32_t notsaved) {
    if (notsaved <= 0) return frames(saved) + " saved: the video ended";
    return "The video ended; " + frames(notsaved) + " could not be saved: choose another folder";
}

std::string savedText(int32_t saved, int32_t missing) {
    return frames(saved) + " saved" + (missing > 0 ? ", " + frames(missing) + " missing (out of memory)" : "");
}

// The run ends here, and the palette is ready for the next one, before the
// video's end is told: nothing this thread does after that touches the next
// run. A quit asked for during the run goes on once the frames are saved:
// what the capture's folder could not take, the application's quit saves
// into the user's data.
void CaptureThread::resetcontrolwindow() {
    controlwindow &pal = palette();
    pal.ProgressBar1->setValue(0);
    pal.ProgressBar1->setMaximum(100);
    bool quitNow = app().quitAfterCapture;
    app().quitAfterCapture = false;
    if (videoEnded) pal.mymessage->setText(videoEndedText(saved, notsaved));
    else pal.mymessage->setText(quitNow && notsaved == 0 ? savedText(saved, missing) : outcomeText(missing, notsaved));
    pal.capturebutton->setEnabled(true);
    pal.capturebutton->setCaption("Start Capture");
    // Enable Video is offered at once.
    if (videoEnded && !quitNow && app().devicepresent) captureWindow().videoLost();
    endRun(this);
    if (quitNow) {
        // The window goes with the quit: a terminal that sent the signal is
        // told too; with the display gone that is all there is to read, so
        // it says where the frames are.
        std::string said = pal.mymessage->text();
        if (rb::displayLost() && saved > 0 && pal.savefolder)
            said = frames(saved) + " saved in " + pal.savefolder->absolutePath() +
                   (missing > 0 ? ", " + frames(missing) + " missing (out of memory)" : "");
        if (notsaved == 0) std::fprintf(stderr, "tavrin: %s, quitting\n", said.c_str());
        rb::post([] {
            if (rb::Application *a = rb::app()) a->quit(a->exitCode());
        });
        return;
    }
    // The grab's message, once, after the deck stopped and the frames were
    // saved. A quit while it is open closes it.
    if (videoEnded) CaptureWindow::sayNoVideoToGrab();
}

}  // namespace tavrin
