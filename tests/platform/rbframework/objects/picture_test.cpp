// Pictures over packed R G B rows: what a plug-in sees of them, how long they
// keep their rows, and that nothing draws into them.
#include <rb/host.h>
#include <rb/picture.h>

#include <imaging/imaging.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// 4x2 rows with 2 spare bytes each; pixel (x, y) is 0x00RRGGBB = (x, y, x + y) * 16.
std::shared_ptr<const uint8_t[]> rows(int32_t rowBytes = 14) {
    std::shared_ptr<uint8_t[]> r(new uint8_t[size_t(rowBytes) * 2]);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            uint8_t *p = &r[size_t(y * rowBytes + x * 3)];
            p[0] = uint8_t(x * 16), p[1] = uint8_t(y * 16), p[2] = uint8_t((x + y) * 16);
        }
    return r;
}

}  // namespace

TEST(PictureOverRows, IsA24BitPictureOfThoseRowsWithoutACopy) {
    auto r = rows();
    rb::ObjRef pic = rb::newPictureOverRows(r, 4, 2, 14);
    ASSERT_TRUE(pic);
    EXPECT_TRUE(rb::isPicture(pic.get()));
    EXPECT_EQ(rb::pictureWidth(pic.get()), 4);
    EXPECT_EQ(rb::pictureHeight(pic.get()), 2);
    EXPECT_EQ(rb::pictureDepth(pic.get()), 24);
    EXPECT_EQ(rb::pixel(pic.get(), 3, 1), 0x301040u);
    EXPECT_EQ(rb::pixel(pic.get(), 4, 0), 0u) << "outside";

    // A plug-in locks it as an offscreen world of 24 bits whose pixels are the rows.
    auto lock =
        reinterpret_cast<void (*)(REALpicture, REALpictureDescription *)>(rb::resolve("lockPictureDescription"));
    auto unlock = reinterpret_cast<void (*)(REALpicture)>(rb::resolve("unlockPictureDescription"));
    ASSERT_TRUE(lock && unlock);
    REALpictureDescription desc{};
    lock(reinterpret_cast<REALpicture>(pic.get()), &desc);
    EXPECT_EQ(desc.pictureType, pictureGWorld);
    EXPECT_EQ(desc.width, 4);
    EXPECT_EQ(desc.height, 2);
    EXPECT_EQ(desc.depth, 24);
    imaging::PixMapInfo pm{};
    ASSERT_TRUE(imaging::GetGWorldPixMap(imaging::GWorldRef(reinterpret_cast<uintptr_t>(desc.pictureData)), &pm));
    EXPECT_EQ(pm.baseAddr, r.get());
    EXPECT_EQ(pm.pixelSize, 24);
    unlock(reinterpret_cast<REALpicture>(pic.get()));
}

TEST(PictureOverRows, KeepsItsRowsAsLongAsItLives) {
    std::weak_ptr<const uint8_t[]> watch;
    rb::ObjRef pic;
    {
        auto r = rows();
        watch = r;
        pic = rb::newPictureOverRows(r, 4, 2, 14);
    }
    EXPECT_FALSE(watch.expired()) << "the picture holds them";
    EXPECT_EQ(rb::pixel(pic.get(), 1, 1), 0x101020u);
    pic = {};
    EXPECT_TRUE(watch.expired()) << "and lets go with its last reference";

    // Refused sizes make no picture and keep nothing.
    auto r = rows();
    watch = r;
    EXPECT_FALSE(rb::newPictureOverRows(r, 4, 2, 11)) << "rows shorter than 3 bytes a pixel";
    EXPECT_FALSE(rb::newPictureOverRows(r, 0, 2, 14));
    EXPECT_FALSE(rb::newPictureOverRows(nullptr, 4, 2, 14));
    r.reset();
    EXPECT_TRUE(watch.expired());
}

TEST(PictureOverRows, IsDrawnFromButNeverInto) {
    auto r = rows();
    rb::ObjRef over = rb::newPictureOverRows(r, 4, 2, 14);
    rb::ObjRef plain = rb::newPicture(6, 3, 24);
    ASSERT_TRUE(over && plain);
    EXPECT_TRUE(rb::drawPicture(plain.get(), over.get(), 1, 1));
    EXPECT_EQ(rb::pixel(plain.get(), 4, 2), 0x301040u);
    EXPECT_EQ(rb::pixel(plain.get(), 0, 0), 0xFFFFFFu) << "untouched white";
    std::vector<uint8_t> before(r.get(), r.get() + 28);
    EXPECT_FALSE(rb::drawPicture(over.get(), plain.get(), 0, 0));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), r.get()));
}

// A plug-in pairs each lock with an unlock, whatever the description said:
// a picture without pixels (made, never drawn) is described as neither kind
// and comes out of the pair with the references it had.
TEST(PictureDescription, ALockAndItsUnlockLeaveTheReferencesAsTheyWere) {
    auto lock =
        reinterpret_cast<void (*)(REALpicture, REALpictureDescription *)>(rb::resolve("lockPictureDescription"));
    auto unlock = reinterpret_cast<void (*)(REALpicture)>(rb::resolve("unlockPictureDescription"));
    ASSERT_TRUE(lock && unlock);
    rb::ObjRef empty = rb::make(rb::pictureClass()), world = rb::newPicture(2, 2, 24);
    ASSERT_TRUE(empty && world);
    for (const rb::ObjRef &pic : {empty, world}) {
        auto *p = reinterpret_cast<REALpicture>(pic.get());
        const int32_t before = rb::refCount(pic.get());
        REALpictureDescription desc{};
        lock(p, &desc);
        EXPECT_EQ(desc.pictureType, pic == empty ? 0u : uint32_t(pictureGWorld));
        EXPECT_EQ(rb::refCount(pic.get()), pic == empty ? before : before + 1) << "held while locked";
        unlock(p);
        EXPECT_EQ(rb::refCount(pic.get()), before);
    }
}
