// The framework class "Picture" over the image services' offscreen worlds,
// and the picture services plug-ins call.
#include <rb/host.h>
#include <rb/picture.h>

#include <imaging/imaging.h>

#include <cstring>

namespace rb {

namespace {

struct PictureFields {
    imaging::GWorldRef world = 0;
    std::shared_ptr<const uint8_t[]> rows;               // the pixels of a world over packed rows
    ~PictureFields() { imaging::DisposeGWorld(world); }  // before the rows go
};

PictureFields *pictureFields(REALobject obj) {
    if (!obj || !isA(obj, "Picture")) return nullptr;
    return fields<PictureFields>(obj, pictureClass());
}

imaging::PixMapInfo pixMap(REALobject pic) {
    imaging::PixMapInfo pm{};
    if (PictureFields *f = pictureFields(pic)) imaging::GetGWorldPixMap(f->world, &pm);
    return pm;
}

// Wraps a world in a new picture object, which owns it (and what keeps its
// pixels) from then on.
ObjRef adoptWorld(imaging::GWorldRef world, std::shared_ptr<const uint8_t[]> rows = nullptr) {
    ObjRef pic = make(pictureClass());
    if (!pic) {
        imaging::DisposeGWorld(world);
        return {};
    }
    PictureFields *f = fields<PictureFields>(pic.get(), pictureClass());
    f->world = world;
    f->rows = std::move(rows);
    return pic;
}

// ---- services ---------------------------------------------------------------------

extern "C" void svcLockPictureDescription(REALpicture p, REALpictureDescription *out) {
    if (!out) return;
    std::memset(out, 0, sizeof *out);
    auto *obj = reinterpret_cast<REALobject>(p);
    PictureFields *f = pictureFields(obj);
    if (!f || !f->world) return;
    imaging::PixMapInfo pm{};
    imaging::GetGWorldPixMap(f->world, &pm);
    out->pictureType = pictureGWorld;
    out->pictureData = reinterpret_cast<void *>(uintptr_t(f->world));
    out->width = imaging::RectWidth(pm.bounds);
    out->height = imaging::RectHeight(pm.bounds);
    out->depth = pm.depth;
    retain(obj);  // held until unlocked
}

// Lets go of what the lock held: nothing for a picture without a world,
// which the lock described as neither kind (its world never comes later).
extern "C" void svcUnlockPictureDescription(REALpicture p) {
    auto *obj = reinterpret_cast<REALobject>(p);
    if (PictureFields *f = pictureFields(obj); f && f->world) release(obj);
}

extern "C" REALpicture svcBuildPictureFromPicHandle(void *handle, RBBoolean takeOver) {
    auto pic = static_cast<imaging::PicHandle>(handle);
    int32_t w = 0, h = 0;
    int16_t depth = 0;
    if (!imaging::GetPictureInfo(pic, &w, &h, &depth)) return nullptr;
    imaging::Rect r{0, 0, h, w};
    imaging::GWorldRef world = 0;
    if (imaging::NewGWorld(&world, depth, &r, 0) != 0) return nullptr;
    imaging::DrawPicture(pic, world);
    ObjRef out = adoptWorld(world);
    if (!out) return nullptr;
    if (takeOver & 1) imaging::DisposeHandle(pic);
    return reinterpret_cast<REALpicture>(out.detach());
}

extern "C" RBBoolean svcEnterMovies() { return 1; }

RB_SERVICE("lockPictureDescription", svcLockPictureDescription);
RB_SERVICE("unlockPictureDescription", svcUnlockPictureDescription);
RB_SERVICE("REALBuildPictureFromPicHandle", svcBuildPictureFromPicHandle);
RB_SERVICE("REALenterMovies", svcEnterMovies);

}  // namespace

ClassInfo *pictureClass() {
    static ClassInfo *cls = [] {
        ClassInfo *c = defineClass<PictureFields>("Picture");
        addHostProperty(c, "Width", "integer", [](REALobject o) { return Value(int64_t(pictureWidth(o))); });
        addHostProperty(c, "Height", "integer", [](REALobject o) { return Value(int64_t(pictureHeight(o))); });
        addHostProperty(c, "Depth", "integer", [](REALobject o) { return Value(int64_t(pictureDepth(o))); });
        return c;
    }();
    return cls;
}

ObjRef newPicture(int32_t width, int32_t height, int16_t depth) {
    imaging::Rect r{0, 0, height, width};
    imaging::GWorldRef world = 0;
    if (width < 1 || height < 1 || imaging::NewGWorld(&world, depth, &r, 0) != 0) return {};
    imaging::PixMapInfo pm{};
    if (imaging::GetGWorldPixMap(world, &pm))
        for (int32_t y = 0; y < height; ++y)
            std::memset(pm.baseAddr + size_t(y) * pm.rowBytes, 0xFF, size_t(width) * 4);
    return adoptWorld(world);
}

ObjRef newPictureOverRows(std::shared_ptr<const uint8_t[]> rows, int32_t width, int32_t height, int32_t rowBytes) {
    imaging::Rect r{0, 0, height, width};
    imaging::GWorldRef world = 0;
    if (!rows || imaging::NewGWorldFromPtr(&world, imaging::k24RGBPixelFormat, &r, rows.get(), rowBytes) != 0)
        return {};
    return adoptWorld(world, std::move(rows));
}

bool isPicture(REALobject obj) { return pictureFields(obj) != nullptr; }
int32_t pictureWidth(REALobject pic) { return imaging::RectWidth(pixMap(pic).bounds); }
int32_t pictureHeight(REALobject pic) { return imaging::RectHeight(pixMap(pic).bounds); }
int16_t pictureDepth(REALobject pic) { return pixMap(pic).depth; }

uint32_t pictureWorld(REALobject pic) {
    PictureFields *f = pictureFields(pic);
    return f ? f->world : 0;
}

bool drawPicture(REALobject dst, REALobject src, int32_t x, int32_t y) {
    PictureFields *d = pictureFields(dst), *s = pictureFields(src);
    if (!d || !s) return false;
    return imaging::CopyWorld(s->world, d->world, x, y) == 0;
}

uint32_t pixel(REALobject pic, int32_t x, int32_t y) {
    imaging::PixMapInfo pm = pixMap(pic);
    if (!pm.baseAddr || x < 0 || y < 0 || x >= imaging::RectWidth(pm.bounds) || y >= imaging::RectHeight(pm.bounds))
        return 0;
    if (pm.pixelSize == 24) {
        const uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 3;
        return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    const uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
    return uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

}  // namespace rb
