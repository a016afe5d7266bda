// Saving frames: Grab Now, the save pass, and folders and files that fail.
#include "e2e_fixture.h"

#include "binding/entrypoints.h"
#include "capturewindow/framefiles.h"

#include <rb/files.h>
#include <rb/thread.h>
#include <rb/picture.h>

#include <tiffio.h>

#include <sys/resource.h>

#include <memory>

TEST_F(Tavrin, GrabNowGrabsIntoMemoryAndSavesATiff) {
    start();
    fs::path file = gDir / "out" / "still";
    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    rb::op::runFor(50);
    ASSERT_EQ(main().p.size(), 2u);
    const StillFrame *still = main().frame(1);
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(still->width(), 720);
    EXPECT_EQ(still->height(), 480);
    // Saved as a 24-bit picture with the grabbed pixels.
    rb::ObjRef pic = still->picture();
    EXPECT_EQ(rb::pictureDepth(pic.get()), 24);
    EXPECT_EQ(rb::pixel(pic.get(), 360, 240), still->pixel(360, 240));
    TIFF *tif = TIFFOpen(file.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, h = 0;
    uint16_t spp = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFClose(tif);
    EXPECT_EQ(w, 720u);
    EXPECT_EQ(h, 480u);
    EXPECT_EQ(spp, 3);
    // The keys come back after the dialog while the application is in front.
    EXPECT_TRUE(app().shortcutsactive);
}

// Save Image over a file that is there asks first. Nobody's answer keeps
// the file, as Cancel does, and the dialog comes back at that name; Cancel
// and another name saves there; Replace replaces it.
TEST_F(Tavrin, GrabNowAsksBeforeReplacingAFile) {
    start();
    fs::path dir = gDir / "out" / "replace", file = dir / "kept.tif", other = dir / "other.tif";
    fs::create_directories(dir);
    std::ofstream(file) << "someone's";
    auto readFile = [](const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto isTiff = [](const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        std::string head(4, '\0');
        in.read(head.data(), 4);
        return head == std::string("MM\0*", 4) || head == std::string("II*\0", 4);
    };
    const std::string question = "A file named \"kept.tif\" already exists.  Do you want to replace it?";

    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    auto shown = rb::op::shown();
    ASSERT_GE(shown.size(), 3u);
    const rb::DialogRequest &asked = shown[shown.size() - 2].request;
    EXPECT_EQ(asked.text, question);
    EXPECT_EQ(asked.explanation,
              "The file already exists in \"" + dir.string() + "\".  Replacing it will overwrite its contents.");
    EXPECT_EQ(shown[shown.size() - 2].answer.button, "Cancel");
    EXPECT_EQ(shown.back().request.kind, rb::DialogRequest::SaveFile);  // back to the dialog, at that name
    EXPECT_EQ(shown.back().request.folder, dir.string());
    EXPECT_EQ(shown.back().request.suggestedName, "kept.tif");
    EXPECT_EQ(readFile(file), "someone's");
    EXPECT_EQ(main().savepicture, nullptr);

    rb::op::answerFile(file.string());
    rb::op::answerCancel();
    rb::op::answerFile(other.string());
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_EQ(readFile(file), "someone's");
    EXPECT_TRUE(isTiff(other));

    rb::op::answerFile(file.string());
    rb::op::answerButton("Replace");
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_EQ(rb::op::shown().back().request.text, question);
    EXPECT_TRUE(isTiff(file));
}

TEST_F(Tavrin, GrabNowCancelledWritesNothingAndInactiveAppKeepsKeysOff) {
    start();
    rb::op::setActive(false);
    rb::op::answerCancel();
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_NE(main().frame(1), nullptr);
    EXPECT_EQ(main().savepicture, nullptr);
    EXPECT_FALSE(app().shortcutsactive);
}

// Grab Now's dialog opens in the capture folder once one is chosen, else
// the home folder; Choose Folder's at the folder chosen last, which a
// cancel does not forget.
TEST_F(Tavrin, TheFileDialogsOpenInTheCaptureFolderAndTheOneChosenLast) {
    start();
    fs::path first = gDir / "first", second = gDir / "second";
    fs::create_directories(first);
    fs::create_directories(second);
    auto opensIn = [](const char *window) {
        rb::op::answerCancel();
        rb::op::click(window, "BevelButton1");
        return rb::op::shown().back().request.folder;
    };
    EXPECT_EQ(opensIn("CaptureWindow"), "");
    EXPECT_EQ(opensIn("controlwindow"), "");
    for (const fs::path &chosen : {first, second}) {
        rb::op::answerFolder(chosen.string());
        rb::op::click("controlwindow", "BevelButton1");
        EXPECT_EQ(opensIn("CaptureWindow"), chosen.string());
    }
    EXPECT_EQ(opensIn("controlwindow"), second.string());  // cancelled: no capture folder now
    EXPECT_EQ(opensIn("CaptureWindow"), "");
    EXPECT_EQ(opensIn("controlwindow"), second.string());
    // A folder that is gone: the home folder.
    rb::op::answerFolder(first.string());
    rb::op::click("controlwindow", "BevelButton1");
    fs::remove(first);
    EXPECT_EQ(opensIn("CaptureWindow"), "");
    EXPECT_EQ(opensIn("controlwindow"), "");
}

TEST_F(Tavrin, GrabNowSaysWhenTheFrameCouldNotBeSaved) {
    start();
    fs::path file = gDir / "out" / "no-such-folder" / "still";
    rb::op::answerFile(file.string());
    ASSERT_TRUE(rb::op::click("CaptureWindow", "BevelButton1"));
    ASSERT_FALSE(rb::op::messages().empty());
    EXPECT_EQ(rb::op::messages().back(), "The frame could not be saved as \"" + file.string() +
                                             "\" (No such file or directory): choose another folder or name.");
    EXPECT_FALSE(fs::exists(file));
}

// A folder that goes away during the run: the frames stay in memory, and
// Choose Folder plus Start Capture saves them all into another one, with
// no deck command and no new capture.
TEST_F(Tavrin, AFolderRemovedMidRunKeepsTheFramesForASecondFolder) {
    FakeDeck deck;
    start(1, deck.index);
    fs::path out = gDir / "out" / "gone";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::type("controlwindow", "nameprefix", "k");
    startCapture(out.string());
    fs::remove_all(out);  // the folder goes away during the run
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 6s);
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
    EXPECT_EQ(palette().mymessage->text(), "2 frames could not be saved: choose another folder");
    ASSERT_EQ(main().unsavedCount(), 2);
    deck.commands();

    // Start Capture with the folder still gone: refused, the frames kept.
    size_t shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    ASSERT_EQ(rb::op::messages().size(), shown + 1);
    EXPECT_EQ(rb::op::messages().back(), "Please select a folder for the images to be saved in before continuing");
    EXPECT_EQ(main().unsavedCount(), 2);

    // A Grab Now meanwhile does not touch them.
    rb::op::answerCancel();
    rb::op::click("CaptureWindow", "BevelButton1");
    EXPECT_EQ(main().unsavedCount(), 2);

    fs::path second = gDir / "out" / "second";
    fs::create_directories(second);
    rb::op::answerFolder(second.string());
    rb::op::click("controlwindow", "BevelButton1");
    shown = rb::op::messages().size();
    rb::op::click("controlwindow", "capturebutton");
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 6s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(rb::op::messages().size(), shown);  // no cue dialog: nothing to cue
    for (const char *name : {"k000.tif", "k001.tif"}) {
        TIFF *tif = TIFFOpen((second / name).c_str(), "r");
        EXPECT_NE(tif, nullptr) << name;
        if (tif) TIFFClose(tif);
    }
    EXPECT_EQ(filesIn(second), 2u);
    EXPECT_EQ(main().unsavedCount(), 0);
    EXPECT_TRUE(deck.commands().empty());
    // The next Start Capture captures again.
    EXPECT_EQ(palette().capturebutton->caption(), "Start Capture");
}

// A '/' in the prefix is mapped to ':' as the folder item maps it: the frame
// is kept, inside the chosen folder.
TEST_F(Tavrin, APrefixWithASlashStaysInTheChosenFolder) {
    start();
    fs::path out = gDir / "out" / "prefix";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "0");
    rb::op::type("controlwindow", "nameprefix", "../escape");
    startCapture(out.string());
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 2s);
    EXPECT_FALSE(fs::exists(gDir / "out" / "escape000.tif"));
    EXPECT_TRUE(fs::exists(out / "..:escape000.tif"));
    EXPECT_EQ(palette().mymessage->text(), "Done");
    rb::op::type("controlwindow", "nameprefix", "a/b");
    startCapture(out.string());
    runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 2s);
    EXPECT_TRUE(fs::exists(out / "a:b000.tif"));
    EXPECT_FALSE(fs::exists(out / "a"));
}

// The save pass writes every file first and puts them all in place at the
// end, with one sync: until then the frames stay in memory and no frame
// file shows under its name. A file that cannot be put in place then is a
// frame not saved, kept in memory; the others are saved and let go.
TEST_F(Tavrin, TheSavePassPutsTheFilesInPlaceTogetherAndKeepsWhatFails) {
    start();
    fs::path out = gDir / "out" / "together";
    fs::create_directories(out);
    constexpr int kFrames = 41;  // enough files that the test sees the pass before its end, however busy the machine
    rb::op::type("controlwindow", "framecount", std::to_string(kFrames - 1));
    rb::op::type("controlwindow", "nameprefix", "clip");
    setTicks(0);
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    for (int64_t t = 60; t <= kFrames * 60; t += 60) {
        setTicks(t);
        runUntilStill([&] { return palette().counter >= t / 60; }, 500ms);
    }
    ASSERT_EQ(palette().counter, kFrames);
    ASSERT_TRUE(runUntil([&] { return palette().mymessage->text() == "Saving frames to disk..."; }, 20s));
    // From here the main thread holds the baton but for turns of the capture
    // thread, which yields after each file.
    auto began = std::chrono::steady_clock::now();
    while (palette().ProgressBar1->value() < 2 && std::chrono::steady_clock::now() - began < 20s) rb::yield();
    const int written = palette().ProgressBar1->value();
    ASSERT_GE(written, 2);
    ASSERT_LT(written, kFrames) << "the pass was seen only after its last file";
    size_t temporaries = 0;
    for (auto &e : fs::directory_iterator(out)) {
        std::string name = e.path().filename().string();
        EXPECT_EQ(name.rfind(".clip0", 0), 0u) << name << ": no frame file under its name yet";
        ++temporaries;
    }
    EXPECT_EQ(temporaries, size_t(written));
    for (int i = 0; i < kFrames; ++i) EXPECT_NE(main().frame(i), nullptr) << i << " is not on the disk yet";

    // Before the end of the pass a full folder takes the name of frame 1.
    fs::create_directories(out / "clip001.tif");
    std::ofstream(out / "clip001.tif" / "someone's") << "kept";
    waitForIdle(palette(), 20);
    EXPECT_EQ(palette().mymessage->text(), "1 frame could not be saved: choose another folder");
    EXPECT_TRUE(fs::is_directory(out / "clip001.tif"));
    for (int i = 0; i < kFrames; ++i) {
        if (i == 1) continue;
        fs::path f = out / frameFileName("clip", i);
        EXPECT_TRUE(fs::is_regular_file(f)) << f;
        EXPECT_EQ(fs::file_size(f), 720u * 480 * 3 + 1164) << f;
    }
    EXPECT_EQ(filesIn(out), size_t(kFrames)) << "no temporary file left";
    // The frame that is not on the disk is still in memory, and only it.
    EXPECT_TRUE(main().p.empty());
    const std::vector<std::shared_ptr<StillFrame>> &left = main().unsaved;
    size_t kept = 0;
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i]) {
            ++kept;
            EXPECT_EQ(i, 1u);
        }
    }
    EXPECT_EQ(kept, 1u);
}

// A file-size limit: the write fails and is reported like any failed save,
// the program lives on, and no partial or temporary file is left behind.
TEST_F(Tavrin, AFileSizeLimitLeavesNoPartialFile) {
    start();
    fs::path out = gDir / "out" / "fsize";
    fs::create_directories(out);
    // What a save killed mid-write once left, and a hidden file of someone else's.
    std::ofstream(out / ".clip000.tif.tmp-Ab12Cd") << "partial";
    std::ofstream(out / ".keep") << "";
    rb::op::type("controlwindow", "framecount", "1");
    rb::op::type("controlwindow", "nameprefix", "clip");
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;  // a frame's TIFF is about 1 MB
    setrlimit(RLIMIT_FSIZE, &small);
    startCapture(out.string());
    waitForIdle(palette(), 10);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(palette().mymessage->text(), "2 frames could not be saved: choose another folder");
    std::vector<std::string> left;
    for (auto &e : fs::directory_iterator(out)) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{".keep"});
}

// A saved frame file is the exporter's bytes, whole and nothing else, from
// the save pass and from Grab Now alike, and the save leaves no temporary
// file beside it.
TEST_F(Tavrin, SavedFrameIsExactlyTheExportersBytes) {
    start();
    fs::path out = gDir / "out" / "exact";
    fs::create_directories(out);
    main().GrabStill(0);
    main().GrabStill(1);
    ASSERT_NE(main().frame(1), nullptr);
    palette().savefolder = rb::FolderItem::make(out.string());
    rb::op::type("controlwindow", "nameprefix", "x");
    main().savefiles(0);
    main().savefiles(1);
    for (int i : {0, 1}) {
        rb::String expected = exportTIFF(main().frame(i)->picture().get());
        ASSERT_TRUE(expected);
        std::ifstream in(out / frameFileName("x", i), std::ios::binary);
        std::string saved{std::istreambuf_iterator<char>(in), {}};
        EXPECT_EQ(saved.size(), 720u * 480 * 3 + 1164);
        EXPECT_TRUE(saved == bytesOf(expected)) << i;
    }
    main().savepicture = rb::FolderItem::make((out / "single").string());
    main().savesinglefile(1);
    std::ifstream in(out / "single", std::ios::binary);
    std::string single{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(single == bytesOf(exportTIFF(main().frame(1)->picture().get())));
    size_t files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(out)) ++files;
    EXPECT_EQ(files, 3u);
}
