// What the palette checks before a capture starts, before the deck moves.
#include "e2e_fixture.h"

#include <rb/files.h>

#include <sched.h>
#include <sys/mount.h>

namespace {

// Makes `dir` read-only for this process, root included: a read-only bind
// mount in a mount namespace of its own (each test runs in a process of its
// own). False when that is not possible here.
bool makeReadOnly(const fs::path &dir) {
    if (::geteuid() != 0) {
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        return true;
    }
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

}  // namespace

TEST_F(Tavrin, PaletteChecksInOrder) {
    start();
    app().devicepresent = false;
    rb::op::click("controlwindow", "capturebutton");
    app().devicepresent = true;
    rb::op::click("controlwindow", "capturebutton");
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "interval", "29");
    rb::op::click("controlwindow", "capturebutton");
    rb::op::type("controlwindow", "interval", "30");
    rb::op::click("controlwindow", "capturebutton");
    auto msgs = rb::op::messages();
    ASSERT_GE(msgs.size(), 4u);
    size_t n = msgs.size();
    EXPECT_EQ(msgs[n - 4],
              "You do not have a video source available.  Please enable the video in the Capture "
              "Window before proceeding.");
    EXPECT_EQ(msgs[n - 3], "You must enter a value for how many frames you want captured.");
    EXPECT_EQ(msgs[n - 2], "You must enter a value for the capture interval that is greater than 30");
    EXPECT_EQ(msgs[n - 1], "Please select a folder for the images to be saved in before continuing");
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
}

TEST_F(Tavrin, AReadOnlyFolderIsRefusedBeforeTheDeckMoves) {
    fs::path out = gDir / "out" / "readonly";
    fs::create_directories(out);
    if (!makeReadOnly(out)) GTEST_SKIP() << "no read-only folder can be made here";
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    rb::op::type("controlwindow", "framecount", "3");
    chooseFolder(out.string());
    size_t shown = rb::op::messages().size();
    rb::op::answerOK();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);  // the refusal, no cue dialog
    std::string says = "The images cannot be saved in the folder \"" + out.string() + "\" (";
    EXPECT_EQ(rb::op::messages().back().substr(0, says.size()), says);
    EXPECT_NE(rb::op::messages().back().find("Please choose another folder."), std::string::npos);
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    EXPECT_FALSE(captureRunning());
    rb::op::runFor(200);
    EXPECT_TRUE(deck.commands().empty());
    EXPECT_TRUE(fs::is_empty(out));
    if (::geteuid() == 0) ::umount2(out.c_str(), MNT_DETACH);
}

// A folder where the run's last frame file would go: the refusal says which
// name and the system's reason, not that the folder cannot be written.
TEST_F(Tavrin, AFolderStandingWhereAFrameFileWouldGoIsNamedInTheRefusal) {
    fs::path out = gDir / "out" / "taken";
    fs::create_directories(out / "q003.tif");
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "nameprefix", "q");
    chooseFolder(out.string());
    size_t shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_EQ(rb::op::messages().back(), "The images cannot be saved in the folder \"" + out.string() +
                                             "\" (q003.tif: Is a directory).  Please choose another folder.");
    EXPECT_FALSE(captureRunning());
    EXPECT_TRUE(deck.commands().empty());
}

TEST_F(Tavrin, AnOverlongPrefixIsRefusedBeforeTheDeckMoves) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    fs::path out = gDir / "out" / "longname";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    rb::op::type("controlwindow", "nameprefix", std::string(300, 'a'));
    chooseFolder(out.string());
    size_t shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    // The limit said is the longest prefix the save takes: 255 bytes less
    // the frame's "003.tif" and the temporary name's 12 bytes.
    EXPECT_EQ(rb::op::messages().back(),
              "The name prefix is too long: this folder takes prefixes of up to 236 bytes for these "
              "frames.  Please choose a shorter prefix.");
    rb::op::runFor(200);
    EXPECT_TRUE(deck.commands().empty());
    EXPECT_TRUE(fs::is_empty(out));
    // The longest name counts: what fits for frame 999 but not for frame
    // 1000 (one digit more, and the save's temporary name) is refused too.
    // "999.tif" and what the save's temporary name adds besides.
    std::string prefix(255 - rb::BinaryStream::temporaryNameExtra() - 7, 'b');
    rb::op::type("controlwindow", "nameprefix", prefix);
    rb::op::type("controlwindow", "framecount", "999");
    startCapture(out.string());
    EXPECT_EQ(palette().capturebutton->caption(), "Stop Capture");
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 3s);
    rb::op::type("controlwindow", "framecount", "1000");
    shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_NE(rb::op::messages().back().find("up to 235 bytes"), std::string::npos) << rb::op::messages().back();
}

TEST_F(Tavrin, AnIntervalBeyondTheFieldIsRefused) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    fs::path out = gDir / "out" / "overflow";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    chooseFolder(out.string());
    for (const char *interval : {"9999999999", "2147483648", "-9999999999"}) {
        rb::op::type("controlwindow", "interval", interval);
        size_t shown = rb::op::messages().size();
        rb::op::click("controlwindow", "capturebutton");
        ASSERT_EQ(rb::op::messages().size(), shown + 1) << interval;
        EXPECT_EQ(rb::op::messages().back(), "You must enter a value for the capture interval that is greater than 30");
        EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    }
    EXPECT_TRUE(deck.commands().empty());
}
