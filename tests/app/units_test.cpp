// Small units of the application: 9-pin command bytes and checksum, frame
// file names and creators, the palette's numbers and the video window size.
#include "capturethread/capturethread.h"
#include "capturewindow/capturewindow.h"
#include "capturewindow/framefiles.h"
#include "capturewindow/portnote.h"
#include "controlwindow/controlwindow.h"
#include "deck422/deckcontrol422.h"

#include <gtest/gtest.h>

#include <cerrno>

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
    // A huge count saturates instead of overflowing, and says so.
    EXPECT_EQ(numericValue("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(numericValue("-99999999999999999999"), -INT32_MAX);
    struct {
        const char *text;
        bool overflows;
    } edges[] = {{"2147483647", false},
                 {"2147483648", true},
                 {"9999999999", true},
                 {"-2147483647", false},
                 {"-2147483648", true},
                 {"99999999999999999999", true},
                 {"", false},
                 {"30 frames", false},
                 {"00000000000000000000030", false}};
    for (const auto &e : edges) EXPECT_EQ(numericValueOverflows(e.text), e.overflows) << e.text;
}

TEST(CaptureOutcome, StatusLineTexts) {
    EXPECT_EQ(outcomeText(0, 0), "Done");
    EXPECT_EQ(outcomeText(0, 1), "1 frame could not be saved: choose another folder");
    EXPECT_EQ(outcomeText(2, 3), "2 missing (out of memory), 3 not saved: choose another folder");
    EXPECT_EQ(outcomeText(1, 0), "1 frame missing (out of memory)");
    EXPECT_EQ(savedText(0, 0), "0 frames saved");
    EXPECT_EQ(savedText(1, 0), "1 frame saved");
    EXPECT_EQ(savedText(4, 1), "4 frames saved, 1 frame missing (out of memory)");
}

// The status line when the deck's serial port cannot be opened: the port by
// name and path, why, and what to do about a permission.
TEST(SerialPortNote, SaysWhyAndTheFix) {
    EXPECT_EQ(serialPortNote(1, "ttyUSB0", "/dev/ttyUSB0", EACCES, "dialout"),
              "The serial port ttyUSB0 (/dev/ttyUSB0) cannot be opened: Permission denied. Add yourself to the group "
              "dialout (sudo adduser $USER dialout), then log in again.");
    // The device's own group; root's or none is no use, dialout is the usual one.
    EXPECT_NE(serialPortNote(0, "deck", "/dev/ttyS4", EPERM, "uucp").find("sudo adduser $USER uucp"),
              std::string::npos);
    for (const char *group : {"root", ""})
        EXPECT_NE(serialPortNote(0, "deck", "/dev/ttyS4", EACCES, group).find("the group dialout (sudo adduser"),
                  std::string::npos)
            << group;
    EXPECT_EQ(serialPortNote(0, "deck", "/tmp/notes.txt", ENOTTY, ""),
              "The serial port deck (/tmp/notes.txt) cannot be opened: it is not a serial device.");
    EXPECT_EQ(serialPortNote(0, "deck", "/dev/pts/99", ENOENT, ""),
              "The serial port deck (/dev/pts/99) cannot be opened: No such file or directory.");
    // A stored port index that the list no longer has: counted from 1.
    EXPECT_EQ(serialPortNote(3, "", "", ENODEV, ""),
              "There is no serial port number 4 for the RS-422 deck: choose its port in Settings > Deck Control "
              "Settings.");
}

// A video narrower than the strip of controls: the window takes the
// strip's width, the picture its shape, no taller than two thirds of the
// screen.
TEST(VideoSizing, NeverNarrowerThanTheStrip) {
    int32_t w = 176, h = 144 + kStripHeight;
    widenToTheStrip(w, h, 1024);
    EXPECT_EQ(w, kStripWidth);
    EXPECT_EQ(h, 144 * kStripWidth / 176 + kStripHeight);
    w = 360, h = 240 + kStripHeight;  // 720x480 at half size
    widenToTheStrip(w, h, 768);
    EXPECT_EQ(w, kStripWidth);
    EXPECT_EQ(h, 280 + kStripHeight);
    w = 100, h = 600 + kStripHeight;  // tall: grows to two thirds of the screen
    widenToTheStrip(w, h, 1024);
    EXPECT_EQ(w, kStripWidth);
    EXPECT_EQ(h, 682 + kStripHeight);
    w = 100, h = 900 + kStripHeight;  // taller than that already: as it was
    widenToTheStrip(w, h, 1024);
    EXPECT_EQ(h, 900 + kStripHeight);
    w = kStripWidth, h = 300;  // wide enough
    widenToTheStrip(w, h, 1024);
    EXPECT_EQ(w, kStripWidth);
    EXPECT_EQ(h, 300);
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
