// PNG over libpng: every colour type and depth, interlaced or not, palette,
// transparency and gamma read through libpng's own transformations; 8-bit
// grey, RGB and RGBA written.
#include "format.h"
#include "size_limits.h"

#include <cstring>

#include <png.h>

namespace imaging {

namespace {

// What libpng may take for one chunk (a text or a profile, once inflated),
// and how many text chunks it keeps: a file under a megabyte cannot make the
// importer take more than a few tens of megabytes besides its pixels.
constexpr png_alloc_size_t kChunkMax = png_alloc_size_t(1) << 20;
constexpr png_uint_32 kChunkCacheMax = 16;

bool sniffPNG(const uint8_t *d, size_t n) { return n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0; }

struct Input {
    const uint8_t *data;
    size_t size, pos;
};

void readData(png_structp png, png_bytep out, size_t n) {
    auto *in = static_cast<Input *>(png_get_io_ptr(png));
    if (n > in->size - in->pos) png_error(png, "truncated");
    std::memcpy(out, in->data + in->pos, n);
    in->pos += n;
}
void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void warn(png_structp, png_const_charp) {}

// A read struct over `in` with the limits set. Ancillary chunks that break a
// rule are dropped, not fatal; the palette suggestions and Exif are never
// kept.
png_structp newReader(Input &in) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, warn);
    if (!png) return nullptr;
    png_set_read_fn(png, &in, readData);
    png_set_benign_errors(png, 1);
    png_set_user_limits(png, png_uint_32(kMaxImageSide), png_uint_32(kMaxImageSide));
    png_set_chunk_malloc_max(png, kChunkMax);
    png_set_chunk_cache_max(png, kChunkCacheMax);
    static const png_byte never[] = {'s', 'P', 'L', 'T', 0, 'e', 'X', 'I', 'f', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, never, int(sizeof never / 5));
    return png;
}

// The data libpng is given: its chunks up to one that claims more than the
// rest of the data.
Input inputOf(const uint8_t *data, size_t size) { return {data, limits::pngChunksEnd(data, size), 0}; }

// ---- probe -------------------------------------------------------------------------

// Kept apart so that nothing the longjmp skips over owns resources.
OSErr probeInto(png_structp png, png_infop info, codec::Info &out) {
    if (setjmp(png_jmpbuf(png))) return codecErr;
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    int colour = png_get_color_type(png, info);
    if (!limits::imageSizeOk(w, h)) return codecErr;
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
    for (int i = 0; i < count; ++i) {
        if (!texts[i].key || !texts[i].text) continue;
#define META(name, type, tiffTag, pngKey)                                       \
    if (const char *key = (pngKey); key && std::strcmp(texts[i].key, key) == 0) \
        out.meta.emplace_back(codec::name, texts[i].text);
#include "metadata.def"
#undef META
    }
    return noErr;
}

OSErr probePNG(const uint8_t *data, size_t size, uint32_t, codec::Info &out) {
    Input in = inputOf(data, size);
    png_structp png = newReader(in);
    if (!png) return memFullErr;
    png_infop info = png_create_info_struct(png);
    OSErr err = info ? probeInto(png, info, out) : OSErr(memFullErr);
    png_destroy_read_struct(&png, &info, nullptr);
    return err;
}

// ---- decode ------------------------------------------------------------------------

// The transformations to 8-bit A R G B with straight alpha. Eight-bit files
// come out as libpng's simplified reader gave them. Samples are taken as
// sRGB unless the file says otherwise (libpng would take 16-bit ones without
// a word on their gamma as linear light).
void setTransforms(png_structp png, png_infop info) {
    int colour = png_get_color_type(png, info);
    bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);  // palette, low depths and transparency
    if (!(colour & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_alpha_mode_fixed(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
    if (alpha) png_set_swap_alpha(png);
    else png_set_add_alpha(png, 0xFF, PNG_FILLER_BEFORE);
}

// Kept apart so that nothing the longjmp skips over owns resources: `rows`
// and `out` belong to the caller.
OSErr decodeInto(png_structp png, png_infop info, std::vector<png_bytep> &rows, codec::Decoded &out) {
    if (setjmp(png_jmpbuf(png))) return codecErr;
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    if (!limits::imageSizeOk(w, h)) return codecErr;
    int colour = png_get_color_type(png, info);
    out.alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    setTransforms(png, info);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(w) * 4) return codecErr;
    out.argb.resize(size_t(w) * h * 4);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = out.argb.data() + size_t(y) * w * 4;
    png_read_image(png, rows.data());  // what follows the pixels is not needed
    out.width = int32_t(w), out.height = int32_t(h);
    return noErr;
}

OSErr decodePNG(const uint8_t *data, size_t size, uint32_t, codec::Decoded &out) {
    if (!limits::pngDataCanHold(data, size)) return codecErr;
    Input in = inputOf(data, size);
    png_structp png = newReader(in);
    if (!png) return memFullErr;
    // Only the chunks that change the pixels are read.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    static const png_byte pixels[] = {'b', 'K', 'G', 'D', 0, 'c', 'H', 'R', 'M', 0, 'g', 'A', 'M', 'A', 0,
                                      'i', 'C', 'C', 'P', 0, 's', 'B', 'I', 'T', 0, 's', 'R', 'G', 'B', 0};
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_AS_DEFAULT, pixels, int(sizeof pixels / 5));
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    OSErr err = info ? decodeInto(png, info, rows, out) : OSErr(memFullErr);
    png_destroy_read_struct(&png, &info, nullptr);
    if (err) out = codec::Decoded();
    return err;
}

// ---- encode ------------------------------------------------------------------------

struct Output {
    std::vector<uint8_t> *out;
    OSErr err;
};

void writeData(png_structp png, png_bytep data, size_t n) {
    auto *s = static_cast<Output *>(png_get_io_ptr(png));
    if (s->out->size() + n > kMaxBlockSize) png_error(png, "too large");
    s->out->insert(s->out->end(), data, data + n);
}
void flush(png_structp) {}

// `state` lives in the caller, so what the row loop stores in it survives
// the longjmp back to the setjmp below.
OSErr encodeInto(const codec::Image &img, const codec::Options &opt, Output &state) {
    std::vector<uint8_t> &out = *state.out;
    int level = opt.method;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, warn);
    if (!png) return memFullErr;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(img.width) * 4);
    std::vector<png_text> texts;
    auto addText = [&](const char *key, const std::string *text) {
        if (!key || !text) return;
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<char *>(key);
        t.text = const_cast<char *>(text->c_str());
        texts.push_back(t);
    };
#define META(name, type, tiffTag, pngKey) addText((pngKey), codec::metaText(opt, codec::name));
#include "metadata.def"
#undef META
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return state.err ? state.err : OSErr(codecErr);
    }
    png_set_benign_errors(png, 1);  // a bad profile is dropped, not fatal
    png_set_write_fn(png, &state, writeData, flush);
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
            codec::convertRow(img, y, opt.depth, row.data());
            png_write_row(png, row.data());
            int32_t done = pass * img.height + y + 1;
            if (codec::progressDue(done, total) && (state.err = codec::report(opt, done, total))) png_longjmp(png, 1);
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return noErr;
}

OSErr encodePNG(const codec::Image &img, const codec::Options &opt, std::vector<uint8_t> &out) {
    if (opt.method < -1 || opt.method > 9) return paramErr;
    out.clear();
    codec::reserveOutput(out, img, opt);
    Output state{&out, noErr};
    OSErr err = encodeInto(img, opt, state);
    if (!err) codec::fitOutput(out);
    return err;
}

}  // namespace

extern const Format kPNGFormat = {
    FourCC("PNGf"), FourCC("png "), FourCC("png "), "PNG",     {"png", nullptr}, {"image/png", nullptr},
    false,          sniffPNG,       probePNG,       decodePNG, encodePNG};

}  // namespace imaging
