// Standard output shared with the plug-ins: the program's own text (an
// operator script's dump) starts on a line of its own, after a plug-in line
// left open or not.
#include <rb/runtime.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// What the process writes to standard output while `body` runs.
template <class Body> std::string captureStdout(Body body) {
    std::fflush(stdout);
    char path[] = "/tmp/tavrin-stdout-XXXXXX";
    int fd = mkstemp(path);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

}  // namespace

TEST(StandardOutput, TheProgramsOwnTextStartsOnALineOfItsOwn) {
    std::string out = captureStdout([] {
        RuntimeInit();
        // The device matcher's line, left open as the plug-in prints it.
        std::printf("device 0x%02X found.", 0x1001u);
        rb::writeOwnLines("controlwindow \"Controls\"\n  mymessage text=\"Done\"\n");
        // A whole line before: no blank line is added.
        std::printf("\tDeviceAddedCallback(): iterator= 0x%04X\n", 0x1003u);
        rb::writeOwnLines("second dump\n");
        rb::writeOwnLines("");
        rb::writeOwnLines("third dump\n");
        RuntimeExit();
    });
    EXPECT_EQ(out,
              "device 0x1001 found.\n"
              "controlwindow \"Controls\"\n  mymessage text=\"Done\"\n"
              "\tDeviceAddedCallback(): iterator= 0x1003\n"
              "second dump\n"
              "third dump\n");
}
