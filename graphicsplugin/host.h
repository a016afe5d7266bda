// Host services of the graphics plug-in beyond the shared ones
// (host_api.h), fetched by name through the resolver on first use and kept.
// A missing service yields 0 (or does nothing), and the caller returns 0.
#pragma once

#include <rb/plugin.h>

#include "host_api.h"
#include "imaging_services.h"

#include "imaging/imaging.h"

#include <cstddef>
#include <cstdint>

namespace gp {

using plugin::eventInstance;
using plugin::folderItemFromFSSpec;
using plugin::lockObject;
using plugin::newInstance;
using plugin::pictureFromPicHandle;
using plugin::stringBytes;
using plugin::unlockObject;
using plugin::unlockString;

// Registration: this plug-in's own copies of the three, over the shared ones.
inline void REALRegisterClass(REALclassDefinition *def) { plugin::registerClass(def); }
inline void REALRegisterClassExtension(REALclassDefinition *def) { plugin::registerClassExtension(def); }
inline void REALRegisterMethod(REALmethodDefinition *def) { plugin::registerMethod(def); }

// Strings: all return 0/empty when the service is missing.
inline REALstring buildString(const void *bytes, int32_t length) {
    return plugin::buildString(static_cast<const char *>(bytes), length);
}
void setStringEncoding(REALstring s, uint32_t encoding);
REALstring convertString(REALstring s, uint32_t encoding);

// Whether `o` is an object of the named class (or a subclass); false when
// the host cannot say.
inline bool objectIsA(REALobject o, const char *className) { return plugin::objectIsA(o, className) == 1; }
// The instance data of an object of an outside class (data at byte 24).
inline void *outsideData(REALobject o) { return reinterpret_cast<char *>(o) + sizeof(REALobjectStruct); }

// Pictures, memory blocks, files.
bool enterMovies();
bool lockPictureDescription(REALpicture p, REALpictureDescription *out);
void unlockPictureDescription(REALpicture p);
inline void *memoryBlockPtr(REALmemoryBlock m) { return plugin::memoryBlockBytes(m); }
inline size_t memoryBlockSize(REALmemoryBlock m) {
    int32_t n = plugin::memoryBlockSize(m);
    return n > 0 ? size_t(n) : 0;
}
bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out);
void yieldToHost();

// Graphics contexts, windows, arrays.
bool selectGraphics(REALgraphics g);                           // makes g's port current
void *windowHandle(REALwindow w);                              // the window's platform window, or 0
REALpicture buildPictureFromGWorld(imaging::GWorldRef world);  // the picture takes the world over
int32_t arrayUBound(REALarray a);                              // -1 for none
REALobject arrayElement(REALarray a, int32_t index);           // retained, or 0

}  // namespace gp
