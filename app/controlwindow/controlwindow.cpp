#include "controlwindow/controlwindow.h"

#include "application/app.h"
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"

#include <climits>

namespace tavrin {

using K = rb::ControlKind;

int32_t numericValue(const std::string &text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > INT32_MAX) v = INT32_MAX;  // huge counts saturate instead of overflowing
    }
    return int32_t(negative ? -v : v);
}

controlwindow::controlwindow() : rb::Window("controlwindow", rb::WindowKind::Floating, "Controls", 428, 269) {
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
    mymessage = text("mymessage", {21, 221, 201, 20}, "");
    text("StaticText6", {132, 146, 73, 20}, "Open with:");
    filecreator = &add(K::PopupMenu, "filecreator", {205, 146, 148, 20});
    for (const char *row : {"Photoshop", "Preview", "Graphic Converter"}) filecreator->addRow(row);
    filecreator->on("Open", [this] { filecreator_Open(); });
    filecreator->on("Change", [this] { filecreator_Change(); });
}

void controlwindow::Open() {
    setLeft(rb::mainScreen().width - width());
    setTop(40);
}

bool controlwindow::MouseDown(int, int) {
    setFocus(nullptr);
    return false;
}

// A stored row outside the popup's rows selects nothing.
void controlwindow::filecreator_Open() { filecreator->setListIndex(app().filecreator); }
void controlwindow::filecreator_Change() { app().filecreator = filecreator->listIndex(); }

void controlwindow::BevelButton1_Action() {
    savefolder = rb::selectFolderDialog("Select Images Folder");
    if (savefolder) saveto->setText(savefolder->absolutePath());
}

void controlwindow::capturebutton_Action() {
    CaptureWindow *main = static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow"));
    // While a capture runs the thread owns the array: its frames stay put
    // until they are saved.
    if (main && !captureRunning()) main->resizeFrames(numericValue(framecount->text()));

    if (capturebutton->caption() == "Start Capture") {
        if (!app().devicepresent) {
            rb::msgBox("You do not have a video source available.  Please enable the video in the Capture Window "
                       "before proceeding.");
            return;
        }
        if (framecount->text().empty()) {
            rb::msgBox("You must enter a value for how many frames you want captured.");
            return;
        }
        if (numericValue(interval->text()) < 30) {
            rb::msgBox("You must enter a value for the capture interval that is greater than 30");
            return;
        }
        if (!savefolder || !savefolder->exists()) {
            rb::msgBox("Please select a folder for the images to be saved in before continuing");
            return;
        }
        cimsgbox();
        app().allowcapture = true;
        capturebutton->setCaption("Stop Capture");
        startCaptureThread();
    } else if (capturebutton->caption() == "Stop Capture") {
        app().allowcapture = false;
        capturebutton->setEnabled(false);
    }
}

void controlwindow::cimsgbox() {
    rb::MessageDialog d;
    d.icon = 1;
    d.actionCaption = "Start Capture";
    d.message = "Please make sure the deck is cued and in pause mode.  When you start the capture, the deck will be "
                "played by the application.";
    d.explanation = "Pause your tape deck now. ";
    d.showModal();
}

}  // namespace tavrin
