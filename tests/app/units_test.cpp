// Small units of the application: 9-pin command bytes and checksum, frame
// file names and creators, the palette's numbers and the video window size.
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "controlwindow/controlwindow.h"
#include "deck422/deckcontrol422.h"

#include <gtest/gtest.h>

using namespace tavrin;

static std::string hexOf(const std::string &bytes) {
    std::string out;
    char buf[4];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

TEST(DeckCommands, BytesAndChecksum) {
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("2001")), "20 01 21");
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("2000")), "20 00 20");
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("212340")), "21 23 40 84");
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("212385")), "21 23 85 C9");
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("211390")), "21 13 90 C4");
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("")), "00");
    // An odd-length string: the last digit is a number of its own.
    EXPECT_EQ(hexOf(DeckControl422::BuildCommand("2015")), "20 15 35");
    EXPECT_EQ(hexOf(DeckControl422::HextoAscii("C9")), "C9");
}

TEST(FrameFiles, NamesAndCreators) {
    EXPECT_EQ(frameFileName("clip", 0), "clip000.tif");
    EXPECT_EQ(frameFileName("tape1", 7), "tape1007.tif");
    EXPECT_EQ(frameFileName("", 42), "042.tif");
    EXPECT_EQ(frameFileName("clip", 1000), "clip1000.tif");
    EXPECT_STREQ(creatorCode(0), "8BIM");
    EXPECT_STREQ(creatorCode(1), "prvw");
    EXPECT_STREQ(creatorCode(2), "GKON");
    EXPECT_EQ(creatorCode(-1), nullptr);
    EXPECT_EQ(creatorCode(3), nullptr);
}

TEST(Palette, NumericValueOfFieldTexts) {
    EXPECT_EQ(numericValue("30"), 30);
    EXPECT_EQ(numericValue(""), 0);
    EXPECT_EQ(numericValue("abc"), 0);
    EXPECT_EQ(numericValue(" 12x"), 12);
    EXPECT_EQ(numericValue("-1"), -1);
    // A huge count saturates instead of overflowing.
    EXPECT_EQ(numericValue("99999999999999999999"), INT32_MAX);
}

TEST(VideoSizing, TwoThirdsOfTheScreen) {
    int32_t w = 0, h = 0;
    sizeForVideo(720, 480, 1280, 1024, w, h);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 580);
    sizeForVideo(1920, 1080, 1280, 1024, w, h);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 640);
    // Exactly two thirds fits.
    sizeForVideo(800, 600, 1200, 900, w, h);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 700);
    // Fits in width but not in height: halved both ways.
    sizeForVideo(800, 700, 1280, 1024, w, h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 450);
}
