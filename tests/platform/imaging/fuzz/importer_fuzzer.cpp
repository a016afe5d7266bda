// libFuzzer target: any bytes handed to an importer as its data (the path
// of the plug-in's OpenData), then everything the importer answers about
// them, a draw into a small world, and every page.
#include <imaging/imaging.h>
#include <imaging/importer.h>

#include <cstddef>
#include <cstdint>

using namespace imaging;

namespace {

// Drawing decodes the whole image; the fuzzing budget goes further when the
// images it decodes stay small (the size limits themselves are tested apart).
constexpr int64_t kMaxDrawnPixels = 4 << 20;

void askEverything(ComponentInstance ci, GWorldRef world) {
    Rect r{};  // left as it is when the importer refuses the data
    bool drawable =
        GraphicsImportGetNaturalBounds(ci, &r) == noErr && int64_t(RectWidth(r)) * RectHeight(r) <= kMaxDrawnPixels;
    if (GraphicsImportGetBoundsRect(ci, &r) != noErr) r = Rect{};
    Rect half{r.top, r.left, int32_t(r.top + int64_t(RectHeight(r)) / 2 + 1),
              int32_t(r.left + int64_t(RectWidth(r)) / 2 + 1)};
    GraphicsImportSetBoundsRect(ci, &half);
    ImageDescriptionHandle desc = nullptr;
    GraphicsImportGetImageDescription(ci, &desc);
    DisposeHandle(desc);
    UserData ud = nullptr;
    if (NewUserData(&ud) == noErr) GraphicsImportGetMetaData(ci, ud);
    DisposeUserData(ud);
    Handle profile = nullptr;
    GraphicsImportGetColorSyncProfile(ci, &profile);
    DisposeHandle(profile);
    if (!drawable) return;
    bool valid = false;
    GraphicsImportValidate(ci, &valid);
    GraphicsImportSetGWorld(ci, world);
    GraphicsImportDraw(ci);
    MatrixRecord m;
    SetIdentityMatrix(&m);
    RotateMatrix(&m, 30 << 16, 4 << 16, 4 << 16);
    GraphicsImportSetMatrix(ci, &m);
    GraphicsImportDraw(ci);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Handle h = nullptr;
    if (PtrToHand(data, &h, size) != noErr) return 0;
    ComponentInstance ci = 0;
    if (OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci) == noErr) {
        GraphicsImportSetDataHandle(ci, h);
        Rect bounds{0, 0, 32, 32};
        GWorldRef world = 0;
        NewGWorld(&world, 32, &bounds, 0);
        askEverything(ci, world);
        uint32_t count = 0;
        if (GraphicsImportGetImageCount(ci, &count) == noErr)
            for (uint32_t i = 2; i <= count && i <= 4; ++i)
                if (GraphicsImportSetImageIndex(ci, i) == noErr) askEverything(ci, world);
        DisposeGWorld(world);
        CloseComponent(ci);
    }
    DisposeHandle(h);
    return 0;
}
