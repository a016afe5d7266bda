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
    if (f->notify) f->notify->setText(rb::toStd(text));
}

// The handlers by the position of FWNotification's events; 18 stays empty.
extern "C" void onShow(REALobject self, REALstring text) { show(self, text); }

extern "C" void onServiceIsResumed(REALobject self, REALstring text) {
    show(self, text);
    rb::Window *w = rb::findWindow("CaptureWindow");
    auto *win = static_cast<CaptureWindow *>(w);
    if (!win || !win->camera) return;
    // Re-prime the deck after a bus reset if it was lost.
    if (!rb::getProp<bool>(ENTRY("AVC.isprimed.Get"), win->camera.get())) {
        rb::call<void>(ENTRY("AVC.Create()"), win->camera.get());
        if (rb::getProp<int32_t>(ENTRY("AVC.lastError.Get"), win->camera.get()) == 0)
            rb::call<void>(ENTRY("AVC.Commence()"), win->camera.get());
    }
}

extern "C" void onServiceIsRequestingClose(REALobject self, REALstring text) {
    show(self, text);
    auto *win = static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow"));
    if (win && win->camera) rb::call<void>(ENTRY("AVC.Cease()"), win->camera.get());
}

extern "C" void onServiceIsAttemptingOpen(REALobject self, REALstring text) {
    show(self, text);
    auto *win = static_cast<CaptureWindow *>(rb::findWindow("CaptureWindow"));
    if (win && win->camera) rb::call<void>(ENTRY("AVC.Commence()"), win->camera.get());
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
    rb::call<void>(ENTRY("FWNotification.FWNotification()"), n.get());
    rb::fields<NotificationFields>(n.get(), cls)->notify = notify;
    return n;
}

rb::ObjRef newAVCUnit() {
    rb::ClassInfo *cls = avcUnitClass();
    if (!cls) return {};
    rb::ObjRef unit = rb::make(cls);
    if (unit) rb::call<void>(ENTRY("AVC.AVC()"), unit.get());
    return unit;
}

}  // namespace tavrin
