// The dialog of popup menus plug-ins ask the host for, and the notes they
// leave: through the host's resolver, as a plug-in calls them, and answered
// by the operator as a person would.
#include <rb/host.h>
#include <rb/operator.h>
#include <rb/plugin_dialog.h>
#include <rb/plugin_notes.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A plug-in's side of one dialog: a choice of colour whose shades follow it.
struct Asker {
    std::vector<const char *> colours{"Red", "Green"}, shades{"Light red", "Dark red"};
    RBDialogPopup popups[2] = {{"Colour", "Colour:", nullptr, 2, 0}, {"Shade", "Shade:", nullptr, 2, 1}};
    RBPopupDialog dialog{};
    std::vector<int> changes;
    int closedCount = 0;
    RBBoolean answer = 2;

    Asker() {
        popups[0].rows = colours.data();
        popups[1].rows = shades.data();
        dialog = {"ColourDialog", "Choose a Colour", popups, 2, this, changed, closed};
    }
    static void changed(RBPopupDialog *d, int32_t popup) {
        auto *self = static_cast<Asker *>(d->context);
        self->changes.push_back(popup);
        if (popup == 0) {
            static const char *const kGreens[] = {"Light green", "Mid green", "Dark green"};
            bool green = d->popups[0].selected == 1;
            self->shades = green ? std::vector<const char *>(kGreens, kGreens + 3)
                                 : std::vector<const char *>{"Light red", "Dark red"};
            d->popups[1].rows = self->shades.data();
            d->popups[1].rowCount = int32_t(self->shades.size());
            d->popups[1].selected = green ? 2 : 0;
        }
    }
    static void closed(RBPopupDialog *d, RBBoolean ok) {
        auto *self = static_cast<Asker *>(d->context);
        ++self->closedCount;
        self->answer = ok;
    }
};

RBBoolean show(RBPopupDialog *d) {
    auto fn = reinterpret_cast<RBBoolean (*)(RBPopupDialog *)>(rb::resolve("RuntimePopupDialog"));
    return fn ? fn(d) : 0;
}

class PopupDialog : public ::testing::Test {
protected:
    void TearDown() override {
        for (rb::Window *w : rb::windows()) w->close();
        rb::collectClosedWindows();
    }
};

TEST_F(PopupDialog, AWindowOfPopupsTheOperatorAnswers) {
    Asker a;
    ASSERT_EQ(show(&a.dialog), 1);  // headless: it stays up for the operator
    rb::Window *w = rb::findWindow("ColourDialog");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->visible());
    EXPECT_EQ(w->title(), "Choose a Colour");
    std::string dump = rb::op::dump("ColourDialog");
    EXPECT_NE(dump.find("ColourLabel StaticText"), std::string::npos) << dump;
    EXPECT_NE(dump.find("text=\"Colour:\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("Colour PopupMenu"), std::string::npos) << dump;
    EXPECT_NE(dump.find("index=1 rows=\"Light red\",\"Dark red\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("OK PushButton"), std::string::npos) << dump;
    EXPECT_NE(dump.find("Cancel PushButton"), std::string::npos) << dump;
    EXPECT_TRUE(a.changes.empty());  // filling it in is no change of the user's

    // A change the plug-in answers with other rows.
    ASSERT_TRUE(rb::op::selectRow("ColourDialog", "Colour", 1));
    EXPECT_EQ(a.changes, std::vector<int>{0});
    rb::Control *shade = w->control("Shade");
    EXPECT_EQ(shade->rows(), (std::vector<std::string>{"Light green", "Mid green", "Dark green"}));
    EXPECT_EQ(shade->listIndex(), 2);
    ASSERT_TRUE(rb::op::selectRow("ColourDialog", "Shade", 1));
    EXPECT_EQ(a.dialog.popups[1].selected, 1);
    EXPECT_EQ(a.closedCount, 0);

    ASSERT_TRUE(rb::op::click("ColourDialog", "OK"));
    EXPECT_EQ(a.closedCount, 1);
    EXPECT_EQ(a.answer, 1);
    EXPECT_EQ(a.dialog.popups[0].selected, 1);
    EXPECT_EQ(a.dialog.popups[1].selected, 1);
    EXPECT_EQ(rb::findWindow("ColourDialog"), nullptr);
}

TEST_F(PopupDialog, CancelAndTheCloseBoxAnswerNoOnce) {
    Asker a;
    ASSERT_EQ(show(&a.dialog), 1);
    ASSERT_TRUE(rb::op::click("ColourDialog", "Cancel"));
    EXPECT_EQ(a.closedCount, 1);
    EXPECT_EQ(a.answer, 0);

    Asker b;
    ASSERT_EQ(show(&b.dialog), 1);
    ASSERT_TRUE(rb::op::closeWindow("ColourDialog"));
    EXPECT_EQ(b.closedCount, 1);
    EXPECT_EQ(b.answer, 0);

    Asker c;  // still up when everything closes, as when the program quits
    ASSERT_EQ(show(&c.dialog), 1);
    for (rb::Window *w : rb::windows()) w->close();
    EXPECT_EQ(c.closedCount, 1);
    EXPECT_EQ(c.answer, 0);
}

TEST_F(PopupDialog, RecordsThatCannotMakeADialogAreRefused) {
    Asker a;
    EXPECT_EQ(show(nullptr), 0);
    const char *none[] = {nullptr};
    auto refused = [&](auto change) {
        Asker b;
        change(b.dialog);
        EXPECT_EQ(show(&b.dialog), 0);
        EXPECT_EQ(b.closedCount, 0);
    };
    refused([](RBPopupDialog &d) { d.popupCount = 0; });
    refused([](RBPopupDialog &d) { d.windowName = nullptr; });
    refused([](RBPopupDialog &d) { d.windowName = ""; });
    refused([](RBPopupDialog &d) { d.closed = nullptr; });
    refused([](RBPopupDialog &d) { d.popups[1].rowCount = 0; });
    refused([](RBPopupDialog &d) { d.popups[0].rows = nullptr; });
    refused([](RBPopupDialog &d) { d.popups[0].name = nullptr; });
    refused([](RBPopupDialog &d) { d.popups[0].rowCount = -5; });
    EXPECT_TRUE(rb::windows().empty());
    // A selection outside the rows shows the first; a missing row text is
    // an empty row; a label may be missing.
    a.popups[0].selected = 9;
    a.popups[1].rows = none;
    a.popups[1].rowCount = 1;
    a.popups[1].label = nullptr;
    ASSERT_EQ(show(&a.dialog), 1);
    EXPECT_EQ(rb::findWindow("ColourDialog")->control("Colour")->listIndex(), 0);
    EXPECT_EQ(rb::findWindow("ColourDialog")->control("Shade")->rows(), std::vector<std::string>{""});
    ASSERT_TRUE(rb::op::click("ColourDialog", "Cancel"));  // before `a` goes
    EXPECT_EQ(a.closedCount, 1);
}

TEST(PluginNotes, OneLineAClassTakenBackWhenEmpty) {
    auto set = reinterpret_cast<void (*)(const char *, const char *)>(rb::resolve("PluginSetNote"));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "");
    set("QTGrabberPlyx", "no element dv1394src: install the GStreamer 1394 plug-in");
    set("OtherPlyx", "first line\nsecond line");
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "no element dv1394src: install the GStreamer 1394 plug-in");
    EXPECT_EQ(rb::pluginNote("OtherPlyx"), "first line");
    set("QTGrabberPlyx", "");
    set("OtherPlyx", nullptr);
    set(nullptr, "about nothing");
    EXPECT_EQ(rb::pluginNote("QTGrabberPlyx"), "");
    EXPECT_EQ(rb::pluginNote("OtherPlyx"), "");
}

}  // namespace
