// What the window model needs from the runtime core: the event loop and the
// host object that stands for a window. Kept in one file (ui_host.cpp) so the
// model itself depends on nothing else.
#pragma once

#include <rb/plugin.h>

#include <functional>

#include <string>

struct RBClassInfo;

namespace rb {
class Window;
class Control;
using ClassInfo = ::RBClassInfo;
}  // namespace rb

namespace rb::uihost {

void post(std::function<void()> fn);  // run on the next loop pass
void quitLoop(int code);              // end rb::run()

// The host object for a window, and how it lets go of the window when the
// window is destroyed before the object.
REALobject newWindowObject(Window *w);
void detachWindowObject(REALobject obj);
// The window a window object stands for; nullptr for nil, another class or
// a window that is gone.
Window *windowOf(REALobject obj);

// The same for controls: a control's host object, of the framework class
// of its kind (window_members.cpp).
REALobject newControlObject(Control *c);
void detachControlObject(REALobject obj);
Control *controlOf(REALobject obj);

// The members plug-ins reach on window objects (window_members.cpp).
void defineWindowMembers(ClassInfo *windowClass);

// Runs obj's own handler of `event`, if a plug-in installed one for that
// object; false when there is none.
bool raiseInstanceEvent(REALobject obj, const std::string &event);

}  // namespace rb::uihost
