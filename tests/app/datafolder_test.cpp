// The folder of the user's data that a quit saves held frames in: each quit
// gets one of its own, even when copies of the program quit in the same
// second, as at a logout.
#include "application/datafolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

class DataFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tavrin-datafolder-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        const char *was = std::getenv("XDG_DATA_HOME");
        if (was) earlier_ = was;
        hadEarlier_ = was != nullptr;
        setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (hadEarlier_) setenv("XDG_DATA_HOME", earlier_.c_str(), 1);
        else unsetenv("XDG_DATA_HOME");
        fs::remove_all(dir_);
    }
    fs::path dir_;
    std::string earlier_;
    bool hadEarlier_ = false;
};

// A moment whose folder name is known: 2026-12-09 21:04:05 in local time.
std::time_t aMoment() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 21;
    t.tm_min = 4;
    t.tm_sec = 5;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// `copies` processes, let go at once, each make a folder for `now`; the
// paths they got, one a line, in the order they came.
std::vector<std::string> makeFromProcesses(int copies, std::time_t now) {
    int go[2], back[2];
    if (::pipe(go) != 0 || ::pipe(back) != 0) return {};
    std::vector<pid_t> pids;
    for (int i = 0; i < copies; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(go[1]);
            char c;
            (void)!::read(go[0], &c, 1);  // all wait here until the pipe closes
            std::error_code ec;
            std::string made = makeFramesDataFolder(now, ec);
            std::string line = (ec ? "error " + ec.message() : made) + "\n";
            (void)!::write(back[1], line.data(), line.size());  // a line is written whole
            ::_exit(0);
        }
        pids.push_back(pid);
    }
    ::close(go[0]);
    ::close(back[1]);
    ::close(go[1]);  // go
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = ::read(back[0], buf, sizeof buf)) > 0;) all.append(buf, size_t(n));
    ::close(back[0]);
    for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(all.substr(at, end - at));
    return lines;
}

}  // namespace

TEST_F(DataFolder, IsMadeUnderTheUsersDataNamedAfterTheMoment) {
    std::error_code ec;
    std::string made = makeFramesDataFolder(aMoment(), ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(made, (dir_ / "tavrin" / "2026-12-09_21-04-05").string());
    EXPECT_TRUE(fs::is_directory(made));
    // The next quit in that second, and a name a file holds, are passed over.
    std::ofstream(dir_ / "tavrin" / "2026-12-09_21-04-05-2") << "a file";
    EXPECT_EQ(makeFramesDataFolder(aMoment(), ec), (dir_ / "tavrin" / "2026-12-09_21-04-05-3").string());
    EXPECT_FALSE(ec);
}

TEST_F(DataFolder, SaysWhyWhenNoneCanBeMade) {
    std::ofstream(dir_ / "tavrin") << "a file where the folder would be";
    std::error_code ec;
    std::string made = makeFramesDataFolder(aMoment(), ec);
    EXPECT_TRUE(ec);
    EXPECT_EQ(fs::path(made).parent_path(), dir_ / "tavrin") << "the folder it tried to make";
}

// Copies quitting in the same second, round after round into the same
// user's data: no two ever get the same folder, and each got one made.
TEST_F(DataFolder, CopiesQuittingAtOnceNeverShareOne) {
    constexpr int kCopies = 8, kRounds = 25;
    std::set<std::string> seen;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::string> got = makeFromProcesses(kCopies, aMoment());
        ASSERT_EQ(got.size(), size_t(kCopies)) << "round " << round;
        for (const std::string &made : got) {
            EXPECT_TRUE(fs::is_directory(made)) << made;
            EXPECT_TRUE(seen.insert(made).second) << made << " was given twice, round " << round;
        }
    }
    EXPECT_EQ(seen.size(), size_t(kCopies * kRounds));
}
