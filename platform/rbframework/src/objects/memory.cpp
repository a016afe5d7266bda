// MemoryBlock and ObjectArray.
#include "core.h"

#include <rb/memory.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace rb {

void core::defineMemoryClasses(Classes &c) {
    c.memoryBlock = defineClass<MemoryBlockFields>("MemoryBlock");
    ClassInfo *mb = c.memoryBlock;
    addHostProperty(
        mb, "Size", "integer", [mb](REALobject o) -> Value { return int64_t(fields<MemoryBlockFields>(o, mb)->size); },
        [mb](REALobject o, const Value &v) {
            auto *i = std::get_if<int64_t>(&v);
            if (i && *i >= 0 && *i <= INT32_MAX) resizeMemoryBlock(o, uint32_t(*i));
        });
    addHostProperty(
        mb, "LittleEndian", "Boolean",
        [mb](REALobject o) -> Value { return fields<MemoryBlockFields>(o, mb)->littleEndian; },
        [mb](REALobject o, const Value &v) {
            auto *b = std::get_if<bool>(&v);
            auto *i = std::get_if<int64_t>(&v);
            fields<MemoryBlockFields>(o, mb)->littleEndian = b ? *b : (i && *i != 0);
        });
    c.objectArray = defineClass<ObjectArrayFields>("ObjectArray");
}

ClassInfo *memoryBlockClass() { return core::classes().memoryBlock; }
ClassInfo *objectArrayClass() { return core::classes().objectArray; }

ObjRef newMemoryBlock(uint32_t size) {
    ObjRef mb = make(memoryBlockClass());
    auto *f = fields<MemoryBlockFields>(mb.get());
    f->data = new uint8_t[size ? size : 1]();
    f->size = size;
    return mb;
}

ObjRef newMemoryBlock(const uint8_t *bytes, uint32_t size) {
    ObjRef mb = newMemoryBlock(size);
    if (size) std::memcpy(memoryBlockData(mb.get()), bytes, size);
    return mb;
}

MemoryBlockFields *memoryBlockFields(REALobject obj) {
    return obj && isA(obj->klass, memoryBlockClass()) ? fields<MemoryBlockFields>(obj, memoryBlockClass()) : nullptr;
}

bool resizeMemoryBlock(REALobject mb, uint32_t size) {
    MemoryBlockFields *f = memoryBlockFields(mb);
    if (!f) return false;
    uint8_t *data = new (std::nothrow) uint8_t[size ? size : 1]();
    if (!data) return false;
    if (f->data) std::memcpy(data, f->data, std::min(size, f->size));
    delete[] f->data;
    f->data = data;
    f->size = size;
    return true;
}

ObjRef newObjectArray(const std::vector<REALobject> &items) {
    ObjRef a = make(objectArrayClass());
    auto *f = fields<ObjectArrayFields>(a.get());
    for (REALobject o : items) f->items.push_back(ObjRef::retain(o));
    return a;
}

}  // namespace rb
