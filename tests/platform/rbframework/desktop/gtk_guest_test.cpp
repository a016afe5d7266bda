// GTK (the file dialogs) as a guest in the runtime's process, on an X
// server of the test's own (Xvfb; skipped where there is none): the locale
// it takes for the whole process leaves the runtime's numbers as they are,
// and the X errors of FLTK's connection are still said; the descriptors GLib
// watches are the loop's sources as long as GLib watches them, and no
// longer; where GTK cannot start, a file dialog answers as a person's
// cancel does. GTK starts once in a process, so each test runs in a
// process of its own.
#include "own_screen.h"
#include "process_per_test.h"
#include "run_until.h"

#include <rb/host.h>
#include <rb/loop.h>
#include <rb/string.h>
#include <rb/ui.h>

// gtest first: the toolkit's X headers define names such as None.
#include <gtest/gtest.h>

#include <FL/x.H>
#include <glib-unix.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;

namespace {

// GTK's folder chooser, open until a quit of the application closes it;
// false when it did not open.
bool chooserOpenUntilAQuit() {
    struct App : rb::Application {
    } app;
    rb::post([&app] { app.quit(0); });
    bool dismissed = false;
    rb::selectFolderDialog("Choose", &dismissed);
    return dismissed;
}

// GTK takes the desktop's locale for the whole process, here one that
// writes a decimal comma; the runtime's numbers keep their point.
TEST(GtkGuest, NumbersKeepTheirPointInTheDesktopsCommaLocale) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    if (!onOwnScreen()) GTEST_SKIP() << "no Xvfb here";
    ASSERT_TRUE(chooserOpenUntilAQuit());
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << "no locale de_DE.UTF-8 (scripts/deps makes it)";
    auto str = reinterpret_cast<REALstring (*)(double)>(rb::findGlobalMethod("Str(source as Double) as String"));
    auto val = reinterpret_cast<double (*)(REALstring)>(rb::findGlobalMethod("Val(number As String) As double"));
    EXPECT_EQ(rb::String::adopt(str(1.5)).str(), "1.5");
    EXPECT_EQ(val(rb::String("29.97").get()), 29.97);
}

TEST(GtkGuest, AFileDialogGtkCannotOpenAnswersCancelled) {
    setenv("GDK_BACKEND", "wayland", 1);  // a backend the runtime does not let GTK use
    ::testing::internal::CaptureStderr();
    bool up = onOwnScreen();
    bool dismissed = true;
    std::shared_ptr<rb::FolderItem> chosen = up ? rb::selectFolderDialog("Choose", &dismissed) : nullptr;
    std::string said = ::testing::internal::GetCapturedStderr();
    if (!up) GTEST_SKIP() << "no Xvfb here";
    EXPECT_EQ(chosen, nullptr);
    EXPECT_FALSE(dismissed) << "answered as if the program were quitting";
    EXPECT_NE(said.find("GTK could not open the display; the file dialog is cancelled"), std::string::npos) << said;
}

// Xlib has one error handler for the whole process, and GTK's start
// installs GDK's: an error on FLTK's connection is still said on stderr,
// as FLTK says it, and the program goes on.
TEST(GtkGuest, XErrorsOnFltksConnectionAreStillSaid) {
    if (!onOwnScreen()) GTEST_SKIP() << "no Xvfb here";
    ASSERT_TRUE(chooserOpenUntilAQuit());
    ::testing::internal::CaptureStderr();
    ::Window gone = XCreateSimpleWindow(fl_display, RootWindow(fl_display, fl_screen), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(fl_display, gone);
    XMapWindow(fl_display, gone);
    XSync(fl_display, False);
    std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("X error: BadWindow"), std::string::npos) << said;
}

// A pipe that does not block, its ends closed when it goes.
struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(ends, O_NONBLOCK), 0); }
    ~Pipe() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    void write() const { EXPECT_EQ(::write(ends[1], "x", 1), 1); }
};

// Reads what is there, counting the bytes.
void readAll(int fd, int &count) {
    char c;
    while (::read(fd, &c, 1) == 1) ++count;
}
gboolean glibReads(gint fd, GIOCondition, gpointer count) {
    readAll(fd, *static_cast<int *>(count));
    return G_SOURCE_CONTINUE;
}

// GLib's descriptors are sources of the runtime's loop while GLib watches
// them: a descriptor number GLib gave up and the runtime took again keeps
// the runtime's source, and one GLib took again is GLib's.
TEST(GtkGuest, TheLoopWatchesGlibsDescriptorsWhileGlibWatchesThem) {
    if (!onOwnScreen()) GTEST_SKIP() << "no Xvfb here";
    int glibRead = 0, ownRead = 0;
    int number = -1;
    {
        Pipe glibs;
        number = glibs.ends[0];
        guint watch = g_unix_fd_add(number, G_IO_IN, glibReads, &glibRead);
        glibs.write();
        EXPECT_TRUE(runUntil([&] { return glibRead == 1; }, 5s)) << "GLib's descriptor is watched";
        g_source_remove(watch);
    }
    {
        Pipe own;
        ASSERT_EQ(own.ends[0], number);
        rb::addSource(number, POLLIN, [&] { readAll(number, ownRead); });
        own.write();
        EXPECT_TRUE(runUntil([&] { return ownRead == 1; }, 5s)) << "the runtime's source on the number was lost";
        rb::removeSource(number);
    }
    {
        Pipe glibs;
        ASSERT_EQ(glibs.ends[0], number);
        guint watch = g_unix_fd_add(number, G_IO_IN, glibReads, &glibRead);
        glibs.write();
        EXPECT_TRUE(runUntil([&] { return glibRead == 2; }, 5s)) << "GLib's descriptor is watched again";
        g_source_remove(watch);
    }
}

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
