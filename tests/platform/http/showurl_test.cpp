#include "wait_until.h"

#include <rb/showurl.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

TEST(ShowURL, HandlerReceivesAcceptedURLsOnly) {
    std::vector<std::string> seen;
    rb::setShowURLHandler([&](const std::string &u) { seen.push_back(u); });
    EXPECT_TRUE(rb::showURL("http://example.invalid/vq/download"));
    EXPECT_TRUE(rb::showURL("mailto:someone@example.invalid"));
    EXPECT_FALSE(rb::showURL(""));
    EXPECT_FALSE(rb::showURL("--help"));
    EXPECT_FALSE(rb::showURL("/etc/passwd"));
    EXPECT_FALSE(rb::showURL("no scheme here"));
    EXPECT_FALSE(rb::showURL("http://a/\nb"));
    rb::setShowURLHandler(nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"http://example.invalid/vq/download", "mailto:someone@example.invalid"}));
}

// The real path: a stand-in xdg-open first on PATH records its arguments,
// once the test lets it go on: showURL has returned by then, so it does
// not wait for the opener.
TEST(ShowURL, SpawnsOpenerWithTheURLAsOneArgumentAndNoShell) {
    char tmpl[] = "/tmp/rbhttp-showurl-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    std::string out = dir + "/args", go = dir + "/go";
    {
        std::ofstream f(dir + "/xdg-open");
        f << "#!/bin/sh\nn=0\nwhile [ ! -e \"" << go << "\" ] && [ $n -lt 1000 ]; do sleep 0.01; n=$((n+1)); done\n"
          << "printf '%s\\n' \"$#\" \"$1\" > \"" << out << ".tmp\"\nmv \"" << out << ".tmp\" \"" << out << "\"\n";
    }
    chmod((dir + "/xdg-open").c_str(), 0755);
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (dir + ":" + oldPath).c_str(), 1);

    std::string url = "http://h/a b;touch " + dir + "/pwned$(touch " + dir + "/pwned2)";
    EXPECT_TRUE(rb::showURL(url));
    EXPECT_NE(access(out.c_str(), F_OK), 0) << "showURL waited for the opener";
    std::ofstream{go};
    setenv("PATH", oldPath.c_str(), 1);

    std::string got;
    waitUntil(
        [&] {
            std::ifstream f(out);
            std::stringstream ss;
            ss << f.rdbuf();
            got = ss.str();
            return !got.empty();
        },
        std::chrono::seconds(5));
    EXPECT_EQ(got, "1\n" + url + "\n");
    EXPECT_NE(access((dir + "/pwned").c_str(), F_OK), 0);
    EXPECT_NE(access((dir + "/pwned2").c_str(), F_OK), 0);

    // No opener on PATH: refused, not crashed.
    setenv("PATH", dir.c_str(), 1);
    unlink((dir + "/xdg-open").c_str());
    EXPECT_FALSE(rb::showURL("http://h/"));
    setenv("PATH", oldPath.c_str(), 1);
    std::system(("rm -rf " + dir).c_str());
}

TEST(ShowURL, OpenerRefusesOptionLikeTargets) {
    EXPECT_FALSE(rb::spawnOpener("true", "--help"));
    EXPECT_FALSE(rb::spawnOpener("true", ""));
    EXPECT_FALSE(rb::spawnOpener("no-such-program-here", "x"));
    EXPECT_TRUE(rb::spawnOpener("true", "x"));
}

TEST(ShowURL, FileURLsEncodeEverythingButPathCharacters) {
    EXPECT_EQ(rb::fileURL("/tmp/a-b_c.d~/e"), "file:///tmp/a-b_c.d~/e");
    EXPECT_EQ(rb::fileURL("/x y/%;$(z)\n"), "file:///x%20y/%25%3B%24%28z%29%0A");
    EXPECT_EQ(rb::fileURL("/\xC3\xA9"), "file:///%C3%A9");
}

}  // namespace
