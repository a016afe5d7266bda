#include "deckprefs/controlprefswindow.h"

#include "application/app.h"
#include "capturewindow/capturewindow.h"

#include <rb/serial.h>
#include <rb/thread.h>

namespace tavrin {

using K = rb::ControlKind;

namespace {

// Starts the RS-422 link on a port: the main window's port is set and opened
// (closing the one opened before).
void startRS422(int32_t port) {
    if (CaptureWindow *w = captureWindowIfOpen()) w->openDeckPort(port);
}

}  // namespace

ControlPrefswindow::ControlPrefswindow()
    : rb::Window("ControlPrefswindow", rb::WindowKind::MovableModal, "Deck Control Settings", 275, 211) {
    add(K::GroupBox, "GroupBox1", {11, 14, 252, 76}).setCaption("Device Protocol:");
    portsmenu = &add(K::PopupMenu, "portsmenu", {43, 132, 186, 20});
    portsmenu->on("Open", [this] { portsmenu_Open(); });
    add(K::StaticText, "StaticText1", {44, 110, 100, 20}).setText("Serial Port:");
    rs422button = &add(K::RadioButton, "rs422button", {20, 62, 62, 20});
    rs422button->setCaption("RS-422");
    rs422button->parentName = "GroupBox1";
    rs422button->on("Action", [this] { rs422button_Action(); });
    firewirebutton = &add(K::RadioButton, "firewirebutton", {20, 35, 69, 20});
    firewirebutton->setCaption("Fire Wire");
    firewirebutton->parentName = "GroupBox1";
    rb::Control &ok = add(K::PushButton, "PushButton1", {194, 178, 69, 20});
    ok.setCaption("OK");
    ok.isDefault = true;
    ok.on("Action", [this] { PushButton1_Action(); });
    rb::Control &cancel = add(K::PushButton, "PushButton2", {113, 178, 69, 20});
    cancel.setCaption("Cancel");
    cancel.on("Action", [this] { PushButton2_Action(); });
}

void ControlPrefswindow::portsmenu_Open() {
    for (int i = 0; i < rb::SerialPorts::count(); ++i) {
        portsmenu->addRow(rb::SerialPorts::name(i));
        rb::yield();
    }
    selectStoredPort();
}

void ControlPrefswindow::Open() {
    if (app().rs422()) rs422button->setValue(1);
    else firewirebutton->setValue(1);
    selectStoredPort();
}

// A stored index that names no port (the port is gone, or the preferences
// held garbage) shows the first port, the default, rather than no row.
void ControlPrefswindow::selectStoredPort() {
    int32_t port = app().myserialport;
    portsmenu->setListIndex(port >= 0 && port < int32_t(portsmenu->rows().size()) ? port : 0);
}

// Starts the link at once; Cancel does not undo it.
void ControlPrefswindow::rs422button_Action() { startRS422(portsmenu->listIndex()); }

void ControlPrefswindow::PushButton1_Action() {
    if (rs422button->value() == 1) {
        app().controlpref = kDeckLinkRS422;
        startRS422(portsmenu->listIndex());
    } else if (firewirebutton->value() == 1) {
        app().controlpref = kDeckLinkFireWire;
        if (CaptureWindow *w = captureWindowIfOpen()) w->initfirewire();
    }
    app().myserialport = portsmenu->listIndex();
    if (CaptureWindow *w = captureWindowIfOpen()) w->shuttleForDeckLink();
    close();
}

void ControlPrefswindow::PushButton2_Action() { close(); }

}  // namespace tavrin
