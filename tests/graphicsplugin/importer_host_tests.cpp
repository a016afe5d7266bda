// The graphics importer, matrix and image description classes in the real
// host runtime, called through the entry-point table by their binding texts
// as the application would: round trips with the exporter, drawing, files,
// the members' edge cases and bad input.
#include "importer_host.h"
#include "loopback_server.h"

#include <tiffio.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace importer_host;

// ---- binding ---------------------------------------------------------------------------------

TEST_F(ImporterHost, NoImporterMatrixOrDescriptionTextIsATrap) {
    int checked = 0;
    for (std::string_view text : tavrin::detail::kTexts) {
        if (text.rfind("QTGraphicsImporter", 0) != 0) continue;
        EXPECT_FALSE(rb::isTrap(entry(std::string(text)))) << text;
        ++checked;
    }
    EXPECT_EQ(checked, 95);
}

// ---- round trips with the exporter ------------------------------------------------------------

TEST_F(ImporterHost, WhatTheExporterWritesOpensWithItsSizeAndDepth) {
    rb::ObjRef pic = patternPicture(37, 21);
    struct Case {
        const char *exporter, *importer;
        int depth;
        const char *codec;
    } cases[] = {{"TIFF", "TIFF", 24, "tiff"},
                 {"PNGf", "PNGf", 24, "png "},
                 {"JPEG", "JPEG", 24, "jpeg"},
                 {"BMPf", "BMPf", 24, "WRLE"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.exporter);
        std::string bytes = exportAs(c.exporter, pic.get());
        ASSERT_FALSE(bytes.empty());
        openData(bytes, c.importer);
        EXPECT_EQ(lastError(importer.get()), 0);
        EXPECT_NE(handleOf(importer.get()), 0u);
        EXPECT_EQ(get("NaturalBoundsWidth"), 37);
        EXPECT_EQ(get("NaturalBoundsHeight"), 21);
        EXPECT_EQ(get("NaturalBoundsLeft"), 0);
        EXPECT_EQ(get("NaturalBoundsTop"), 0);
        rb::ObjRef desc = description();
        ASSERT_TRUE(desc);
        EXPECT_EQ(intProp(desc.get(), "Depth"), c.depth);
        EXPECT_EQ(intProp(desc.get(), "Width"), 37);
        EXPECT_EQ(intProp(desc.get(), "Height"), 21);
        EXPECT_EQ(stringProp(desc.get(), "CodecType"), c.codec);
        EXPECT_EQ(stringProp(desc.get(), "ColorSpace"), "<none>") << "no profile, no colour space";
        EXPECT_TRUE(rb::call(im<"Validate as boolean">(), importer.get()));
    }
}

TEST_F(ImporterHost, DrawAndMakePictureGiveTheSamePixels) {
    rb::ObjRef src = patternPicture(40, 30);
    openData(exportAs("PNGf", src.get()), "PNGf");
    rb::ObjRef made = rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(),
                               int32_t(40), int32_t(30));
    ASSERT_TRUE(made);
    EXPECT_EQ(lastError(importer.get()), 0);
    rb::ObjRef target = rb::newPicture(40, 30, 24);
    rb::ObjRef g = rb::newPictureGraphics(target.get());
    rb::call(im<"Draw(g as graphics)">(), importer.get(), g);
    EXPECT_EQ(lastError(importer.get()), 0);
    int differ = 0, wrong = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            differ += rb::pixel(made.get(), x, y) != rb::pixel(target.get(), x, y);
            wrong += rb::pixel(made.get(), x, y) != rb::pixel(src.get(), x, y);
        }
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(wrong, 0) << "PNG is lossless";
    EXPECT_EQ(imaging::GetGWorld(), 0u) << "the current port is restored";

    // MakePicHandle gives the same image again.
    rb::ObjRef pic = rb::call(im<"MakePicHandle as picture">(), importer.get());
    ASSERT_TRUE(pic);
    EXPECT_EQ(rb::pixel(pic.get(), 17, 11), rb::pixel(src.get(), 17, 11));
}

TEST_F(ImporterHost, DrawingFollowsTheBoundsAndLeavesTheRestWhite) {
    rb::ObjRef src = patternPicture(20, 10);
    openData(exportAs("TIFF", src.get()), "TIFF");
    set("CurrentBoundsLeft", 5);  // left 5, right stays 20: squeezed to 15 wide
    EXPECT_EQ(get("CurrentBoundsWidth"), 15);
    set("CurrentBoundsWidth", 20);  // right := left + 20
    set("CurrentBoundsTop", 2);
    set("CurrentBoundsHeight", 10);
    EXPECT_EQ(get("CurrentBoundsLeft"), 5);
    EXPECT_EQ(get("CurrentBoundsTop"), 2);
    EXPECT_EQ(get("DestRectLeft"), 5);
    rb::ObjRef made = rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(),
                               int32_t(30), int32_t(14));
    ASSERT_TRUE(made);
    EXPECT_EQ(rb::pixel(made.get(), 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rb::pixel(made.get(), 4, 5), 0xFFFFFFu);
    EXPECT_EQ(rb::pixel(made.get(), 5, 2), rb::pixel(src.get(), 0, 0));
    EXPECT_EQ(rb::pixel(made.get(), 24, 11), rb::pixel(src.get(), 19, 9));
    EXPECT_EQ(rb::pixel(made.get(), 25, 11), 0xFFFFFFu);
}

TEST_F(ImporterHost, DrawWindowShowsTheImageOnTheWindow) {
    rb::ObjRef src = patternPicture(16, 12);
    openData(exportAs("TIFF", src.get()), "TIFF");
    rb::Window w("ImporterTestWindow", rb::WindowKind::Document, "importer", 80, 70);
    rb::call(im<"DrawWindow(win as window)">(), importer.get(), w.handle());
    EXPECT_EQ(lastError(importer.get()), 0);
    ASSERT_EQ(w.surface.pixels().size(), size_t(80 * 70));
    EXPECT_EQ(w.surface.pixels()[3 * 80 + 7], rb::pixel(src.get(), 7, 3));
    // Through a graphics object of the window as well.
    rb::ObjRef g = rb::newWindowGraphics(&w);
    set("CurrentBoundsWidth", 56);  // right 56 first, so that left 40 leaves 16
    set("CurrentBoundsLeft", 40);
    EXPECT_EQ(get("CurrentBoundsWidth"), 16);
    rb::call(im<"Draw(g as graphics)">(), importer.get(), g);
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(w.surface.pixels()[3 * 80 + 47], rb::pixel(src.get(), 7, 3));
    uint32_t port = rb::windowPort(&w);
    EXPECT_TRUE(imaging::GWorldExists(port));
    w.close();
    EXPECT_EQ(rb::windowPort(&w), 0u);
    EXPECT_FALSE(imaging::GWorldExists(port)) << "a closed window's world goes";
}

TEST_F(ImporterHost, SaveAsImageWritesATiffThatLibtiffReads) {
    rb::ObjRef src = patternPicture(33, 17);
    openData(exportAs("PNGf", src.get()), "PNGf");
    std::string out = dir.file("saved.tif");
    rb::call(im<"SaveAsImage(f as folderitem)">(), importer.get(), folderItem(out));
    EXPECT_EQ(lastError(importer.get()), 0);
    TIFFSetErrorHandler(nullptr);
    TIFF *tif = TIFFOpen(out.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    EXPECT_EQ(w, 33u);
    EXPECT_EQ(h, 17u);
    std::vector<uint32_t> raster(w * h);
    ASSERT_TRUE(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0));
    uint32_t px = raster[5 * w + 9], want = rb::pixel(src.get(), 9, 5);
    EXPECT_EQ(TIFFGetR(px), (want >> 16) & 0xFF);
    EXPECT_EQ(TIFFGetG(px), (want >> 8) & 0xFF);
    EXPECT_EQ(TIFFGetB(px), want & 0xFF);
    TIFFClose(tif);

    // SaveAsPicture writes our picture format, which opens as a picture handle.
    std::string picFile = dir.file("saved.pict");
    rb::call(im<"SaveAsPicture(f as folderitem)">(), importer.get(), folderItem(picFile));
    EXPECT_EQ(lastError(importer.get()), 0);
    std::string bytes = readBytes(picFile);
    imaging::Handle hnd = nullptr;
    imaging::PtrToHand(bytes.data(), &hnd, bytes.size());
    int32_t pw = 0, ph = 0;
    EXPECT_TRUE(imaging::GetPictureInfo(hnd, &pw, &ph, nullptr));
    EXPECT_EQ(pw, 33);
    imaging::DisposeHandle(hnd);
}

TEST_F(ImporterHost, OpenFileKeepsTheFileAndReadsItsMetadata) {
    rb::ObjRef src = patternPicture(12, 8);
    rb::ObjRef e;
    std::string path = dir.file("frame.tif");
    writeBytes(path, exportAs("TIFF", src.get(), &e));
    openFile(path);
    ASSERT_EQ(lastError(importer.get()), 0);
    rb::ObjRef file = rb::call(im<"File as folderitem">(), importer.get());
    ASSERT_TRUE(file);
    EXPECT_EQ(stringProp(file.get(), "AbsolutePath"), path);
    EXPECT_EQ(rb::call(im<"ImageCount as integer">(), importer.get()), 1);
    EXPECT_EQ(rb::call(im<"ImageIndex as integer">(), importer.get()), 1);
    rb::String types = rb::call(im<"FileTypes as string">(), importer.get());
    EXPECT_EQ(types.str(), "TIFFJPEGPNGfBMPf");
    rb::String exts = rb::call(im<"FileExtensions as string">(), importer.get());
    EXPECT_EQ(exts.str(), "tif jpg png bmp ");
    // Another file through the File setter.
    std::string other = dir.file("other.png");
    writeBytes(other, exportAs("PNGf", patternPicture(9, 4).get()));
    rb::ObjRef png = rb::make("QTGraphicsImporterPlyx");
    rb::call(im<"OpenFile(file as folderitem)">(), png.get(), folderItem(other));
    EXPECT_EQ(rb::getProp(im<"NaturalBoundsWidth.Get">(), png.get()), 9);
}

TEST_F(ImporterHost, MultiPageTiffCountsAndSelectsItsPages) {
    std::string path = dir.file("pages.tif");
    TIFF *tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    const int widths[] = {10, 20, 30};
    for (int page = 0; page < 3; ++page) {
        int w = widths[page], h = 5 + page;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page == 2 ? 1 : 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page == 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        std::vector<uint8_t> row(size_t(w) * 3, uint8_t(60 * page));
        for (int y = 0; y < h; ++y) TIFFWriteScanline(tif, row.data(), y, 0);
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    openFile(path);
    ASSERT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(rb::call(im<"ImageCount as integer">(), importer.get()), 3);
    EXPECT_EQ(get("NaturalBoundsWidth"), 10);
    rb::call(im<"ImageIndex as integer.Set">(), importer.get(), int32_t(3));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(rb::call(im<"ImageIndex as integer">(), importer.get()), 3);
    EXPECT_EQ(get("NaturalBoundsWidth"), 30);
    EXPECT_EQ(get("NaturalBoundsHeight"), 7);
    EXPECT_EQ(intProp(description().get(), "Depth"), 8);
    rb::ObjRef pic = rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(),
                              int32_t(30), int32_t(7));
    ASSERT_TRUE(pic);
    EXPECT_EQ(rb::pixel(pic.get(), 29, 6), 0x787878u);
    rb::ObjRef handlePic = rb::call(im<"MakePicHandle as picture">(), importer.get());
    ASSERT_TRUE(handlePic);
    EXPECT_EQ(rb::pictureWidth(handlePic.get()), 30) << "the current page, not the first";
    rb::call(im<"ImageIndex as integer.Set">(), importer.get(), int32_t(4));
    EXPECT_NE(lastError(importer.get()), 0) << "no fourth page";
    EXPECT_EQ(rb::call(im<"ImageIndex as integer">(), importer.get()), 3);
}

// ---- the members' edge cases ---------------------------------------------------------------------

TEST_F(ImporterHost, BoundsSettersMoveOneSide) {
    openData(exportAs("TIFF", patternPicture(50, 50).get()), "TIFF");
    rb::ObjRef r = rb::make("IntegerRectPlyx");
    ASSERT_TRUE(r) << "IntegerRectPlyx comes from the grabber plug-in";
    rb::setDirect<int32_t>(r.get(), 0, 0);    // top
    rb::setDirect<int32_t>(r.get(), 4, 50);   // bottom
    rb::setDirect<int32_t>(r.get(), 8, 10);   // left
    rb::setDirect<int32_t>(r.get(), 12, 60);  // right
    rb::call(tavrin::lookupEntry<"QTGraphicsImporterPlyx.CurrentBounds as object.Set">(), importer.get(), r);
    EXPECT_EQ(lastError(importer.get()), 0);
    set("CurrentBoundsWidth", 100);
    rb::ObjRef now = rb::call(im<"CurrentBounds as object">(), importer.get());
    ASSERT_TRUE(now);
    EXPECT_EQ(rb::direct<int32_t>(now.get(), 8), 10) << "left unchanged";
    EXPECT_EQ(rb::direct<int32_t>(now.get(), 12), 110) << "right = left + width";
    EXPECT_EQ(rb::direct<int32_t>(now.get(), 0), 0);
    EXPECT_EQ(rb::direct<int32_t>(now.get(), 4), 50);
    // The source rectangle, and the default source rectangle that stays.
    set("SourceRectLeft", 20);
    EXPECT_EQ(get("SourceRectWidth"), 30);
    EXPECT_EQ(get("DefaultSourceRectWidth"), 50);
    rb::call(tavrin::lookupEntry<"QTGraphicsImporterPlyx.CurrentBounds as object.Set">(), importer.get(), rb::ObjRef());
    EXPECT_EQ(lastError(importer.get()), -1) << "no rectangle, nothing set";
}

TEST_F(ImporterHost, MembersWithoutAComponent) {
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String());
    EXPECT_EQ(handleOf(importer.get()), 0u);
    EXPECT_EQ(lastError(importer.get()), -1);
    EXPECT_EQ(rb::call(im<"MakeGWorld(width as integer, height as integer) as integer">(), importer.get(), int32_t(10),
                       int32_t(10)),
              0);
    EXPECT_EQ(lastError(importer.get()), -1);
    EXPECT_EQ(rb::call(im<"ImageCount as integer">(), importer.get()), -1);
    EXPECT_EQ(rb::call(im<"Quality as integer">(), importer.get()), -1);
    EXPECT_FALSE(rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(),
                          int32_t(5), int32_t(5)));
    EXPECT_EQ(get("NaturalBoundsWidth"), 0);
    EXPECT_EQ(lastError(importer.get()), -1);
    rb::call(im<"OpenData(data as string, datatype as string)">(), importer.get(), rb::String(), rb::String("TIFF"));
    EXPECT_EQ(lastError(importer.get()), -1);
}

TEST_F(ImporterHost, OpenURLReadsFileURLs) {
    std::string path = dir.file("a b.png");
    writeBytes(path, exportAs("PNGf", patternPicture(7, 3).get()));
    std::string encoded = path.substr(0, path.find(' ')) + "%20" + path.substr(path.find(' ') + 1);
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String("file://" + encoded));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 7);
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String("file:///no/such/file.png"));
    EXPECT_NE(lastError(importer.get()), 0);
    EXPECT_EQ(handleOf(importer.get()), 0u);
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String("gopher://example/x"));
    EXPECT_NE(lastError(importer.get()), 0);
}

TEST_F(ImporterHost, OpenURLFetchesHttpThroughTheHostsClient) {
    // The image at "/image", nothing anywhere else.
    std::string image = exportAs("JPEG", patternPicture(31, 9).get());
    LoopbackServer server([&](const LoopbackServer::Request &r, LoopbackServer::Reply &reply) {
        reply.send(r.path == "/image" ? LoopbackServer::response(200, "OK", image)
                                      : LoopbackServer::response(404, "Not Found", ""));
    });
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String(server.url("/image")));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 31);
    EXPECT_EQ(stringProp(description().get(), "CodecType"), "jpeg");
    rb::call(im<"OpenURL(url as string)">(), importer.get(), rb::String(server.url("/other")));
    EXPECT_EQ(lastError(importer.get()), imaging::fnfErr);
    EXPECT_EQ(handleOf(importer.get()), 0u);
}

TEST_F(ImporterHost, MakeGWorldIsAWorldOfTheImage) {
    rb::ObjRef src = patternPicture(8, 6);
    openData(exportAs("BMPf", src.get()), "BMPf");
    int32_t world = rb::call(im<"MakeGWorld(width as integer, height as integer) as integer">(), importer.get(),
                             int32_t(8), int32_t(6));
    ASSERT_NE(world, 0);
    EXPECT_EQ(lastError(importer.get()), 0);
    imaging::PixMapInfo pm{};
    ASSERT_TRUE(imaging::GetGWorldPixMap(imaging::GWorldRef(world), &pm));
    const uint8_t *p = pm.baseAddr + 2 * pm.rowBytes + 3 * 4;
    EXPECT_EQ(uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3], rb::pixel(src.get(), 3, 2));
    // DrawGWorld into it again, with the graphics mode set to blend.
    rb::call(im<"GraphicsModeColor as color.Set">(), importer.get(), int32_t(0x808080));
    EXPECT_EQ(rb::call(im<"GraphicsModeColor as color">(), importer.get()), 0x808080);
    rb::call(im<"GraphicsMode as integer.Set">(), importer.get(), int32_t(32));
    EXPECT_EQ(rb::call(im<"GraphicsMode as integer">(), importer.get()), 32);
    EXPECT_EQ(rb::call(im<"GraphicsModeColor as color">(), importer.get()), 0x808080) << "the colour stays";
    rb::call(im<"DrawGWorld(GWorldHandle as integer)">(), importer.get(), world);
    EXPECT_EQ(lastError(importer.get()), 0);
    imaging::DisposeGWorld(imaging::GWorldRef(world));
    rb::call(im<"DrawGWorld(GWorldHandle as integer)">(), importer.get(), world);
    EXPECT_NE(lastError(importer.get()), 0) << "a world that is gone";
}

TEST_F(ImporterHost, ProgressEventsDuringADrawAndACancel) {
    // An application subclass with the three handlers.
    static int opens, updates, closes;
    static bool cancel;
    opens = updates = closes = 0;
    cancel = false;
    rb::ClassInfo *sub = rb::findClass("ProgressImporter");
    if (!sub) sub = rb::defineSubclass("ProgressImporter", rb::findClass("QTGraphicsImporterPlyx"));
    ASSERT_NE(sub, nullptr);
    rb::setEventHandlers(sub, {reinterpret_cast<void *>(+[](REALobject) { ++opens; }),
                               reinterpret_cast<void *>(+[](REALobject, double) -> RBBoolean {
                                   ++updates;
                                   return cancel;
                               }),
                               reinterpret_cast<void *>(+[](REALobject) { ++closes; })});
    rb::ObjRef obj = rb::make("ProgressImporter");
    rb::call(im<"OpenData(data as string, datatype as string)">(), obj.get(),
             rb::String(exportAs("TIFF", patternPicture(64, 64).get()), 0xFFFF), rb::String("TIFF"));
    rb::setProp(im<"Progress.Set">(), obj.get(), int32_t(2));
    int32_t world = rb::call(im<"MakeGWorld(width as integer, height as integer) as integer">(), obj.get(), int32_t(64),
                             int32_t(64));
    EXPECT_NE(world, 0);
    EXPECT_EQ(opens, 1);
    EXPECT_GT(updates, 1);
    EXPECT_EQ(closes, 1);
    imaging::DisposeGWorld(imaging::GWorldRef(world));
    cancel = true;
    EXPECT_EQ(rb::call(im<"MakeGWorld(width as integer, height as integer) as integer">(), obj.get(), int32_t(64),
                       int32_t(64)),
              0);
    EXPECT_EQ(lastError(obj.get()), 1) << "a true answer stops the drawing";
    EXPECT_EQ(closes, 2);
}

TEST_F(ImporterHost, MatrixOperationsInFixedPoint) {
    rb::ObjRef m = rb::make("QTGraphicsImporterMatrixPlyx");
    auto word = [&](int i) { return rb::direct<int32_t>(m.get(), i * 4); };
    rb::call(mx<"SetIdentityMatrix">(), m.get());
    EXPECT_EQ(word(0), 65536);
    EXPECT_EQ(word(8), 1 << 30);
    rb::call(mx<"RotateMatrix(degrees as double, anchorx as double, anchory as double)">(), m.get(), 90.0, 0.0, 0.0);
    EXPECT_EQ(word(0), 0);
    EXPECT_EQ(word(1), 65536);
    EXPECT_EQ(word(3), -65536);
    EXPECT_EQ(word(4), 0);
    rb::ObjRef copy = rb::call(mx<"CopyMatrix as QTGraphicsImporterMatrixPlyx">(), m.get());
    EXPECT_TRUE(rb::call(mx<"EqualMatrix(secondmatrix as QTGraphicsImporterMatrixPlyx) as boolean">(), m.get(), copy));
    rb::call(mx<"TranslateMatrix(DeltaH as double, DeltaW as double)">(), copy.get(), 2.5, -1.0);
    EXPECT_EQ(rb::direct<int32_t>(copy.get(), 24), 2 * 65536 + 32768);
    EXPECT_EQ(rb::direct<int32_t>(copy.get(), 28), -65536);
    EXPECT_FALSE(rb::call(mx<"EqualMatrix(secondmatrix as QTGraphicsImporterMatrixPlyx) as boolean">(), m.get(), copy));
    EXPECT_FALSE(
        rb::call(mx<"EqualMatrix(secondmatrix as QTGraphicsImporterMatrixPlyx) as boolean">(), m.get(), rb::ObjRef()));
    rb::call(mx<"SetIdentityMatrix">(), m.get());
    rb::call(mx<"ScaleMatrix(ScaleX as double, ScaleY as double, AboutX as double, AboutY as double)">(), m.get(), 2.0,
             3.0, 10.0, 10.0);
    EXPECT_EQ(word(0), 2 * 65536);
    EXPECT_EQ(word(4), 3 * 65536);
    EXPECT_EQ(word(6), -10 * 65536) << "x' = 2x - 10 keeps x = 10 in place";
    EXPECT_EQ(word(7), -20 * 65536);
    rb::call(mx<"SetIdentityMatrix">(), m.get());
    rb::call(mx<"SkewMatrix(SkewX as double, SkewY as double, AboutX as double, AboutY as double)">(), m.get(), 0.5,
             0.0, 0.0, 0.0);
    EXPECT_EQ(word(3), 32768);

    // The importer's matrix in and out.
    openData(exportAs("TIFF", patternPicture(10, 10).get()), "TIFF");
    rb::call(tavrin::lookupEntry<"QTGraphicsImporterPlyx.Matrix as QTGraphicsImporterMatrixPlyx.Set">(), importer.get(),
             copy);
    rb::ObjRef back = rb::call(im<"Matrix as QTGraphicsImporterMatrixPlyx">(), importer.get());
    EXPECT_TRUE(
        rb::call(mx<"EqualMatrix(secondmatrix as QTGraphicsImporterMatrixPlyx) as boolean">(), back.get(), copy));
    // Turned a quarter and moved by (2.5, -1): x' = 2.5 - y, y' = x - 1.
    EXPECT_EQ(get("CurrentBoundsLeft"), -8) << "-7.5 rounds outwards";
    EXPECT_EQ(get("CurrentBoundsWidth"), 11);
    EXPECT_EQ(get("CurrentBoundsTop"), -1);
    EXPECT_EQ(get("CurrentBoundsHeight"), 10);
    rb::ObjRef def = rb::call(im<"DefaultMatrix as QTGraphicsImporterMatrixPlyx">(), importer.get());
    EXPECT_EQ(rb::direct<int32_t>(def.get(), 0), 65536);
}

struct TestPoint {
    double x, y;
};

TEST_F(ImporterHost, QuadToQuadNeedsFourPointsAndUsesTheFirstFour) {
    rb::ClassInfo *pointClass = rb::findClass("TestPointPlyx");
    if (!pointClass) pointClass = rb::defineClass<TestPoint>("TestPointPlyx");
    std::vector<rb::ObjRef> keep;
    auto points = [&](std::vector<std::array<double, 2>> xy) {
        std::vector<REALobject> items;
        for (auto &p : xy) {
            rb::ObjRef o = rb::make(pointClass);
            *rb::fields<TestPoint>(o.get(), pointClass) = {p[0], p[1]};
            items.push_back(o.get());
            keep.push_back(o);
        }
        return rb::newObjectArray(items);
    };
    rb::ObjRef m = rb::make("QTGraphicsImporterMatrixPlyx");
    rb::call(mx<"SetIdentityMatrix">(), m.get());
    auto quad = mx<"QuadToQuadMatrix(frompoints() as object, topoints() as object)">();
    rb::ObjRef square = points({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    rb::call(quad, m.get(), points({{0, 0}, {2, 0}, {2, 2}}), square);
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 0), 65536) << "three points leave the matrix";
    rb::call(quad, m.get(), square, points({{0, 0}, {2, 0}}));
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 0), 65536);
    rb::call(quad, m.get(), rb::ObjRef(), square);
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 0), 65536);
    rb::call(quad, m.get(), square, points({{10, 20}, {12, 20}, {12, 23}, {10, 23}, {99, 99}}));
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 0), 2 * 65536) << "five points: the first four";
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 16), 3 * 65536);
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 24), 10 * 65536);
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 28), 20 * 65536);
    EXPECT_EQ(rb::direct<int32_t>(m.get(), 32), 1 << 30);
}

TEST_F(ImporterHost, ProfileGivesTheColourSpaceAndTheDescriptionLetsGoOfItsStrings) {
    rb::ObjRef pic = patternPicture(6, 6);
    std::string profile(128, '\0');
    profile.replace(16, 4, "RGB ");
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String("TIFF"));
    rb::call(tavrin::lookupEntry<"QTGraphicsExporterPlyx.ColorSyncProfileData as string.Set">(), e.get(),
             rb::String(profile, 0xFFFF));
    rb::setProp(ex<"InputPicture.Set">(), e.get(), pic);
    rb::String tiff = rb::call(ex<"ExportToString as string">(), e.get());
    openData(tiff.str(), "TIFF");
    rb::String read = rb::call(im<"ColorSyncProfileData as string">(), importer.get());
    EXPECT_EQ(read.str(), profile);
    rb::ObjRef desc = description();
    EXPECT_EQ(stringProp(desc.get(), "ColorSpace"), "RGB ");
    EXPECT_EQ(stringProp(desc.get(), "CodecName"), "TIFF");
    EXPECT_DOUBLE_EQ(std::get<double>(rb::getPropValue(desc.get(), "HorizontalResolution")), 72.0);
    rb::call(tavrin::lookupEntry<"QTGraphicsImporterImageDescriptionPlyx.Close">(), desc.get());
    EXPECT_EQ(stringProp(desc.get(), "CodecType"), "<none>");
    EXPECT_EQ(stringProp(desc.get(), "ColorSpace"), "<none>");
}

TEST_F(ImporterHost, MetadataComesBackAsUserData) {
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String("PNGf"));
    // '©nam' "frame one" as flattened user data.
    std::string item = std::string("\0\0\0\x11\xA9nam", 8) + "frame one";
    rb::call(tavrin::lookupEntry<"QTGraphicsExporterPlyx.MetaDataString as string.Set">(), e.get(),
             rb::String(item, 0xFFFF));
    rb::setProp(ex<"InputPicture.Set">(), e.get(), patternPicture(4, 4));
    openData(rb::call(ex<"ExportToString as string">(), e.get()).str(), "PNGf");
    rb::String meta = rb::call(im<"MetaDataString as String">(), importer.get());
    EXPECT_NE(meta.str().find("frame one"), std::string::npos);
    EXPECT_EQ(lastError(importer.get()), 0);
}

// ---- the exporter's file output through the new file-spec services --------------------------

TEST_F(ImporterHost, ExportAsIntegerWritesTheOutputFile) {
    rb::ObjRef pic = patternPicture(25, 15);
    rb::ObjRef e = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e.get(), rb::String("TIFF"));
    rb::setProp(ex<"InputPicture.Set">(), e.get(), pic);
    std::string path = dir.file("exported.tif");
    rb::setProp(ex<"OutputFile.Set">(), e.get(), folderItem(path));
    EXPECT_EQ(lastError(e.get()), 0);
    rb::ObjRef out = rb::getProp(ex<"OutputFile.Get">(), e.get());
    ASSERT_TRUE(out);
    EXPECT_EQ(stringProp(out.get(), "AbsolutePath"), path);
    int32_t written = rb::call(ex<"Export as integer">(), e.get());
    EXPECT_EQ(lastError(e.get()), 0);
    EXPECT_GT(written, 25 * 15 * 3);
    EXPECT_EQ(readBytes(path).size(), size_t(written));
    openFile(path);
    EXPECT_EQ(get("NaturalBoundsWidth"), 25);
    // The importer as the exporter's input.
    rb::ObjRef e2 = rb::make("QTGraphicsExporterPlyx");
    rb::call(ex<"OpenExporter(type as string)">(), e2.get(), rb::String("PNGf"));
    rb::call(ex<"SetInputGraphicsImporter(input as QTGraphicsImporterPlyx)">(), e2.get(), importer);
    EXPECT_EQ(lastError(e2.get()), 0);
    rb::String png = rb::call(ex<"ExportToString as string">(), e2.get());
    EXPECT_EQ(png.str().substr(1, 3), "PNG");
}

// ---- bad input ---------------------------------------------------------------------------------------

TEST_F(ImporterHost, BadFilesGiveALastErrorAndNoCrash) {
    std::string tiff = exportAs("TIFF", patternPicture(64, 48).get());
    // A TIFF that claims 65535 x 65535 pixels (an IFD written by hand).
    std::string huge("II*\0\x08\0\0\0", 8);
    auto le16 = [&](uint16_t v) { huge += char(v & 0xFF), huge += char(v >> 8); };
    auto le32 = [&](uint32_t v) { le16(uint16_t(v)), le16(uint16_t(v >> 16)); };
    const uint16_t tags[][3] = {{256, 4, 0}, {257, 4, 0}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                {273, 4, 0}, {277, 3, 1}, {278, 4, 0}, {279, 4, 0}};
    le16(9);
    for (auto &t : tags) {
        le16(t[0]), le16(t[1]), le32(1);
        uint32_t v = t[0] == 256 || t[0] == 257 || t[0] == 278 ? 65535 : t[0] == 273 ? 200 : t[0] == 279 ? 16 : t[2];
        le32(v);
    }
    le32(0);
    huge.resize(220, '\0');
    struct Case {
        const char *name;
        std::string bytes;
        bool opens;
    } cases[] = {{"truncated.tif", tiff.substr(0, tiff.size() / 2), true},
                 {"empty.tif", std::string(), true},
                 {"huge.tif", huge, true},
                 {"garbage.tif", std::string(300, '\x55'), true},
                 {"garbage.dat", std::string(300, '\x55'), false},
                 {"header-only.png", std::string("\x89PNG\r\n\x1a\n", 8), true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = dir.file(c.name);
        writeBytes(path, c.bytes);
        openFile(path);
        if (!c.opens) {
            EXPECT_NE(lastError(importer.get()), 0);
            continue;
        }
        EXPECT_EQ(lastError(importer.get()), 0) << "chosen by content or extension";
        // Whatever is asked next fails with a status, and nothing crashes.
        rb::call(im<"MakePicture(width as integer, height as integer) as picture">(), importer.get(), int32_t(64),
                 int32_t(48));
        EXPECT_NE(lastError(importer.get()), 0);
        EXPECT_FALSE(rb::call(im<"Validate as boolean">(), importer.get()));
        rb::call(im<"MakePicHandle as picture">(), importer.get());
        EXPECT_NE(lastError(importer.get()), 0);
        rb::call(im<"SaveAsImage(f as folderitem)">(), importer.get(), folderItem(dir.file("out.tif")));
        EXPECT_NE(lastError(importer.get()), 0);
    }
    // The right content under the wrong extension opens by its content.
    std::string png = exportAs("PNGf", patternPicture(11, 5).get());
    writeBytes(dir.file("really-png.tif"), png);
    openFile(dir.file("really-png.tif"));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 11);
    EXPECT_EQ(stringProp(description().get(), "CodecType"), "png ");
    // Flag 1 chooses by the name first: a TIFF importer, which the content refuses.
    rb::call(im<"OpenFileWithFlags(file as folderitem, flags as integer)">(), importer.get(),
             folderItem(dir.file("really-png.tif")), int32_t(1));
    EXPECT_EQ(lastError(importer.get()), 0);
    EXPECT_EQ(get("NaturalBoundsWidth"), 0);
    EXPECT_NE(lastError(importer.get()), 0);
    // OpenData naming the wrong type is refused when drawing.
    openData(png, "TIFF");
    EXPECT_EQ(get("NaturalBoundsWidth"), 0);
    EXPECT_NE(lastError(importer.get()), 0);
}

}  // namespace
