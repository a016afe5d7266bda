#include "accessors.h"

#include "rows_define.inc"
#include "families/folder_stream_encoding.def"

#include "resolver.h"

#include <algorithm>
#include <cstring>

using hostwrap::Slot;

// The volume of a folder item: the resolver's getter (asked again while it
// is missing), else the "VirtualVolume" property, silently. The slot's
// value is logged on every call.
REALobject FolderItem_VirtualVolume(REALfolderItem item) {
    static constinit Slot _VirtualVolume{nullptr};
    void *fn = hostwrap::detail::fill(_VirtualVolume, "VirtualVolumeGetter");
    hostwrap::logAddress("_VirtualVolume Address->(%x)", fn);
    if (fn) return reinterpret_cast<REALobject (*)(REALfolderItem, int32_t)>(fn)(item, 0);
    REALobject volume = nullptr;
    if (!REALGetPropValueObject(reinterpret_cast<REALobject>(item), "VirtualVolume", &volume)) return nullptr;
    return volume;
}

// Reads `count` bytes: the host's read also takes a trailing 0.
REALstring BinaryStream_Read(REALobject stream, int32_t count) {
    static constinit Slot _Read{nullptr};
    void *fn = hostwrap::detail::fill(_Read, "BinaryStreamRead");
    return fn ? reinterpret_cast<REALstring (*)(REALobject, int32_t, int32_t)>(fn)(stream, count, 0) : nullptr;
}

// The whole file in a new memory block, through the stream accessors. The
// copy never reads past the bytes the read returned nor writes into a
// block that could not be made; a file that cannot be opened gives nil.
// The stream and the string read from it are released once copied.
REALmemoryBlock FolderItem_OpenAsMemoryBlock(REALfolderItem item) {
    REALobject stream = FolderItem_OpenBinaryFile(item, 0);
    if (!stream) return nullptr;
    BinaryStream_SetPosition(stream, 0);
    int32_t length = std::max<int32_t>(BinaryStream_GetLength(stream), 0);
    REALmemoryBlock block = REALNewMemoryBlock(length);
    REALstring data = BinaryStream_Read(stream, length);
    static HostService<const char *(*)(REALstring, size_t *)> contents("REALGetStringContents");
    size_t have = 0;
    const char *bytes = data && contents.get() ? contents.get()(data, &have) : nullptr;
    void *out = block ? REALMemoryBlockGetPtr(block) : nullptr;
    if (out && bytes) std::memcpy(out, bytes, std::min(have, size_t(length)));
    BinaryStream_Close(stream);
    if (data) REALUnlockString(data);
    REALUnlockObject(stream);
    return block;
}
