// The five global picture functions and the MemoryBlock extension.
#include "classes.h"
#include "helpers.h"

#include <cstring>
#include <iterator>
#include <vector>

using namespace imaging;

namespace gp {

Handle buildNamedDataRef(Handle data, const char *name, size_t nameLength, const char *mime, size_t mimeLength) {
    // Both texts carry a one-byte length: longer ones cannot be said.
    if (nameLength > 255 || mimeLength > 255) return nullptr;
    Handle ref = NewEmptyHandle();
    if (!ref) return nullptr;
    uint8_t nameLen = uint8_t(nameLength), mimeLen = uint8_t(mimeLength);
    uint32_t size = uint32_t(mimeLength + 9);
    uint8_t head[9] = {
        uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 'm', 'i', 'm', 'e', mimeLen};
    bool ok = PtrAndHand(&data, ref, sizeof data) == noErr && PtrAndHand(&nameLen, ref, 1) == noErr &&
              PtrAndHand(name, ref, nameLength) == noErr && PtrAndHand(head, ref, sizeof head) == noErr &&
              PtrAndHand(mime, ref, mimeLength) == noErr;
    if (!ok) {
        DisposeHandle(ref);
        return nullptr;
    }
    return ref;
}

namespace {

// The bytes of a host string (none for none).
struct Bytes {
    const char *data = nullptr;
    size_t length = 0;
    explicit Bytes(REALstring s) { data = stringBytes(s, &length); }
};

REALpicture pictureFromImporter(ComponentInstance ci) {
    PicHandle pic = nullptr;
    if (GraphicsImportGetAsPicture(ci, &pic) != noErr || !pic) return nullptr;
    return pictureFromPicHandle(pic);  // the host takes the handle over
}

REALpicture importPictureFromData(Handle data, REALstring fileName, REALstring mimeType) {
    Bytes name(fileName), mime(mimeType);
    Handle ref = buildNamedDataRef(data, name.data, name.length, mime.data, mime.length);
    if (!ref) return nullptr;
    REALpicture result = nullptr;
    ComponentInstance ci = 0;
    if (GetGraphicsImporterForDataRef(ref, HandleDataHandlerSubType, &ci) == noErr) {
        result = pictureFromImporter(ci);
        CloseComponent(ci);
    }
    DisposeHandle(ref);
    return result;
}

REALpicture StringtoPicture(REALstring data, REALstring fileName, REALstring mimeType) {
    if (!gQuickTimePresent) return nullptr;
    Bytes bytes(data);
    Handle h = nullptr;
    if (PtrToHand(bytes.data, &h, bytes.data ? bytes.length : 0) != noErr) return nullptr;
    REALpicture p = importPictureFromData(h, fileName, mimeType);
    DisposeHandle(h);
    return p;
}

REALpicture MemoryBlock_GetPicture(REALmemoryBlock block, REALstring name, REALstring mimeType) {
    if (!gQuickTimePresent) return nullptr;
    void *ptr = memoryBlockBytes(block);
    int32_t size = memoryBlockSize(block);
    Handle h = nullptr;
    if (PtrToHand(ptr, &h, ptr && size > 0 ? size_t(size) : 0) != noErr) return nullptr;
    REALpicture p = importPictureFromData(h, name, mimeType);
    DisposeHandle(h);
    return p;
}

REALpicture StringtoPictureByOSType(REALstring data, REALstring osType) {
    if (!gQuickTimePresent) return nullptr;
    Bytes bytes(data);
    Handle h = nullptr;
    if (PtrToHand(bytes.data, &h, bytes.data ? bytes.length : 0) != noErr) return nullptr;
    REALpicture result = nullptr;
    ComponentInstance ci = 0;
    if (OpenADefaultComponent(GraphicsImporterComponentType, osType ? osTypeFromHostString(osType) : 0, &ci) == noErr) {
        if (GraphicsImportSetDataHandle(ci, h) == noErr) result = pictureFromImporter(ci);
        CloseComponent(ci);
    }
    DisposeHandle(h);
    return result;
}

// The offscreen world behind a picture, or 0.
GWorldRef worldOf(REALpicture p) {
    REALpictureDescription desc;
    if (!lockPictureDescription(p, &desc)) return 0;
    GWorldRef world = desc.pictureType == pictureGWorld ? GWorldRef(reinterpret_cast<uintptr_t>(desc.pictureData)) : 0;
    unlockPictureDescription(p);
    return world;
}

REALstring PictureToFileString(REALpicture p, REALstring compressor, RBInteger quality) {
    GWorldRef world = worldOf(p);
    if (!world) return nullptr;
    ComponentInstance ci = 0;
    OSType type = compressor ? osTypeFromHostString(compressor) : FourCC("JPEG");
    if (OpenADefaultComponent(GraphicsExporterComponentType, type, &ci) != noErr) return nullptr;
    REALstring result = nullptr;
    if (GraphicsExportSetInputGWorld(ci, world) == noErr) {
        GraphicsExportSetCompressionQuality(ci, CodecQ(quality < 0 ? 0 : quality));
        Handle h = NewEmptyHandle();
        if (h && GraphicsExportSetOutputHandle(ci, h) == noErr && GraphicsExportDoExport(ci, nullptr) == noErr)
            result = hostStringFromBytes(HandleData(h), GetHandleSize(h), kEncodingUnknown);
        DisposeHandle(h);
    }
    CloseComponent(ci);
    return result;
}

REALstring PictureToString(REALpicture p, REALstring codec, RBInteger quality, RBInteger depth) {
    if (!p) return nullptr;
    REALpictureDescription desc;
    if (!lockPictureDescription(p, &desc)) return nullptr;
    REALstring result = nullptr;
    PixMapInfo pm;
    if (desc.pictureType == pictureGWorld &&
        GetGWorldPixMap(GWorldRef(reinterpret_cast<uintptr_t>(desc.pictureData)), &pm)) {
        Rect bounds = pm.bounds;
        OSType type = codec ? osTypeFromHostString(codec) : FourCC("jpeg");
        CodecQ q = CodecQ(quality < 0 ? 0 : quality);
        int32_t max = 0;
        if (GetMaxCompressionSize(&pm, &bounds, int16_t(depth), q, type, anyCodec, &max) == noErr && max > 0) {
            Handle descH = NewHandle(sizeof(ImageDescription));
            std::vector<uint8_t> buffer;
            try {
                buffer.assign(size_t(max), 0);
            } catch (...) {
                buffer.clear();
            }
            // The compressor's status and the size it reports are both checked
            // before a byte of the buffer is used.
            if (descH && !buffer.empty() &&
                CompressImage(&pm, &bounds, q, type, descH, buffer.data(), buffer.size()) == noErr &&
                GetHandleSize(descH) >= sizeof(ImageDescription)) {
                ImageDescription id;
                std::memcpy(&id, HandleData(descH), sizeof id);
                if (id.dataSize > 0 && size_t(id.dataSize) <= buffer.size())
                    result = hostStringFromBytes(buffer.data(), size_t(id.dataSize), kEncodingUnknown);
            }
            DisposeHandle(descH);
        }
    }
    unlockPictureDescription(p);
    return result;
}

RBBoolean QuickTimePresent() { return gQuickTimePresent; }

#define FN(f) reinterpret_cast<void *>(f)
#define PLUGIN_SECTION GRAPHICS_GLOBALS

REALmethodDefinition gMemoryBlockMethods[] = {
#define PLUGIN_EXTENSION_METHOD(cls, decl, fn) {FN(fn), nullptr, decl, 0},
#include "graphicsplugin/members.def"
};

}  // namespace

REALclassDefinition gMemoryBlockExtension = {
    kCurrentREALControlVersion,
    "MemoryBlock",
    nullptr,
    0,
    0,
    nullptr,
    nullptr,
    nullptr,
    0,
    gMemoryBlockMethods,
    uint32_t(std::size(gMemoryBlockMethods)),
    nullptr,
    0,
    {},
};

REALmethodDefinition gGlobalMethods[] = {
#define PLUGIN_GLOBAL(decl, fn) {FN(fn), nullptr, decl, 0},
#include "graphicsplugin/members.def"
};
size_t gGlobalMethodCount = std::size(gGlobalMethods);

#undef PLUGIN_SECTION

}  // namespace gp
