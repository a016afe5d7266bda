// The graphics plug-in loaded into the host runtime: registration records,
// the exporter class, the global functions and the faults they guard
// against. The grabber plug-in is loaded beside it for the user data class
// its metadata members take.
#include "binding/entrypoints.h"
#include "calls_by_text.h"
#include "class_texts.h"
#include "fingerprint.h"
#include "fresh_process.h"
#include "run_until.h"

#include <rb/entrypoints.h>
#include <rb/host.h>
#include <rb/memory.h>
#include <rb/object.h>
#include <rb/picture.h>
#include <rb/plugins.h>
#include <rb/string.h>
#include <rb/thread.h>

#include <imaging/imaging.h>

#include <gtest/gtest.h>

#include <cmath>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr const char *kEx = "QTGraphicsExporterPlyx";
constexpr const char *kIm = "QTGraphicsImporterPlyx";

void loadPlugins() {
    for (const char *path : {GRAPHICSPLUGIN_PATH, GRABBERPLUGIN_PATH}) {
        rb::PluginLoad load = rb::loadPlugin(path);
        ASSERT_TRUE(load.ok) << load.error;
    }
}

// In a process of its own: the plug-ins are loaded for the first time, with
// the host as the test has set it up.
void loadFresh() {
    ASSERT_EQ(rb::findClass(kEx), nullptr) << "the plug-in was loaded before the host was set up";
    loadPlugins();
}

void *entry(const std::string &text) { return RuntimeLookupPluginEntrypoint(text.c_str()); }
void *global(const char *decl) { return rb::findGlobalMethod(decl); }

intptr_t paramOf(const char *cls, const char *prop) {
    const rb::PropertyInfo *p = rb::findProperty(rb::findClass(cls), prop);
    EXPECT_NE(p, nullptr) << prop;
    return p ? p->param : 0;
}

// The pattern the pictures here show, as ARGB words at (x, y).
uint8_t red(int32_t x, int32_t y) { return uint8_t(x + y); }
uint8_t green(int32_t x, int32_t) { return uint8_t(x * 7); }
uint8_t blue(int32_t, int32_t y) { return uint8_t(y * 3); }

// A picture of the host's: a world of w x h claiming 24 bits with the
// pattern, or (packed) the same pixels as packed R G B rows it holds.
rb::ObjRef picture(int32_t w, int32_t h, bool packed = false) {
    if (packed) {
        std::shared_ptr<uint8_t[]> rows(new uint8_t[size_t(w) * size_t(h) * 3]);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t *p = &rows[(size_t(y) * size_t(w) + size_t(x)) * 3];
                p[0] = red(x, y), p[1] = green(x, y), p[2] = blue(x, y);
            }
        return rb::newPictureOverRows(rows, w, h, w * 3);
    }
    rb::ObjRef pic = rb::newPicture(w, h, 24);
    imaging::PixMapInfo pm{};
    imaging::GetGWorldPixMap(rb::pictureWorld(pic.get()), &pm);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint8_t *p = pm.baseAddr + size_t(y) * pm.rowBytes + size_t(x) * 4;
            p[0] = 0xFF, p[1] = red(x, y), p[2] = green(x, y), p[3] = blue(x, y);
        }
    return pic;
}

// Exporter members by declaration text, called through the host's entry
// points.
struct Exporter {
    rb::ObjRef obj;
    explicit Exporter(const char *cls = kEx) : obj(rb::make(cls)) {}
    static void *member(const std::string &text) { return entry(std::string(kEx) + "." + text); }
    static std::string text(const std::string &member) { return std::string(kEx) + "." + member; }
    template <typename R = void, typename... A> R call(const char *decl, const A &...args) {
        return bytext::call<R>(text(decl), obj.get(), args...);
    }
    template <typename R> R get(const char *prop) { return bytext::getProp<R>(text(prop) + ".Get", obj.get()); }
    template <typename T> void set(const char *prop, const T &value) {
        bytext::setProp(text(prop) + ".Set", obj.get(), value);
    }
    template <typename T> void setMethodProperty(const char *decl, const T &value) {
        bytext::call(text(decl) + ".Set", obj.get(), value);
    }
    int32_t direct(const char *prop) { return rb::direct<int32_t>(obj.get(), paramOf(kEx, prop)); }
    int32_t lastError() { return direct("Lasterror"); }
    void open(const char *type) { call("OpenExporter(type as string)", rb::String(type)); }
    std::string exportToString() { return call<rb::String>("ExportToString as string").str(); }
};

// A TIFF in memory, read back with libtiff: w x h of the pattern.
void expectTiffOf(const std::string &bytes, int32_t w, int32_t h) {
    char name[] = "/tmp/gptestXXXXXX";
    int fd = mkstemp(name);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fd);
    TIFFSetErrorHandler(nullptr);
    TIFF *tif = TIFFOpen(name, "r");
    ASSERT_NE(tif, nullptr);
    uint32_t tw = 0, th = 0;
    uint16_t spp = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &th);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    EXPECT_EQ(tw, uint32_t(w));
    EXPECT_EQ(th, uint32_t(h));
    EXPECT_EQ(spp, 3);
    std::vector<uint8_t> row(TIFFScanlineSize(tif));
    int bad = 0;
    for (uint32_t y = 0; y < th; ++y) {
        TIFFReadScanline(tif, row.data(), y, 0);
        for (uint32_t x = 0; x < tw; ++x)
            bad += row[x * 3] != red(int32_t(x), int32_t(y)) || row[x * 3 + 1] != green(int32_t(x), int32_t(y)) ||
                   row[x * 3 + 2] != blue(int32_t(x), int32_t(y));
    }
    EXPECT_EQ(bad, 0);
    TIFFClose(tif);
    std::remove(name);
}

// Host code that runs each time a plug-in yields to the host: the body of a
// cooperative thread of the runtime's, which has its turn at each yield.
class AtEachYield {
public:
    explicit AtEachYield(std::function<void()> body) : body_(std::move(body)) {
        thread_ = rb::newThread([this](REALobject) {
            while (!done_) {
                ++yields;
                body_();
                rb::yield();
            }
        });
        rb::startThread(thread_.get());
    }
    ~AtEachYield() {
        done_ = true;
        EXPECT_TRUE(runUntil([&] { return rb::threadState(thread_.get()) == rb::ThreadState::Done; }, 1000ms));
    }
    int yields = 0;

private:
    std::function<void()> body_;
    bool done_ = false;
    rb::ObjRef thread_;
};

class GraphicsPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loadPlugins(); }
};

// The global functions and the MemoryBlock extension's method, as the
// plug-in's member table declares them.
#define PLUGIN_SECTION GRAPHICS_GLOBALS
const char *const kGlobalTexts[] = {
#define PLUGIN_GLOBAL(decl, fn) decl,
#include "graphicsplugin/members.def"
};
const char *const kExtensionTexts[] = {
#define PLUGIN_EXTENSION_METHOD(cls, decl, fn) decl,
#include "graphicsplugin/members.def"
};
#undef PLUGIN_SECTION

// The binding texts of one class in the application's list, in its order.
std::vector<std::string> listedTexts(const std::string &cls) {
    std::vector<std::string> texts;
    for (std::string_view text : tavrin::detail::kTexts)
        if (text.substr(0, cls.size() + 1) == cls + ".") texts.emplace_back(text);
    return texts;
}

const REALclassDefinition *record(const char *cls) {
    const rb::ClassInfo *c = rb::findClass(cls);
    return c ? c->def : nullptr;
}

}  // namespace

// The runtime refuses a record it cannot hold safely (a direct field outside
// the instance data, two fields over each other, a name taken) and says so
// on the standard error: every record of both plug-ins is taken.
TEST(GraphicsPluginRecords, TheRuntimeTakesEveryRecord) {
    if (!inFreshProcess()) return;
    ::testing::internal::CaptureStderr();
    loadFresh();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    for (const char *cls : {kEx, kIm, "QTGraphicsImporterMatrixPlyx", "QTGraphicsImporterImageDescriptionPlyx"})
        EXPECT_NE(record(cls), nullptr) << cls;
}

TEST_F(GraphicsPlugin, RegistersRecordsWithTheBindingTexts) {
    const REALclassDefinition *ex = record(kEx);
    ASSERT_NE(ex, nullptr);
    EXPECT_EQ(ex->version, 9u);
    EXPECT_EQ(ex->superName, nullptr);
    EXPECT_EQ(ex->propertyCount, 18u);
    EXPECT_EQ(ex->methodCount, 23u);
    EXPECT_EQ(ex->eventCount, 3u);
    EXPECT_STREQ(ex->events[1].declaration, "ProgressUpdatePercent(percent as double) as boolean");
    EXPECT_EQ(classTexts(kEx), listedTexts(kEx));
    EXPECT_EQ(classTexts(kEx).size(), 55u);
    for (const std::string &text : listedTexts(kEx)) EXPECT_FALSE(rb::isTrap(entry(text))) << text;
    // Direct-access fields at their fixed places.
    EXPECT_EQ(paramOf(kEx, "Progress"), 0);
    EXPECT_EQ(paramOf(kEx, "Handle"), 4);
    EXPECT_EQ(paramOf(kEx, "Lasterror"), 8);
    EXPECT_EQ(rb::findProperty(rb::findClass(kEx), "OutputFile")->type, "Folderitem");

    // The extension's method is the host's MemoryBlock's now, and each
    // global binds by its declaration.
    ASSERT_EQ(std::size(kExtensionTexts), 1u);
    EXPECT_NE(rb::findMethod(rb::memoryBlockClass(), kExtensionTexts[0]), nullptr);
    for (const char *g : kGlobalTexts) EXPECT_NE(global(g), nullptr) << g;
    // The declarations are an outside contract: pinned byte for byte.
    std::string all = std::string(kExtensionTexts[0]) + "\n";
    for (const char *g : kGlobalTexts) all += std::string(g) + "\n";
    EXPECT_EQ(testsupport::fingerprint(all), 0x23580f9dd02354dull) << all;
}

TEST_F(GraphicsPlugin, ImporterClassesRegisterWithTheApplicationsTexts) {
    const REALclassDefinition *im = record(kIm);
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(im->propertyCount, 23u);
    EXPECT_EQ(im->methodCount, 34u);
    EXPECT_EQ(im->eventCount, 3u);
    EXPECT_EQ(paramOf(kIm, "Progress"), 0);
    EXPECT_EQ(paramOf(kIm, "Handle"), 4);
    EXPECT_EQ(paramOf(kIm, "Lasterror"), 8);
    EXPECT_EQ(classTexts(kIm), listedTexts(kIm));
    const REALclassDefinition *mx = record("QTGraphicsImporterMatrixPlyx");
    ASSERT_NE(mx, nullptr);
    EXPECT_EQ(mx->dataSize, 36u) << "nine 32-bit values";
    EXPECT_EQ(mx->constructor, nullptr);
    EXPECT_EQ(classTexts("QTGraphicsImporterMatrixPlyx"), listedTexts("QTGraphicsImporterMatrixPlyx"));
    const char *kId = "QTGraphicsImporterImageDescriptionPlyx";
    const REALclassDefinition *id = record(kId);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->propertyCount, 14u);
    EXPECT_EQ(classTexts(kId), listedTexts(kId));
    // Strings are pointers here: their slots are pointer-sized, in the documented order.
    auto at = [&](const char *name) { return paramOf(kId, name); };
    EXPECT_EQ(at("CodecType"), 0);
    EXPECT_EQ(at("Version"), intptr_t(sizeof(void *)));
    EXPECT_LT(at("Vendor"), at("TemporalQuality"));
    EXPECT_LT(at("Depth"), at("CodecName"));
    EXPECT_EQ(at("ColorSpace"), at("CodecName") + intptr_t(sizeof(void *)));
    EXPECT_EQ(at("ColorSpace") % intptr_t(alignof(void *)), 0);
}

// An old host, told by its version or by having no version service: the
// short method records carry the same texts, and every one binds.
void expectShortRecordsBind() {
    loadFresh();
    for (const char *cls : {kEx, kIm, "QTGraphicsImporterMatrixPlyx"}) {
        EXPECT_EQ(classTexts(cls), listedTexts(cls)) << cls;
        for (const std::string &text : listedTexts(cls)) EXPECT_FALSE(rb::isTrap(entry(text))) << text;
    }
    EXPECT_NE(rb::findMethod(rb::memoryBlockClass(), kExtensionTexts[0]), nullptr);
    for (const char *g : kGlobalTexts) EXPECT_NE(global(g), nullptr) << g;
}

TEST(GraphicsPluginOnAnOldHost, ShortMethodRecordsByVersion) {
    if (!inFreshProcess()) return;
    rb::setHostVersion(5.8);
    expectShortRecordsBind();
}

TEST(GraphicsPluginOnAnOldHost, ShortMethodRecordsWithoutAVersion) {
    if (!inFreshProcess()) return;
    rb::withholdService("REALGetRBVersion");
    expectShortRecordsBind();
}

TEST_F(GraphicsPlugin, WithoutAComponentEveryMemberIsEmptyWithMinusOne) {
    Exporter ex;
    EXPECT_EQ(ex.lastError(), 0);  // fresh data is zero
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(ex.call<RBInteger>("Export as integer"), 0);
    EXPECT_EQ(ex.get<RBInteger>("Depth"), 0);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(ex.get<double>("HorizontalResolution"), 0.0);
    EXPECT_FALSE(ex.call<rb::String>("GetDefaultMacType as string"));
    EXPECT_FALSE(ex.call<rb::ObjRef>("MetaData as object"));
    EXPECT_FALSE(ex.call<bool>("CanExif as boolean"));
    EXPECT_EQ(ex.lastError(), -1);
    rb::ObjRef pic = picture(4, 4);
    ex.set("InputPicture", pic);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(rb::refCount(pic.get()), 1);  // not held
}

TEST_F(GraphicsPlugin, OpenExporterStatusesAndCodecList) {
    Exporter ex;
    ex.open("GIFf");
    EXPECT_EQ(ex.lastError(), -9405);
    EXPECT_EQ(ex.direct("Handle"), 0);
    ex.call("OpenExporter(type as string)", REALstring(nullptr));  // no text: JPEG
    EXPECT_EQ(ex.lastError(), 0);
    EXPECT_EQ(ex.call<rb::String>("GetDefaultFileNameExtension as string").str(), "jpg");
    ex.open("TIFF");
    EXPECT_NE(ex.direct("Handle"), 0);
    rb::String type = ex.call<rb::String>("GetDefaultMacType as string");
    EXPECT_EQ(type.str(), "TIFF");
    EXPECT_EQ(type.encoding(), 0x0600u);
    EXPECT_EQ(ex.call<rb::String>("CodecList as string").str(), "TIFFJPEGPNGfBMPf");
    EXPECT_EQ(ex.lastError(), 0);  // CodecList leaves it alone

    // Short and high-bit codes.
    ex.call("SetOutputFileTypeAndCreator(type as string, creator as string)", rb::String("TI"),
            rb::String("\xA9"
                       "ab",
                       0));
    EXPECT_EQ(ex.call<rb::String>("GetOutputMacType as string").str(), "TI  ");
    rb::String creator = ex.call<rb::String>("GetOutputMacCreator as string");
    EXPECT_EQ(creator.str(),
              "\xA9"
              "ab ");
    EXPECT_EQ(creator.encoding(), 0u);
    ex.call("Close");
    EXPECT_EQ(ex.direct("Handle"), 0);
}

// Both kinds of picture the host has: a world, and packed rows held
// elsewhere (as the save pass hands a frame over).
TEST_F(GraphicsPlugin, ExportsTiffOfBothPictureKinds) {
    for (bool packed : {false, true})
        for (auto [w, h] : {std::pair{720, 480}, {1, 1}, {37, 5}}) {
            SCOPED_TRACE(packed);
            Exporter ex;
            ex.open("TIFF");
            rb::ObjRef pic = picture(w, h, packed);
            ASSERT_TRUE(pic);
            ex.set("InputPicture", pic);
            EXPECT_EQ(ex.lastError(), 0);
            EXPECT_EQ(rb::refCount(pic.get()), 2);  // held
            std::string bytes = ex.exportToString();
            ASSERT_EQ(ex.lastError(), 0);
            expectTiffOf(bytes, w, h);
            ex = Exporter();
            EXPECT_EQ(rb::refCount(pic.get()), 1);  // let go with the exporter
        }
}

// One full-size frame of each picture kind, byte for byte as the plug-in
// exported it before its output was sized up front and copied fewer times.
TEST_F(GraphicsPlugin, ExportToStringGivesTheSameBytesAsBefore) {
    for (bool packed : {false, true}) {
        Exporter ex;
        ex.open("TIFF");
        ex.set("InputPicture", picture(720, 480, packed));
        std::string bytes = ex.exportToString();
        ASSERT_EQ(ex.lastError(), 0) << packed;
        EXPECT_EQ(bytes.size(), 1037964u) << packed;
        EXPECT_EQ(testsupport::fingerprint(bytes), 0x8bee577532a71dbeull) << packed;
    }
}

// A picture of the host's without pixels (made but never drawn) is neither
// kind the exporter takes.
TEST_F(GraphicsPlugin, APictureWithoutAWorldIsNotTaken) {
    Exporter ex;
    ex.open("TIFF");
    rb::ObjRef empty = rb::make("Picture");
    ASSERT_TRUE(empty);
    ex.set("InputPicture", empty);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_FALSE(ex.get<rb::ObjRef>("InputPicture"));
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_NE(ex.lastError(), 0);
}

TEST_F(GraphicsPlugin, ReplacingTheInputNeverLeavesTheComponentOnAFreedPicture) {
    for (bool packed : {false, true}) {
        Exporter ex;
        ex.open("TIFF");
        ex.set("InputPicture", picture(16, 16, packed));  // the exporter's is the last reference
        ex.set("InputPicture", rb::make("Picture"));      // frees the first picture and its pixels
        EXPECT_EQ(ex.exportToString(), "");
        EXPECT_EQ(ex.lastError(), imaging::paramErr);  // no input, not a read of freed memory
    }
}

// An application subclass of the exporter with its three progress events.
std::vector<std::string> gSeen;
bool gCancel = false;
void onOpen(REALobject) { gSeen.push_back("open"); }
RBBoolean onUpdate(REALobject, double pct) {
    gSeen.push_back(pct > 0 && pct <= 1 ? "update" : "bad");
    return gCancel;
}
void onClose(REALobject) { gSeen.push_back("close"); }

TEST_F(GraphicsPlugin, ProgressEventsCancelAndYield) {
    static rb::ClassInfo *sub = [] {
        rb::ClassInfo *c = rb::defineSubclass("ExporterWithProgress", rb::findClass(kEx));
        rb::setEventHandlers(c, {reinterpret_cast<void *>(onOpen), reinterpret_cast<void *>(onUpdate),
                                 reinterpret_cast<void *>(onClose)});
        return c;
    }();
    ASSERT_NE(sub, nullptr);
    gSeen.clear();
    gCancel = false;
    Exporter ex("ExporterWithProgress");  // handlers are resolved at construction
    ex.open("PNGf");
    rb::ObjRef pic = picture(32, 32);
    ex.set("InputPicture", pic);
    ex.set<RBInteger>("Progress", 2);
    EXPECT_EQ(ex.direct("Progress"), 2);
    EXPECT_NE(ex.exportToString(), "");
    ASSERT_GE(gSeen.size(), 3u);
    EXPECT_EQ(gSeen.front(), "open");
    EXPECT_EQ(gSeen[1], "update");
    EXPECT_EQ(gSeen.back(), "close");

    gCancel = true;
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_EQ(ex.lastError(), -128);

    // Mode 3: host code runs inside the export and closes and reopens this
    // very exporter; the running export keeps its component.
    gCancel = false;
    ex.set<RBInteger>("Progress", 3);
    std::string png;
    int yields = 0;
    {
        AtEachYield host([&] {
            if (++yields == 2) {
                ex.call("Close");
                ex.open("JPEG");
                EXPECT_EQ(ex.lastError(), imaging::fBsyErr);
                ex.set("InputPicture", REALobject(nullptr));
                EXPECT_EQ(ex.lastError(), imaging::fBsyErr);
            }
        });
        png = ex.exportToString();
    }
    EXPECT_GT(yields, 2);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(ex.direct("Handle"), 0);  // the Close took effect afterwards
    EXPECT_EQ(rb::refCount(pic.get()), 1);
}

// The importer in progress mode 3 yields to the host on every progress
// message of a drawing, and raises the events as in mode 2, which does not.
int gEvents = 0;
void countOpen(REALobject) { ++gEvents; }
RBBoolean countUpdate(REALobject, double) {
    ++gEvents;
    return false;
}

TEST_F(GraphicsPlugin, ImporterProgressModeThreeYieldsOnEveryMessage) {
    static rb::ClassInfo *sub = [] {
        rb::ClassInfo *c = rb::defineSubclass("ImporterWithProgress", rb::findClass(kIm));
        rb::setEventHandlers(c, {reinterpret_cast<void *>(countOpen), reinterpret_cast<void *>(countUpdate),
                                 reinterpret_cast<void *>(countOpen)});
        return c;
    }();
    ASSERT_NE(sub, nullptr);
    std::string tiff;
    {
        Exporter ex;
        ex.open("TIFF");
        ex.set("InputPicture", picture(24, 24));
        tiff = ex.exportToString();
    }
    rb::ObjRef im = rb::make("ImporterWithProgress");  // handlers are resolved at construction
    auto member = [](const char *text) { return std::string(kIm) + "." + text; };
    bytext::call(member("OpenData(data as string, datatype as string)"), im.get(), rb::String(tiff, 0xFFFF),
                 rb::String("TIFF"));
    for (RBInteger mode : {2, 3}) {
        SCOPED_TRACE(mode);
        bytext::setProp(member("Progress.Set"), im.get(), mode);
        gEvents = 0;
        int yields = 0;
        {
            AtEachYield host([&] { ++yields; });
            RBInteger world =
                bytext::call<RBInteger>(member("MakeGWorld(width as integer, height as integer) as integer"), im.get(),
                                        RBInteger(24), RBInteger(24));
            EXPECT_NE(world, 0);
            imaging::DisposeGWorld(imaging::GWorldRef(world));
        }
        EXPECT_GT(gEvents, 2) << "open, updates, close";
        EXPECT_EQ(yields, mode == 3 ? gEvents : 0);
    }
}

// Exif is an optional function of the image services, looked up as the
// plug-in registers.
void expectExif(bool present) {
    Exporter jpeg;
    jpeg.open("JPEG");
    EXPECT_EQ(jpeg.call<bool>("CanExif as boolean"), present);
    jpeg.set("ExifEnabled", true);
    EXPECT_EQ(jpeg.lastError(), present ? 0 : -1);
    EXPECT_EQ(jpeg.get<bool>("ExifEnabled"), present);
    EXPECT_FALSE(jpeg.call<bool>("CanThumbnail as boolean"));
    jpeg.call("SetThumbnail(enabled as boolean, maxwidth as integer, maxheight as integer)", true, RBInteger(64),
              RBInteger(64));
    EXPECT_EQ(jpeg.lastError(), imaging::badComponentSelector);  // no format here carries one
    EXPECT_FALSE(jpeg.get<bool>("ThumbnailEnabled"));
    Exporter tiff;
    tiff.open("TIFF");
    EXPECT_FALSE(tiff.call<bool>("CanExif as boolean"));
}

TEST_F(GraphicsPlugin, OptionalFunctionsPresent) { expectExif(true); }

TEST(GraphicsPluginWithoutExif, OptionalFunctionsWithheld) {
    if (!inFreshProcess()) return;
    imaging::WithholdFunction("GraphicsExportSetExifEnabled");
    loadFresh();
    expectExif(false);
    imaging::WithholdFunction(nullptr);
}

TEST_F(GraphicsPlugin, SettingsMetadataAndProfileRoundTrip) {
    Exporter a, b;
    a.open("TIFF");
    b.open("TIFF");
    a.set<RBInteger>("Depth", 32);
    a.call("SetResolution(h as double, v as double)", 300.0, 150.5);
    EXPECT_DOUBLE_EQ(a.get<double>("VerticalResolution"), 150.5);
    a.set<RBInteger>("Depth", 17);
    EXPECT_EQ(a.lastError(), imaging::paramErr);
    b.setMethodProperty("Settings as string", a.call<rb::String>("Settings as string"));
    EXPECT_EQ(b.lastError(), 0);
    EXPECT_EQ(b.get<RBInteger>("Depth"), 32);
    EXPECT_DOUBLE_EQ(b.get<double>("HorizontalResolution"), 300.0);

    // Metadata as an object (the grabber plug-in's holder) and as a string.
    struct Holder {
        uint32_t tag, owns, unused;
        imaging::UserData userData;
    };
    imaging::UserData ud;
    imaging::NewUserData(&ud);
    imaging::AddUserDataText(ud, "caption", 0xA9646573);
    rb::ObjRef holder = rb::make("QTUserDataPlyx");
    ASSERT_TRUE(holder);
    auto *h = static_cast<Holder *>(rb::classData(holder.get(), rb::findClass("QTUserDataPlyx")));
    h->userData = ud;
    h->owns = 1;
    a.setMethodProperty("MetaData as object", holder);
    EXPECT_EQ(a.lastError(), 0);
    rb::ObjRef back = a.call<rb::ObjRef>("MetaData as object");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->klass->name, "QTUserDataPlyx");
    auto *hb = static_cast<Holder *>(rb::classData(back.get(), rb::findClass("QTUserDataPlyx")));
    EXPECT_EQ(imaging::CountUserDataType(hb->userData, 0xA9646573), 1);
    rb::String flat = a.call<rb::String>("MetaDataString as string");
    EXPECT_EQ(flat.encoding(), 0xFFFFu);
    b.setMethodProperty("MetaDataString as string", flat);
    EXPECT_EQ(b.lastError(), 0);

    // An object of another class whose data happens to start with the tag
    // is not read as user data.
    static rb::ClassInfo *other = rb::defineClassRaw("TaggedLikeUserData", nullptr, sizeof(Holder), 8);
    ASSERT_NE(other, nullptr);
    rb::ObjRef impostor = rb::make(other);
    auto *fake = static_cast<Holder *>(rb::classData(impostor.get(), other));
    fake->tag = 0x51545544;
    fake->userData = reinterpret_cast<imaging::UserData>(uintptr_t(0xBAD));
    a.setMethodProperty("MetaData as object", impostor);
    EXPECT_EQ(a.lastError(), imaging::paramErr);

    a.setMethodProperty("ColorSyncProfileData as string", rb::String(std::string("icc\0data", 8)));
    EXPECT_EQ(a.call<rb::String>("ColorSyncProfileData as string").str(), std::string("icc\0data", 8));
    EXPECT_NE(a.call<rb::String>("SettingsAsText as string").str().find("depth 32"), std::string::npos);
}

const char *const kToString =
    "PictureToStringPlyx(p as picture,codec as string,quality as integer,depth as integer) as string";
const char *const kToFileString =
    "PictureToFileStringPlyx(p as picture, compressor as string, quality as integer) as string";
const char *const kFromString =
    "StringtoPicturePlyx(data as String, FileName as String, MimeType as String) as Picture";
const char *const kByType = "StringtoPictureByOSTypePlyx(data as String, OSType as String) as Picture";
const char *const kPresent = "QuickTimePresentPlyx as boolean";

rb::ObjRef fromBlock(const rb::ObjRef &block, const rb::String &name, const rb::String &mime) {
    return bytext::call<rb::ObjRef>(rb::findMethod(rb::memoryBlockClass(), kExtensionTexts[0]),
                                    std::string("MemoryBlock.") + kExtensionTexts[0], block.get(), name, mime);
}

TEST_F(GraphicsPlugin, GlobalFunctions) {
    EXPECT_TRUE(bytext::callGlobal<bool>(global(kPresent), kPresent));
    auto toString = [](const rb::ObjRef &p, const rb::String &codec) {
        return bytext::callGlobal<rb::String>(global(kToString), kToString, p, codec, RBInteger(512), RBInteger(24));
    };
    auto fromString = [](const rb::String &data, const rb::String &name, const rb::String &mime) {
        return bytext::callGlobal<rb::ObjRef>(global(kFromString), kFromString, data, name, mime);
    };
    auto byType = [](const rb::String &data, const rb::String &type) {
        return bytext::callGlobal<rb::ObjRef>(global(kByType), kByType, data, type);
    };

    rb::ObjRef world = picture(30, 20), empty = rb::make("Picture");
    EXPECT_FALSE(toString(empty, rb::String()));  // not backed by a world
    EXPECT_FALSE(toString(rb::ObjRef(), rb::String()));
    rb::String jpeg = toString(world, rb::String());
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg.str().substr(0, 2), "\xFF\xD8");
    EXPECT_FALSE(toString(world, rb::String("zzzz")));

    rb::String pngType("PNGf"), tiffType("TIFF");
    rb::String png =
        bytext::callGlobal<rb::String>(global(kToFileString), kToFileString, world, pngType, RBInteger(512));
    ASSERT_TRUE(png);
    EXPECT_FALSE(bytext::callGlobal<rb::String>(global(kToFileString), kToFileString, empty, pngType, RBInteger(512)));

    rb::String name("frame.png"), mime("image/png");
    rb::ObjRef back = fromString(png, name, mime);
    ASSERT_TRUE(back);
    EXPECT_EQ(rb::pictureWidth(back.get()), 30);
    EXPECT_EQ(rb::pixel(back.get(), 5, 3), uint32_t(red(5, 3)) << 16 | uint32_t(green(5, 3)) << 8 | blue(5, 3));
    EXPECT_TRUE(byType(png, pngType));
    EXPECT_FALSE(byType(png, tiffType));  // wrong importer for the bytes
    EXPECT_TRUE(byType(png, rb::String()));
    std::string bytes = png.str();
    rb::ObjRef block = rb::newMemoryBlock(reinterpret_cast<const uint8_t *>(bytes.data()), uint32_t(bytes.size()));
    EXPECT_TRUE(fromBlock(block, name, mime));

    // Name or MIME texts longer than their one-byte length are refused.
    EXPECT_FALSE(fromString(png, rb::String(std::string(256, 'n') + ".png"), mime));
    EXPECT_FALSE(fromString(png, name, rb::String("image/" + std::string(300, 'x'))));
    EXPECT_TRUE(fromString(png, rb::String(std::string(251, 'n') + ".png"), mime));
    EXPECT_EQ(rb::refCount(world.get()), 1);
    EXPECT_EQ(rb::refCount(block.get()), 1);
}

TEST(GraphicsPluginWithoutMovies, HostWithoutMoviesGetsNoPictures) {
    if (!inFreshProcess()) return;
    rb::withholdService("REALenterMovies");
    loadFresh();
    EXPECT_FALSE(bytext::callGlobal<bool>(global(kPresent), kPresent));
    // Valid image bytes, so only the missing service stops them.
    Exporter ex;
    ex.open("BMPf");
    ex.set("InputPicture", picture(3, 3));
    std::string bmp = ex.exportToString();
    ASSERT_FALSE(bmp.empty());
    rb::String data(bmp, 0xFFFF);
    EXPECT_FALSE(bytext::callGlobal<rb::ObjRef>(global(kFromString), kFromString, data, rb::String(), rb::String()));
    EXPECT_FALSE(bytext::callGlobal<rb::ObjRef>(global(kByType), kByType, data, rb::String("BMPf")));
    rb::ObjRef block = rb::newMemoryBlock(reinterpret_cast<const uint8_t *>(bmp.data()), uint32_t(bmp.size()));
    EXPECT_FALSE(fromBlock(block, rb::String(), rb::String()));
}

TEST_F(GraphicsPlugin, ResolutionsBeyondFixedPointAreRefusedNotConverted) {
    Exporter a;
    a.open("TIFF");
    a.call("SetResolution(h as double, v as double)", 300.0, 150.0);
    for (double bad : {40000.0, -40000.0, 1e300, std::nan("")}) {
        SCOPED_TRACE(bad);
        a.call("SetResolution(h as double, v as double)", bad, 72.0);
        EXPECT_EQ(a.lastError(), imaging::paramErr);
        a.call("SetResolution(h as double, v as double)", 72.0, bad);
        EXPECT_EQ(a.lastError(), imaging::paramErr);
    }
    // The resolution set before is kept.
    EXPECT_DOUBLE_EQ(a.get<double>("HorizontalResolution"), 300.0);
    EXPECT_DOUBLE_EQ(a.get<double>("VerticalResolution"), 150.0);
}
