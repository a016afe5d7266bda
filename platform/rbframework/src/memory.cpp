// MemoryBlock and ObjectArray.
#include "core.h"

#include <rb/memory.h>

namespace rb {

void core::defineMemoryClasses(Classes &c) {
    c.memoryBlock = defineClass<MemoryBlockFields>("MemoryBlock");
    ClassInfo *mb = c.memoryBlock;
    addHostProperty(mb, "Size", "integer",
                    [mb](REALobject o) -> Value { return int64_t(fields<MemoryBlockFields>(o, mb)->size); });
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

ObjRef newObjectArray(const std::vector<REALobject> &items) {
    ObjRef a = make(objectArrayClass());
    auto *f = fields<ObjectArrayFields>(a.get());
    for (REALobject o : items) f->items.push_back(ObjRef::retain(o));
    return a;
}

}  // namespace rb
