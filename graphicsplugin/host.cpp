// Host services, fetched by name on first use and kept (pluginsupport).
#include "host.h"

#include <cstring>

namespace gp {

void setStringEncoding(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALSetStringEncoding", void (*)(REALstring, uint32_t));
    if (fn && s) fn(s, encoding);
}

REALstring convertString(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALConvertString", REALstring(*)(REALstring, uint32_t));
    return fn && s ? fn(s, encoding) : nullptr;
}

bool enterMovies() {
    HOST_SERVICE(fn, "REALenterMovies", RBBoolean(*)());
    return fn && (fn() & 1);
}

bool lockPictureDescription(REALpicture p, REALpictureDescription *out) {
    HOST_SERVICE(fn, "lockPictureDescription", void (*)(REALpicture, REALpictureDescription *));
    std::memset(out, 0, sizeof *out);
    if (!fn || !p) return false;
    fn(p, out);
    return true;
}

void unlockPictureDescription(REALpicture p) {
    HOST_SERVICE(fn, "unlockPictureDescription", void (*)(REALpicture));
    if (fn && p) fn(p);
}

bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out) {
    HOST_SERVICE(fn, "REALFSSpecFromFolderItem", RBBoolean(*)(REALfolderItem, imaging::FSSpec *));
    return fn && f && (fn(f, out) & 1);
}

void yieldToHost() {
    HOST_SERVICE(fn, "REALYieldToRB", void (*)());
    if (fn) fn();
}

bool selectGraphics(REALgraphics g) {
    HOST_SERVICE(fn, "SelectGraphics", RBBoolean(*)(REALgraphics));
    return fn && g && (fn(g) & 1);
}

void *windowHandle(REALwindow w) {
    HOST_SERVICE(fn, "REALGetWindowHandle", void *(*)(REALwindow));
    return fn && w ? fn(w) : nullptr;
}

REALpicture buildPictureFromGWorld(imaging::GWorldRef world) {
    HOST_SERVICE(fn, "REALBuildPictureFromGWorld", REALpicture(*)(uint32_t, RBBoolean));
    return fn && world ? fn(world, 1) : nullptr;
}

int32_t arrayUBound(REALarray a) {
    HOST_SERVICE(fn, "RuntimeUBound", int32_t(*)(REALarray));
    return fn && a ? fn(a) : -1;
}

REALobject arrayElement(REALarray a, int32_t index) {
    HOST_SERVICE(fn, "RuntimeDirectReadObjectArray", REALobject(*)(REALarray, int32_t));
    return fn && a ? fn(a, index) : nullptr;
}

}  // namespace gp
