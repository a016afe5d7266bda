// Host services of the graphics plug-in, fetched by name through the
// resolver on first use and kept in static pointers. A missing service
// yields 0 (or does nothing), and the caller returns 0.
#pragma once

#include <rb/plugin.h>

#include "resolver.h"

#include "imaging/imaging.h"

#include <cstddef>
#include <cstdint>

namespace gp {

// Registration (Part of the entry flow).
void announceVersion();   // "RegisterPluginVersion" 9
void REALRegisterClass(REALclassDefinition *def);
void REALRegisterClassExtension(REALclassDefinition *def);
void REALRegisterMethod(REALmethodDefinition *def);

// Strings: all return 0/empty when the service is missing.
REALstring buildString(const void *bytes, int32_t length);
void setStringEncoding(REALstring s, uint32_t encoding);
REALstring convertString(REALstring s, uint32_t encoding);
const char *stringBytes(REALstring s, size_t *length);   // 0 for none
void unlockString(REALstring s);

// Objects.
void lockObject(REALobject o);
void unlockObject(REALobject o);
REALobject newInstance(const char *className);
void *eventInstance(REALobject o, intptr_t token);
// Whether `o` is an object of the named class (or a subclass); false when
// the host cannot say.
bool objectIsA(REALobject o, const char *className);
// The instance data of an object of an outside class (data at byte 24).
inline void *outsideData(REALobject o) { return reinterpret_cast<char *>(o) + sizeof(REALobjectStruct); }

// Pictures, memory blocks, files.
bool enterMovies();
bool lockPictureDescription(REALpicture p, REALpictureDescription *out);
void unlockPictureDescription(REALpicture p);
REALpicture buildPictureFromPicHandle(imaging::PicHandle h);
void *memoryBlockPtr(REALmemoryBlock m);
size_t memoryBlockSize(REALmemoryBlock m);
bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out);
REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec);
void yieldToHost();

// Graphics contexts, windows, arrays.
bool selectGraphics(REALgraphics g);                   // makes g's port current
void *windowHandle(REALwindow w);                      // the window's platform window, or 0
REALpicture buildPictureFromGWorld(imaging::GWorldRef world);   // the picture takes the world over
int32_t arrayUBound(REALarray a);                      // -1 for none
REALobject arrayElement(REALarray a, int32_t index);   // retained, or 0


}  // namespace gp
