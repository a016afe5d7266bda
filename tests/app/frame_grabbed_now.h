// The clip frame the application's grabber gives now, grabbed as Grab Now
// grabs it: the frame number its middle pixel stands for, or -1 when there
// is no video. Like any grab, it is where a video that ended is found gone.
#pragma once

#include "binding/entrypoints.h"
#include "capturewindow/capturewindow.h"
#include "clips.h"

#include <rb/entrypoints.h>
#include <rb/picture.h>

inline int frameGrabbedNow() {
    REALobject g = tavrin::captureWindow().qGrab.get();
    rb::ObjRef r = rb::getProp(ENTRY("QTGrabberPlyx.SourceVideoRect.Get"), g);
    if (!r) return -1;
    rb::ObjRef pic = rb::call(ENTRY("QTGrabberPlyx.GrabPicture(rect as object) as picture"), g, r);
    if (!pic) return -1;
    int32_t w = rb::getProp(ENTRY("IntegerRectPlyx.Width.Get"), r.get());
    int32_t h = rb::getProp(ENTRY("IntegerRectPlyx.Height.Get"), r.get());
    return testclips::frameNumber(rb::pixel(pic.get(), w / 2, h / 2));
}
