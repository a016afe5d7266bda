// Times 100 exports of a 720x480 24-bit frame to TIFF:
//  1. through the graphics plug-in: a new QTGraphicsExporterPlyx,
//     OpenExporter("TIFF"), InputPicture, ExportToString (the application's
//     sequence), in a stand-in host;
//  2. libtiff directly, writing the same pixels into memory;
//  3. ffmpeg writing the same frames as TIFF files, when /usr/bin/ffmpeg exists.
// Prints each time and the ratios to libtiff.
#include "fake_host.h"

#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace fake;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFrames = 100, kW = 720, kH = 480;

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

struct Mem {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
};
tmsize_t rd(thandle_t, void *, tmsize_t) { return 0; }
tmsize_t wr(thandle_t h, void *buf, tmsize_t n) {
    auto *m = static_cast<Mem *>(h);
    if (m->pos + size_t(n) > m->bytes.size()) m->bytes.resize(m->pos + size_t(n));
    std::memcpy(m->bytes.data() + m->pos, buf, size_t(n));
    m->pos += size_t(n);
    return n;
}
toff_t sk(thandle_t h, toff_t off, int whence) {
    auto *m = static_cast<Mem *>(h);
    m->pos = size_t(whence == SEEK_CUR ? m->pos + off : whence == SEEK_END ? m->bytes.size() + off : off);
    return m->pos;
}
int cl(thandle_t) { return 0; }
toff_t sz(thandle_t h) { return static_cast<Mem *>(h)->bytes.size(); }
int mp(thandle_t, void **, toff_t *) { return 0; }
void ump(thandle_t, void *, toff_t) {}

size_t libtiffFrame(const uint8_t *argb, int rowBytes) {
    Mem m;
    TIFF *t = TIFFClientOpen("bench", "w", &m, rd, wr, sk, cl, sz, mp, ump);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kW);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kH);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    std::vector<uint8_t> row(kW * 3);
    for (int y = 0; y < kH; ++y) {
        const uint8_t *p = argb + size_t(y) * rowBytes;
        for (int x = 0; x < kW; ++x) row[x * 3] = p[x * 4 + 1], row[x * 3 + 1] = p[x * 4 + 2], row[x * 3 + 2] = p[x * 4 + 3];
        TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
    }
    TIFFClose(t);
    return m.bytes.size();
}

}  // namespace

int main() {
    Plugin pl;
    if (!pl.ok) {
        std::fprintf(stderr, "graphicsplugin did not load\n");
        return 1;
    }
    REALpicture pic = newPicture(kW, kH, 4);
    auto *pd = data<PictureData>(reinterpret_cast<REALobject>(pic));
    imaging::PixMapInfo pm;
    imaging::GetGWorldPixMap(imaging::GWorldRef(reinterpret_cast<uintptr_t>(pd->data)), &pm);

    const char *ex = "QTGraphicsExporterPlyx";
    auto open = reinterpret_cast<void (*)(REALobject, REALstring)>(pl.method(ex, "OpenExporter(type as string)"));
    auto exportToString = reinterpret_cast<REALstring (*)(REALobject)>(pl.method(ex, "ExportToString as string"));
    auto setInput = reinterpret_cast<void (*)(REALobject, intptr_t, REALpicture)>(pl.property(ex, "InputPicture")->setter);
    REALstring tiff = str("TIFF");

    size_t pluginBytes = 0, directBytes = 0;
    auto t0 = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
        REALobject obj = newObject(ex);
        open(obj, tiff);
        setInput(obj, 0, pic);
        REALstring s = exportToString(obj);
        pluginBytes += text(s).size();
        release(s);
        release(obj);
    }
    auto t1 = Clock::now();
    for (int i = 0; i < kFrames; ++i) directBytes += libtiffFrame(pm.baseAddr, pm.rowBytes);
    auto t2 = Clock::now();

    double plugin = ms(t0, t1), direct = ms(t1, t2);
    std::printf("%d frames %dx%d to TIFF\n", kFrames, kW, kH);
    std::printf("  plug-in (ExportToString): %8.1f ms  %6.2f ms/frame  %zu bytes/frame\n", plugin, plugin / kFrames, pluginBytes / kFrames);
    std::printf("  libtiff directly:         %8.1f ms  %6.2f ms/frame  %zu bytes/frame\n", direct, direct / kFrames, directBytes / kFrames);
    std::printf("  ratio plug-in / libtiff:  %.2f\n", plugin / direct);

    if (access("/usr/bin/ffmpeg", X_OK) == 0) {
        char dir[] = "/tmp/exportbenchXXXXXX";
        if (mkdtemp(dir)) {
            std::string raw = std::string(dir) + "/frame.rgb";
            FILE *f = std::fopen(raw.c_str(), "wb");
            std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x)
                    std::memcpy(&rgb[(size_t(y) * kW + x) * 3], pm.baseAddr + size_t(y) * pm.rowBytes + x * 4 + 1, 3);
            for (int i = 0; i < kFrames; ++i) std::fwrite(rgb.data(), 1, rgb.size(), f);
            std::fclose(f);
            std::string cmd = "/usr/bin/ffmpeg -loglevel error -y -f rawvideo -pix_fmt rgb24 -s " + std::to_string(kW) + "x" +
                              std::to_string(kH) + " -i " + raw + " -c:v tiff -compression_algo raw " + dir + "/f%03d.tif";
            auto t3 = Clock::now();
            int rc = std::system(cmd.c_str());
            auto t4 = Clock::now();
            double ff = ms(t3, t4);
            if (rc == 0) std::printf("  ffmpeg (files):           %8.1f ms  ratio plug-in / ffmpeg: %.2f\n", ff, plugin / ff);
            std::system((std::string("rm -rf ") + dir).c_str());
        }
    } else {
        std::printf("  ffmpeg: not installed, skipped\n");
    }
    release(tiff);
    release(reinterpret_cast<REALobject>(pic));
    return 0;
}
