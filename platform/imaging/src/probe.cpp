// Image facts read from the headers through each format's own library, and
// the pixels of any TIFF page. Libraries never print: their handlers turn
// every complaint into a status.
#include "probe.h"

#include "size_limits.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace imaging::importer {

namespace {

bool sideOk(uint64_t w, uint64_t h) { return limits::imageSizeOk(w, h); }

// ---- TIFF over bytes in memory (read only) ----------------------------------------------

struct Reader {
    const uint8_t *data;
    size_t size, pos;
};

tmsize_t readProc(thandle_t h, void *buf, tmsize_t n) {
    auto *r = static_cast<Reader *>(h);
    if (n <= 0 || r->pos >= r->size) return 0;
    size_t k = std::min(size_t(n), r->size - r->pos);
    std::memcpy(buf, r->data + r->pos, k);
    r->pos += k;
    return tmsize_t(k);
}
tmsize_t writeProc(thandle_t, void *, tmsize_t) { return -1; }
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto *r = static_cast<Reader *>(h);
    uint64_t base = whence == SEEK_CUR ? r->pos : whence == SEEK_END ? r->size : 0;
    uint64_t target = base + off;
    if (target > kMaxBlockSize) return toff_t(-1);
    r->pos = size_t(target);
    return target;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<Reader *>(h)->size; }
int mapProc(thandle_t, void **, toff_t *) { return 0; }
void unmapProc(thandle_t, void *, toff_t) {}

struct Tiff {
    Reader reader;
    TIFF *tif = nullptr;
    Tiff(const uint8_t *d, size_t n) : reader{d, n, 0} {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
        tif = TIFFClientOpen("import", "rm", &reader, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                             unmapProc);
    }
    ~Tiff() {
        if (tif) TIFFClose(tif);
    }
    // Page `index`; false when there is no such page.
    bool page(uint32_t index) { return tif && (index == 0 || TIFFSetDirectory(tif, tdir_t(index))); }
};

OSErr probeTIFF(const uint8_t *data, size_t size, uint32_t index, Info &out) {
    Tiff t(data, size);
    if (!t.tif) return codecErr;
    out.imageCount = uint32_t(TIFFNumberOfDirectories(t.tif));
    if (index >= out.imageCount || !t.page(index)) return paramErr;
    uint32_t w = 0, h = 0;
    uint16_t spp = 1, extra = 0, photometric = PHOTOMETRIC_RGB, unit = RESUNIT_INCH;
    uint16_t *extraTypes = nullptr;
    TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h);
    if (!sideOk(w, h)) return codecErr;
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    TIFFGetField(t.tif, TIFFTAG_PHOTOMETRIC, &photometric);
    out.width = int32_t(w), out.height = int32_t(h);
    bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    out.depth = extra > 0 ? 32 : grey && spp == 1 ? 8 : 24;
    float xres = 0, yres = 0;
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (TIFFGetField(t.tif, TIFFTAG_XRESOLUTION, &xres) && xres > 0) out.hres = xres * perInch;
    if (TIFFGetField(t.tif, TIFFTAG_YRESOLUTION, &yres) && yres > 0) out.vres = yres * perInch;
    out.codec = FourCC("tiff");
    uint32_t iccSize = 0;
    void *icc = nullptr;
    if (TIFFGetField(t.tif, TIFFTAG_ICCPROFILE, &iccSize, &icc) && icc && iccSize)
        out.icc.assign(static_cast<uint8_t *>(icc), static_cast<uint8_t *>(icc) + iccSize);
    const struct {
        ttag_t tag;
        OSType type;
    } texts[] = {{TIFFTAG_DOCUMENTNAME, codec::kTitle}, {TIFFTAG_IMAGEDESCRIPTION, codec::kDescription},
                 {TIFFTAG_COPYRIGHT, codec::kCopyright}, {TIFFTAG_ARTIST, codec::kArtist},
                 {TIFFTAG_MAKE, codec::kMake},           {TIFFTAG_MODEL, codec::kModel},
                 {TIFFTAG_SOFTWARE, codec::kSoftware},   {TIFFTAG_DATETIME, codec::kDate}};
    for (const auto &tx : texts) {
        const char *s = nullptr;
        if (TIFFGetField(t.tif, tx.tag, &s) && s) out.meta.emplace_back(tx.type, s);
    }
    return noErr;
}

// ---- JPEG ------------------------------------------------------------------------------

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};
void jpegExit(j_common_ptr c) { longjmp(reinterpret_cast<JpegError *>(c->err)->jump, 1); }
void jpegQuiet(j_common_ptr) {}
void jpegQuietLevel(j_common_ptr, int) {}

// Kept apart so that nothing the longjmp skips over owns resources; the
// results go to `out` only once the header has been read.
OSErr probeJPEG(const uint8_t *data, size_t size, Info &out) {
    jpeg_decompress_struct cinfo;
    JpegError jerr;
    jpeg_std_error(&jerr.mgr);
    jerr.mgr.error_exit = jpegExit;
    jerr.mgr.output_message = jpegQuiet;
    jerr.mgr.emit_message = jpegQuietLevel;
    cinfo.err = &jerr.mgr;
    JOCTET *icc = nullptr;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(icc);
        return codecErr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    OSErr err = noErr;
    if (!sideOk(cinfo.image_width, cinfo.image_height)) {
        err = codecErr;
    } else {
        out.width = int32_t(cinfo.image_width), out.height = int32_t(cinfo.image_height);
        out.depth = cinfo.num_components == 1 ? 8 : 24;
        double perInch = cinfo.density_unit == 1 ? 1.0 : cinfo.density_unit == 2 ? 2.54 : 0;
        if (perInch > 0 && cinfo.X_density && cinfo.Y_density)
            out.hres = cinfo.X_density * perInch, out.vres = cinfo.Y_density * perInch;
        out.codec = FourCC("jpeg");
        unsigned int iccSize = 0;
        if (jpeg_read_icc_profile(&cinfo, &icc, &iccSize) && icc) out.icc.assign(icc, icc + iccSize);
        for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
            if (m->marker == JPEG_COM)
                out.meta.emplace_back(codec::kDescription, std::string(reinterpret_cast<const char *>(m->data), m->data_length));
    }
    std::free(icc);
    jpeg_destroy_decompress(&cinfo);
    return err;
}

// ---- PNG -------------------------------------------------------------------------------

struct PngInput {
    const uint8_t *data;
    size_t size, pos;
};
void pngRead(png_structp png, png_bytep out, png_size_t n) {
    auto *in = static_cast<PngInput *>(png_get_io_ptr(png));
    if (n > in->size - in->pos) png_error(png, "truncated");
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
}
void pngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarn(png_structp, png_const_charp) {}

OSErr probePNG(const uint8_t *data, size_t size, Info &out) {
    PngInput in{data, size, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFail, pngWarn);
    if (!png) return memFullErr;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return codecErr;
    }
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, &in, pngRead);
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    int colour = png_get_color_type(png, info);
    OSErr err = noErr;
    if (!sideOk(w, h)) {
        err = codecErr;
    } else {
        out.width = int32_t(w), out.height = int32_t(h);
        bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
        out.depth = alpha ? 32 : colour == PNG_COLOR_TYPE_GRAY ? 8 : 24;
        png_uint_32 xres = 0, yres = 0;
        int unit = 0;
        if (png_get_pHYs(png, info, &xres, &yres, &unit) && unit == PNG_RESOLUTION_METER && xres && yres)
            out.hres = xres * 0.0254, out.vres = yres * 0.0254;
        out.codec = FourCC("png ");
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 profileSize = 0;
        if (png_get_iCCP(png, info, &name, &compression, &profile, &profileSize) && profile)
            out.icc.assign(profile, profile + profileSize);
        png_textp texts = nullptr;
        int count = 0;
        png_get_text(png, info, &texts, &count);
        static const struct {
            const char *key;
            OSType type;
        } keys[] = {{"Title", codec::kTitle},     {"Copyright", codec::kCopyright}, {"Author", codec::kArtist},
                    {"Source", codec::kMake},     {"Software", codec::kSoftware},   {"Creation Time", codec::kDate},
                    {"Description", codec::kDescription}};
        for (int i = 0; i < count; ++i)
            for (const auto &k : keys)
                if (texts[i].key && texts[i].text && std::strcmp(texts[i].key, k.key) == 0)
                    out.meta.emplace_back(k.type, texts[i].text);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return err;
}

// ---- BMP -------------------------------------------------------------------------------

uint32_t le32(const uint8_t *p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

OSErr probeBMP(const uint8_t *d, size_t n, Info &out) {
    if (n < 54 || d[0] != 'B' || d[1] != 'M') return codecErr;
    int32_t w = int32_t(le32(d + 18)), hs = int32_t(le32(d + 22));
    int64_t h = hs < 0 ? -int64_t(hs) : hs;
    uint16_t bpp = uint16_t(d[28] | (d[29] << 8));
    if (w <= 0 || !sideOk(uint64_t(w), uint64_t(h))) return codecErr;
    out.width = w, out.height = int32_t(h);
    out.depth = bpp == 8 ? 8 : bpp == 32 ? 32 : 24;
    uint32_t xppm = le32(d + 38), yppm = le32(d + 42);
    if (xppm && yppm) out.hres = xppm * 0.0254, out.vres = yppm * 0.0254;
    out.codec = FourCC("WRLE");
    return noErr;
}

}  // namespace

OSErr probe(OSType format, const uint8_t *data, size_t size, uint32_t index, Info &out) {
    out = Info();
    if (!data || !size) return codecErr;
    if (format != FourCC("TIFF") && index != 0) return paramErr;
    try {
        if (format == FourCC("TIFF")) return probeTIFF(data, size, index, out);
        if (format == FourCC("JPEG")) return probeJPEG(data, size, out);
        if (format == FourCC("PNGf")) return probePNG(data, size, out);
        if (format == FourCC("BMPf")) return probeBMP(data, size, out);
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    return noCodecErr;
}

OSErr decodeTIFFPage(const uint8_t *data, size_t size, uint32_t index, codec::Decoded &out) {
    Tiff t(data, size);
    if (!t.tif) return codecErr;
    if (!t.page(index)) return paramErr;
    uint32_t w = 0, h = 0;
    uint16_t extra = 0;
    uint16_t *extraTypes = nullptr;
    TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    if (!sideOk(w, h) || !limits::tiffDataCanHold(t.tif, size)) return codecErr;
    // libtiff's raster is decoded in place into the result's bytes, so a
    // page needs one image-sized block, not two.
    try {
        out.argb.resize(size_t(w) * h * 4);
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    auto *raster = reinterpret_cast<uint32_t *>(out.argb.data());
    if (!TIFFReadRGBAImageOriented(t.tif, w, h, raster, ORIENTATION_TOPLEFT, 0)) {
        out.argb.clear();
        return codecErr;
    }
    out.width = int32_t(w), out.height = int32_t(h), out.alpha = extra > 0;
    uint8_t *p = out.argb.data();
    for (size_t i = 0, n = size_t(w) * h; i < n; ++i, p += 4) {
        uint32_t px;
        std::memcpy(&px, p, 4);
        p[0] = uint8_t(TIFFGetA(px)), p[1] = uint8_t(TIFFGetR(px)), p[2] = uint8_t(TIFFGetG(px)), p[3] = uint8_t(TIFFGetB(px));
    }
    return noErr;
}

}  // namespace imaging::importer
