// Host services for strings' encodings, pictures, graphics, arrays and the
// rest of what the graphics classes and the deck class reach.
#include "host_api.h"

#include <cstring>

namespace plugin {

uint32_t stringEncoding(REALstring s) {
    HOST_SERVICE(fn, "REALGetStringEncoding", uint32_t(*)(REALstring));
    return fn && s ? fn(s) : 0xFFFF;
}

void setStringEncoding(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALSetStringEncoding", void (*)(REALstring, uint32_t));
    if (fn && s) fn(s, encoding);
}

REALstring convertString(REALstring s, uint32_t encoding) {
    HOST_SERVICE(fn, "REALConvertString", REALstring(*)(REALstring, uint32_t));
    return fn && s ? fn(s, encoding) : nullptr;
}

void raiseException(REALobject exception) {
    HOST_SERVICE(fn, "RuntimeRaiseException", void (*)(REALobject));
    if (fn && exception) fn(exception);
}

void yieldToHost() {
    HOST_SERVICE(fn, "REALYieldToRB", void (*)());
    if (fn) fn();
}

int32_t arrayUBound(REALarray a) {
    HOST_SERVICE(fn, "RuntimeUBound", int32_t(*)(REALarray));
    return fn && a ? fn(a) : -1;
}

REALobject arrayElement(REALarray a, int32_t index) {
    HOST_SERVICE(fn, "RuntimeDirectReadObjectArray", REALobject(*)(REALarray, int32_t));
    return fn && a ? fn(a, index) : nullptr;
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

bool selectGraphics(REALgraphics g) {
    HOST_SERVICE(fn, "SelectGraphics", RBBoolean(*)(REALgraphics));
    return fn && g && (fn(g) & 1);
}

void *windowHandle(REALwindow w) {
    HOST_SERVICE(fn, "REALGetWindowHandle", void *(*)(REALwindow));
    return fn && w ? fn(w) : nullptr;
}

bool enterMovies() {
    HOST_SERVICE(fn, "REALenterMovies", RBBoolean(*)());
    return fn && (fn() & 1);
}

bool folderItemRef(REALobject folderItem, FSRef *ref) {
    HOST_SERVICE(fn, "REALFSRefFromFolderItem", RBBoolean(*)(REALobject, FSRef *));
    return fn && folderItem && ref && (fn(folderItem, ref) & 1);
}

}  // namespace plugin
