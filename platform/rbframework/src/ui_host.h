// What the window model needs from the runtime core: the event loop and the
// host object that stands for a window. Kept in one file (ui_host.cpp) so the
// model itself depends on nothing else.
#pragma once

#include <rb/plugin.h>

#include <functional>

namespace rb {
class Window;
}

namespace rb::uihost {

void post(std::function<void()> fn);  // run on the next loop pass
void postAfter(int ms, std::function<void()> fn);  // run once, `ms` from now
void runFor(int ms);                  // run the loop for a while
void quitLoop(int code);              // end rb::run()

// The host object for a window, and how it lets go of the window when the
// window is destroyed before the object.
REALobject newWindowObject(Window *w);
void detachWindowObject(REALobject obj);

}  // namespace rb::uihost
