// Framework data classes that plug-ins reach through services:
// "MemoryBlock" (its 32-bit size at byte 24 of the object, where the debug
// dump helpers read it) and "ObjectArray" (a host array of objects).
#pragma once

#include <rb/object.h>

#include <vector>

namespace rb {

struct MemoryBlockFields {
    uint32_t size = 0;         // byte 24 of the object
    uint8_t *data = nullptr;   // zero-filled, owned
    bool littleEndian = true;  // byte order of the typed reads and writes
    ~MemoryBlockFields() { delete[] data; }
};
ClassInfo *memoryBlockClass();
ObjRef newMemoryBlock(uint32_t size);
// A new block holding a copy of the bytes.
ObjRef newMemoryBlock(const uint8_t *bytes, uint32_t size);
// Changes the size, keeping the bytes that fit and zero-filling the rest;
// false (nothing changed) when the memory cannot be had.
bool resizeMemoryBlock(REALobject mb, uint32_t size);
// The block's fields, or nullptr for nil or an object of another class.
MemoryBlockFields *memoryBlockFields(REALobject obj);
inline uint8_t *memoryBlockData(REALobject mb) { return fields<MemoryBlockFields>(mb)->data; }
inline uint32_t memoryBlockSize(REALobject mb) { return fields<MemoryBlockFields>(mb)->size; }

struct ObjectArrayFields {
    std::vector<ObjRef> items;
};
ClassInfo *objectArrayClass();
ObjRef newObjectArray(const std::vector<REALobject> &items);  // retains each item

}  // namespace rb
