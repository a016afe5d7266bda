// The window model's link to the runtime core (see ui_host.h): the event
// loop, and the framework class "Window" whose objects stand for windows
// when they are handed to plug-ins.
#include "windows/ui_host.h"

#include <rb/backend.h>
#include <rb/host.h>
#include <rb/loop.h>
#include <rb/object.h>
#include <rb/ui.h>

#include <cstring>

namespace rb::uihost {

void post(std::function<void()> fn) { rb::post(std::move(fn)); }
void quitLoop(int code) { rb::quit(code); }

namespace {

struct WindowObjectFields {
    Window *window = nullptr;  // cleared when the window goes first
};

ClassInfo *windowClass() {
    static ClassInfo *cls = [] {
        if (ClassInfo *c = findClass("Window")) return c;
        ClassInfo *c = defineClass<WindowObjectFields>("Window");
        defineWindowMembers(c);
        return c;
    }();
    return cls;
}

// "REALGetWindowHandle"(window object) -> the rb::Window it stands for.
extern "C" void *getWindowHandle(REALobject obj) {
    if (!obj || !isA(obj, "Window")) return nullptr;
    return fields<WindowObjectFields>(obj, windowClass())->window;
}
RB_SERVICE("REALGetWindowHandle", getWindowHandle);

// "PaintWindowSurface"(window object, left, top, width, height, pixels):
// the window's video surface shows the 0x00RRGGBB pixels, row by row, at
// (left, top). They are kept as they come, the top byte too: nothing shows
// it (it is the padding of the X server's pixels); on screen, in the memory
// the display shows them from. False when the object stands for no open
// window.
extern "C" RBBoolean paintWindowSurface(REALobject obj, int32_t left, int32_t top, int32_t width, int32_t height,
                                        const uint32_t *pixels) {
    Window *w = static_cast<Window *>(getWindowHandle(obj));
    if (!w || !pixels || width < 1 || height < 1) return 0;
    uint32_t *to = w->surface.repaint({left, top, width, height}, backend().surfaceMemory(*w, width, height));
    std::memcpy(to, pixels, size_t(width) * size_t(height) * sizeof *pixels);
    ++w->surface.paintings;
    backend().surfacePainted(*w);
    return 1;
}
RB_SERVICE("PaintWindowSurface", paintWindowSurface);

}  // namespace

Window *windowOf(REALobject obj) {
    if (!obj || !isA(obj->klass, windowClass())) return nullptr;
    return fields<WindowObjectFields>(obj, windowClass())->window;
}

REALobject newWindowObject(Window *w) {
    REALobject obj = newObject(windowClass());
    if (obj) fields<WindowObjectFields>(obj, windowClass())->window = w;
    return obj;
}

void detachWindowObject(REALobject obj) {
    if (!obj) return;
    fields<WindowObjectFields>(obj, windowClass())->window = nullptr;
    release(obj);
}

}  // namespace rb::uihost
