// TIFF, JPEG, PNG and BMP encoding and decoding over libtiff, libjpeg-turbo
// and libpng (BMP by hand). No library may print or exit: every one gets
// error handlers that turn failures into statuses.
#include "codecs.h"
#include "handles.h"

#include "size_limits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

namespace imaging::codec {

namespace {

// ---- pixel rows ------------------------------------------------------------------

int samplesFor(int depth) { return depth == 8 ? 1 : depth == 32 ? 4 : 3; }

uint8_t grey(const uint8_t *p) { return uint8_t((p[1] * 299 + p[2] * 587 + p[3] * 114 + 500) / 1000); }

// One ARGB row to RGB, RGBA or grey.
void convertRow(const uint8_t *src, int32_t width, int depth, uint8_t *dst) {
    switch (depth) {
    case 8:
        for (int32_t x = 0; x < width; ++x, src += 4) *dst++ = grey(src);
        break;
    case 32:
        for (int32_t x = 0; x < width; ++x, src += 4) {
            dst[0] = src[1], dst[1] = src[2], dst[2] = src[3], dst[3] = src[0];
            dst += 4;
        }
        break;
    default:
        for (int32_t x = 0; x < width; ++x, src += 4) {
            dst[0] = src[1], dst[1] = src[2], dst[2] = src[3];
            dst += 3;
        }
    }
}

const uint8_t *rowOf(const Image &img, int32_t y) { return img.argb + size_t(y) * img.rowBytes; }

OSErr report(const Options &opt, int32_t done, int32_t total) {
    return opt.progress ? opt.progress(done, total) : OSErr(noErr);
}

// Progress every 1/32 of the picture (and at the end), not on every row.
bool progressDue(int32_t done, int32_t total) {
    int32_t step = total / 32 > 0 ? total / 32 : 1;
    return done == total || done % step == 0;
}

// The output is reserved before encoding at the size the picture is
// expected to reach, so it is not grown (with fresh memory each time) while
// the encoder writes: the pixels at the output depth, uncompressed, and room
// for the header, tags, strip tables, profile and texts. Uncompressed TIFF
// lands on it; compressed output stays below it and gives back the spare
// room at the end (fitOutput). Growth remains the fallback.
void reserveOutput(std::vector<uint8_t> &out, const Image &img, const Options &opt) {
    uint64_t size = uint64_t(img.width) * uint64_t(img.height) * uint64_t(samplesFor(opt.depth));
    size += 4096 + uint64_t(img.height) * 16 + opt.icc.size();
    for (const auto &m : opt.meta) size += m.second.size() + 16;
    size = std::min<uint64_t>(size, kMaxBlockSize);
    if (out.capacity() >= size) return;
    try {
        out = TakeOutputBuffer(size_t(size));
    } catch (const std::bad_alloc &) {
        // Left to grow as it goes.
    }
}

// Output that used less than half of its buffer (compressed output, or a
// small picture given a larger kept buffer) keeps only what it needs, a copy
// of the smaller bytes; the large buffer is kept for the next export.
void fitOutput(std::vector<uint8_t> &out) {
    if (out.capacity() / 2 <= out.size()) return;
    try {
        std::vector<uint8_t> fitted(out.begin(), out.end());
        out.swap(fitted);
        KeepSpareBuffer(std::move(fitted));
    } catch (const std::bad_alloc &) {
        // Keeps the larger buffer.
    }
}

const std::string *metaText(const Options &opt, OSType type) {
    for (const auto &m : opt.meta)
        if (m.first == type) return &m.second;
    return nullptr;
}
const std::string *description(const Options &opt) {
    const std::string *d = metaText(opt, kDescription);
    return d ? d : metaText(opt, kInfo);
}

// ---- in-memory streams for libtiff ---------------------------------------------------

struct MemStream {
    std::vector<uint8_t> *out = nullptr;  // writing
    const uint8_t *in = nullptr;          // reading
    size_t size = 0;
    size_t pos = 0;
};

tmsize_t memRead(thandle_t h, void *buf, tmsize_t n) {
    auto *m = static_cast<MemStream *>(h);
    const uint8_t *base = m->out ? m->out->data() : m->in;
    size_t total = m->out ? m->out->size() : m->size;
    if (n <= 0 || m->pos >= total) return 0;
    size_t k = std::min(size_t(n), total - m->pos);
    std::memcpy(buf, base + m->pos, k);
    m->pos += k;
    return tmsize_t(k);
}

tmsize_t memWrite(thandle_t h, void *buf, tmsize_t n) {
    auto *m = static_cast<MemStream *>(h);
    if (!m->out || n < 0) return -1;
    if (m->pos > kMaxBlockSize || size_t(n) > kMaxBlockSize - m->pos) return -1;
    size_t end = m->pos + size_t(n);
    auto *bytes = static_cast<const uint8_t *>(buf);
    try {
        if (m->pos == m->out->size()) {   // appending, as nearly every write does
            m->out->insert(m->out->end(), bytes, bytes + n);
            m->pos = end;
            return n;
        }
        if (end > m->out->size()) m->out->resize(end);
    } catch (...) {
        return -1;
    }
    if (n) std::memcpy(m->out->data() + m->pos, bytes, size_t(n));
    m->pos = end;
    return n;
}

toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto *m = static_cast<MemStream *>(h);
    size_t total = m->out ? m->out->size() : m->size;
    uint64_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? total : 0;
    uint64_t target = base + off;
    if (target > kMaxBlockSize) return toff_t(-1);
    m->pos = size_t(target);
    return target;
}

int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) {
    auto *m = static_cast<MemStream *>(h);
    return m->out ? m->out->size() : m->size;
}
int memMap(thandle_t, void **, toff_t *) { return 0; }
void memUnmap(thandle_t, void *, toff_t) {}

void quietTIFF() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

}  // namespace

// ---- TIFF ---------------------------------------------------------------------------

bool tiffMethodSupported(int32_t method) {
    return (method == COMPRESSION_NONE || method == COMPRESSION_LZW || method == COMPRESSION_ADOBE_DEFLATE ||
            method == COMPRESSION_PACKBITS) &&
           TIFFIsCODECConfigured(uint16_t(method));
}

OSErr encodeTIFF(const Image &img, const Options &opt, std::vector<uint8_t> &out) {
    quietTIFF();
    int32_t method = opt.method ? opt.method : COMPRESSION_NONE;
    if (!tiffMethodSupported(method)) return paramErr;
    out.clear();
    reserveOutput(out, img, opt);
    MemStream ms;
    ms.out = &out;
    TIFF *tif = TIFFClientOpen("export", "w", &ms, memRead, memWrite, memSeek, memClose, memSize, memMap, memUnmap);
    if (!tif) return ioErr;
    int spp = samplesFor(opt.depth);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(img.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(img.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, spp == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    if (spp == 4) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(method));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(opt.hres));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(opt.vres));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    if (!opt.icc.empty()) TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(opt.icc.size()), opt.icc.data());
    const struct {
        OSType type;
        ttag_t tag;
    } textTags[] = {{kTitle, TIFFTAG_DOCUMENTNAME}, {kCopyright, TIFFTAG_COPYRIGHT}, {kArtist, TIFFTAG_ARTIST},
                    {kMake, TIFFTAG_MAKE},          {kModel, TIFFTAG_MODEL},         {kSoftware, TIFFTAG_SOFTWARE},
                    {kDate, TIFFTAG_DATETIME}};
    for (const auto &t : textTags)
        if (const std::string *s = metaText(opt, t.type)) TIFFSetField(tif, t.tag, s->c_str());
    if (const std::string *s = description(opt)) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, s->c_str());

    std::vector<uint8_t> row(size_t(img.width) * spp);
    OSErr err = noErr;
    for (int32_t y = 0; y < img.height && !err; ++y) {
        convertRow(rowOf(img, y), img.width, opt.depth, row.data());
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) err = ioErr;
        else if (progressDue(y + 1, img.height)) err = report(opt, y + 1, img.height);
    }
    if (!err && !TIFFWriteDirectory(tif)) err = ioErr;
    TIFFClose(tif);
    if (err) out.clear();
    else fitOutput(out);
    return err;
}

// ---- JPEG ---------------------------------------------------------------------------

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpegErrorExit(j_common_ptr c) { longjmp(reinterpret_cast<JpegError *>(c->err)->jump, 1); }
void jpegMessage(j_common_ptr) {}
void jpegEmit(j_common_ptr, int) {}

void setupJpegErrors(JpegError &e) {
    jpeg_std_error(&e.mgr);
    e.mgr.error_exit = jpegErrorExit;
    e.mgr.output_message = jpegMessage;
    e.mgr.emit_message = jpegEmit;
}

struct JpegDest {
    jpeg_destination_mgr mgr;
    std::vector<uint8_t> *out;
    uint8_t buf[16384];
};

void destInit(j_compress_ptr c) {
    auto *d = reinterpret_cast<JpegDest *>(c->dest);
    d->mgr.next_output_byte = d->buf;
    d->mgr.free_in_buffer = sizeof d->buf;
}
boolean destEmpty(j_compress_ptr c) {
    auto *d = reinterpret_cast<JpegDest *>(c->dest);
    if (d->out->size() + sizeof d->buf > kMaxBlockSize) c->err->error_exit(reinterpret_cast<j_common_ptr>(c));
    d->out->insert(d->out->end(), d->buf, d->buf + sizeof d->buf);
    d->mgr.next_output_byte = d->buf;
    d->mgr.free_in_buffer = sizeof d->buf;
    return TRUE;
}
void destTerm(j_compress_ptr c) {
    auto *d = reinterpret_cast<JpegDest *>(c->dest);
    d->out->insert(d->out->end(), d->buf, d->buf + (sizeof d->buf - d->mgr.free_in_buffer));
}

int jpegQuality(CodecQ q) {
    int v = int((uint64_t(q) * 100 + 512) / 1024);
    return v < 1 ? 1 : v > 100 ? 100 : v;
}

void put16(std::vector<uint8_t> &v, uint16_t x) { v.push_back(uint8_t(x >> 8)), v.push_back(uint8_t(x)); }
void put32(std::vector<uint8_t> &v, uint32_t x) { put16(v, uint16_t(x >> 16)), put16(v, uint16_t(x)); }

// A small Exif block: resolution and resolution unit in IFD0.
std::vector<uint8_t> exifBlock(const Options &opt) {
    std::vector<uint8_t> v = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    put32(v, 8);    // IFD0 offset from the TIFF header
    put16(v, 3);    // entries
    uint32_t data = 8 + 2 + 3 * 12 + 4;
    put16(v, 0x011A), put16(v, 5), put32(v, 1), put32(v, data);        // XResolution
    put16(v, 0x011B), put16(v, 5), put32(v, 1), put32(v, data + 8);    // YResolution
    put16(v, 0x0128), put16(v, 3), put32(v, 1), put16(v, 2), put16(v, 0);  // inches
    put32(v, 0);    // no next IFD
    put32(v, uint32_t(opt.hres * 100 + 0.5)), put32(v, 100);
    put32(v, uint32_t(opt.vres * 100 + 0.5)), put32(v, 100);
    return v;
}

// One JPEG encoding at one quality. Kept apart so that nothing the longjmp
// skips over owns resources.
OSErr jpegPass(const Image &img, const Options &opt, int quality, bool withProgress, std::vector<uint8_t> &out) {
    jpeg_compress_struct cinfo;
    JpegError jerr;
    JpegDest dest;
    std::vector<uint8_t> row(size_t(img.width) * 4);
    std::vector<uint8_t> exif = opt.exif ? exifBlock(opt) : std::vector<uint8_t>();
    volatile OSErr err = noErr;
    out.clear();
    cinfo.err = nullptr;
    setupJpegErrors(jerr);
    cinfo.err = &jerr.mgr;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_compress(&cinfo);
        out.clear();
        return err ? OSErr(err) : OSErr(codecErr);
    }
    jpeg_create_compress(&cinfo);
    dest.out = &out;
    dest.mgr.init_destination = destInit;
    dest.mgr.empty_output_buffer = destEmpty;
    dest.mgr.term_destination = destTerm;
    cinfo.dest = &dest.mgr;
    cinfo.image_width = JDIMENSION(img.width);
    cinfo.image_height = JDIMENSION(img.height);
    bool grey = opt.depth == 8;
    cinfo.input_components = grey ? 1 : 4;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_ARGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = uint16_t(opt.hres + 0.5);
    cinfo.Y_density = uint16_t(opt.vres + 0.5);
    if (opt.interlace) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty()) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    if (!opt.icc.empty()) jpeg_write_icc_profile(&cinfo, opt.icc.data(), unsigned(opt.icc.size()));
    if (const std::string *comment = description(opt); comment && !comment->empty())
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET *>(comment->data()),
                          unsigned(std::min<size_t>(comment->size(), 65533)));
    while (cinfo.next_scanline < cinfo.image_height) {
        int32_t y = int32_t(cinfo.next_scanline);
        JSAMPROW r;
        if (grey) {
            convertRow(rowOf(img, y), img.width, 8, row.data());
            r = row.data();
        } else {
            r = const_cast<JSAMPROW>(rowOf(img, y));
        }
        jpeg_write_scanlines(&cinfo, &r, 1);
        if (withProgress && progressDue(y + 1, img.height)) {
            err = report(opt, y + 1, img.height);
            if (err) longjmp(jerr.jump, 1);
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return noErr;
}

}  // namespace

OSErr encodeJPEG(const Image &img, const Options &opt, std::vector<uint8_t> &out) {
    int q = jpegQuality(opt.quality);
    out.clear();
    reserveOutput(out, img, opt);
    if (OSErr e = jpegPass(img, opt, q, true, out)) return e;
    if (!opt.targetSize || out.size() <= opt.targetSize) {
        fitOutput(out);
        return noErr;
    }
    // Too big: the highest lower quality that fits, else the smallest result.
    int lo = 1, hi = q - 1;
    std::vector<uint8_t> best, trial;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        if (OSErr e = jpegPass(img, opt, mid, false, trial)) return e;
        if (trial.size() <= opt.targetSize) {
            best.swap(trial);
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    if (best.empty()) {
        if (OSErr e = jpegPass(img, opt, 1, false, best)) return e;
    }
    out.swap(best);
    return noErr;
}

// ---- PNG ----------------------------------------------------------------------------

namespace {

struct PngState {
    std::vector<uint8_t> *out;
    OSErr err;
};

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}
void pngWrite(png_structp png, png_bytep data, png_size_t n) {
    auto *s = static_cast<PngState *>(png_get_io_ptr(png));
    if (s->out->size() + n > kMaxBlockSize) png_error(png, "too large");
    s->out->insert(s->out->end(), data, data + n);
}
void pngFlush(png_structp) {}

}  // namespace

// `state` lives in the caller, so what the row loop stores in it survives
// the longjmp back to the setjmp below.
OSErr encodePNGInto(const Image &img, const Options &opt, PngState &state) {
    std::vector<uint8_t> &out = *state.out;
    int level = opt.method;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png) return memFullErr;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(img.width) * 4);
    std::vector<png_text> texts;
    static const struct {
        OSType type;
        const char *key;
    } keys[] = {{kTitle, "Title"},   {kCopyright, "Copyright"}, {kArtist, "Author"},
                {kMake, "Source"},   {kSoftware, "Software"},   {kDate, "Creation Time"}};
    for (const auto &k : keys)
        if (const std::string *s = metaText(opt, k.type)) {
            png_text t{};
            t.compression = PNG_TEXT_COMPRESSION_NONE;
            t.key = const_cast<char *>(k.key);
            t.text = const_cast<char *>(s->c_str());
            texts.push_back(t);
        }
    if (const std::string *s = description(opt)) {
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<char *>("Description");
        t.text = const_cast<char *>(s->c_str());
        texts.push_back(t);
    }
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return state.err ? state.err : OSErr(codecErr);
    }
    png_set_benign_errors(png, 1);  // a bad profile is dropped, not fatal
    png_set_write_fn(png, &state, pngWrite, pngFlush);
    if (level >= 0) png_set_compression_level(png, level);
    int colour = opt.depth == 8 ? PNG_COLOR_TYPE_GRAY : opt.depth == 32 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, png_uint_32(img.width), png_uint_32(img.height), 8, colour,
                 opt.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, png_uint_32(opt.hres / 0.0254 + 0.5), png_uint_32(opt.vres / 0.0254 + 0.5),
                 PNG_RESOLUTION_METER);
    if (!opt.icc.empty())
        png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, opt.icc.data(), png_uint_32(opt.icc.size()));
    if (!texts.empty()) png_set_text(png, info, texts.data(), int(texts.size()));
    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    int32_t total = img.height * passes;
    for (int pass = 0; pass < passes; ++pass)
        for (int32_t y = 0; y < img.height; ++y) {
            convertRow(rowOf(img, y), img.width, opt.depth, row.data());
            png_write_row(png, row.data());
            int32_t done = pass * img.height + y + 1;
            if (progressDue(done, total) && (state.err = report(opt, done, total))) png_longjmp(png, 1);
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return noErr;
}

OSErr encodePNG(const Image &img, const Options &opt, std::vector<uint8_t> &out) {
    if (opt.method < -1 || opt.method > 9) return paramErr;
    out.clear();
    reserveOutput(out, img, opt);
    PngState state{&out, noErr};
    OSErr err = encodePNGInto(img, opt, state);
    if (!err) fitOutput(out);
    return err;
}

// ---- BMP ----------------------------------------------------------------------------

namespace {
void le16(std::vector<uint8_t> &v, uint16_t x) { v.push_back(uint8_t(x)), v.push_back(uint8_t(x >> 8)); }
void le32(std::vector<uint8_t> &v, uint32_t x) { le16(v, uint16_t(x)), le16(v, uint16_t(x >> 16)); }
uint32_t rd32(const uint8_t *p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint16_t rd16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
}  // namespace

OSErr encodeBMP(const Image &img, const Options &opt, std::vector<uint8_t> &out) {
    int bpp = opt.depth == 8 ? 8 : opt.depth == 32 ? 32 : 24;
    size_t rowSize = (size_t(img.width) * (bpp / 8) + 3) & ~size_t(3);
    size_t palette = bpp == 8 ? 1024 : 0;
    size_t offset = 14 + 40 + palette;
    size_t total = offset + rowSize * size_t(img.height);
    if (total > 0xFFFFFFFFu || total > kMaxBlockSize) return paramErr;
    out.clear();
    if (out.capacity() < total) out = TakeOutputBuffer(total);
    out.push_back('B'), out.push_back('M');
    le32(out, uint32_t(total)), le32(out, 0), le32(out, uint32_t(offset));
    le32(out, 40), le32(out, uint32_t(img.width)), le32(out, uint32_t(img.height));
    le16(out, 1), le16(out, uint16_t(bpp)), le32(out, 0), le32(out, uint32_t(rowSize * size_t(img.height)));
    le32(out, uint32_t(opt.hres / 0.0254 + 0.5)), le32(out, uint32_t(opt.vres / 0.0254 + 0.5));
    le32(out, bpp == 8 ? 256 : 0), le32(out, 0);
    for (size_t i = 0; i < palette / 4; ++i) out.push_back(uint8_t(i)), out.push_back(uint8_t(i)), out.push_back(uint8_t(i)), out.push_back(0);
    std::vector<uint8_t> row(rowSize, 0);
    for (int32_t n = 0; n < img.height; ++n) {
        const uint8_t *src = rowOf(img, img.height - 1 - n);  // bottom-up
        uint8_t *d = row.data();
        for (int32_t x = 0; x < img.width; ++x, src += 4) {
            if (bpp == 8) {
                *d++ = grey(src);
            } else {
                *d++ = src[3], *d++ = src[2], *d++ = src[1];
                if (bpp == 32) *d++ = src[0];
            }
        }
        out.insert(out.end(), row.begin(), row.end());
        if (progressDue(n + 1, img.height))
            if (OSErr e = report(opt, n + 1, img.height)) {
                out.clear();
                return e;
            }
    }
    fitOutput(out);  // a small picture may have been given a larger kept buffer
    return noErr;
}

// ---- decoding -----------------------------------------------------------------------

OSType sniff(const uint8_t *d, size_t n) {
    if (!d) return 0;
    if (n >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) || (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42)))
        return FourCC("TIFF");
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return FourCC("JPEG");
    if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) return FourCC("PNGf");
    if (n >= 2 && d[0] == 'B' && d[1] == 'M') return FourCC("BMPf");
    return 0;
}

namespace {

bool sizeOk(uint64_t w, uint64_t h) { return limits::imageSizeOk(w, h); }

OSErr decodeTIFF(const uint8_t *data, size_t size, Decoded &out) {
    quietTIFF();
    MemStream ms;
    ms.in = data;
    ms.size = size;
    TIFF *tif = TIFFClientOpen("import", "rm", &ms, memRead, memWrite, memSeek, memClose, memSize, memMap, memUnmap);
    if (!tif) return codecErr;
    uint32_t w = 0, h = 0;
    uint16_t spp = 3, extra = 0;
    uint16_t *extraTypes = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
    OSErr err = noErr;
    if (!sizeOk(w, h) || !limits::tiffDataCanHold(tif, size)) {
        err = codecErr;
    } else {
        std::vector<uint32_t> raster;
        try {
            raster.resize(size_t(w) * h);
        } catch (...) {
            TIFFClose(tif);
            return memFullErr;
        }
        if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
            err = codecErr;
        } else {
            out.width = int32_t(w), out.height = int32_t(h);
            out.alpha = extra > 0;
            out.argb.resize(size_t(w) * h * 4);
            uint8_t *p = out.argb.data();
            for (uint32_t px : raster) {
                p[0] = uint8_t(TIFFGetA(px)), p[1] = uint8_t(TIFFGetR(px)), p[2] = uint8_t(TIFFGetG(px)), p[3] = uint8_t(TIFFGetB(px));
                p += 4;
            }
        }
    }
    TIFFClose(tif);
    return err;
}

OSErr decodeJPEG(const uint8_t *data, size_t size, Decoded &out) {
    jpeg_decompress_struct cinfo;
    JpegError jerr;
    setupJpegErrors(jerr);
    cinfo.err = &jerr.mgr;
    if (setjmp(jerr.jump)) {
        jpeg_destroy_decompress(&cinfo);
        out.argb.clear();
        return codecErr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!limits::jpegDataCanHold(cinfo.image_width, cinfo.image_height, size)) {
        jpeg_destroy_decompress(&cinfo);
        return codecErr;
    }
    cinfo.out_color_space = JCS_EXT_ARGB;
    jpeg_start_decompress(&cinfo);
    out.width = int32_t(cinfo.output_width), out.height = int32_t(cinfo.output_height);
    out.alpha = false;
    out.argb.assign(size_t(out.width) * out.height * 4, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = out.argb.data() + size_t(cinfo.output_scanline) * out.width * 4;
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return noErr;
}

OSErr decodePNG(const uint8_t *data, size_t size, Decoded &out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!limits::pngDataCanHold(data, size)) return codecErr;
    if (!png_image_begin_read_from_memory(&image, data, size)) return codecErr;
    bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    if (!sizeOk(image.width, image.height)) {
        png_image_free(&image);
        return codecErr;
    }
    image.format = PNG_FORMAT_ARGB;
    out.argb.assign(size_t(image.width) * image.height * 4, 0);
    if (!png_image_finish_read(&image, nullptr, out.argb.data(), 0, nullptr)) {
        png_image_free(&image);
        out.argb.clear();
        return codecErr;
    }
    out.width = int32_t(image.width), out.height = int32_t(image.height), out.alpha = alpha;
    return noErr;
}

OSErr decodeBMP(const uint8_t *d, size_t n, Decoded &out) {
    if (n < 54 || d[0] != 'B' || d[1] != 'M') return codecErr;
    uint32_t offset = rd32(d + 10), infoSize = rd32(d + 14);
    if (infoSize < 40 || 14 + uint64_t(infoSize) > n) return codecErr;
    int32_t w = int32_t(rd32(d + 18)), hs = int32_t(rd32(d + 22));
    uint16_t planes = rd16(d + 26), bpp = rd16(d + 28);
    uint32_t compression = rd32(d + 30), colours = rd32(d + 46);
    bool topDown = hs < 0;
    int64_t h = topDown ? -int64_t(hs) : hs;
    if (planes != 1 || compression != 0 || (bpp != 8 && bpp != 24 && bpp != 32) || w <= 0 || !sizeOk(uint64_t(w), uint64_t(h)))
        return codecErr;
    size_t rowSize = (size_t(w) * (bpp / 8) + 3) & ~size_t(3);
    if (offset > n || rowSize * size_t(h) > n - offset) return codecErr;
    const uint8_t *palette = d + 14 + infoSize;
    if (bpp == 8) {
        if (colours == 0) colours = 256;
        if (colours > 256 || size_t(14 + infoSize) + size_t(colours) * 4 > offset) return codecErr;
    }
    out.width = w, out.height = int32_t(h), out.alpha = false;
    out.argb.assign(size_t(w) * size_t(h) * 4, 0);
    for (int64_t y = 0; y < h; ++y) {
        const uint8_t *src = d + offset + rowSize * size_t(topDown ? y : h - 1 - y);
        uint8_t *p = out.argb.data() + size_t(y) * w * 4;
        for (int32_t x = 0; x < w; ++x, p += 4) {
            if (bpp == 8) {
                uint8_t i = src[x];
                if (i >= colours) i = 0;
                p[0] = 0xFF, p[1] = palette[i * 4 + 2], p[2] = palette[i * 4 + 1], p[3] = palette[i * 4];
            } else {
                const uint8_t *s = src + size_t(x) * (bpp / 8);
                p[0] = 0xFF, p[1] = s[2], p[2] = s[1], p[3] = s[0];
            }
        }
    }
    return noErr;
}

}  // namespace

OSErr decode(OSType format, const uint8_t *data, size_t size, Decoded &out) {
    if (!data || !size) return codecErr;
    try {
        if (format == FourCC("TIFF")) return decodeTIFF(data, size, out);
        if (format == FourCC("JPEG")) return decodeJPEG(data, size, out);
        if (format == FourCC("PNGf")) return decodePNG(data, size, out);
        if (format == FourCC("BMPf")) return decodeBMP(data, size, out);
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    return noCodecErr;
}

}  // namespace imaging::codec
