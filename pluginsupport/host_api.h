// The host's services as every plug-in calls them: registration with the
// host, strings, objects, memory blocks, pictures, graphics, files and
// arrays. Each function fetches its host service once through the
// plug-in's resolver (resolver.h) and keeps it; a missing service (or a nil
// argument) makes it do nothing and return nil, 0 or false.
#pragma once

#include "resolver.h"

#include <cstddef>
#include <cstdint>

struct FSRef;
namespace imaging {
struct FSSpec;
struct HandleRec;
}  // namespace imaging

namespace plugin {

// Registration: the interface version ("RegisterPluginVersion"), classes,
// class extensions and global methods. Hosts older than 5.9 read 12-byte
// method records: a class is handed to them with a copy of its list in that
// form, kept for the life of the process as the record is.
void announceVersion();
void registerClass(REALclassDefinition *def);
void registerClassExtension(REALclassDefinition *def);
void registerMethod(REALmethodDefinition *def);

// Strings. A built or converted string is retained for the caller.
REALstring buildString(const char *bytes, int32_t length);
void unlockString(REALstring s);
// The bytes of a host string (nullptr for none) and their count.
const char *stringBytes(REALstring s, size_t *length);
// A string's text encoding (0xFFFF, unknown, for none), setting it, and the
// string in another encoding.
uint32_t stringEncoding(REALstring s);
void setStringEncoding(REALstring s, uint32_t encoding);
REALstring convertString(REALstring s, uint32_t encoding);

// Objects. A new instance is retained for the caller.
REALobject newInstance(const char *className);
void lockObject(REALobject o);
void unlockObject(REALobject o);
// The handler the host keeps for an event of the object, or nullptr.
void *eventInstance(REALobject o, intptr_t token);
// Whether `o` is of the named class (or a subclass): 1 yes, 0 no (and for
// nil), -1 when the host cannot tell.
int objectIsA(REALobject o, const char *className);
// The function of a method of the object's class by declaration, or nullptr.
void *loadObjectMethod(REALobject o, const char *declaration);
// Raises the exception object in the code that called the plug-in.
void raiseException(REALobject exception);
// Lets the host run its other work (threads, events) for a while.
void yieldToHost();

// Memory blocks: a block's bytes (nullptr for none) and its size (0 for none).
void *memoryBlockBytes(REALmemoryBlock block);
int32_t memoryBlockSize(REALmemoryBlock block);

// Arrays of objects: the last index (-1 for none), and an element, retained.
int32_t arrayUBound(REALarray a);
REALobject arrayElement(REALarray a, int32_t index);

// Pictures and graphics. A picture's description is locked while it is read.
bool lockPictureDescription(REALpicture p, REALpictureDescription *out);
void unlockPictureDescription(REALpicture p);
// Makes g's port the current one.
bool selectGraphics(REALgraphics g);
// The platform window behind a window, or nullptr.
void *windowHandle(REALwindow w);
// Whether the movie toolbox is ready for the graphics components.
bool enterMovies();

// The services that take or give the imaging layer's objects (pluginimaging
// links them). A new picture takes a picture handle over: when the host
// does not take it (no handle, no service, or the host fails), the handle is
// disposed and the answer is nil, so the caller no longer owns it either way.
REALpicture pictureFromPicHandle(imaging::HandleRec *handle);
// A picture made from an offscreen world, which it takes over.
REALpicture buildPictureFromGWorld(uint32_t world);
// A folder item for a file spec, or nil; a folder item as a file spec.
REALfolderItem folderItemFromFSSpec(const imaging::FSSpec *spec);
bool fsSpecFromFolderItem(REALfolderItem f, imaging::FSSpec *out);

// A folder item as a file reference; false when the host yields none.
bool folderItemRef(REALobject folderItem, FSRef *ref);

}  // namespace plugin
