// Handles, user data, worlds, pictures, the importer and image compression.
#include "imaging/imaging.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <utility>
#include <vector>

using namespace imaging;

TEST(Handles, ResizeKeepsBytesAndZeroFillsGrowth) {
    Handle h = NewHandle(3);
    ASSERT_NE(h, nullptr);
    std::memcpy(HandleData(h), "abc", 3);
    EXPECT_EQ(SetHandleSize(h, 6), noErr);
    EXPECT_EQ(std::memcmp(HandleData(h), "abc\0\0\0", 6), 0);
    EXPECT_EQ(PtrAndHand("xy", h, 2), noErr);
    EXPECT_EQ(GetHandleSize(h), 8u);
    HLock(h);
    EXPECT_EQ(SetHandleSize(h, 100), memFullErr);  // locked blocks stay put
    HUnlock(h);
    EXPECT_EQ(SetHandleSize(h, 0), noErr);
    EXPECT_EQ(HandleData(h), nullptr);
    DisposeHandle(h);
    EXPECT_EQ(NewHandle(kMaxBlockSize + 1), nullptr);
    EXPECT_EQ(SetHandleSize(nullptr, 1), nilHandleErr);
}

TEST(UserDataTest, FlattensAndRestores) {
    UserData ud;
    ASSERT_EQ(NewUserData(&ud), noErr);
    AddUserDataText(ud, "first", FourCC("abcd"));
    AddUserDataText(ud, "", FourCC("abcd"));
    AddUserDataText(ud, "other", FourCC("wxyz"));
    Handle flat = NewEmptyHandle();
    ASSERT_EQ(PutUserDataIntoHandle(ud, flat), noErr);
    EXPECT_EQ(GetHandleSize(flat), 8u + 5 + 8 + 8 + 5);
    UserData back;
    ASSERT_EQ(NewUserDataFromHandle(flat, &back), noErr);
    EXPECT_EQ(CountUserDataType(back, FourCC("abcd")), 2);
    Handle item = NewEmptyHandle();
    ASSERT_EQ(GetUserData(back, item, FourCC("wxyz"), 1), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(HandleData(item)), GetHandleSize(item)), "other");
    EXPECT_NE(GetUserData(back, item, FourCC("wxyz"), 2), noErr);

    // Sizes that run past the end or below the item header are refused.
    HandleData(flat)[3] = 0xFF;
    UserData bad = nullptr;
    EXPECT_EQ(NewUserDataFromHandle(flat, &bad), paramErr);
    EXPECT_EQ(bad, nullptr);
    SetHandleSize(flat, 5);
    EXPECT_EQ(NewUserDataFromHandle(flat, &bad), paramErr);
    DisposeHandle(item);
    DisposeHandle(flat);
    DisposeUserData(ud);
    DisposeUserData(back);
}

TEST(Worlds, RefusesBadShapesAndStaleReferences) {
    GWorldRef w = 0;
    Rect r{0, 0, 4, 5};
    EXPECT_EQ(NewGWorld(&w, 16, &r, 0), paramErr);
    Rect empty{0, 0, 0, 5};
    EXPECT_EQ(NewGWorld(&w, 32, &empty, 0), paramErr);
    Rect huge{0, 0, kMaxImageSide + 1, 1};
    EXPECT_EQ(NewGWorld(&w, 32, &huge, 0), paramErr);
    ASSERT_EQ(NewGWorld(&w, 24, &r, useTempMem), noErr);
    PixMapInfo pm;
    ASSERT_TRUE(GetGWorldPixMap(w, &pm));
    EXPECT_EQ(pm.rowBytes, 20);
    EXPECT_EQ(pm.depth, 24);
    SetGWorld(w);
    DisposeGWorld(w);
    EXPECT_FALSE(GetGWorldPixMap(w, &pm));
    EXPECT_EQ(GetGWorld(), 0u);  // the port does not outlive its world
}

TEST(Pictures, RoundTripThroughWorldsAndRejectCorruptHeaders) {
    GWorldRef w;
    Rect r{0, 0, 2, 3};
    ASSERT_EQ(NewGWorld(&w, 32, &r, 0), noErr);
    PixMapInfo pm;
    GetGWorldPixMap(w, &pm);
    for (int i = 0; i < 24; ++i) pm.baseAddr[i] = uint8_t(i);
    PicHandle pic = PictureFromGWorld(w);
    int32_t pw, ph;
    int16_t pd;
    ASSERT_TRUE(GetPictureInfo(pic, &pw, &ph, &pd));
    EXPECT_EQ(pw, 3);
    EXPECT_EQ(ph, 2);
    EXPECT_EQ(pd, 32);
    GWorldRef w2;
    Rect big{0, 0, 4, 4};
    NewGWorld(&w2, 32, &big, 0);
    ASSERT_EQ(DrawPicture(pic, w2), noErr);
    PixMapInfo pm2;
    GetGWorldPixMap(w2, &pm2);
    EXPECT_EQ(std::memcmp(pm2.baseAddr + 16, pm.baseAddr + 12, 12), 0);  // row 1
    EXPECT_EQ(pm2.baseAddr[12], 0xFF);                                   // outside the picture: untouched white

    SetHandleSize(pic, GetHandleSize(pic) - 1);  // truncated pixels
    EXPECT_FALSE(GetPictureInfo(pic, nullptr, nullptr, nullptr));
    EXPECT_EQ(DrawPicture(pic, w2), paramErr);
    EXPECT_EQ(PicturePixels(pic), nullptr);
    DisposeHandle(pic);
    DisposeGWorld(w);
    DisposeGWorld(w2);
}

// A named handle data reference as callers build it.
static Handle dataRef(Handle data, const std::string &name, const std::string &mime) {
    Handle ref = NewEmptyHandle();
    PtrAndHand(&data, ref, sizeof data);
    uint8_t len = uint8_t(name.size());
    PtrAndHand(&len, ref, 1);
    PtrAndHand(name.data(), ref, name.size());
    uint32_t size = uint32_t(mime.size() + 9);
    uint8_t head[9] = {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 'm', 'i', 'm', 'e',
                       uint8_t(mime.size())};
    PtrAndHand(head, ref, 9);
    PtrAndHand(mime.data(), ref, mime.size());
    return ref;
}

static Handle exportWorld(OSType type, GWorldRef w) {
    ComponentInstance ci;
    EXPECT_EQ(OpenADefaultComponent(GraphicsExporterComponentType, type, &ci), noErr);
    Handle out = NewEmptyHandle();
    GraphicsExportSetInputGWorld(ci, w);
    GraphicsExportSetOutputHandle(ci, out);
    uint32_t written = 0;
    EXPECT_EQ(GraphicsExportDoExport(ci, &written), noErr);
    EXPECT_EQ(written, GetHandleSize(out));
    CloseComponent(ci);
    return out;
}

TEST(Importer, ReadsWhatTheExportersWrite) {
    GWorldRef w;
    Rect r{0, 0, 7, 5};
    NewGWorld(&w, 24, &r, 0);
    PixMapInfo pm;
    GetGWorldPixMap(w, &pm);
    for (int i = 0; i < 7 * 5 * 4; ++i) pm.baseAddr[i] = (i % 4 == 0) ? 0xFF : uint8_t(i * 7);
    for (OSType type : {FourCC("TIFF"), FourCC("PNGf"), FourCC("BMPf"), FourCC("JPEG")}) {
        Handle data = exportWorld(type, w);
        Handle ref = dataRef(data, "frame.bin", "application/octet-stream");
        ComponentInstance ci;
        ASSERT_EQ(GetGraphicsImporterForDataRef(ref, HandleDataHandlerSubType, &ci), noErr);
        EXPECT_EQ(GetComponentSubType(ci), type);
        PicHandle pic;
        ASSERT_EQ(GraphicsImportGetAsPicture(ci, &pic), noErr);
        int32_t pw, ph;
        ASSERT_TRUE(GetPictureInfo(pic, &pw, &ph, nullptr));
        EXPECT_EQ(pw, 5);
        EXPECT_EQ(ph, 7);
        if (type != FourCC("JPEG")) {
            EXPECT_EQ(std::memcmp(PicturePixels(pic), pm.baseAddr, 7 * 5 * 4), 0);
        }
        // A specific importer refuses another format's bytes.
        ComponentInstance other;
        OpenADefaultComponent(GraphicsImporterComponentType, type == FourCC("TIFF") ? FourCC("PNGf") : FourCC("TIFF"),
                              &other);
        GraphicsImportSetDataHandle(other, data);
        PicHandle none;
        EXPECT_NE(GraphicsImportGetAsPicture(other, &none), noErr);
        EXPECT_EQ(none, nullptr);
        CloseComponent(other);
        DisposeHandle(pic);
        CloseComponent(ci);
        DisposeHandle(ref);
        DisposeHandle(data);
    }
    DisposeGWorld(w);
}

TEST(Importer, TruncatedAndGarbageInputFailsCleanly) {
    GWorldRef w;
    Rect r{0, 0, 16, 16};
    NewGWorld(&w, 24, &r, 0);
    for (OSType type : {FourCC("TIFF"), FourCC("PNGf"), FourCC("BMPf"), FourCC("JPEG")}) {
        Handle data = exportWorld(type, w);
        size_t full = GetHandleSize(data);
        std::vector<uint8_t> copy(HandleData(data), HandleData(data) + full);
        for (size_t cut : {size_t(4), size_t(20), full / 3, full / 2, full - 1}) {
            Handle part;
            PtrToHand(copy.data(), &part, cut);
            ComponentInstance ci;
            OpenADefaultComponent(GraphicsImporterComponentType, type, &ci);
            GraphicsImportSetDataHandle(ci, part);
            PicHandle pic = nullptr;
            if (GraphicsImportGetAsPicture(ci, &pic) == noErr) {
                // Some decoders fill a short image with grey; it must still be whole.
                EXPECT_TRUE(GetPictureInfo(pic, nullptr, nullptr, nullptr));
                DisposeHandle(pic);
            }
            CloseComponent(ci);
            DisposeHandle(part);
        }
        DisposeHandle(data);
    }
    DisposeGWorld(w);
}

TEST(Importer, DataReferencesAreCheckedBeforeUse) {
    Handle data;
    PtrToHand("garbage!", &data, 8);
    ComponentInstance ci;
    Handle ref = dataRef(data, "x.png", "image/png");
    // Recognised by the hint, but the bytes are not a PNG.
    ASSERT_EQ(GetGraphicsImporterForDataRef(ref, HandleDataHandlerSubType, &ci), noErr);
    PicHandle pic;
    EXPECT_NE(GraphicsImportGetAsPicture(ci, &pic), noErr);
    CloseComponent(ci);
    EXPECT_EQ(GetGraphicsImporterForDataRef(ref, FourCC("alis"), &ci), cantFindHandler);
    // An extension size past the end of the reference.
    HandleData(ref)[sizeof(Handle) + 1 + 5 + 3] = 200;
    EXPECT_EQ(GetGraphicsImporterForDataRef(ref, HandleDataHandlerSubType, &ci), paramErr);
    DisposeHandle(ref);
    // A name length past the end.
    ref = NewEmptyHandle();
    PtrAndHand(&data, ref, sizeof data);
    uint8_t len = 50;
    PtrAndHand(&len, ref, 1);
    EXPECT_EQ(GetGraphicsImporterForDataRef(ref, HandleDataHandlerSubType, &ci), paramErr);
    DisposeHandle(ref);
    DisposeHandle(data);
}

TEST(Compression, ChecksItsBufferAndFillsTheDescription) {
    GWorldRef w;
    Rect r{0, 0, 30, 40};
    NewGWorld(&w, 32, &r, 0);
    PixMapInfo pm;
    GetGWorldPixMap(w, &pm);
    int32_t max = 0;
    ASSERT_EQ(GetMaxCompressionSize(&pm, &pm.bounds, 24, codecNormalQuality, FourCC("jpeg"), anyCodec, &max), noErr);
    EXPECT_GT(max, 30 * 40 * 4);
    EXPECT_EQ(GetMaxCompressionSize(&pm, &pm.bounds, 24, codecNormalQuality, FourCC("zzzz"), anyCodec, &max),
              noCodecErr);
    Rect outside{0, 0, 31, 40};
    EXPECT_EQ(GetMaxCompressionSize(&pm, &outside, 24, codecNormalQuality, FourCC("jpeg"), anyCodec, &max), paramErr);
    GetMaxCompressionSize(&pm, &pm.bounds, 24, codecNormalQuality, FourCC("raw "), anyCodec, &max);
    std::vector<uint8_t> buf(static_cast<size_t>(max));
    Handle desc = NewHandle(86);
    ASSERT_EQ(CompressImage(&pm, &pm.bounds, codecNormalQuality, FourCC("raw "), desc, buf.data(), buf.size()), noErr);
    ImageDescription d;
    std::memcpy(&d, HandleData(desc), sizeof d);
    EXPECT_EQ(d.dataSize, 30 * 40 * 4);
    EXPECT_EQ(d.width, 40);
    EXPECT_EQ(d.cType, FourCC("raw "));
    EXPECT_EQ(CompressImage(&pm, &pm.bounds, codecNormalQuality, FourCC("raw "), desc, buf.data(), 100), codecSpoolErr);
    ASSERT_EQ(CompressImage(&pm, &pm.bounds, codecNormalQuality, FourCC("jpeg"), desc, buf.data(), buf.size()), noErr);
    std::memcpy(&d, HandleData(desc), sizeof d);
    EXPECT_EQ(buf[0], 0xFF);
    EXPECT_EQ(buf[1], 0xD8);
    EXPECT_GT(d.dataSize, 0);
    DisposeHandle(desc);
    DisposeGWorld(w);
}

TEST(Worlds, CopyingToAnOriginAtTheEdgeOfTheRangeDrawsNothing) {
    Rect r{0, 0, 8, 8};
    GWorldRef a = 0, b = 0;
    ASSERT_EQ(NewGWorld(&a, 32, &r, 0), noErr);
    ASSERT_EQ(NewGWorld(&b, 32, &r, 0), noErr);
    PixMapInfo pa{}, pb{};
    GetGWorldPixMap(a, &pa);
    GetGWorldPixMap(b, &pb);
    std::memset(pa.baseAddr, 0x11, size_t(pa.rowBytes) * 8);
    for (auto [x, y] : {std::pair{INT32_MAX, 0},
                        {0, INT32_MAX},
                        {INT32_MAX - 3, INT32_MAX - 3},
                        {INT32_MIN, 0},
                        {0, INT32_MIN},
                        {INT32_MIN, INT32_MIN}}) {
        EXPECT_EQ(CopyWorld(a, b, x, y), noErr);
        EXPECT_EQ(pb.baseAddr[0], 0xFF);  // untouched white
    }
    // A sound origin still copies.
    EXPECT_EQ(CopyWorld(a, b, 4, 4), noErr);
    EXPECT_EQ(pb.baseAddr[size_t(4) * pb.rowBytes + 4 * 4], 0x11);
    DisposeGWorld(a);
    DisposeGWorld(b);
}
