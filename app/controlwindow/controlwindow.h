// The capture palette: interval, count, name prefix, folder and "Open with:"
// choice of a timed capture, its Start/Stop button, status line and progress.
#pragma once

#include <rb/files.h>
#include <rb/ui.h>

#include <vector>

namespace tavrin {

class controlwindow : public rb::Window {
public:
    controlwindow();

    rb::FolderItemRef savefolder;
    std::vector<int32_t> frames = std::vector<int32_t>(2);
    int32_t counter = 0;

    rb::Control *interval, *framecount, *nameprefix, *saveto, *capturebutton, *ProgressBar1, *mymessage, *filecreator;

    void Open() override;
    bool MouseDown(int x, int y) override;
    void capturebutton_Action();
    void BevelButton1_Action();
    void filecreator_Open();
    void filecreator_Change();
    // The cue dialog; false when a quit closed it (the capture is not to
    // start).
    bool cimsgbox();
    // What Stop Capture does: the thread is asked to stop, and the button
    // stays off until the frames are saved.
    void stopCapture();
};

// The numeric value of a field's text as the framework reads it: leading
// digits (with an optional sign), 0 when there are none.
int32_t numericValue(const std::string &text);
// True when that value is beyond a 32-bit integer (numericValue then holds
// at the nearest end).
bool numericValueOverflows(const std::string &text);

}  // namespace tavrin
