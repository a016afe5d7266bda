// Pictures from picture handles, as the grabber and the graphics plug-in
// make them: the host takes the handle over, and a handle the host does not
// take is disposed, so that no caller leaks it or frees it twice.
#include "host_api.h"

#include "imaging/imaging.h"
#include "resolver.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <map>
#include <string>

namespace {

std::map<std::string, void *> gServices;
void *host(const char *name) {
    auto it = gServices.find(name);
    return it == gServices.end() ? nullptr : it->second;
}

// The host's side: the handle it was given and whether it took it over.
struct Given {
    void *handle = nullptr;
    RBBoolean takeOver = 0;
    int calls = 0;
} gGiven;
char gPicture;  // stands for the host's new picture
bool gHostFails = false;

REALpicture buildPicture(void *handle, RBBoolean takeOver) {
    gGiven = {handle, takeOver, gGiven.calls + 1};
    return gHostFails ? nullptr : reinterpret_cast<REALpicture>(&gPicture);
}

// Bytes the allocator holds in blocks mapped for them alone, as a 64 MiB
// handle is; a sanitizer's allocator says 0.
size_t mappedBytes() { return mallinfo2().hblkhd; }
constexpr size_t kLarge = size_t(64) << 20;

struct PictureFromHandle : ::testing::Test {
    void SetUp() override {
        gServices = {{"REALBuildPictureFromPicHandle", reinterpret_cast<void *>(buildPicture)}};
        gGiven = {};
        gHostFails = false;
        setResolver(host);
    }
    void TearDown() override { setResolver(nullptr); }

    // Hands a large handle to the service; true when its memory is gone
    // afterwards (or, under a sanitizer, when the leak checker must tell).
    static bool disposedWhenNotTaken() {
        size_t before = mappedBytes();
        imaging::PicHandle h = imaging::NewHandle(kLarge);
        EXPECT_NE(h, nullptr);
        bool measurable = mappedBytes() >= before + kLarge;
        EXPECT_EQ(plugin::pictureFromPicHandle(h), nullptr);
        return !measurable || mappedBytes() < before + kLarge;
    }
};

TEST_F(PictureFromHandle, TheHostTakesTheHandleOver) {
    imaging::PicHandle h = imaging::NewPicture(4, 3, 24);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(plugin::pictureFromPicHandle(h), reinterpret_cast<REALpicture>(&gPicture));
    EXPECT_EQ(gGiven.handle, h);
    EXPECT_EQ(gGiven.takeOver, 1);
    // The handle is the host's now, and still whole: the host disposes it
    // (twice, under the sanitizers, were the service to dispose it too).
    int32_t w = 0, height = 0;
    int16_t depth = 0;
    EXPECT_TRUE(imaging::GetPictureInfo(h, &w, &height, &depth));
    EXPECT_EQ(w, 4);
    imaging::DisposeHandle(h);
}

TEST_F(PictureFromHandle, AHandleTheHostDoesNotTakeIsDisposed) {
    gHostFails = true;
    EXPECT_TRUE(disposedWhenNotTaken()) << "the host failed";
    EXPECT_EQ(gGiven.calls, 1);

    gServices.clear();
    setResolver(host);
    EXPECT_TRUE(disposedWhenNotTaken()) << "the host has no such service";
}

TEST_F(PictureFromHandle, NoHandleIsNoPicture) {
    EXPECT_EQ(plugin::pictureFromPicHandle(nullptr), nullptr);
    EXPECT_EQ(gGiven.calls, 0);
}

}  // namespace
