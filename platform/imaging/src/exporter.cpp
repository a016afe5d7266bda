// The graphics exporter component: its input (a picture, an offscreen world
// or an importer), its output (a handle or a file), the export itself, and
// the metadata, profile and file type it writes. Its numeric settings are
// in exporter_settings.cpp.
#include "answer.h"
#include "handles.h"
#include "registry.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace imaging {

namespace {

// The exporter of `ci` when no export is running in it (fBsyErr otherwise).
#define EXPORTER_IDLE(ci) \
    EXPORTER(ci);         \
    if (findInstance(ci)->busy) return fBsyErr

// An exporter takes one input at a time: setting one, when it is valid,
// clears the others.
ComponentResult setInput(ComponentInstance ci, bool valid, PicHandle picture, GWorldRef world,
                         ComponentInstance importer) {
    EXPORTER_IDLE(ci);
    if (!valid) return paramErr;
    ex->inputPicture = picture;
    ex->inputWorld = world;
    ex->inputImporter = importer;
    return noErr;
}

constexpr OSType kUnknownCreator = FourCC("????");

int32_t effectiveDepth(const Exporter &ex, int16_t inputDepth, const codec::Image &img) {
    int32_t d = int32_t(ex.settings.depth);
    if (d == 40) return 8;
    if (d == 8 || d == 24 || d == 32) return d;
    if (inputDepth == 8 || inputDepth == 40) return 8;
    if (inputDepth != 32 || img.pixelBytes != 4) return 24;
    // A 32-bit input whose alpha carries nothing (all the same) is colour only.
    uint8_t first = img.pixels[0];
    for (int32_t y = 0; y < img.height; ++y) {
        const uint8_t *p = img.pixels + size_t(y) * img.rowBytes;
        for (int32_t x = 0; x < img.width; ++x)
            if (p[size_t(x) * 4] != first) return 32;
    }
    return 24;
}

OSErr importAsDecoded(const importer::Source &im, codec::Decoded &out) {
    if (!im.data || !GetHandleSize(im.data)) return paramErr;
    const uint8_t *d = HandleData(im.data);
    size_t n = GetHandleSize(im.data);
    OSType kind = sniff(d, n);
    if (!kind) kind = im.hint;
    if (im.subtype && kind != im.subtype) return codecErr;
    if (!kind) return noCodecErr;
    return decode(kind, d, n, 0, out);
}

}  // namespace

// ---- inputs and outputs ----------------------------------------------------------------

ComponentResult GraphicsExportSetInputPicture(ComponentInstance ci, PicHandle pic) {
    return setInput(ci, !pic || GetPictureInfo(pic, nullptr, nullptr, nullptr), pic, 0, 0);
}

ComponentResult GraphicsExportGetInputPicture(ComponentInstance ci, PicHandle *pic) {
    EXPORTER(ci);
    return answer(pic, ex->inputPicture);
}

ComponentResult GraphicsExportSetInputGWorld(ComponentInstance ci, GWorldRef world) {
    return setInput(ci, !world || GWorldExists(world), nullptr, world, 0);
}

ComponentResult GraphicsExportGetInputGWorld(ComponentInstance ci, GWorldRef *world) {
    EXPORTER(ci);
    return answer(world, ex->inputWorld);
}

ComponentResult GraphicsExportSetInputGraphicsImporter(ComponentInstance ci, ComponentInstance importer) {
    return setInput(ci, !importer || importerOf(importer), nullptr, 0, importer);
}

ComponentResult GraphicsExportSetOutputHandle(ComponentInstance ci, Handle h) {
    EXPORTER_IDLE(ci);
    ex->outputHandle = h;
    ex->toFile = false;
    return noErr;
}

ComponentResult GraphicsExportSetOutputFile(ComponentInstance ci, const FSSpec *file) {
    EXPORTER_IDLE(ci);
    if (!file || !memchr(file->path, 0, sizeof file->path) || !file->path[0]) return paramErr;
    ex->outputFile = file->path;
    ex->toFile = true;
    ex->outputHandle = nullptr;
    return noErr;
}

ComponentResult GraphicsExportGetOutputFile(ComponentInstance ci, FSSpec *file) {
    EXPORTER(ci);
    if (!file) return paramErr;
    if (!ex->toFile) return fnfErr;
    std::snprintf(file->path, sizeof file->path, "%s", ex->outputFile.c_str());
    return noErr;
}

ComponentResult GraphicsExportSetProgressProc(ComponentInstance ci, const ICMProgressProcRecord *proc) {
    EXPORTER(ci);
    ex->progress = proc ? *proc : ICMProgressProcRecord{nullptr, nullptr};
    return noErr;
}

// ---- the export ------------------------------------------------------------------------

ComponentResult GraphicsExportDoExport(ComponentInstance ci, uint32_t *actualSizeWritten) {
    EXPORTER(ci);
    if (actualSizeWritten) *actualSizeWritten = 0;
    Instance &inst = *findInstance(ci);
    if (inst.busy) return fBsyErr;
    if (!ex->toFile && !ex->outputHandle) return paramErr;

    // The input as a view of its pixels, as they are held.
    codec::Image img;
    int16_t inputDepth = 24;
    codec::Decoded decoded;
    if (ex->inputPicture) {
        int32_t w, h;
        if (!GetPictureInfo(ex->inputPicture, &w, &h, &inputDepth)) return paramErr;
        img = {w, h, PicturePixels(ex->inputPicture), w * 4};
    } else if (ex->inputWorld) {
        PixMapInfo pm;
        if (!GetGWorldPixMap(ex->inputWorld, &pm)) return paramErr;
        img = {RectWidth(pm.bounds), RectHeight(pm.bounds), pm.baseAddr, pm.rowBytes, pm.pixelSize == 24 ? 3 : 4};
        inputDepth = pm.depth;
    } else if (ex->inputImporter) {
        importer::Source *im = importerOf(ex->inputImporter);
        if (!im) return paramErr;
        if (OSErr e = importAsDecoded(*im, decoded)) return e;
        img = {decoded.width, decoded.height, decoded.argb.data(), decoded.width * 4};
        inputDepth = decoded.alpha ? 32 : 24;
    } else {
        return paramErr;
    }

    codec::Options opt;
    opt.depth = effectiveDepth(*ex, inputDepth, img);
    const ExportSettings &s = ex->settings;
    opt.hres = fixedToDouble(s.hres);
    opt.vres = fixedToDouble(s.vres);
    opt.quality = s.quality;
    opt.method = int32_t(s.method);
    opt.interlace = s.interlace;
    opt.targetSize = s.targetSize;
    opt.exif = s.exif != 0;
    opt.icc = ex->icc;
    if (ex->meta) {
#define META(name, type, tiffTag, pngKey) codec::name,
        const OSType types[] = {
#include "metadata.def"
        };
#undef META
        Handle h = NewEmptyHandle();
        for (OSType t : types)
            if (h && GetUserData(ex->meta, h, t, 1) == noErr) {
                std::string text(reinterpret_cast<const char *>(HandleData(h)), GetHandleSize(h));
                text = text.substr(0, text.find('\0'));
                opt.meta.emplace_back(t, text);
            }
        DisposeHandle(h);
    }
    const ICMProgressProcRecord progress = ex->progress;
    if (progress.progressProc)
        opt.progress = [progress](int32_t done, int32_t total) {
            Fixed f = Fixed((int64_t(done) << 16) / (total ? total : 1));
            return progress.progressProc(codecProgressUpdatePercent, f, progress.progressRefCon);
        };

    // The progress procedure may run other code that closes this component:
    // it stays alive, unusable, until the export returns.
    ++inst.busy;
    ComponentResult err = noErr;
    if (progress.progressProc) err = progress.progressProc(codecProgressOpen, 0, progress.progressRefCon);
    std::vector<uint8_t> bytes;
    if (!err) {
        try {
            err = ex->format->encode(img, opt, bytes);
        } catch (const std::bad_alloc &) {
            err = memFullErr;
        }
    }
    if (progress.progressProc) progress.progressProc(codecProgressClose, 0x10000, progress.progressRefCon);
    --inst.busy;
    if (inst.closePending) {
        freeInstance(ci);
        return err ? err : ComponentResult(badComponentInstance);
    }
    if (err) return err;

    const size_t written = bytes.size();
    if (ex->toFile) {
        FILE *f = std::fopen(ex->outputFile.c_str(), "wb");
        if (!f) return fnfErr;
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        ok = (std::fclose(f) == 0) && ok;
        KeepSpareBuffer(std::move(bytes));
        if (!ok) return ioErr;
    } else {
        // The encoded bytes become the handle's contents: no copy.
        if (OSErr e = SetHandleBytes(ex->outputHandle, std::move(bytes))) return e;
    }
    if (actualSizeWritten) *actualSizeWritten = uint32_t(written);
    return noErr;
}

// ---- metadata, profile, file type ---------------------------------------------------------

ComponentResult GraphicsExportSetMetaData(ComponentInstance ci, UserData ud) {
    EXPORTER(ci);
    if (!ud) return paramErr;
    if (!ex->meta)
        if (OSErr e = NewUserData(&ex->meta)) return e;
    return CopyUserData(ud, ex->meta);
}
ComponentResult GraphicsExportGetMetaData(ComponentInstance ci, UserData ud) {
    EXPORTER(ci);
    if (!ud) return paramErr;
    if (!ex->meta) {
        UserData empty = nullptr;
        if (OSErr e = NewUserData(&empty)) return e;
        OSErr e = CopyUserData(empty, ud);
        DisposeUserData(empty);
        return e;
    }
    return CopyUserData(ex->meta, ud);
}

ComponentResult GraphicsExportSetColorSyncProfile(ComponentInstance ci, Handle profile) {
    EXPORTER(ci);
    const uint8_t *p = HandleData(profile);
    ex->icc.assign(p, p + GetHandleSize(profile));
    return noErr;
}
ComponentResult GraphicsExportGetColorSyncProfile(ComponentInstance ci, Handle *profile) {
    EXPORTER(ci);
    return answerBytes(profile, ex->icc);
}

ComponentResult GraphicsExportRequestSettings(ComponentInstance ci, void *, void *) {
    EXPORTER(ci);
    (void)ex;
    return badComponentSelector;  // no settings dialog here
}

ComponentResult GraphicsExportGetDefaultFileNameExtension(ComponentInstance ci, OSType *ext) {
    EXPORTER(ci);
    return answer(ext, ex->format->extension);
}

ComponentResult GraphicsExportGetDefaultFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator) {
    EXPORTER(ci);
    if (!type || !creator) return paramErr;
    *type = ex->format->type, *creator = kUnknownCreator;
    return noErr;
}

ComponentResult GraphicsExportGetOutputFileTypeAndCreator(ComponentInstance ci, OSType *type, OSType *creator) {
    EXPORTER(ci);
    if (!type || !creator) return paramErr;
    *type = ex->outType ? ex->outType : ex->format->type;
    *creator = ex->outCreator ? ex->outCreator : kUnknownCreator;
    return noErr;
}

ComponentResult GraphicsExportSetOutputFileTypeAndCreator(ComponentInstance ci, OSType type, OSType creator) {
    EXPORTER(ci);
    ex->outType = type, ex->outCreator = creator;
    return noErr;
}

// ---- thumbnails: no format here carries one -----------------------------------------------

ComponentResult exporter::getThumbnailEnabled(ComponentInstance ci, bool *enabled, int32_t *w, int32_t *h) {
    EXPORTER(ci);
    (void)ex;
    if (!enabled || !w || !h) return paramErr;
    return badComponentSelector;
}

ComponentResult exporter::setThumbnailEnabled(ComponentInstance ci, bool, int32_t, int32_t) {
    EXPORTER(ci);
    (void)ex;
    return badComponentSelector;
}

}  // namespace imaging
