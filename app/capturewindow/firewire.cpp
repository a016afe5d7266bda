#include "capturewindow/firewire.h"

#include "binding/entrypoints.h"
#include "capturewindow/capturewindow.h"

#include <rb/entrypoints.h>
#include <rb/string.h>

namespace tavrin {

namespace {

struct NotificationFields {
    rb::Control *notify = nullptr;  // the main window's status line
};

struct AVCUnitFields {
    rb::Control *pushB = nullptr;
};

rb::ClassInfo *notificationClass();

void show(REALobject self, REALstring text) {
    if (!self) return;
    auto *f = rb::fields<NotificationFields>(self, notificationClass());
    if (f->notify) showStatus(*f->notify, rb::toStd(text));
}

// The handlers by the position of FWNotification's events; 18 stays empty.
extern "C" void onShow(REALobject self, REALstring text) { show(self, text); }

// A bus reset ended: prime the deck again if it was lost and open it if it
// is not open, telling the status line what happened.
extern "C" void onServiceIsResumed(REALobject self, REALstring text) {
    show(self, text);
    auto *win = captureWindowIfOpen();
    if (!self || !win || !win->camera) return;  // set-up not finished yet
    rb::Control *notify = rb::fields<NotificationFields>(self, notificationClass())->notify;
    auto say = [notify](const std::string &t) {
        if (notify) showStatus(*notify, t);
    };
    REALobject camera = win->camera.get();
    if (!rb::getProp(ENTRY("AVC.isprimed.Get"), camera)) {
        say("vcr is not primed, will do this now");
        rb::call(ENTRY("AVC.Create()"), camera);
    }
    if (rb::getProp(ENTRY("AVC.exists.Get"), camera)) {
        say((notify ? notify->text() : std::string()) + " vcr was already inited");
        return;
    }
    rb::call(ENTRY("AVC.Commence()"), camera);
    if (rb::getProp(ENTRY("AVC.exists.Get"), camera)) say("got it to work.................!");
    else say(" warning vcr is not inited");
}

extern "C" void onServiceIsRequestingClose(REALobject self, REALstring text) {
    show(self, text);
    auto *win = captureWindowIfOpen();
    if (win && win->camera) rb::call(ENTRY("AVC.Cease()"), win->camera.get());
}

extern "C" void onServiceIsAttemptingOpen(REALobject self, REALstring text) {
    show(self, text);
    auto *win = captureWindowIfOpen();
    if (win && win->camera) rb::call(ENTRY("AVC.Commence()"), win->camera.get());
}

rb::ClassInfo *notificationClass() {
    static rb::ClassInfo *cls = [] {
        rb::ClassInfo *base = rb::findClass("FWNotification");
        rb::ClassInfo *c = base ? rb::defineClass<NotificationFields>("Notification", base) : nullptr;
        if (c) {
            std::vector<void *> handlers(19, reinterpret_cast<void *>(&onShow));
            handlers[2] = reinterpret_cast<void *>(&onServiceIsResumed);
            handlers[3] = reinterpret_cast<void *>(&onServiceIsRequestingClose);
            handlers[4] = reinterpret_cast<void *>(&onServiceIsAttemptingOpen);
            handlers[18] = nullptr;
            rb::setEventHandlers(c, handlers);
        }
        return c;
    }();
    return cls;
}

// AVCUnit's Idle (position 0) pushes its button, when it has one.
extern "C" void onIdle(REALobject self) {
    if (!self) return;
    if (rb::Control *b = rb::fields<AVCUnitFields>(self)->pushB) b->push();
}

rb::ClassInfo *avcUnitClass() {
    static rb::ClassInfo *cls = [] {
        rb::ClassInfo *base = rb::findClass("AVC");
        rb::ClassInfo *c = base ? rb::defineClass<AVCUnitFields>("AVCUnit", base) : nullptr;
        if (c) rb::setEventHandlers(c, {reinterpret_cast<void *>(&onIdle), nullptr, nullptr});
        return c;
    }();
    return cls;
}

}  // namespace

rb::ObjRef newNotification(rb::Control *notify) {
    rb::ClassInfo *cls = notificationClass();
    if (!cls) return {};
    rb::ObjRef n = rb::make(cls);
    if (!n) return {};
    rb::call(ENTRY("FWNotification.FWNotification()"), n.get());
    rb::fields<NotificationFields>(n.get(), cls)->notify = notify;
    return n;
}

rb::ObjRef newAVCUnit() {
    rb::ClassInfo *cls = avcUnitClass();
    if (!cls) return {};
    rb::ObjRef unit = rb::make(cls);
    if (unit) rb::call(ENTRY("AVC.AVC()"), unit.get());
    return unit;
}

}  // namespace tavrin
