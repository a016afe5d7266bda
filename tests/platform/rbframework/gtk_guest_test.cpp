// GTK (the file dialogs) as a guest in the runtime's process, on an X
// server of the test's own (Xvfb; skipped where there is none): where it
// cannot start, a file dialog answers as a person's cancel does. GTK starts
// once in a process, so each test runs in a process of its own.
#include "own_screen.h"
#include "process_per_test.h"

#include <rb/ui.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

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

}  // namespace

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
