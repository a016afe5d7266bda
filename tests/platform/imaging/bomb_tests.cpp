// Image bombs: a few bytes that claim a huge image. Each is refused with the
// importer's usual error before pixel memory is taken: at 16384 on a side by
// the size limit, at 16000 because the data cannot hold so many pixels.
#include "imaging/importer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace imaging;

namespace {

const std::string kBombs = TEST_BOMB_DIR;

Handle fileHandle(const std::string &name) {
    std::ifstream in(kBombs + "/" + name, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytes.empty()) << name;
    Handle h = nullptr;
    EXPECT_EQ(PtrToHand(bytes.data(), &h, bytes.size()), noErr);
    return h;
}

// Opens the bomb and draws it into a small world, as the plug-in does.
ComponentResult drawBomb(const std::string &name) {
    Handle data = fileHandle(name);
    ComponentInstance ci = 0;
    EXPECT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
    EXPECT_EQ(GraphicsImportSetDataHandle(ci, data), noErr);
    Rect bounds{0, 0, 16, 16};
    GWorldRef world = 0;
    EXPECT_EQ(NewGWorld(&world, 32, &bounds, 0), noErr);
    GraphicsImportSetGWorld(ci, world);
    GraphicsImportSetBoundsRect(ci, &bounds);
    ComponentResult err = GraphicsImportDraw(ci);
    CloseComponent(ci);
    DisposeGWorld(world);
    DisposeHandle(data);
    return err;
}

// Peak resident memory of a child that draws the bomb, in MiB, and its error.
std::pair<long, ComponentResult> peakOfDrawing(const std::string &name) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        ComponentResult err = drawBomb(name);
        (void)!write(fds[1], &err, sizeof err);
        _exit(0);
    }
    close(fds[1]);
    ComponentResult err = 1;
    EXPECT_EQ(read(fds[0], &err, sizeof err), ssize_t(sizeof err));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    EXPECT_TRUE(WIFEXITED(status)) << name;
    return {ru.ru_maxrss / 1024, err};
}

class Bomb : public ::testing::TestWithParam<const char *> {};

TEST_P(Bomb, IsRefusedBeforeItsPixelsAreTaken) {
    auto [peakMiB, err] = peakOfDrawing(GetParam());
    EXPECT_EQ(err, codecErr);
    // The pixels claimed are a gigabyte; refusing them costs next to nothing.
    EXPECT_LT(peakMiB, 200) << GetParam();
}

TEST_P(Bomb, NaturalBoundsAreAnsweredOrRefusedWithoutDecoding) {
    Handle data = fileHandle(GetParam());
    ComponentInstance ci = 0;
    ASSERT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
    GraphicsImportSetDataHandle(ci, data);
    Rect r{};
    ComponentResult err = GraphicsImportGetNaturalBounds(ci, &r);
    if (std::string(GetParam()).find("16000") != std::string::npos) {
        EXPECT_EQ(err, noErr);  // the header alone is sound
        EXPECT_EQ(RectWidth(r), 16000);
    } else {
        EXPECT_EQ(err, codecErr);  // beyond the one size limit
    }
    CloseComponent(ci);
    DisposeHandle(data);
}

INSTANTIATE_TEST_SUITE_P(Files, Bomb,
                         ::testing::Values("bomb.png", "bomb.tif", "bomb.jpg", "bomb-16000.png", "bomb-16000.tif",
                                           "bomb-16000.jpg"));

}  // namespace
