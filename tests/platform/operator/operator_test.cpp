// Dialog answers, the log of what was shown, dumps and operator scripts.
#include <rb/backend.h>
#include <rb/files.h>
#include <rb/operator.h>
#include <rb/showurl.h>
#include <rb/ui.h>

#include "operator_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace rb;

namespace {

struct Prefs : Window {
    Prefs() : Window("ControlPrefswindow", WindowKind::MovableModal, "Deck Control Settings", 275, 211) {
        auto &pm = add(ControlKind::PopupMenu, "portsmenu", {43, 132, 186, 20});
        pm.addRow("ttyS0");
        pm.addRow("ttyUSB0");
        add(ControlKind::RadioButton, "rs422button", {20, 62, 62, 20}).setCaption("RS-422");
        auto &ok = add(ControlKind::PushButton, "PushButton1", {194, 178, 69, 20});
        ok.setCaption("OK");
        ok.on("Action", [this] {
            MessageDialog d;
            d.message = "Port " + std::to_string(control("portsmenu")->listIndex());
            d.actionCaption = "Start Capture";
            d.cancelCaption = "Cancel";
            chosen = d.showModal();
            folder = selectFolderDialog("Select Images Folder");
        });
        auto &f = add(ControlKind::EditField, "framecount", {60, 46, 46, 22});
        f.setEnabled(false);
    }
    std::string chosen;
    std::shared_ptr<FolderItem> folder;
};

using Operator = OperatorTest;

TEST_F(Operator, DialogsTakeDefaultsWithoutAnswers) {
    msgBox("You must enter a value for how many frames you want captured.");
    EXPECT_EQ(saveFileDialog("Save Image", "Enter a filename", "Save"), nullptr);
    MessageDialog d;
    d.message = "Please make sure the deck is cued";
    d.explanation = "Pause your tape deck now. ";
    d.actionCaption = "Start Capture";
    EXPECT_EQ(d.showModal(), "Start Capture");
    EXPECT_EQ(op::messages(), (std::vector<std::string>{"You must enter a value for how many frames you want captured.",
                                                        "Save Image", "Please make sure the deck is cued"}));
    EXPECT_EQ(op::shown()[2].request.explanation, "Pause your tape deck now. ");
    EXPECT_TRUE(op::shown()[1].answer.cancelled);
}

// Without a screen each dialog is told as one line once it is answered, so
// a person reading the program's output learns what it said and chose.
TEST_F(Operator, HeadlessDialogsAreEchoedOneLineEach) {
    HeadlessBackend *h = headlessBackend();
    ASSERT_NE(h, nullptr);
    std::vector<std::string> lines;
    h->setEcho([&lines](const std::string &l) { lines.push_back(l); });
    msgBox("Please select a folder for the images to be saved in before continuing");
    op::answerFolder("/tmp/frames");
    selectFolderDialog("Select Images Folder");
    selectFolderDialog("Select Images Folder");  // nobody answers: cancelled
    op::answerFile("/tmp/still.tif");
    saveFileDialog("Save Image", "Enter a filename", "Save");
    MessageDialog d;
    d.message = "Please make sure the deck is cued.";
    d.explanation = "Pause your tape deck now. ";
    d.actionCaption = "Start Capture";
    d.cancelCaption = "Cancel";
    d.showModal();
    op::answerCancel();
    d.showModal();
    d.explanation.clear();
    d.showModal();
    h->setEcho(nullptr);
    msgBox("not told");
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "message: Please select a folder for the images to be saved in before continuing",
                         "folder dialog (Select Images Folder): /tmp/frames",
                         "folder dialog (Select Images Folder): cancelled",
                         "file dialog (Save Image): /tmp/still.tif",
                         "message: Please make sure the deck is cued. Pause your tape deck now. [Start Capture]",
                         "message: Please make sure the deck is cued. Pause your tape deck now. [Cancel]",
                         "message: Please make sure the deck is cued. [Start Capture]",
                     }));
    EXPECT_EQ(op::shown().size(), 8u);  // the log is kept either way
}

TEST_F(Operator, AnswersAreTakenInOrderByTheDialogsTheyFit) {
    op::answerFolder("/tmp/frames");
    op::answerButton("Cancel");
    msgBox("first");  // a folder answer does not fit a message box: OK, queue kept
    EXPECT_EQ(op::pendingAnswers(), 2u);
    EXPECT_EQ(op::shown().back().answer.button, "OK");
    auto f = selectFolderDialog("Select Images Folder");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->absolutePath(), "/tmp/frames");
    MessageDialog d;
    d.message = "m";
    d.cancelCaption = "Cancel";
    EXPECT_EQ(d.showModal(), "Cancel");
    EXPECT_EQ(op::pendingAnswers(), 0u);

    op::answerCancel();
    EXPECT_EQ(saveFileDialog("Save Image", "", "Save"), nullptr);
    op::answerFile("/tmp/one.tif");
    auto s = saveFileDialog("Save Image", "", "Save");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->name(), "one.tif");
}

// What an on-screen backend asks before it shows a dialog: the answer at
// the front when it fits, else nothing (and a person answers).
TEST_F(Operator, ScriptedAnswerIsTakenOnlyWhenItFits) {
    DialogRequest folder, box;
    folder.kind = DialogRequest::SelectFolder;
    folder.actionCaption = "Select Images Folder";
    box.kind = DialogRequest::Message;
    box.actionCaption = "OK";
    EXPECT_FALSE(op::scriptedAnswer(folder));
    op::answerFolder("/tmp/frames");
    op::answerOK();
    EXPECT_FALSE(op::scriptedAnswer(box));  // the folder answer is first
    EXPECT_EQ(op::pendingAnswers(), 2u);
    auto a = op::scriptedAnswer(folder);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->path, "/tmp/frames");
    EXPECT_FALSE(a->cancelled);
    auto ok = op::scriptedAnswer(box);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->button, "OK");
    EXPECT_EQ(op::pendingAnswers(), 0u);
}

TEST_F(Operator, ModalWindowIsAnsweredThroughItsControls) {
    auto &p = implicitInstance<Prefs>();
    Window parent("CaptureWindow", WindowKind::Document, "Tavrin!", 500, 460);
    p.showModalWithin(parent);  // headless: returns at once
    EXPECT_TRUE(p.visible());
    EXPECT_EQ(frontWindow(), &p);
    op::answerButton("Cancel");
    op::answerFolder("/srv/x");
    ASSERT_TRUE(op::selectRow("ControlPrefswindow", "portsmenu", 1));
    EXPECT_FALSE(op::selectRow("ControlPrefswindow", "portsmenu", 2));
    ASSERT_TRUE(op::click("ControlPrefswindow", "PushButton1"));
    EXPECT_EQ(p.chosen, "Cancel");
    ASSERT_NE(p.folder, nullptr);
    EXPECT_EQ(op::messages().front(), "Port 1");
    EXPECT_FALSE(op::type("ControlPrefswindow", "framecount", "3"));  // disabled
}

TEST_F(Operator, DumpListsTheWindowAndEveryControl) {
    auto &p = implicitInstance<Prefs>();
    p.setLeft(5);
    p.setTop(40);
    p.control("portsmenu")->setListIndex(0);
    std::string d = op::dump("ControlPrefswindow");
    EXPECT_EQ(d,
              "ControlPrefswindow \"Deck Control Settings\" MovableModal at 5,40 size 275x211 hidden\n"
              "  portsmenu PopupMenu 43,132 186x20 index=0 rows=\"ttyS0\",\"ttyUSB0\"\n"
              "  rs422button RadioButton 20,62 62x20 caption=\"RS-422\" value=0\n"
              "  PushButton1 PushButton 194,178 69x20 caption=\"OK\"\n"
              "  framecount EditField 60,46 46x22 text=\"\" disabled\n");
    EXPECT_NE(op::dump("Nothing").find("no open window"), std::string::npos);
}

TEST_F(Operator, ScriptDrivesTheModel) {
    implicitInstance<Prefs>().show();
    std::string out;
    ASSERT_TRUE(
        op::runScript("# set up\n"
                      "select ControlPrefswindow portsmenu 1\n"
                      "answer button Start Capture\n"
                      "answer folder /tmp/with space\n"
                      "click ControlPrefswindow PushButton1\n"
                      "key down 49\n"
                      "wait 5\n"
                      "dump ControlPrefswindow\n",
                      out))
        << out;
    auto *p = static_cast<Prefs *>(findWindow("ControlPrefswindow"));
    EXPECT_EQ(p->chosen, "Start Capture");
    ASSERT_NE(p->folder, nullptr);
    EXPECT_EQ(p->folder->absolutePath(), "/tmp/with space");
    EXPECT_TRUE(asyncKeyDown(49));
    EXPECT_NE(out.find("portsmenu PopupMenu 43,132 186x20 index=1"), std::string::npos);

    out.clear();
    EXPECT_FALSE(op::runScript("click ControlPrefswindow nothing\ndump ControlPrefswindow\n", out));
    EXPECT_EQ(out.find("portsmenu"), std::string::npos);  // stopped at the failing line
    EXPECT_FALSE(op::runScript("slider ControlPrefswindow x notanumber\n", out));
    EXPECT_FALSE(op::runScript("frobnicate\n", out));
    EXPECT_FALSE(op::runScript("key sideways 3\n", out));
}

// Every command takes its own number of words; a line with too few or too
// many, or a word that does not read, stops the script with the line in
// the error, as does an unknown command.
TEST_F(Operator, ScriptCommandsCheckTheirWords) {
    implicitInstance<Prefs>().show();
    for (const char *line : {"click",
                             "click ControlPrefswindow PushButton1 extra",
                             "type ControlPrefswindow",
                             "slider ControlPrefswindow x",
                             "exit ControlPrefswindow",
                             "select ControlPrefswindow portsmenu",
                             "menu",
                             "menu a b",
                             "close",
                             "key down",
                             "key down 128",
                             "key down -1",
                             "active",
                             "active yes",
                             "answer",
                             "answer button",
                             "answer file",
                             "answer maybe",
                             "wait",
                             "wait -5",
                             "wait 1 2",
                             "dump",
                             "quit 1 2",
                             "quit x"}) {
        std::string out;
        EXPECT_FALSE(op::runScript(line, out)) << line;
        EXPECT_EQ(op::lastError(), std::string("cannot read: ") + line) << line;
    }
    std::string out;
    EXPECT_FALSE(op::runScript("frobnicate now", out));
    EXPECT_EQ(op::lastError(), "unknown command: frobnicate now");
    // A field's text may be empty or hold spaces; answers take the rest of the line.
    auto &p = static_cast<Prefs &>(*findWindow("ControlPrefswindow"));
    p.control("framecount")->setEnabled(true);
    ASSERT_TRUE(op::runScript("type ControlPrefswindow framecount\n", out)) << out;
    EXPECT_EQ(p.control("framecount")->text(), "");
    ASSERT_TRUE(op::runScript("type ControlPrefswindow framecount  12 frames  \n   # a comment\n\n", out)) << out;
    EXPECT_EQ(p.control("framecount")->text(), "12 frames");
    ASSERT_TRUE(op::runScript("answer button Start Capture\nanswer ok extra\n", out)) << out;
    EXPECT_EQ(op::pendingAnswers(), 2u);
    MessageDialog d;
    d.cancelCaption = "Cancel";
    EXPECT_EQ(d.showModal(), "Start Capture");
}

TEST_F(Operator, ScriptQuitEndsTheApplication) {
    struct A : Application {
        bool closed = false;
        void Close() override { closed = true; }
    } a;
    std::string out;
    ASSERT_TRUE(op::runScript("quit 2\nmenu NeverReached\n", out)) << out;
    EXPECT_TRUE(a.closed);
    EXPECT_EQ(a.exitCode(), 2);
}

TEST_F(Operator, ShowURLIsOnlyRecordedHeadless) {
    showURL("http://example.invalid/vq/download");
    ASSERT_EQ(op::opened().size(), 1u);
    EXPECT_EQ(op::opened()[0], "http://example.invalid/vq/download");
    EXPECT_TRUE(backend().headless());
}

TEST_F(Operator, HeadlessEnvironmentRefusesAnOnScreenBackend) {
    struct Screenful : Backend {
        bool headless() const override { return false; }
        DialogAnswer ask(const DialogRequest &r) override { return defaultAnswer(r); }
    };
    ::setenv("TAVRIN_HEADLESS", "1", 1);
    EXPECT_FALSE(setBackend(std::make_unique<Screenful>()));
    EXPECT_TRUE(backend().headless());
    ::unsetenv("TAVRIN_HEADLESS");
    EXPECT_TRUE(setBackend(std::make_unique<Screenful>()));
    EXPECT_FALSE(backend().headless());
    setBackend(nullptr);
    EXPECT_TRUE(backend().headless());
}

}  // namespace
