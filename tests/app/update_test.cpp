// About and update windows against a version server on 127.0.0.1.
#include "about/aboutwindow.h"
#include "about/resources.h"
#include "application/app.h"
#include "application/startup.h"
#include "menu/menu.h"
#include "update/updatewindow.h"
#include "loopback_server.h"
#include "run_until.h"
#include "test_clock.h"

#include <rb/loop.h>
#include <rb/operator.h>
#include <rb/backend.h>
#include <rb/showurl.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

using namespace tavrin;
using namespace std::chrono_literals;

namespace {

// Answers every request with the page it is given: a status, a body, and
// how to send it (at once, chunked, a byte at a time, or never).
class VersionServer {
public:
    enum Mode { Plain, Chunked, Drip, Silent };
    // The page from now on.
    void page(std::string body, Mode mode = Plain, int status = 200) {
        std::lock_guard lock(mutex_);
        body_ = std::move(body);
        mode_ = mode;
        status_ = status;
    }

    std::string url() const { return server_.url(); }
    int requests() const { return server_.requests(); }
    std::string lastPath() {
        std::lock_guard lock(mutex_);
        return lastPath_;
    }

private:
    void answer(const LoopbackServer::Request &r, LoopbackServer::Reply &reply) {
        Mode mode;
        int status;
        std::string body;
        {
            std::lock_guard lock(mutex_);
            lastPath_ = r.path;
            mode = mode_;
            status = status_;
            body = body_;
        }
        if (mode == Silent) {
            reply.waitStop(3000);
            return;
        }
        std::string head = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n";
        if (mode == Chunked) {
            reply.send(head + "Transfer-Encoding: chunked\r\n\r\n");
            for (char ch : body) {
                reply.send("1\r\n" + std::string(1, ch) + "\r\n");
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            reply.send("0\r\n\r\n");
            return;
        }
        reply.send(head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n");
        if (mode == Drip)
            for (char ch : body) {
                reply.send(std::string(1, ch));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        else reply.send(body);
    }

    std::mutex mutex_;
    std::string lastPath_;
    std::string body_;
    Mode mode_ = Plain;
    int status_ = 200;
    LoopbackServer server_{
        [this](const LoopbackServer::Request &r, LoopbackServer::Reply &reply) { answer(r, reply); }};
};

class Updates : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        auto dir = std::filesystem::temp_directory_path() / ("tavrin-upd-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        setenv("TAVRIN_PREFS_DIR", dir.c_str(), 1);
        setenv("TAVRIN_HEADLESS", "1", 1);
        setenv("TAVRIN_PLUGIN_PATH", "/nonexistent", 1);  // no plug-ins: no video, no deck
        startUp();
        rb::op::answerOK();  // the no-video message
        rb::op::runFor(200);
    }
    static void TearDownTestSuite() {
        rb::app()->quit(0);
        rb::op::runFor(50);
    }
    void SetUp() override { setenv("TAVRIN_UPDATE_SERVER", server.url().c_str(), 1); }

    updateWindow *check() {
        rb::op::chooseMenu("HelpCheckforUpdates");
        return static_cast<updateWindow *>(app().pUpdateWindow.get());
    }
    VersionServer server;
};

}  // namespace

TEST(About, VersionTextWithBetaOnlyForFlagOne) {
    EXPECT_EQ(versionText("1.0.3", 0), "Version: 1.0.3");
    EXPECT_EQ(versionText("1.0.3", 1), "Version: 1.0.3 BETA");
    EXPECT_EQ(versionText("1.0.3", 2), "Version: 1.0.3");
}

TEST(About, PictureResourcesAreBinaryPPM) {
    auto img = decodePPM(std::string("P6\n# art\n2 1\n255\n") + std::string("\x01\x02\x03\xff\x00\x80", 6));
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, 2);
    EXPECT_EQ(img->height, 1);
    EXPECT_EQ(img->pixels, (std::vector<uint32_t>{0x010203, 0xFF0080}));
    for (const char *bad : {"", "P5\n1 1\n255\n\x01", "P6\n2 1\n255\n\x01\x02\x03", "P6\n1 1\n65535\n\x01\x02\x03",
                            "P6\n0 1\n255\n", "P6\n1 1\n255"})
        EXPECT_EQ(decodePPM(bad), nullptr) << bad;
}

TEST_F(Updates, AboutHasTheMenuBarAndItsArt) {
    ASSERT_TRUE(rb::op::chooseMenu("aboutmenu"));
    auto *w = static_cast<aboutwindow *>(rb::findWindow("aboutwindow"));
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->visible());
    EXPECT_EQ(w->menuBar, &menu());  // the menus stay usable while it is in front
    struct Art {
        const char *canvas;
        int width, height;
    } art[] = {{"Canvas1", 350, 100}, {"Canvas2", 133, 58}};
    for (const Art &a : art) {
        rb::Control *c = w->control(a.canvas);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(c->backdrop, nullptr) << a.canvas;
        EXPECT_EQ(c->backdrop->width, a.width);
        EXPECT_EQ(c->backdrop->height, a.height);
        // Not a blank picture.
        const auto &px = c->backdrop->pixels;
        EXPECT_NE(std::count(px.begin(), px.end(), px.front()), std::ptrdiff_t(px.size()));
    }
    EXPECT_NE(rb::op::dump("aboutwindow").find("Canvas1 Canvas 0,0 350x100 picture=350x100"), std::string::npos);
    // Kept for the run: the next About shows the same pictures.
    auto banner = w->control("Canvas1")->backdrop;
    rb::op::click("aboutwindow", "PushButton1");
    ASSERT_TRUE(rb::op::chooseMenu("aboutmenu"));
    w = static_cast<aboutwindow *>(rb::findWindow("aboutwindow"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->control("Canvas1")->backdrop, banner);
    rb::op::click("aboutwindow", "PushButton1");
}

TEST_F(Updates, AboutShowsTheRunningVersion) {
    app().longVersion = "1.0.3";
    app().nonReleaseVersion = 1;
    ASSERT_TRUE(rb::op::chooseMenu("aboutmenu"));
    auto *w = static_cast<aboutwindow *>(rb::findWindow("aboutwindow"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->version->text(), "Version: 1.0.3 BETA");
    rb::op::click("aboutwindow", "PushButton1");
    EXPECT_EQ(rb::findWindow("aboutwindow"), nullptr);
    app().nonReleaseVersion = 0;
}

TEST_F(Updates, EqualBodyIsTheMostRecentVersion) {
    server.page(app().longVersion);
    updateWindow *w = check();
    ASSERT_NE(w, nullptr);
    // The window is on screen, its wheel spinning while the request is under way.
    EXPECT_TRUE(w->visible());
    EXPECT_EQ(w->ProgressWheel1->kind(), rb::ControlKind::ProgressWheel);
    EXPECT_TRUE(w->ProgressWheel1->visible());
    // The page never arrives inside the call that starts the request.
    EXPECT_EQ(w->status->text(), "Checking for updates...");
    EXPECT_TRUE(w->status->visible());
    runUntil([&] { return !w->resultmsg->text().empty(); }, 3s);
    EXPECT_EQ(server.lastPath(), "/vq1.html");
    EXPECT_EQ(w->resultmsg->text(), "You have the most recent version.");
    EXPECT_FALSE(w->updateButton->visible());
    EXPECT_FALSE(w->status->visible());
    EXPECT_FALSE(w->ProgressWheel1->visible());
    EXPECT_EQ(w->curVersion->text(), app().longVersion);
}

TEST_F(Updates, VersionWithALineEndIsAnUpdateAndUpdateOpensTheDownloadPage) {
    server.page(app().longVersion + "\n");
    updateWindow *w = check();
    runUntil([&] { return !w->resultmsg->text().empty(); }, 3s);
    EXPECT_EQ(w->resultmsg->text().substr(0, 32), "There is a new update available.");
    EXPECT_TRUE(w->updateButton->visible());
    rb::op::click("updateWindow", "updateButton");
    ASSERT_FALSE(rb::op::opened().empty());
    EXPECT_EQ(rb::op::opened().back(), server.url() + "/vq/download");
    EXPECT_TRUE(w->closed());
}

// No program to open web pages (no xdg-open on the PATH): Update says so,
// with the page's address, instead of closing the window without a word.
TEST_F(Updates, UpdateWithNothingToOpenThePageSaysItsAddress) {
    server.page(app().longVersion + "\n");
    updateWindow *w = check();
    runUntil([&] { return w->updateButton->visible(); }, 3s);
    ASSERT_TRUE(w->updateButton->visible());
    auto dir = std::filesystem::temp_directory_path() / ("tavrin-no-opener-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", dir.c_str(), 1);
    rb::setShowURLHandler(nullptr);  // the real opener, as on a desktop
    size_t said = rb::op::messages().size();
    size_t opened = rb::op::opened().size();
    rb::op::click("updateWindow", "updateButton");
    rb::setShowURLHandler(rb::backend().urlHandler());  // the headless backend's again
    setenv("PATH", path.c_str(), 1);
    std::filesystem::remove_all(dir);
    EXPECT_TRUE(w->closed());
    EXPECT_EQ(rb::op::opened().size(), opened);
    ASSERT_EQ(rb::op::messages().size(), said + 1);
    EXPECT_EQ(rb::op::messages().back(),
              "The download page could not be opened: no program to open web pages was found.  Its address is " +
                  server.url() + "/vq/download");
}

TEST_F(Updates, ChunkedAndDrippingBodies) {
    for (auto mode : {VersionServer::Chunked, VersionServer::Drip}) {
        server.page("9.9", mode);
        updateWindow *w = check();
        runUntil([&] { return !w->resultmsg->text().empty(); }, 3s);
        EXPECT_EQ(w->curVersion->text(), "9.9");
        EXPECT_TRUE(w->updateButton->visible());
    }
}

// The checking state ends on every outcome: the wheel stops and the window
// says why there is no version. An error page is not a version.
void expectCouldNotCheck(updateWindow *w, const std::string &why) {
    EXPECT_EQ(w->resultmsg->text(), "The check for updates could not be made (" + why + ").  Please try again later.");
    EXPECT_FALSE(w->ProgressWheel1->visible());
    EXPECT_FALSE(w->status->visible());
    EXPECT_FALSE(w->updateButton->visible());
    EXPECT_EQ(w->curVersion->text(), "");
}

TEST_F(Updates, AnErrorPageEndsTheCheckWithoutAVersion) {
    server.page("not found", VersionServer::Plain, 404);
    updateWindow *w = check();
    runUntil([&] { return !w->resultmsg->text().empty(); }, 3s);
    expectCouldNotCheck(w, "the server answered 404");
}

TEST_F(Updates, ARefusedConnectionEndsTheCheck) {
    setenv("TAVRIN_UPDATE_SERVER", "http://127.0.0.1:1", 1);
    updateWindow *w = check();
    EXPECT_TRUE(w->ProgressWheel1->visible());
    runUntil([&] { return !w->resultmsg->text().empty(); }, 3s);
    expectCouldNotCheck(w, "connection failed");
}

// A server that never answers: the check gives up 20 s after it began on
// the runtime's clock (moved here by the test), not before, at the first
// look at the clock after that (every 250 ms), and without blocking.
TEST_F(Updates, NoAnswerEndsTheCheckAfterTwentySeconds) {
    server.page("", VersionServer::Silent);
    TestClock clock;
    int64_t began = rb::microseconds();
    updateWindow *w = check();
    runUntilStill([&] { return server.requests() > 0; }, 3s);
    clock.advance(kUpdateCheckTimeoutUs / 1000 - 300);
    clock.run(299);  // to a millisecond before the 20 s
    EXPECT_EQ(w->resultmsg->text(), "");
    EXPECT_TRUE(w->ProgressWheel1->visible());
    EXPECT_EQ(w->status->text(), "Checking for updates...");
    int64_t gaveUp = -1;
    for (int ms = 0; ms < 300 && gaveUp < 0; ++ms) {
        clock.run(1);
        if (!w->resultmsg->text().empty()) gaveUp = rb::microseconds() - began;
    }
    EXPECT_GE(gaveUp, kUpdateCheckTimeoutUs);
    EXPECT_LT(gaveUp, kUpdateCheckTimeoutUs + 250000);
    expectCouldNotCheck(w, "no answer in 20 seconds");
    EXPECT_FALSE(w->pVersionSocket);  // the request is given up
}

TEST_F(Updates, TwoChecksInARowAndAPageAfterItsWindowClosed) {
    server.page("2.0");
    updateWindow *first = check();
    updateWindow *second = check();
    EXPECT_EQ(app().pUpdateWindow.get(), second);
    runUntil([&] { return !second->resultmsg->text().empty(); }, 3s);
    EXPECT_EQ(second->curVersion->text(), "2.0");
    // Closing a window drops its request: nothing arrives in a closed window.
    server.page("2.0", VersionServer::Drip);
    updateWindow *third = check();
    rb::op::click("updateWindow", "PushButton1");
    third->close();
    rb::op::runFor(300);
    EXPECT_EQ(third->resultmsg->text(), "");
    (void)first;
}
