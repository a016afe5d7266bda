// Two figures for saving 720x480 frames as TIFF, each against the limit the
// machine sets:
//  1. 100 exports through the graphics plug-in (a new QTGraphicsExporterPlyx,
//     OpenExporter("TIFF"), InputPicture, ExportToString: the application's
//     sequence) in a stand-in host, against libtiff writing the same pixels
//     into a memory buffer sized once for the frame before encoding;
//  2. the application's whole save pass of 100 grabbed frames to TIFF files
//     (CaptureWindow::savefiles: export, temporary file, write, rename, type
//     and creator), against writing the same bytes to new files with plain
//     open/write/close calls.
// Prints the times and the ratios.
#include "plugin_host.h"
#include "savepass.h"

#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace fake;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kFrames = 100, kW = 720, kH = 480;

double ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// A memory buffer for libtiff, reserved once for the whole frame.
struct Mem {
    std::vector<uint8_t> bytes;
    size_t pos = 0;
};
tmsize_t rd(thandle_t, void *, tmsize_t) { return 0; }
tmsize_t wr(thandle_t h, void *buf, tmsize_t n) {
    auto *m = static_cast<Mem *>(h);
    auto *p = static_cast<const uint8_t *>(buf);
    if (m->pos == m->bytes.size()) {
        m->bytes.insert(m->bytes.end(), p, p + n);
    } else {
        if (m->pos + size_t(n) > m->bytes.size()) m->bytes.resize(m->pos + size_t(n));
        std::memcpy(m->bytes.data() + m->pos, p, size_t(n));
    }
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
    m.bytes.reserve(size_t(kW) * kH * 3 + 4096);  // the pixels and room for the header and tags
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

int exportFigure() {
    Plugin pl(GRAPHICSPLUGIN_PATH);
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

    auto pluginFrame = [&] {
        REALobject obj = newObject(ex);
        open(obj, tiff);
        setInput(obj, 0, pic);
        REALstring s = exportToString(obj);
        size_t n = s ? reinterpret_cast<FakeString *>(s)->bytes.size() : 0;  // the size, not a copy
        release(s);
        release(obj);
        return n;
    };
    // One untimed frame each first; then rounds of both in turn, the median
    // round of each counting, so that neither pays the other's start-up or
    // the other builders' bursts on a shared machine.
    pluginFrame();
    libtiffFrame(pm.baseAddr, pm.rowBytes);
    constexpr int kRounds = 5;
    std::vector<double> pluginTimes, directTimes;
    size_t pluginBytes = 0, directBytes = 0;
    for (int r = 0; r < kRounds; ++r) {
        pluginBytes = directBytes = 0;
        auto t0 = Clock::now();
        for (int i = 0; i < kFrames; ++i) pluginBytes += pluginFrame();
        auto t1 = Clock::now();
        for (int i = 0; i < kFrames; ++i) directBytes += libtiffFrame(pm.baseAddr, pm.rowBytes);
        auto t2 = Clock::now();
        pluginTimes.push_back(ms(t0, t1));
        directTimes.push_back(ms(t1, t2));
    }
    std::sort(pluginTimes.begin(), pluginTimes.end());
    std::sort(directTimes.begin(), directTimes.end());

    double plugin = pluginTimes[kRounds / 2], direct = directTimes[kRounds / 2];
    std::printf("export: %d frames %dx%d to TIFF in memory (median of %d rounds)\n", kFrames, kW, kH, kRounds);
    std::printf("  plug-in (ExportToString):      %8.1f ms  %6.3f ms/frame  %zu bytes/frame\n", plugin, plugin / kFrames,
                pluginBytes / kFrames);
    std::printf("  libtiff, buffer sized once:    %8.1f ms  %6.3f ms/frame  %zu bytes/frame\n", direct, direct / kFrames,
                directBytes / kFrames);
    std::printf("  ratio plug-in / libtiff:       %.2f\n", plugin / direct);
    release(tiff);
    release(reinterpret_cast<REALobject>(pic));
    return 0;
}

}  // namespace

int main() {
    // The save pass runs the real host in a process of its own, so the two
    // hosts never share the plug-in.
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        int rc = savePassFigure(kFrames);
        std::fflush(stdout);
        _exit(rc);
    }
    int status = 0;
    waitpid(child, &status, 0);
    int rc = exportFigure();
    return rc ? rc : WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
