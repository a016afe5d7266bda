// The graphics plug-in loaded into a stand-in host: registration records,
// the exporter class, the global functions and the faults they guard against.
#include "binding/entrypoints.h"
#include "plugin_host.h"
#include "fingerprint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <cstring>

using namespace fake;

namespace {

constexpr const char *kEx = "QTGraphicsExporterPlyx";

// Exporter members by declaration text, called as the host would.
struct Exporter {
    const Plugin &pl;
    REALobject obj;
    explicit Exporter(const Plugin &p) : pl(p), obj(newObject(kEx)) {}
    ~Exporter() { release(obj); }
    template <typename R, typename... A> R call(const char *decl, A... args) {
        auto fn = reinterpret_cast<R (*)(REALobject, A...)>(pl.method(kEx, decl));
        EXPECT_NE(fn, nullptr) << decl;
        return fn(obj, args...);
    }
    template <typename R> R get(const char *prop) {
        auto fn = reinterpret_cast<R (*)(REALobject, intptr_t)>(pl.property(kEx, prop)->getter);
        return fn(obj, 0);
    }
    template <typename T> void set(const char *prop, T value) {
        auto fn = reinterpret_cast<void (*)(REALobject, intptr_t, T)>(pl.property(kEx, prop)->setter);
        fn(obj, 0, value);
    }
    int32_t direct(const char *prop) {
        return *reinterpret_cast<int32_t *>(reinterpret_cast<char *>(obj) + 24 + pl.property(kEx, prop)->param);
    }
    int32_t lastError() { return direct("Lasterror"); }
    void open(const char *type) {
        REALstring s = str(type);
        call<void>("OpenExporter(type as string)", s);
        release(s);
    }
    std::string exportToString() {
        REALstring s = call<REALstring>("ExportToString as string");
        std::string out = s ? text(s) : std::string();
        release(s);
        return out;
    }
};

// A TIFF in memory, read back with libtiff.
void expectTiffOf(const std::string &bytes, REALpicture pic) {
    char name[] = "/tmp/gptestXXXXXX";
    int fd = mkstemp(name);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    close(fd);
    TIFFSetErrorHandler(nullptr);
    TIFF *tif = TIFFOpen(name, "r");
    ASSERT_NE(tif, nullptr);
    auto *pd = data<PictureData>(reinterpret_cast<REALobject>(pic));
    uint32_t w = 0, h = 0;
    uint16_t spp = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    EXPECT_EQ(w, uint32_t(pd->width));
    EXPECT_EQ(h, uint32_t(pd->height));
    EXPECT_EQ(spp, 3);
    std::vector<uint8_t> row(TIFFScanlineSize(tif));
    int bad = 0;
    for (uint32_t y = 0; y < h; ++y) {
        TIFFReadScanline(tif, row.data(), y, 0);
        for (uint32_t x = 0; x < w; ++x)
            bad += row[x * 3] != uint8_t(x + y) || row[x * 3 + 1] != uint8_t(x * 7) || row[x * 3 + 2] != uint8_t(y * 3);
    }
    EXPECT_EQ(bad, 0);
    TIFFClose(tif);
    std::remove(name);
}

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
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

}  // namespace

TEST_F(PluginTest, RegistersRecordsWithTheBindingTexts) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    ASSERT_TRUE(pl.ok);
    EXPECT_EQ(host().announcedVersion, 9);
    REALclassDefinition *ex = pl.cls(kEx);
    ASSERT_NE(ex, nullptr);
    EXPECT_EQ(ex->version, 9u);
    EXPECT_EQ(ex->superName, nullptr);
    EXPECT_EQ(ex->propertyCount, 18u);
    EXPECT_EQ(ex->methodCount, 23u);
    EXPECT_EQ(ex->eventCount, 3u);
    EXPECT_STREQ(ex->events[1].declaration, "ProgressUpdatePercent(percent as double) as boolean");
    EXPECT_EQ(bindingTexts(ex, false), listedTexts(kEx));
    EXPECT_EQ(bindingTexts(ex, false).size(), 55u);
    // Direct-access fields at their fixed places.
    EXPECT_EQ(pl.property(kEx, "Progress")->param, 0);
    EXPECT_EQ(pl.property(kEx, "Handle")->param, 4);
    EXPECT_EQ(pl.property(kEx, "Lasterror")->param, 8);
    EXPECT_STREQ(pl.property(kEx, "OutputFile")->type, "Folderitem");

    ASSERT_EQ(host().extensions.size(), 1u);
    EXPECT_STREQ(host().extensions[0]->name, "MemoryBlock");
    EXPECT_STREQ(host().extensions[0]->methods[0].declaration, kExtensionTexts[0]);
    std::vector<std::string> globals;
    for (auto *m : host().globals) globals.push_back(m->declaration);
    EXPECT_EQ(globals, std::vector<std::string>(std::begin(kGlobalTexts), std::end(kGlobalTexts)));
    // The declarations are an outside contract: pinned byte for byte.
    std::string all = std::string(host().extensions[0]->methods[0].declaration) + "\n";
    for (const std::string &g : globals) all += g + "\n";
    EXPECT_EQ(testsupport::fingerprint(all), 0x23580f9dd02354dull) << all;
}

TEST_F(PluginTest, ImporterClassesRegisterInOrderWithTheApplicationsTexts) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    ASSERT_TRUE(pl.ok);
    std::vector<std::string> order;
    for (auto *c : host().classes) order.push_back(c->name);
    EXPECT_EQ(order, (std::vector<std::string>{"QTGraphicsImporterMatrixPlyx", "QTGraphicsImporterPlyx",
                                               "QTGraphicsExporterPlyx", "QTGraphicsImporterImageDescriptionPlyx"}));
    REALclassDefinition *im = pl.cls("QTGraphicsImporterPlyx");
    ASSERT_NE(im, nullptr);
    EXPECT_EQ(im->propertyCount, 23u);
    EXPECT_EQ(im->methodCount, 34u);
    EXPECT_EQ(im->eventCount, 3u);
    EXPECT_EQ(pl.property("QTGraphicsImporterPlyx", "Progress")->param, 0);
    EXPECT_EQ(pl.property("QTGraphicsImporterPlyx", "Handle")->param, 4);
    EXPECT_EQ(pl.property("QTGraphicsImporterPlyx", "Lasterror")->param, 8);
    EXPECT_EQ(bindingTexts(im, false), listedTexts("QTGraphicsImporterPlyx"));
    REALclassDefinition *mx = pl.cls("QTGraphicsImporterMatrixPlyx");
    ASSERT_NE(mx, nullptr);
    EXPECT_EQ(mx->dataSize, 36u) << "nine 32-bit values";
    EXPECT_EQ(mx->constructor, nullptr);
    EXPECT_EQ(bindingTexts(mx, false), listedTexts("QTGraphicsImporterMatrixPlyx"));
    REALclassDefinition *id = pl.cls("QTGraphicsImporterImageDescriptionPlyx");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->propertyCount, 14u);
    EXPECT_EQ(bindingTexts(id, false), listedTexts("QTGraphicsImporterImageDescriptionPlyx"));
    // Strings are pointers here: their slots are pointer-sized, in the documented order.
    auto at = [&](const char *name) { return pl.property("QTGraphicsImporterImageDescriptionPlyx", name)->param; };
    EXPECT_EQ(at("CodecType"), 0);
    EXPECT_EQ(at("Version"), intptr_t(sizeof(void *)));
    EXPECT_LT(at("Vendor"), at("TemporalQuality"));
    EXPECT_LT(at("Depth"), at("CodecName"));
    EXPECT_EQ(at("ColorSpace"), at("CodecName") + intptr_t(sizeof(void *)));
    EXPECT_EQ(at("ColorSpace") % intptr_t(alignof(void *)), 0);
}

TEST_F(PluginTest, OldHostsGetShortMethodRecords) {
    for (bool hasVersion : {true, false}) {
        reset();
        host().version = 5.8;
        host().hasVersion = hasVersion;
        Plugin pl(GRAPHICSPLUGIN_PATH);
        ASSERT_TRUE(pl.ok);
        REALclassDefinition *ex = pl.cls(kEx);
        ASSERT_TRUE(host().shortRecords[0]);
        EXPECT_EQ(bindingTexts(ex, true), listedTexts(kEx));
        auto *m = reinterpret_cast<const REALmethodDefinitionShort *>(host().extensions[0]->methods);
        EXPECT_STREQ(m[0].declaration, kExtensionTexts[0]);
    }
}

TEST_F(PluginTest, WithoutAComponentEveryMemberIsEmptyWithMinusOne) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    Exporter ex(pl);
    EXPECT_EQ(ex.lastError(), 0);  // fresh data is zero
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(ex.call<RBInteger>("Export as integer"), 0);
    EXPECT_EQ(ex.get<RBInteger>("Depth"), 0);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(ex.get<double>("HorizontalResolution"), 0.0);
    EXPECT_EQ(ex.call<REALstring>("GetDefaultMacType as string"), nullptr);
    EXPECT_EQ(ex.call<REALobject>("MetaData as object"), nullptr);
    EXPECT_FALSE(ex.call<RBBoolean>("CanExif as boolean"));
    EXPECT_EQ(ex.lastError(), -1);
    REALpicture pic = newPicture(4, 4, 4);
    ex.set("InputPicture", pic);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(refs(reinterpret_cast<REALobject>(pic)), 1);  // not held
    release(reinterpret_cast<REALobject>(pic));
}

TEST_F(PluginTest, OpenExporterStatusesAndCodecList) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    Exporter ex(pl);
    ex.open("GIFf");
    EXPECT_EQ(ex.lastError(), -9405);
    EXPECT_EQ(ex.direct("Handle"), 0);
    ex.call<void>("OpenExporter(type as string)", REALstring(nullptr));  // no text: JPEG
    EXPECT_EQ(ex.lastError(), 0);
    REALstring ext = ex.call<REALstring>("GetDefaultFileNameExtension as string");
    EXPECT_EQ(text(ext), "jpg");
    release(ext);
    ex.open("TIFF");
    EXPECT_NE(ex.direct("Handle"), 0);
    REALstring type = ex.call<REALstring>("GetDefaultMacType as string");
    EXPECT_EQ(text(type), "TIFF");
    EXPECT_EQ(encoding(type), 0x0600u);
    release(type);
    REALstring codecs = ex.call<REALstring>("CodecList as string");
    EXPECT_EQ(text(codecs), "TIFFJPEGPNGfBMPf");
    EXPECT_EQ(ex.lastError(), 0);  // CodecList leaves it alone
    release(codecs);

    // Short and high-bit codes.
    REALstring t = str("TI"), c =
                                  str("\xA9"
                                      "ab",
                                      0);
    ex.call<void>("SetOutputFileTypeAndCreator(type as string, creator as string)", t, c);
    REALstring outType = ex.call<REALstring>("GetOutputMacType as string");
    REALstring outCreator = ex.call<REALstring>("GetOutputMacCreator as string");
    EXPECT_EQ(text(outType), "TI  ");
    EXPECT_EQ(text(outCreator),
              "\xA9"
              "ab ");
    EXPECT_EQ(encoding(outCreator), 0u);
    for (REALstring s : {t, c, outType, outCreator}) release(s);
    ex.call<void>("Close");
    EXPECT_EQ(ex.direct("Handle"), 0);
}

TEST_F(PluginTest, ExportsTiffOfBothPictureKinds) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    for (uint32_t kind : {4u, 1u})
        for (auto [w, h] : {std::pair{720, 480}, {1, 1}, {37, 5}}) {
            Exporter ex(pl);
            ex.open("TIFF");
            REALpicture pic = newPicture(w, h, kind);
            ex.set("InputPicture", pic);
            EXPECT_EQ(ex.lastError(), 0);
            EXPECT_EQ(refs(reinterpret_cast<REALobject>(pic)), 2);  // held
            std::string bytes = ex.exportToString();
            ASSERT_EQ(ex.lastError(), 0);
            expectTiffOf(bytes, pic);
            release(reinterpret_cast<REALobject>(pic));
        }
    EXPECT_EQ(host().liveObjects, 0);
}

// One full-size frame of each picture kind, byte for byte as the plug-in
// exported it before its output was sized up front and copied fewer times.
TEST_F(PluginTest, ExportToStringGivesTheSameBytesAsBefore) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    for (uint32_t kind : {4u, 1u}) {
        Exporter ex(pl);
        ex.open("TIFF");
        REALpicture pic = newPicture(720, 480, kind);
        ex.set("InputPicture", pic);
        std::string bytes = ex.exportToString();
        ASSERT_EQ(ex.lastError(), 0) << kind;
        EXPECT_EQ(bytes.size(), 1037964u) << kind;
        EXPECT_EQ(testsupport::fingerprint(bytes), 0x8bee577532a71dbeull) << kind;
        release(reinterpret_cast<REALobject>(pic));
    }
    // The same pixels as packed 24-bit rows, as the save pass hands a frame over.
    std::vector<uint8_t> rows;  // outlives the exporter that holds the picture over it
    Exporter ex(pl);
    ex.open("TIFF");
    REALpicture packed = newPackedPicture(720, 480, rows);
    ex.set("InputPicture", packed);
    std::string bytes = ex.exportToString();
    ASSERT_EQ(ex.lastError(), 0);
    EXPECT_EQ(bytes.size(), 1037964u);
    EXPECT_EQ(testsupport::fingerprint(bytes), 0x8bee577532a71dbeull);
    release(reinterpret_cast<REALobject>(packed));
}

TEST_F(PluginTest, OtherPictureKindsAreNotTaken) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    Exporter ex(pl);
    ex.open("TIFF");
    REALpicture odd = newPicture(4, 4, 7);
    ex.set("InputPicture", odd);
    EXPECT_EQ(ex.lastError(), -1);
    EXPECT_EQ(ex.get<REALpicture>("InputPicture"), nullptr);
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_NE(ex.lastError(), 0);
    release(reinterpret_cast<REALobject>(odd));
}

TEST_F(PluginTest, ReplacingTheInputNeverLeavesTheComponentOnAFreedPicture) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    for (uint32_t kind : {1u, 4u}) {
        Exporter ex(pl);
        ex.open("TIFF");
        REALpicture pic = newPicture(16, 16, kind);
        ex.set("InputPicture", pic);
        release(reinterpret_cast<REALobject>(pic));  // the exporter's is the last reference
        REALpicture odd = newPicture(4, 4, 9);
        ex.set("InputPicture", odd);  // frees the first picture and its pixels
        release(reinterpret_cast<REALobject>(odd));
        EXPECT_EQ(ex.exportToString(), "");
        EXPECT_EQ(ex.lastError(), imaging::paramErr);  // no input, not a read of freed memory
    }
    EXPECT_EQ(host().liveObjects, 0);
}

TEST_F(PluginTest, ProgressEventsCancelAndYield) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    REALclassDefinition *def = pl.cls(kEx);
    static std::vector<std::string> seen;
    static bool cancel;
    seen.clear();
    cancel = false;
    host().handlers[def->events[0].forSystemUse] =
        reinterpret_cast<void *>(+[](REALobject) { seen.push_back("open"); });
    host().handlers[def->events[1].forSystemUse] = reinterpret_cast<void *>(+[](REALobject, double pct) -> RBBoolean {
        seen.push_back(pct > 0 && pct <= 1 ? "update" : "bad");
        return cancel;
    });
    host().handlers[def->events[2].forSystemUse] =
        reinterpret_cast<void *>(+[](REALobject) { seen.push_back("close"); });
    Exporter ex(pl);  // handlers are resolved at construction
    ex.open("PNGf");
    REALpicture pic = newPicture(32, 32, 4);
    ex.set("InputPicture", pic);
    ex.set<RBInteger>("Progress", 2);
    EXPECT_EQ(ex.direct("Progress"), 2);
    EXPECT_NE(ex.exportToString(), "");
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front(), "open");
    EXPECT_EQ(seen[1], "update");
    EXPECT_EQ(seen.back(), "close");

    cancel = true;
    EXPECT_EQ(ex.exportToString(), "");
    EXPECT_EQ(ex.lastError(), -128);

    // Mode 3: host code runs inside the export and closes and reopens this
    // very exporter; the running export keeps its component.
    cancel = false;
    ex.set<RBInteger>("Progress", 3);
    int yields = 0;
    host().onYield = [&] {
        if (++yields == 2) {
            ex.call<void>("Close");
            ex.open("JPEG");
            EXPECT_EQ(ex.lastError(), imaging::fBsyErr);
            ex.set("InputPicture", REALpicture(nullptr));
            EXPECT_EQ(ex.lastError(), imaging::fBsyErr);
        }
    };
    std::string png = ex.exportToString();
    EXPECT_GT(yields, 2);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(ex.direct("Handle"), 0);  // the Close took effect afterwards
    EXPECT_EQ(refs(reinterpret_cast<REALobject>(pic)), 1);
    host().onYield = nullptr;
    release(reinterpret_cast<REALobject>(pic));
}

// The importer in progress mode 3 yields to the host on every progress
// message of a drawing, and raises the events as in mode 2, which does not.
TEST_F(PluginTest, ImporterProgressModeThreeYieldsOnEveryMessage) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    constexpr const char *kIm = "QTGraphicsImporterPlyx";
    REALclassDefinition *def = pl.cls(kIm);
    static int events;
    events = 0;
    for (int i = 0; i < 3; ++i) host().handlers[def->events[i].forSystemUse] = nullptr;
    host().handlers[def->events[0].forSystemUse] = reinterpret_cast<void *>(+[](REALobject) { ++events; });
    host().handlers[def->events[1].forSystemUse] = reinterpret_cast<void *>(+[](REALobject, double) -> RBBoolean {
        ++events;
        return false;
    });
    host().handlers[def->events[2].forSystemUse] = reinterpret_cast<void *>(+[](REALobject) { ++events; });
    std::string tiff;
    {
        Exporter ex(pl);
        ex.open("TIFF");
        REALpicture pic = newPicture(24, 24, 4);
        ex.set("InputPicture", pic);
        tiff = ex.exportToString();
        release(reinterpret_cast<REALobject>(pic));
    }
    REALobject im = newObject(kIm);  // handlers are resolved at construction
    REALstring bytes = str(tiff, 0xFFFF), type = str("TIFF");
    reinterpret_cast<void (*)(REALobject, REALstring, REALstring)>(
        pl.method(kIm, "OpenData(data as string, datatype as string)"))(im, bytes, type);
    release(bytes);
    release(type);
    auto setProgress =
        reinterpret_cast<void (*)(REALobject, intptr_t, RBInteger)>(pl.property(kIm, "Progress")->setter);
    auto makeGWorld = reinterpret_cast<RBInteger (*)(REALobject, RBInteger, RBInteger)>(
        pl.method(kIm, "MakeGWorld(width as integer, height as integer) as integer"));
    int yields = 0;
    host().onYield = [&] { ++yields; };
    for (RBInteger mode : {2, 3}) {
        SCOPED_TRACE(mode);
        setProgress(im, 0, mode);
        events = yields = 0;
        RBInteger world = makeGWorld(im, 24, 24);
        EXPECT_NE(world, 0);
        imaging::DisposeGWorld(imaging::GWorldRef(world));
        EXPECT_GT(events, 2) << "open, updates, close";
        EXPECT_EQ(yields, mode == 3 ? events : 0);
    }
    host().onYield = nullptr;
    release(im);
}

TEST_F(PluginTest, OptionalFunctionsPresentOrWithheld) {
    for (bool withheld : {false, true}) {
        reset();
        imaging::WithholdFunction(withheld ? "GraphicsExportSetExifEnabled" : nullptr);
        Plugin pl(GRAPHICSPLUGIN_PATH);
        Exporter jpeg(pl);
        jpeg.open("JPEG");
        EXPECT_EQ(jpeg.call<RBBoolean>("CanExif as boolean"), !withheld);
        jpeg.set<RBBoolean>("ExifEnabled", 1);
        EXPECT_EQ(jpeg.lastError(), withheld ? -1 : 0);
        EXPECT_EQ(jpeg.get<RBBoolean>("ExifEnabled"), 0 + !withheld);
        EXPECT_FALSE(jpeg.call<RBBoolean>("CanThumbnail as boolean"));
        jpeg.call<void>("SetThumbnail(enabled as boolean, maxwidth as integer, maxheight as integer)", RBBoolean(1), 64,
                        64);
        EXPECT_EQ(jpeg.lastError(), imaging::badComponentSelector);  // no format here carries one
        EXPECT_FALSE(jpeg.get<RBBoolean>("ThumbnailEnabled"));
        Exporter tiff(pl);
        tiff.open("TIFF");
        EXPECT_FALSE(tiff.call<RBBoolean>("CanExif as boolean"));
    }
    imaging::WithholdFunction(nullptr);
}

TEST_F(PluginTest, SettingsMetadataAndProfileRoundTrip) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    Exporter a(pl), b(pl);
    a.open("TIFF");
    b.open("TIFF");
    a.set<RBInteger>("Depth", 32);
    a.call<void>("SetResolution(h as double, v as double)", 300.0, 150.5);
    EXPECT_DOUBLE_EQ(a.get<double>("VerticalResolution"), 150.5);
    a.set<RBInteger>("Depth", 17);
    EXPECT_EQ(a.lastError(), imaging::paramErr);
    REALstring settings = a.call<REALstring>("Settings as string");
    reinterpret_cast<void (*)(REALobject, REALstring)>(pl.setter(kEx, "Settings as string"))(b.obj, settings);
    EXPECT_EQ(b.lastError(), 0);
    EXPECT_EQ(b.get<RBInteger>("Depth"), 32);
    EXPECT_DOUBLE_EQ(b.get<double>("HorizontalResolution"), 300.0);
    release(settings);

    // Metadata as an object and as a string.
    imaging::UserData ud;
    imaging::NewUserData(&ud);
    imaging::AddUserDataText(ud, "caption", 0xA9646573);
    REALobject holder = newObject("QTUserDataPlyx");
    data<UserDataData>(holder)->userData = ud;
    data<UserDataData>(holder)->owns = 1;
    auto setMeta = reinterpret_cast<void (*)(REALobject, REALobject)>(pl.setter(kEx, "MetaData as object"));
    setMeta(a.obj, holder);
    EXPECT_EQ(a.lastError(), 0);
    REALobject back = a.call<REALobject>("MetaData as object");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(className(back), "QTUserDataPlyx");
    EXPECT_EQ(imaging::CountUserDataType(data<UserDataData>(back)->userData, 0xA9646573), 1);
    REALstring flat = a.call<REALstring>("MetaDataString as string");
    EXPECT_EQ(encoding(flat), 0xFFFFu);
    reinterpret_cast<void (*)(REALobject, REALstring)>(pl.setter(kEx, "MetaDataString as string"))(b.obj, flat);
    EXPECT_EQ(b.lastError(), 0);
    release(flat);

    // An object of another class whose data happens to start with the tag
    // is not read as user data.
    REALobject impostor = newObject("Picture");
    data<UserDataData>(impostor)->tag = 0x51545544;
    data<UserDataData>(impostor)->userData = reinterpret_cast<imaging::UserData>(uintptr_t(0xBAD));
    setMeta(a.obj, impostor);
    EXPECT_EQ(a.lastError(), imaging::paramErr);
    data<PictureData>(impostor)->kind = 0;
    release(impostor);
    release(holder);
    release(back);

    REALstring profile = str(std::string("icc\0data", 8));
    reinterpret_cast<void (*)(REALobject, REALstring)>(pl.setter(kEx, "ColorSyncProfileData as string"))(a.obj,
                                                                                                         profile);
    REALstring p2 = a.call<REALstring>("ColorSyncProfileData as string");
    EXPECT_EQ(text(p2), std::string("icc\0data", 8));
    release(profile);
    release(p2);
    REALstring desc = a.call<REALstring>("SettingsAsText as string");
    EXPECT_NE(text(desc).find("depth 32"), std::string::npos);
    release(desc);
}

TEST_F(PluginTest, GlobalFunctions) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    auto toString = reinterpret_cast<REALstring (*)(REALpicture, REALstring, RBInteger, RBInteger)>(
        pl.global("PictureToStringPlyx(p as picture,codec as string,quality as integer,depth as integer) as string"));
    auto toFileString = reinterpret_cast<REALstring (*)(REALpicture, REALstring, RBInteger)>(
        pl.global("PictureToFileStringPlyx(p as picture, compressor as string, quality as integer) as string"));
    auto fromString = reinterpret_cast<REALpicture (*)(REALstring, REALstring, REALstring)>(
        pl.global("StringtoPicturePlyx(data as String, FileName as String, MimeType as String) as Picture"));
    auto byType = reinterpret_cast<REALpicture (*)(REALstring, REALstring)>(
        pl.global("StringtoPictureByOSTypePlyx(data as String, OSType as String) as Picture"));
    auto present = reinterpret_cast<RBBoolean (*)()>(pl.global("QuickTimePresentPlyx as boolean"));
    auto fromBlock = reinterpret_cast<REALpicture (*)(REALmemoryBlock, REALstring, REALstring)>(
        host().extensions[0]->methods[0].function);
    EXPECT_TRUE(present());

    REALpicture world = newPicture(30, 20, 4), handle = newPicture(30, 20, 1);
    EXPECT_EQ(toString(handle, nullptr, 512, 24), nullptr);  // not backed by a world
    EXPECT_EQ(toString(nullptr, nullptr, 512, 24), nullptr);
    REALstring jpeg = toString(world, nullptr, 512, 24);
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(text(jpeg).substr(0, 2), "\xFF\xD8");
    REALstring unknownCodec = str("zzzz");
    EXPECT_EQ(toString(world, unknownCodec, 512, 24), nullptr);

    REALstring pngType = str("PNGf"), tiffType = str("TIFF");
    REALstring png = toFileString(world, pngType, 512);
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(toFileString(handle, pngType, 512), nullptr);

    REALstring name = str("frame.png"), mime = str("image/png");
    REALpicture back = fromString(png, name, mime);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(data<PictureData>(reinterpret_cast<REALobject>(back))->width, 30);
    REALpicture typed = byType(png, pngType);
    EXPECT_NE(typed, nullptr);
    EXPECT_EQ(byType(png, tiffType), nullptr);  // wrong importer for the bytes
    REALpicture any = byType(png, nullptr);
    EXPECT_NE(any, nullptr);
    REALmemoryBlock block = newMemoryBlock(text(png));
    REALpicture fromMem = fromBlock(block, name, mime);
    EXPECT_NE(fromMem, nullptr);

    // Name or MIME texts longer than their one-byte length are refused.
    REALstring longName = str(std::string(256, 'n') + ".png");
    EXPECT_EQ(fromString(png, longName, mime), nullptr);
    REALstring longMime = str("image/" + std::string(300, 'x'));
    EXPECT_EQ(fromString(png, name, longMime), nullptr);
    REALstring exact = str(std::string(251, 'n') + ".png");
    REALpicture ok = fromString(png, exact, mime);
    EXPECT_NE(ok, nullptr);

    for (REALstring s : {jpeg, unknownCodec, pngType, tiffType, png, name, mime, longName, longMime, exact}) release(s);
    for (REALpicture p : {world, handle, back, typed, any, fromMem, ok}) release(reinterpret_cast<REALobject>(p));
    release(reinterpret_cast<REALobject>(block));
    EXPECT_EQ(host().liveObjects, 0);
    EXPECT_EQ(host().liveStrings, 0);
}

TEST_F(PluginTest, HostWithoutMoviesGetsNoPictures) {
    host().withheld.insert("REALenterMovies");
    Plugin pl(GRAPHICSPLUGIN_PATH);
    ASSERT_TRUE(pl.ok);
    auto present = reinterpret_cast<RBBoolean (*)()>(pl.global("QuickTimePresentPlyx as boolean"));
    auto fromString = reinterpret_cast<REALpicture (*)(REALstring, REALstring, REALstring)>(
        pl.global("StringtoPicturePlyx(data as String, FileName as String, MimeType as String) as Picture"));
    auto byType = reinterpret_cast<REALpicture (*)(REALstring, REALstring)>(
        pl.global("StringtoPictureByOSTypePlyx(data as String, OSType as String) as Picture"));
    auto fromBlock = reinterpret_cast<REALpicture (*)(REALmemoryBlock, REALstring, REALstring)>(
        host().extensions[0]->methods[0].function);
    EXPECT_FALSE(present());
    // Valid image bytes, so only the missing service stops them.
    Exporter ex(pl);
    ex.open("BMPf");
    REALpicture pic = newPicture(3, 3, 4);
    ex.set("InputPicture", pic);
    std::string bmp = ex.exportToString();
    ASSERT_FALSE(bmp.empty());
    REALstring data = str(bmp), type = str("BMPf");
    EXPECT_EQ(fromString(data, nullptr, nullptr), nullptr);
    EXPECT_EQ(byType(data, type), nullptr);
    REALmemoryBlock block = newMemoryBlock(bmp);
    EXPECT_EQ(fromBlock(block, nullptr, nullptr), nullptr);
    release(reinterpret_cast<REALobject>(block));
    release(data);
    release(type);
    release(reinterpret_cast<REALobject>(pic));
}

TEST_F(PluginTest, ResolutionsBeyondFixedPointAreRefusedNotConverted) {
    Plugin pl(GRAPHICSPLUGIN_PATH);
    Exporter a(pl);
    a.open("TIFF");
    a.call<void>("SetResolution(h as double, v as double)", 300.0, 150.0);
    for (double bad : {40000.0, -40000.0, 1e300, std::nan("")}) {
        SCOPED_TRACE(bad);
        a.call<void>("SetResolution(h as double, v as double)", bad, 72.0);
        EXPECT_EQ(a.lastError(), imaging::paramErr);
        a.call<void>("SetResolution(h as double, v as double)", 72.0, bad);
        EXPECT_EQ(a.lastError(), imaging::paramErr);
    }
    // The resolution set before is kept.
    EXPECT_DOUBLE_EQ(a.get<double>("HorizontalResolution"), 300.0);
    EXPECT_DOUBLE_EQ(a.get<double>("VerticalResolution"), 150.0);
}
