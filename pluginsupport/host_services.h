// The plug-in functions that reach the host's object services: each fetches
// its host service through the resolver once and keeps it. A missing service
// makes its function do nothing and return 0.
#pragma once

#include <rb/plugin.h>

#include <cstdint>

// The host runtime function of a resolver name, or null. Asked anew on every
// call: the accessors keep what it answers in their own slots.
void *KespResolver(const char *name);

// A method of the object's class, or a global method, by declaration signature.
void *REALLoadObjectMethod(REALobject object, const char *signature);
void *REALLoadGlobalMethod(REALobject unused, const char *signature);

// Properties by name: true and the value when the object has the property.
RBBoolean REALGetPropValueInt32(REALobject object, const char *name, int32_t *value);
RBBoolean REALGetPropValueUInt8(REALobject object, const char *name, uint8_t *value);
RBBoolean REALGetPropValueObject(REALobject object, const char *name, REALobject *value);
RBBoolean REALGetPropValueString(REALobject object, const char *name, REALstring *value);
RBBoolean REALGetPropValueDouble(REALobject object, const char *name, double *value);
RBBoolean REALSetPropValueInt32(REALobject object, const char *name, int32_t value);
RBBoolean REALSetPropValueUInt8(REALobject object, const char *name, uint8_t value);
RBBoolean REALSetPropValueObject(REALobject object, const char *name, REALobject value);
RBBoolean REALSetPropValueString(REALobject object, const char *name, REALstring value);
RBBoolean REALSetPropValueDouble(REALobject object, const char *name, double value);

// New variants holding a value.
REALobject REALNewVariantString(REALstring value);
REALobject REALNewVariantInteger(int32_t value);
REALobject REALNewVariantDouble(double value);
REALobject REALNewVariantBoolean(RBBoolean value);
REALobject REALNewVariantColor(uint32_t value);

// Memory blocks: a new block of a size, a block's bytes, its size.
REALmemoryBlock REALNewMemoryBlock(int32_t size);
void *REALMemoryBlockGetPtr(REALmemoryBlock block);
int32_t REALMemoryBlockGetSize(REALmemoryBlock block);

// A folder item's path as a new string.
REALstring REALpathFromFolderItem(REALfolderItem item);

// Whether a control has the focus; give or take it.
RBBoolean REALGetControlFocus(REALobject control);
void REALSetControlFocus(REALobject control, RBBoolean focus);

// One reference more or less.
void REALLockObject(REALobject object);
void REALUnlockObject(REALobject object);
void REALUnlockString(REALstring string);
