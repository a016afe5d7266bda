// GTK (the file dialogs) as a guest in the runtime's process, on an X
// server of the test's own (Xvfb; skipped where there is none): the locale
// it takes for the whole process leaves the runtime's numbers as they are,
// and FLTK's connection keeps its X error handler; where GTK cannot start,
// a file dialog answers as a person's cancel does. GTK starts once in a
// process, so each test runs in a process of its own.
#include "own_screen.h"
#include "process_per_test.h"

#include <rb/host.h>
#include <rb/loop.h>
#include <rb/string.h>
#include <rb/ui.h>

// gtest first: the toolkit's X headers define names such as None.
#include <gtest/gtest.h>

#include <FL/x.H>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

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

// The errors the X error handler in place before GTK started was given (in
// the program Xlib's own, which reports them and ends the program).
std::vector<int> earlierHandlerGot;
int earlierHandler(Display *, XErrorEvent *e) {
    earlierHandlerGot.push_back(e->error_code);
    return 0;
}

// Xlib has one error handler for the whole process, and GTK's start
// installs GDK's: an error on FLTK's connection still goes to the handler
// it had.
TEST(GtkGuest, XErrorsOnFltksConnectionStillGoToItsOwnHandler) {
    XSetErrorHandler(earlierHandler);
    if (!onOwnScreen()) GTEST_SKIP() << "no Xvfb here";
    ASSERT_TRUE(chooserOpenUntilAQuit());
    ::Window gone = XCreateSimpleWindow(fl_display, RootWindow(fl_display, fl_screen), 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(fl_display, gone);
    XMapWindow(fl_display, gone);
    XSync(fl_display, False);
    EXPECT_EQ(earlierHandlerGot, std::vector<int>{BadWindow});
}

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
