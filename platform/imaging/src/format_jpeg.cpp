// JPEG over libjpeg-turbo: grey, colour and CMYK files read (CMYK and YCCK
// turned into RGB, as viewers show them), baseline or progressive written.
#include "format.h"
#include "jpeg_trap.h"
#include "size_limits.h"

#include <algorithm>
#include <cstdlib>

namespace imaging {

namespace {

bool sniffJPEG(const uint8_t *d, size_t n) { return n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF; }

// ---- probe -------------------------------------------------------------------------

// Kept apart so that nothing the longjmp skips over owns resources; the
// results go to `out` only once the header has been read.
OSErr probeJPEG(const uint8_t *data, size_t size, uint32_t, codec::Info &out) {
    jpeg_decompress_struct cinfo;
    jpeg::JpegTrap trap;
    cinfo.err = trap.install();
    JOCTET *icc = nullptr;
    if (setjmp(trap.jump)) {
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
    if (!limits::imageSizeOk(cinfo.image_width, cinfo.image_height)) {
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
                out.meta.emplace_back(codec::kDescription,
                                      std::string(reinterpret_cast<const char *>(m->data), m->data_length));
    }
    std::free(icc);
    jpeg_destroy_decompress(&cinfo);
    return err;
}

// ---- decode ------------------------------------------------------------------------

// A CMYK row (as libjpeg gives it: Adobe's files store the inks inverted)
// to A R G B in place: both take four bytes a pixel.
void cmykToARGB(uint8_t *row, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x) {
        uint8_t *p = row + size_t(x) * 4;
        uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        // What is left of white after each ink: (1 - ink) (1 - black).
        p[0] = 0xFF;
        p[1] = uint8_t((c * k + 127) / 255);
        p[2] = uint8_t((m * k + 127) / 255);
        p[3] = uint8_t((y * k + 127) / 255);
    }
}

OSErr decodeJPEG(const uint8_t *data, size_t size, uint32_t, codec::Decoded &out) {
    jpeg_decompress_struct cinfo;
    jpeg::JpegTrap trap;
    cinfo.err = trap.install();
    if (setjmp(trap.jump)) {
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
    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_ARGB;
    jpeg_start_decompress(&cinfo);
    out.width = int32_t(cinfo.output_width), out.height = int32_t(cinfo.output_height);
    out.alpha = false;
    out.argb.assign(size_t(out.width) * out.height * 4, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = out.argb.data() + size_t(cinfo.output_scanline) * out.width * 4;
        jpeg_read_scanlines(&cinfo, &r, 1);
        if (cmyk) cmykToARGB(r, cinfo.output_width, cinfo.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return noErr;
}

// ---- encode ------------------------------------------------------------------------

struct Destination {
    jpeg_destination_mgr mgr;
    std::vector<uint8_t> *out;
    uint8_t buf[16384];
};

void destInit(j_compress_ptr c) {
    auto *d = reinterpret_cast<Destination *>(c->dest);
    d->mgr.next_output_byte = d->buf;
    d->mgr.free_in_buffer = sizeof d->buf;
}
boolean destEmpty(j_compress_ptr c) {
    auto *d = reinterpret_cast<Destination *>(c->dest);
    if (d->out->size() + sizeof d->buf > kMaxBlockSize) c->err->error_exit(reinterpret_cast<j_common_ptr>(c));
    d->out->insert(d->out->end(), d->buf, d->buf + sizeof d->buf);
    d->mgr.next_output_byte = d->buf;
    d->mgr.free_in_buffer = sizeof d->buf;
    return TRUE;
}
void destTerm(j_compress_ptr c) {
    auto *d = reinterpret_cast<Destination *>(c->dest);
    d->out->insert(d->out->end(), d->buf, d->buf + (sizeof d->buf - d->mgr.free_in_buffer));
}

int jpegQuality(CodecQ q) {
    int v = int((uint64_t(q) * 100 + 512) / 1024);
    return v < 1 ? 1 : v > 100 ? 100 : v;
}

void put16(std::vector<uint8_t> &v, uint16_t x) { v.push_back(uint8_t(x >> 8)), v.push_back(uint8_t(x)); }
void put32(std::vector<uint8_t> &v, uint32_t x) { put16(v, uint16_t(x >> 16)), put16(v, uint16_t(x)); }

// A small Exif block: resolution and resolution unit in IFD0.
std::vector<uint8_t> exifBlock(const codec::Options &opt) {
    std::vector<uint8_t> v = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    put32(v, 8);  // IFD0 offset from the TIFF header
    put16(v, 3);  // entries
    uint32_t data = 8 + 2 + 3 * 12 + 4;
    put16(v, 0x011A), put16(v, 5), put32(v, 1), put32(v, data);            // XResolution
    put16(v, 0x011B), put16(v, 5), put32(v, 1), put32(v, data + 8);        // YResolution
    put16(v, 0x0128), put16(v, 3), put32(v, 1), put16(v, 2), put16(v, 0);  // inches
    put32(v, 0);                                                           // no next IFD
    put32(v, uint32_t(opt.hres * 100 + 0.5)), put32(v, 100);
    put32(v, uint32_t(opt.vres * 100 + 0.5)), put32(v, 100);
    return v;
}

// One JPEG encoding at one quality. Kept apart so that nothing the longjmp
// skips over owns resources.
OSErr jpegPass(const codec::Image &img, const codec::Options &opt, int quality, bool withProgress,
               std::vector<uint8_t> &out) {
    jpeg_compress_struct cinfo;
    jpeg::JpegTrap trap;
    Destination dest;
    std::vector<uint8_t> row(size_t(img.width) * 4);
    std::vector<uint8_t> exif = opt.exif ? exifBlock(opt) : std::vector<uint8_t>();
    volatile OSErr err = noErr;
    out.clear();
    cinfo.err = trap.install();
    if (setjmp(trap.jump)) {
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
    // Colour rows go in as they are held: A R G B, or packed R G B.
    cinfo.input_components = grey ? 1 : img.pixelBytes;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : img.pixelBytes == 3 ? JCS_EXT_RGB : JCS_EXT_ARGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = uint16_t(opt.hres + 0.5);
    cinfo.Y_density = uint16_t(opt.vres + 0.5);
    if (opt.interlace) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    if (!exif.empty()) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    if (!opt.icc.empty()) jpeg_write_icc_profile(&cinfo, opt.icc.data(), unsigned(opt.icc.size()));
    if (const std::string *comment = codec::metaText(opt, codec::kDescription); comment && !comment->empty())
        jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET *>(comment->data()),
                          unsigned(std::min<size_t>(comment->size(), 65533)));
    while (cinfo.next_scanline < cinfo.image_height) {
        int32_t y = int32_t(cinfo.next_scanline);
        JSAMPROW r;
        if (grey) {
            codec::convertRow(img, y, 8, row.data());
            r = row.data();
        } else {
            r = const_cast<JSAMPROW>(codec::rowOf(img, y));
        }
        jpeg_write_scanlines(&cinfo, &r, 1);
        if (withProgress && codec::progressDue(y + 1, img.height)) {
            err = codec::report(opt, y + 1, img.height);
            if (err) longjmp(trap.jump, 1);
        }
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return noErr;
}

OSErr encodeJPEG(const codec::Image &img, const codec::Options &opt, std::vector<uint8_t> &out) {
    int q = jpegQuality(opt.quality);
    out.clear();
    codec::reserveOutput(out, img, opt);
    if (OSErr e = jpegPass(img, opt, q, true, out)) return e;
    if (!opt.targetSize || out.size() <= opt.targetSize) {
        codec::fitOutput(out);
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

}  // namespace

extern const Format kJPEGFormat = {
    FourCC("JPEG"), FourCC("jpg "), FourCC("jpeg"), "Photo - JPEG", {"jpg", "jpeg"}, {"image/jpeg", "image/jpg"},
    false,          sniffJPEG,      probeJPEG,      decodeJPEG,     encodeJPEG};

}  // namespace imaging
