// The host glue every plug-in shares: registration with the host, and the
// string and object services each plug-in needs. Each function fetches its
// host service once through the plug-in's resolver (resolver.h) and keeps
// it; a missing service (or a nil argument) makes it do nothing and return
// nil, 0 or false.
#pragma once

#include "resolver.h"

#include <cstddef>
#include <cstdint>

namespace plugin {

// Registration: the interface version ("RegisterPluginVersion"), classes,
// class extensions and global methods. Hosts older than 5.9 read 12-byte
// method records: a class is handed to them with a copy of its list in that
// form, kept for the life of the process as the record is.
void announceVersion();
void registerClass(REALclassDefinition *def);
void registerClassExtension(REALclassDefinition *def);
void registerMethod(REALmethodDefinition *def);

// Strings. A built string is retained for the caller.
REALstring buildString(const char *bytes, int32_t length);
void unlockString(REALstring s);
// The bytes of a host string (nullptr for none) and their count.
const char *stringBytes(REALstring s, size_t *length);

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

// Memory blocks: a block's bytes (nullptr for none) and its size (0 for none).
void *memoryBlockBytes(REALmemoryBlock block);
int32_t memoryBlockSize(REALmemoryBlock block);

}  // namespace plugin
