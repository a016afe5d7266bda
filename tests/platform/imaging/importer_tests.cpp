// The platform importer below the plug-in: pages, geometry state across new
// data, the description's extensions, URLs through the host's fetcher,
// window ports, and an importer closed from its own progress procedure.
#include "imaging/importer.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace imaging;

namespace {

// A TIFF in a handle, made by the exporter from a world of one colour.
Handle tiffOf(int32_t w, int32_t h, uint8_t red) {
    Rect r{0, 0, h, w};
    GWorldRef world = 0;
    EXPECT_EQ(NewGWorld(&world, 24, &r, 0), noErr);
    PixMapInfo pm{};
    GetGWorldPixMap(world, &pm);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) pm.baseAddr[size_t(y) * pm.rowBytes + x * 4 + 1] = red;
    ComponentInstance ex = 0;
    OpenADefaultComponent(GraphicsExporterComponentType, FourCC("TIFF"), &ex);
    GraphicsExportSetInputGWorld(ex, world);
    Handle out = NewEmptyHandle();
    GraphicsExportSetOutputHandle(ex, out);
    EXPECT_EQ(GraphicsExportDoExport(ex, nullptr), noErr);
    CloseComponent(ex);
    DisposeGWorld(world);
    return out;
}

ComponentInstance importerFor(Handle data) {
    ComponentInstance ci = 0;
    EXPECT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
    EXPECT_EQ(GraphicsImportSetDataHandle(ci, data), noErr);
    return ci;
}

uint32_t redAt(GWorldRef world, int32_t x, int32_t y) {
    PixMapInfo pm{};
    GetGWorldPixMap(world, &pm);
    return pm.baseAddr[size_t(y) * pm.rowBytes + x * 4 + 1];
}

}  // namespace

TEST(Importer, NewDataForgetsTheGeometryOfTheOld) {
    Handle a = tiffOf(20, 10, 200), b = tiffOf(8, 4, 100);
    ComponentInstance ci = importerFor(a);
    Rect r{1, 2, 5, 12};
    EXPECT_EQ(GraphicsImportSetSourceRect(ci, &r), noErr);
    Rect bounds{0, 0, 40, 40};
    EXPECT_EQ(GraphicsImportSetBoundsRect(ci, &bounds), noErr);
    EXPECT_EQ(GraphicsImportSetDataHandle(ci, b), noErr);
    Rect now;
    EXPECT_EQ(GraphicsImportGetSourceRect(ci, &now), noErr);
    EXPECT_EQ(now.right, 8);
    EXPECT_EQ(GraphicsImportGetBoundsRect(ci, &now), noErr);
    EXPECT_EQ(now.bottom, 4) << "identity again";
    const Rect empty{3, 3, 3, 3};
    EXPECT_EQ(GraphicsImportSetSourceRect(ci, &empty), paramErr);
    EXPECT_EQ(GraphicsImportSetBoundsRect(ci, &empty), paramErr);
    CloseComponent(ci);
    DisposeHandle(a);
    DisposeHandle(b);
}

TEST(Importer, SourceRectangleDrawsPartOfTheImageAtTheBounds) {
    Handle a = tiffOf(20, 10, 200);
    ComponentInstance ci = importerFor(a);
    Rect part{0, 0, 5, 5};
    GraphicsImportSetSourceRect(ci, &part);
    Rect at{0, 10, 10, 20};  // 5x5 scaled to 10x10
    GraphicsImportSetBoundsRect(ci, &at);
    Rect wr{0, 0, 12, 24};
    GWorldRef world = 0;
    ASSERT_EQ(NewGWorld(&world, 32, &wr, 0), noErr);
    ASSERT_EQ(GraphicsImportSetGWorld(ci, world), noErr);
    ASSERT_EQ(GraphicsImportDraw(ci), noErr);
    EXPECT_EQ(redAt(world, 9, 5), 0xFFu) << "white: left of the bounds";
    EXPECT_EQ(redAt(world, 10, 0), 200u);
    EXPECT_EQ(redAt(world, 19, 9), 200u);
    EXPECT_EQ(redAt(world, 20, 5), 0xFFu);
    EXPECT_EQ(redAt(world, 15, 10), 0xFFu);
    DisposeGWorld(world);
    EXPECT_EQ(GraphicsImportDraw(ci), paramErr) << "its world is gone";
    CloseComponent(ci);
    DisposeHandle(a);
}

namespace {
ComponentInstance gClosing = 0;
int gCalls = 0;
OSErr closeOnUpdate(int16_t message, Fixed, void *) {
    ++gCalls;
    if (message == codecProgressUpdatePercent && gClosing) {
        CloseComponent(gClosing);
        gClosing = 0;
    }
    return noErr;
}
}  // namespace

TEST(Importer, ClosedFromItsOwnProgressProcedure) {
    Handle a = tiffOf(64, 64, 50);
    ComponentInstance ci = importerFor(a);
    ICMProgressProcRecord rec{closeOnUpdate, nullptr};
    GraphicsImportSetProgressProc(ci, &rec);
    Rect wr{0, 0, 64, 64};
    GWorldRef world = 0;
    NewGWorld(&world, 32, &wr, 0);
    GraphicsImportSetGWorld(ci, world);
    gClosing = ci;
    EXPECT_EQ(GraphicsImportDraw(ci), noErr);
    EXPECT_GT(gCalls, 2);
    EXPECT_FALSE(ComponentInstanceExists(ci));
    EXPECT_EQ(GraphicsImportDraw(ci), badComponentInstance);
    DisposeGWorld(world);
    DisposeHandle(a);
}

namespace {
std::string gFetched;
OSErr fetch(const char *url, Handle *out) {
    gFetched = url;
    if (std::strstr(url, "missing")) return fnfErr;
    Handle t = tiffOf(3, 2, 9);
    *out = t;
    return noErr;
}
}  // namespace

TEST(Importer, URLsGoToTheHostsFetcher) {
    auto open = [](const std::string &url, ComponentInstance *ci) {
        Handle ref = nullptr;
        PtrToHand(url.data(), &ref, url.size());
        OSErr e = GetGraphicsImporterForDataRef(ref, URLDataHandlerSubType, ci);
        DisposeHandle(ref);  // the importer keeps no reference to the URL
        return e;
    };
    ComponentInstance ci = 0;
    SetURLFetcher(nullptr);
    EXPECT_EQ(open("http://127.0.0.1/x.tif", &ci), cantFindHandler);
    SetURLFetcher(fetch);
    ASSERT_EQ(open("http://127.0.0.1/x.tif", &ci), noErr);
    EXPECT_EQ(gFetched, "http://127.0.0.1/x.tif");
    Rect r;
    EXPECT_EQ(GraphicsImportGetNaturalBounds(ci, &r), noErr);
    EXPECT_EQ(r.right, 3);
    FSSpec spec;
    EXPECT_EQ(GraphicsImportGetDataFile(ci, &spec), fnfErr) << "no file behind a fetched page";
    CloseComponent(ci);
    EXPECT_EQ(open("http://127.0.0.1/missing.tif", &ci), fnfErr);
    EXPECT_EQ(open("", &ci), paramErr);
    EXPECT_EQ(open("file://otherhost/x.tif", &ci), paramErr);
    EXPECT_EQ(open("file:///x%00y.tif", &ci), paramErr) << "no NUL smuggled into a path";
    SetURLFetcher(nullptr);
}

TEST(Importer, DescriptionCarriesTheProfilesColourSpace) {
    // A TIFF with a profile whose data colour space is 'GRAY'.
    std::vector<uint8_t> icc(132, 0);
    std::memcpy(icc.data() + 16, "GRAY", 4);
    char name[] = "/tmp/importericcXXXXXX";
    int fd = mkstemp(name);
    close(fd);
    TIFF *tif = TIFFOpen(name, "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 100.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 100.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
    TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.data());
    uint8_t row[2] = {1, 2};
    TIFFWriteScanline(tif, row, 0, 0);
    TIFFWriteScanline(tif, row, 1, 0);
    TIFFClose(tif);
    FSSpec spec{};
    std::snprintf(spec.path, sizeof spec.path, "%s", name);
    ComponentInstance ci = 0;
    ASSERT_EQ(GetGraphicsImporterForFile(&spec, &ci), noErr);
    ImageDescriptionHandle desc = nullptr;
    ASSERT_EQ(GraphicsImportGetImageDescription(ci, &desc), noErr);
    ASSERT_EQ(GetHandleSize(desc), sizeof(ImageDescription) + 12);
    ImageDescription d;
    std::memcpy(&d, HandleData(desc), sizeof d);
    EXPECT_EQ(d.idSize, int32_t(sizeof d + 12));
    EXPECT_EQ(d.depth, 8);
    EXPECT_EQ(d.hRes, 254 << 16) << "100 per cm is 254 per inch";
    EXPECT_EQ(std::memcmp(HandleData(desc) + sizeof d,
                          "\0\0\0\x0c"
                          "cpscGRAY",
                          12),
              0);
    DisposeHandle(desc);
    Handle profile = nullptr;
    EXPECT_EQ(GraphicsImportGetColorSyncProfile(ci, &profile), noErr);
    EXPECT_EQ(GetHandleSize(profile), icc.size());
    DisposeHandle(profile);
    CloseComponent(ci);
    std::remove(name);
}

namespace {
GWorldRef gPort = 0;
GWorldRef gDrawn = 0;
GWorldRef portOf(void *window) { return window == &gPort ? gPort : 0; }
void drawn(GWorldRef world) { gDrawn = world; }
}  // namespace

TEST(Importer, WindowPortsComeFromTheHost) {
    EXPECT_EQ(GetWindowPort(&gPort), 0u) << "no provider yet";
    Rect wr{0, 0, 4, 4};
    NewGWorld(&gPort, 32, &wr, 0);
    SetWindowPortProvider(portOf);
    SetPortDrawnHook(drawn);
    EXPECT_EQ(GetWindowPort(&gPort), gPort);
    EXPECT_EQ(GetWindowPort(nullptr), 0u);
    Handle a = tiffOf(2, 2, 77);
    ComponentInstance ci = importerFor(a);
    GraphicsImportSetGWorld(ci, GetWindowPort(&gPort));
    EXPECT_EQ(GraphicsImportDraw(ci), noErr);
    EXPECT_EQ(gDrawn, gPort);
    EXPECT_EQ(redAt(gPort, 1, 1), 77u);
    CloseComponent(ci);
    DisposeHandle(a);
    SetWindowPortProvider(nullptr);
    SetPortDrawnHook(nullptr);
    DisposeGWorld(gPort);
}
