// Every text the capture puts on the palette's status line fits that line,
// whole, in the font the palette shows it in on screen: measured with the
// on-screen toolkit's own font metrics on an X server of the test's own
// (Xvfb; skipped where there is none).
#include "application/startup.h"
#include "capturethread/capturethread.h"
#include "controlwindow/controlwindow.h"

#include <rb/operator.h>
#include <rb/screen.h>
#include <rb/ui.h>

// gtest first: the toolkit's X headers define names such as None.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "own_x_server.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

// The on-screen widget that shows `text`, or nullptr.
Fl_Widget *widgetShowing(const std::string &text) {
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w))
        for (int i = 0; i < w->children(); ++i)
            if (Fl_Widget *c = w->child(i); c->label() && text == c->label()) return c;
    return nullptr;
}

TEST(PaletteText, EveryStatusTextFitsTheLineInThePalettesFont) {
    OwnXServer x;
    if (x.display().empty()) GTEST_SKIP() << "no Xvfb here";
    setenv("DISPLAY", x.display().c_str(), 1);

    // The palette as the program lays it out and shows it.
    fs::path dir = fs::temp_directory_path() / ("tavrin-palette-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    setenv("TAVRIN_PREFS_DIR", dir.c_str(), 1);
    setenv("TAVRIN_PLUGIN_PATH", TAVRIN_TEST_PLUGINS, 1);
    setenv("TAVRIN_NO_VIDEO", "1", 1);
    unsetenv("TAVRIN_HEADLESS");
    setenv("NO_AT_BRIDGE", "1", 1);  // GTK (the file dialogs) without its accessibility bus
    ASSERT_TRUE(rb::useScreenBackend());
    rb::op::answerOK();  // the no-video box
    tavrin::startUp();
    rb::op::runFor(100);
    auto *palette = static_cast<tavrin::controlwindow *>(rb::findWindow("controlwindow"));
    ASSERT_NE(palette, nullptr);
    rb::Control &line = *palette->mymessage;
    const rb::Rect box = line.bounds();
    // Inside the palette, clear of the Start Capture button.
    const rb::Rect button = palette->capturebutton->bounds();
    EXPECT_LE(box.left + box.width, button.left);
    EXPECT_LE(box.top + box.height, palette->ProgressBar1->bounds().top);

    // The palette's font: the one its other texts show in.
    Fl_Widget *every = widgetShowing("Every");
    ASSERT_NE(every, nullptr);

    // Counts as large as they come: missing frames up to the field's
    // range, frames not saved up to what memory can hold (a million
    // 720x480 frames is a terabyte). Each shows in the palette's font, not
    // a smaller one, and is measured there, wrapped at the line's width.
    const int32_t most = 2147483647, held = 1000000;
    for (const std::string &text :
         {std::string("Capturing frames..."), std::string("Saving frames to disk..."), tavrin::outcomeText(0, 0),
          tavrin::outcomeText(most, 0), tavrin::outcomeText(0, held), tavrin::outcomeText(most, held),
          tavrin::savedText(held, 0), tavrin::savedText(held, most), tavrin::videoEndedText(held, 0),
          tavrin::videoEndedText(0, held)}) {
        line.setText(text);
        rb::op::runFor(20);
        Fl_Widget *shown = widgetShowing(text);
        ASSERT_NE(shown, nullptr) << text;
        EXPECT_EQ(shown->labelfont(), every->labelfont()) << text;
        EXPECT_EQ(shown->labelsize(), every->labelsize()) << text;
        fl_font(shown->labelfont(), shown->labelsize());
        int w = shown->w(), h = 0;
        fl_measure(text.c_str(), w, h, 0);
        EXPECT_LE(w, shown->w()) << text;
        EXPECT_LE(h, shown->h()) << text << ": " << h / fl_height() << " lines";
    }
    rb::app()->quit(0);
    rb::op::runFor(50);
    fs::remove_all(dir);
}
