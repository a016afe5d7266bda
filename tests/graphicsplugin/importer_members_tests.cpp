// Members of the graphics importer class that a plug-in author reaches for
// and nothing else here calls: Close, the File setter, Flags and Quality,
// the rectangle objects, the MetaData object, the image description's
// fields, the progress modes, and the component lists without a component.
#include "importer_host.h"

#include <string>

namespace {

using namespace importer_host;

// An IntegerRectPlyx (the grabber plug-in's class) of top, bottom, left, right.
rb::ObjRef integerRect(int32_t top, int32_t bottom, int32_t left, int32_t right) {
    rb::ObjRef r = rb::make("IntegerRectPlyx");
    rb::setDirect<int32_t>(r.get(), 0, top);
    rb::setDirect<int32_t>(r.get(), 4, bottom);
    rb::setDirect<int32_t>(r.get(), 8, left);
    rb::setDirect<int32_t>(r.get(), 12, right);
    return r;
}

// Top, bottom, left, right of an IntegerRectPlyx.
std::array<int32_t, 4> sides(REALobject r) {
    return {rb::direct<int32_t>(r, 0), rb::direct<int32_t>(r, 4), rb::direct<int32_t>(r, 8),
            rb::direct<int32_t>(r, 12)};
}

class ImporterMembers : public ImporterHost {
protected:
    rb::ObjRef rectObject(const char *member) {
        return rb::call(imLike<"NaturalBounds as object">(member), importer.get());
    }
    void setRectObject(const char *member, const rb::ObjRef &r) {
        rb::call(imLike<"SourceBounds as object.Set">(member), importer.get(), r);
    }
    int32_t number(const char *member) { return rb::call(imLike<"ImageCount as integer">(member), importer.get()); }
    // An object form set, then read back through the object and the four
    // integer properties of the same rectangle ("DestRect", "SourceRect").
    void setAndReadBack(const char *bounds, const char *props, std::array<int32_t, 4> tblr) {
        SCOPED_TRACE(bounds);
        setRectObject((std::string(bounds) + " as object.Set").c_str(),
                      integerRect(tblr[0], tblr[1], tblr[2], tblr[3]));
        EXPECT_EQ(lastError(importer.get()), 0);
        auto side = [&](const char *name) { return get((std::string(props) + name).c_str()); };
        EXPECT_EQ((std::array<int32_t, 4>{side("Top"), side("Top") + side("Height"), side("Left"),
                                          side("Left") + side("Width")}),
                  tblr);
        EXPECT_EQ(sides(rectObject((std::string(bounds) + " as object").c_str()).get()), tblr);
    }
};

TEST_F(ImporterMembers, CloseLetsGoOfTheImageAndItCanBeOpenedAgain) {
    std::string tiff = exportAs("TIFF", patternPicture(20, 10).get());
    openData(tiff, "TIFF");
    ASSERT_NE(handleOf(importer.get()), 0u);
    rb::call(im<"Close">(), importer.get());
    EXPECT_EQ(handleOf(importer.get()), 0u);
    EXPECT_EQ(number("ImageCount as integer"), -1);
    EXPECT_EQ(lastError(importer.get()), -1);
    EXPECT_FALSE(rb::call(im<"MakePicHandle as picture">(), importer.get()));
    rb::call(im<"Close">(), importer.get());  // nothing left to close
    EXPECT_EQ(handleOf(importer.get()), 0u);
    openData(tiff, "TIFF");
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 20);
}

// The importer stays the one its first file chose (a TIFF importer here),
// and reads the new file with it.
TEST_F(ImporterMembers, TheFileSetterReadsAnotherFile) {
    std::string tiffPath = dir.file("first.tif"), secondPath = dir.file("second.tif");
    writeBytes(tiffPath, exportAs("TIFF", patternPicture(12, 8).get()));
    writeBytes(secondPath, exportAs("TIFF", patternPicture(9, 4).get()));
    openFile(tiffPath);
    ASSERT_EQ(lastError(importer.get()), 0);
    auto setFile = im<"File as folderitem.Set">();
    rb::call(setFile, importer.get(), folderItem(secondPath));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 9);
    EXPECT_EQ(get("NaturalBoundsHeight"), 4);
    rb::ObjRef file = rb::call(im<"File as folderitem">(), importer.get());
    ASSERT_TRUE(file);
    EXPECT_EQ(stringProp(file.get(), "AbsolutePath"), secondPath);

    rb::call(setFile, importer.get(), folderItem(dir.file("missing.tif")));
    EXPECT_EQ(lastError(importer.get()), imaging::fnfErr);
    EXPECT_EQ(get("NaturalBoundsWidth"), 9) << "a file that is not there changes nothing";
    rb::call(setFile, importer.get(), rb::ObjRef());
    EXPECT_EQ(lastError(importer.get()), -1) << "no folder item, no call";
}

TEST_F(ImporterMembers, QualityAndFlagsAreKeptPerImporter) {
    openData(exportAs("PNGf", patternPicture(4, 4).get()), "PNGf");
    EXPECT_EQ(number("Quality as integer"), 0x200) << "normal quality";
    EXPECT_EQ(lastError(importer.get()), 0);
    auto setQuality = im<"Quality as integer.Set">();
    rb::call(setQuality, importer.get(), int32_t(0x300));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(number("Quality as integer"), 0x300);
    rb::call(setQuality, importer.get(), int32_t(5000));
    EXPECT_EQ(number("Quality as integer"), 0x400) << "lossless is the most";
    rb::call(setQuality, importer.get(), int32_t(-7));
    EXPECT_EQ(number("Quality as integer"), 0);

    EXPECT_EQ(number("Flags as integer"), 0);
    rb::call(im<"Flags as integer.Set">(), importer.get(), int32_t(3));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(number("Flags as integer"), 3);
    rb::ObjRef other = rb::make("QTGraphicsImporterPlyx");
    rb::call(im<"OpenData(data as string, datatype as string)">(), other.get(),
             rb::String(exportAs("PNGf", patternPicture(4, 4).get()), 0xFFFF), rb::String("PNGf"));
    EXPECT_EQ(rb::call(im<"Flags as integer">(), other.get()), 0) << "another importer has its own";
}

TEST_F(ImporterMembers, RectangleObjects) {
    rb::ObjRef src = patternPicture(20, 10);
    openData(exportAs("TIFF", src.get()), "TIFF");
    rb::ObjRef natural = rectObject("NaturalBounds as object");
    ASSERT_TRUE(natural);
    EXPECT_EQ(sides(natural.get()), (std::array<int32_t, 4>{0, 10, 0, 20}));
    rb::ObjRef defaultSource = rectObject("DefaultSourceBounds as object");
    ASSERT_TRUE(defaultSource);
    EXPECT_EQ(sides(defaultSource.get()), (std::array<int32_t, 4>{0, 10, 0, 20}));

    // The destination: where the whole image is drawn.
    setAndReadBack("DestBounds", "DestRect", {5, 15, 10, 30});
    rb::ObjRef made = rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(),
                               int32_t(40), int32_t(20));
    ASSERT_TRUE(made);
    EXPECT_EQ(rb::pixel(made.get(), 10, 5), rb::pixel(src.get(), 0, 0));
    EXPECT_EQ(rb::pixel(made.get(), 29, 14), rb::pixel(src.get(), 19, 9));
    EXPECT_EQ(rb::pixel(made.get(), 9, 5), 0xFFFFFFu);

    // The source: the part of the image drawn.
    setAndReadBack("SourceBounds", "SourceRect", {2, 6, 4, 12});
    EXPECT_EQ(sides(rectObject("DefaultSourceBounds as object").get()), (std::array<int32_t, 4>{0, 10, 0, 20}))
        << "the default source stays the whole image";

    setRectObject("SourceBounds as object.Set", rb::ObjRef());
    EXPECT_EQ(lastError(importer.get()), -1) << "no rectangle, nothing set";
    EXPECT_EQ(get("SourceRectWidth"), 8);
}

TEST_F(ImporterMembers, MetaDataIsAUserDataObjectThatOwnsItsItems) {
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String("TIFF"));
    // '©nam' "frame one" and '©cpy' "us" as flattened user data.
    std::string items = std::string("\0\0\0\x11\xA9nam", 8) + "frame one" +
                        std::string(
                            "\0\0\0\x0A\xA9"
                            "cpy",
                            8) +
                        "us";
    rb::call(tavrin::lookupEntry<"QTGraphicsExporterPlyx.MetaDataString as string.Set">(), e.get(),
             rb::String(items, 0xFFFF));
    rb::setProp(ex<"InputPicture.Set">(), e.get(), patternPicture(4, 4));
    openData(rb::call(ex<"ExportToString as string">(), e.get()).str(), "TIFF");

    rb::ObjRef meta = rb::call(im<"MetaData as object">(), importer.get());
    EXPECT_EQ(lastError(importer.get()), 0);
    ASSERT_TRUE(meta);
    EXPECT_EQ(rb::direct<uint32_t>(meta.get(), 0), 0x51545544u) << "tagged 'QTUD'";
    EXPECT_EQ(rb::direct<uint32_t>(meta.get(), 4), 1u) << "it owns the user data";
    // The user data reference follows the three 32-bit words, at a
    // pointer's alignment.
    constexpr size_t kReference = (12 + alignof(void *) - 1) / alignof(void *) * alignof(void *);
    auto ud = rb::direct<imaging::UserData>(meta.get(), kReference);
    ASSERT_NE(ud, nullptr);
    imaging::Handle h = imaging::NewEmptyHandle();
    ASSERT_EQ(imaging::GetUserData(ud, h, 0xA96E616D, 1), imaging::noErr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(imaging::HandleData(h)), imaging::GetHandleSize(h)),
              "frame one");
    ASSERT_EQ(imaging::GetUserData(ud, h, 0xA9637079, 1), imaging::noErr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(imaging::HandleData(h)), imaging::GetHandleSize(h)), "us");
    imaging::DisposeHandle(h);

    rb::call(im<"Close">(), importer.get());
    EXPECT_FALSE(rb::call(im<"MetaData as object">(), importer.get()));
    EXPECT_EQ(lastError(importer.get()), -1);
}

TEST_F(ImporterMembers, ImageDescriptionFields) {
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String("TIFF"));
    rb::call(ex<"SetResolution(h as double, v as double)">(), e.get(), 300.0, 150.0);
    rb::setProp(ex<"InputPicture.Set">(), e.get(), patternPicture(6, 5));
    openData(rb::call(ex<"ExportToString as string">(), e.get()).str(), "TIFF");
    rb::ObjRef desc = description();
    ASSERT_TRUE(desc);
    EXPECT_EQ(stringProp(desc.get(), "Vendor"), "tavr");
    EXPECT_EQ(intProp(desc.get(), "Version"), 0);
    EXPECT_EQ(intProp(desc.get(), "RevisionLevel"), 0);
    EXPECT_EQ(intProp(desc.get(), "TemporalQuality"), 0);
    EXPECT_EQ(intProp(desc.get(), "SpatialQuality"), 0x200);
    EXPECT_EQ(intProp(desc.get(), "FrameCount"), 1);
    EXPECT_DOUBLE_EQ(std::get<double>(rb::getPropValue(desc.get(), "HorizontalResolution")), 300.0);
    EXPECT_DOUBLE_EQ(std::get<double>(rb::getPropValue(desc.get(), "VerticalResolution")), 150.0);
    // The resolutions are the object's own to change.
    rb::setPropValue(desc.get(), "VerticalResolution", 96.0);
    EXPECT_DOUBLE_EQ(std::get<double>(rb::getPropValue(desc.get(), "VerticalResolution")), 96.0);
    EXPECT_DOUBLE_EQ(std::get<double>(rb::getPropValue(description().get(), "VerticalResolution")), 150.0);
}

// ---- progress modes ----------------------------------------------------------------------

class ProgressModes : public ImporterMembers {
protected:
    static int events;
    void SetUp() override {
        events = 0;
        rb::ClassInfo *sub = rb::findClass("ModeImporter");
        if (!sub) {
            sub = rb::defineSubclass("ModeImporter", rb::findClass("QTGraphicsImporterPlyx"));
            rb::setEventHandlers(sub, {reinterpret_cast<void *>(+[](REALobject) { ++events; }),
                                       reinterpret_cast<void *>(+[](REALobject, double) -> RBBoolean {
                                           ++events;
                                           return false;
                                       }),
                                       reinterpret_cast<void *>(+[](REALobject) { ++events; })});
        }
        obj = rb::make("ModeImporter");
        rb::call(im<"OpenData(data as string, datatype as string)">(), obj.get(),
                 rb::String(exportAs("TIFF", patternPicture(32, 32).get()), 0xFFFF), rb::String("TIFF"));
        world = rb::call(im<"MakeGWorld(width as integer, height as integer) as integer">(), obj.get(), int32_t(32),
                         int32_t(32));
        ASSERT_NE(world, 0);
        events = 0;
    }
    void TearDown() override { imaging::DisposeGWorld(imaging::GWorldRef(world)); }
    void setMode(int32_t mode) { rb::setProp(im<"Progress.Set">(), obj.get(), mode); }
    // The events of one DrawGWorld.
    int draw() {
        events = 0;
        rb::call(im<"DrawGWorld(GWorldHandle as integer)">(), obj.get(), world);
        EXPECT_EQ(lastError(obj.get()), 0);
        return events;
    }
    rb::ObjRef obj;
    int32_t world = 0;
};
int ProgressModes::events = 0;

TEST_F(ProgressModes, NoneLeaveAndEvents) {
    EXPECT_EQ(draw(), 0) << "mode 0: no progress";
    setMode(2);
    EXPECT_GT(draw(), 2) << "open, updates, close";
    setMode(1);
    EXPECT_GT(draw(), 2) << "mode 1 leaves the procedure as it was";
    setMode(0);
    EXPECT_EQ(draw(), 0) << "mode 0 removes it";
    setMode(1);
    EXPECT_EQ(draw(), 0) << "and mode 1 leaves it removed";
    EXPECT_EQ(rb::direct<int32_t>(obj.get(), 0), 1) << "the host reads the mode at byte 0";
}

TEST_F(ProgressModes, ThreeRaisesTheEventsToo) {
    // Its yield to the host on every message is counted in plugin_tests.
    setMode(3);
    EXPECT_GT(draw(), 2);
    EXPECT_EQ(rb::direct<int32_t>(obj.get(), 0), 3);
}

// ---- without a component ------------------------------------------------------------------

TEST_F(ImporterMembers, ComponentListsFollowTheClassesShape) {
    for (const char *member : {"FileTypes as string", "FileExtensions as string"}) {
        SCOPED_TRACE(member);
        rb::String none = rb::call(imLike<"FileTypes as string">(member), importer.get());
        EXPECT_FALSE(none.get()) << "no component, no list";
        EXPECT_EQ(lastError(importer.get()), -1);
    }
    openData(exportAs("BMPf", patternPicture(3, 3).get()), "BMPf");
    EXPECT_EQ(rb::call(im<"FileTypes as string">(), importer.get()).str(), "TIFFJPEGPNGfBMPf");
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(rb::call(im<"FileExtensions as string">(), importer.get()).str(), "tif jpg png bmp ");
    EXPECT_EQ(lastError(importer.get()), 0);
}

}  // namespace
