#include "controlwindow/controlwindow.h"

#include "application/app.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"

#include <algorithm>
#include <climits>

namespace tavrin {

using K = rb::ControlKind;

namespace {

// The leading number of a text, held at just past the 32-bit range.
int64_t leadingNumber(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min<int64_t>(v * 10 + (text[i] - '0'), int64_t(INT32_MAX) + 1);
    return negative ? -v : v;
}

}  // namespace

int32_t numericValue(const std::string &text) {
    // Huge counts saturate instead of overflowing.
    return int32_t(std::clamp<int64_t>(leadingNumber(text), -int64_t(INT32_MAX), INT32_MAX));
}

bool numericValueOverflows(const std::string &text) {
    int64_t v = leadingNumber(text);
    return v > INT32_MAX || v < -int64_t(INT32_MAX);
}

controlwindow::controlwindow() : rb::Window("controlwindow", rb::WindowKind::Floating, "Controls", 428, 269) {
    // Nothing would open the palette again: it has no close box.
    closeBox = false;
    auto text = [this](const char *name, rb::Rect r, const char *t) {
        rb::Control &c = add(K::StaticText, name, r);
        c.setText(t);
        return &c;
    };
    auto field = [this](const char *name, rb::Rect r, const char *t) {
        rb::Control &c = add(K::EditField, name, r);
        c.setText(t);
        c.on("GotFocus", [] { app().shortcutsactive = false; });
        c.on("LostFocus", [] { app().shortcutsactive = true; });
        return &c;
    };
    text("StaticText1", {20, 14, 100, 20}, "Every");
    interval = field("interval", {60, 13, 46, 22}, "30");
    text("StaticText2", {113, 14, 223, 20}, "frames (must be 30 or more)");
    text("StaticText3", {20, 47, 100, 20}, "Until");
    framecount = field("framecount", {60, 46, 46, 22}, "");
    text("StaticText4", {115, 47, 143, 20}, "frames are captured.");
    text("StaticText5", {20, 91, 100, 20}, "Name Prefix:");
    nameprefix = field("nameprefix", {20, 114, 239, 22}, "");
    saveto = text("saveto", {21, 172, 388, 37}, "");
    capturebutton = &add(K::PushButton, "capturebutton", {293, 216, 115, 20});
    capturebutton->setCaption("Start Capture");
    capturebutton->on("Action", [this] { capturebutton_Action(); });
    rb::Control &choose = add(K::BevelButton, "BevelButton1", {20, 146, 100, 22});
    choose.setCaption("Choose Folder...");
    choose.on("Action", [this] { BevelButton1_Action(); });
    ProgressBar1 = &add(K::ProgressBar, "ProgressBar1", {20, 243, 388, 12});
    ProgressBar1->setMaximum(100);
    ProgressBar1->setValue(0);
    // The status line reaches the button and takes two lines, so that its
    // longest texts show whole in the palette's own font.
    mymessage = text("mymessage", {21, 211, 264, 30}, "");
    text("StaticText6", {132, 146, 73, 20}, "Open with:");
    filecreator = &add(K::PopupMenu, "filecreator", {205, 146, 148, 20});
    for (const char *row : {"Photoshop", "Preview", "Graphic Converter"}) filecreator->addRow(row);
    filecreator->on("Open", [this] { filecreator_Open(); });
    filecreator->on("Change", [this] { filecreator_Change(); });
}

void controlwindow::Open() {
    setLeft(rb::mainScreen().width - width());
    setTop(40);
    // Beside the main window, not over its controls: where the screen has
    // room for both side by side, the main window moves left of the palette.
    constexpr int kGap = 8;
    rb::Window *main = rb::findWindow("CaptureWindow");
    if (!main) return;
    bool across = main->left() + main->width() > left() && main->left() < left() + width();
    bool down = main->top() < top() + height() && top() < main->top() + main->height();
    if (across && down && left() - kGap - main->width() >= 0) main->setLeft(left() - kGap - main->width());
}

bool controlwindow::MouseDown(int, int) {
    setFocus(nullptr);
    return false;
}

// The capture thread works through the palette: it stays while a capture
// runs.
void controlwindow::stopCapture() {
    app().allowcapture = false;
    capturebutton->setEnabled(false);
}

// A stored row outside the popup's rows selects nothing.
void controlwindow::filecreator_Open() { filecreator->setListIndex(app().filecreator); }
void controlwindow::filecreator_Change() { app().filecreator = filecreator->listIndex(); }

void controlwindow::BevelButton1_Action() {
    bool dismissed = false;
    rb::FolderItemRef chosen = rb::selectFolderDialog("Select Images Folder", &dismissed);
    // Closed by a quit, it chose nothing and forgets nothing: a capture
    // that the quit waits for still saves into the folder it had.
    if (dismissed) return;
    savefolder = chosen;
    if (savefolder) saveto->setText(savefolder->absolutePath());
}

void controlwindow::capturebutton_Action() {
    CaptureWindow *main = captureWindowIfOpen();
    // While a capture runs the thread owns the array: its frames stay put
    // until they are saved.
    if (main && !captureRunning()) main->resizeFrames(numericValue(framecount->text()));

    if (capturebutton->caption() == "Start Capture") {
        // Frames an earlier save could not write are saved first, in place
        // of a new capture: no deck, no grabs.
        bool keptOnly = main && main->unsavedCount() > 0;
        if (!keptOnly) {
            if (!app().devicepresent) {
                rb::msgBox(
                    "You do not have a video source available.  Please enable the video in the Capture "
                    "Window before proceeding.");
                return;
            }
            // A negative count would roll the deck and grab nothing.
            if (framecount->text().empty() || numericValue(framecount->text()) < 0) {
                rb::msgBox("You must enter a value for how many frames you want captured.");
                return;
            }
            // An interval beyond the field's range could never be reached.
            if (numericValue(interval->text()) < 30 || numericValueOverflows(interval->text())) {
                rb::msgBox("You must enter a value for the capture interval that is greater than 30");
                return;
            }
        }
        if (!savefolder || !savefolder->isFolder()) {
            rb::msgBox("Please select a folder for the images to be saved in before continuing");
            return;
        }
        // The folder must take every file of the run before the deck moves.
        int32_t last = keptOnly ? main->lastUnsavedIndex() : numericValue(framecount->text());
        std::string problem = folderProblem(*savefolder, nameprefix->text(), last);
        if (!problem.empty()) {
            rb::msgBox(problem);
            return;
        }
        // Closed by a quit, the cue dialog starts nothing.
        if (!keptOnly && !cimsgbox()) return;
        app().allowcapture = true;
        capturebutton->setCaption("Stop Capture");
        startCaptureThread(keptOnly);
    } else if (capturebutton->caption() == "Stop Capture") {
        stopCapture();
    }
}

bool controlwindow::cimsgbox() {
    rb::MessageDialog d;
    d.icon = 1;
    d.actionCaption = "Start Capture";
    d.message =
        "Please make sure the deck is cued and in pause mode.  When you start the capture, the deck will be "
        "played by the application.";
    d.explanation = "Pause your tape deck now. ";
    return !d.showModal().empty();
}

}  // namespace tavrin
