// Graphics contexts handed to plug-ins: the framework class "Graphics",
// drawing into a picture or into a window. The host service
// "SelectGraphics" makes one's port the image services' current port, where
// a plug-in draws. A window's port is an offscreen world of the window's
// size; what is drawn into it shows on the window's surface.
#pragma once

#include <rb/object.h>

#include <cstdint>

namespace rb {

class Window;

ClassInfo *graphicsClass();
// A graphics object that draws into `picture` (held while the object lives).
ObjRef newPictureGraphics(REALobject picture);
// A graphics object that draws into `window` (as long as it stays open).
ObjRef newWindowGraphics(Window *window);
// The world that stands for an open window (made or resized to the window
// on use), 0 for a window that is not open. The worlds of windows that have
// closed are let go on every call.
uint32_t windowPort(Window *window);

}  // namespace rb
