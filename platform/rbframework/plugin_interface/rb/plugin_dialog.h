// The host's modal dialog of labelled popup menus, for plug-ins that must
// ask the user to choose (a grabber's device, input and size), and the notes
// a plug-in leaves for the application:
//
//   RBBoolean RuntimePopupDialog(RBPopupDialog *dialog)
//   void      PluginSetNote(const char *about, const char *text)
//
// RuntimePopupDialog makes a window of the host's own window model: one row
// a popup menu, its label on the left, then Cancel and OK (the default). The
// window's class name is `windowName`, the popups' control names are their
// `name`s and the buttons are "OK" and "Cancel", so a script reaches it like
// any other window (select <window> <popup> <row>, click <window> OK).
//
// It is modal the host's way: on screen the call returns once the dialog
// has closed; without a display it returns at once, and the dialog stays
// open until the operator answers it. Either way `closed` is called exactly
// once, when it closes: ok is 1 for OK, 0 for Cancel or a dialog closed
// otherwise (its close box, the application quitting). Until then the
// record and everything it points to stay the plug-in's to keep alive. The
// call answers false, and calls nothing, when the dialog cannot be shown
// (no popups, a popup without rows).
//
// PluginSetNote keeps one line of text about `about` (a class name) for the
// application to read and show, e.g. why a video source could not be
// started; an empty text or nullptr takes it back.
#pragma once

#include <rb/plugin.h>

extern "C" {

struct RBDialogPopup {
    const char *name;         // the popup menu's control name, e.g. "Device"
    const char *label;        // the text on its left, e.g. "Device:"
    const char *const *rows;  // the texts of its rows
    int32_t rowCount;
    int32_t selected;  // the row shown; the host keeps it up to date
};

struct RBPopupDialog {
    const char *windowName;  // the window's class name
    const char *title;
    RBDialogPopup *popups;
    int32_t popupCount;
    void *context;  // the plug-in's
    // The user chose another row of popup `popup` (its `selected` holds it).
    // The plug-in may change any popup's rows and selection in place; the
    // host shows them as they are when this returns. May be nullptr.
    void (*changed)(RBPopupDialog *dialog, int32_t popup);
    void (*closed)(RBPopupDialog *dialog, RBBoolean ok);
};

}  // extern "C"
