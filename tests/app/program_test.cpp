// The program as a user starts it: its exit status with nothing to do,
// SIGTERM in the middle of a headless capture on an RS-422 deck, with its
// folder there or gone, and the script's quit with frames the folder could
// not take.
#include "pty_deck.h"
#include "wait_until.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The program, started with exactly `env` and its output in `log`.
class Program {
public:
    // In the process group `group` when given (0: a new one, led by it).
    // `fileSizeLimit`: the largest file it may write, as `ulimit -f` sets it.
    Program(const std::vector<std::string> &env, const fs::path &log, std::optional<pid_t> group = {},
            rlim_t fileSizeLimit = RLIM_INFINITY) {
        std::vector<char *> envp;
        for (const std::string &e : env) envp.push_back(const_cast<char *>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (group) {
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attr, *group);
        }
        char *argv[] = {const_cast<char *>(TAVRIN_PROGRAM), nullptr};
        // The child takes the limit with it; this process has it back at once.
        rlimit before{};
        ::getrlimit(RLIMIT_FSIZE, &before);
        rlimit limited = before;
        limited.rlim_cur = std::min(fileSizeLimit, before.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &limited);
        if (posix_spawn(&pid_, TAVRIN_PROGRAM, &files, &attr, argv, envp.data()) != 0) pid_ = -1;
        ::setrlimit(RLIMIT_FSIZE, &before);
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&files);
    }
    ~Program() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int sig) const { ::kill(pid_, sig); }
    // The exit status, or -1 when it has not ended normally within `limit`.
    int exitStatus(std::chrono::milliseconds limit) {
        int status = 0;
        waitUntil([&] { return exited_ = ::waitpid(pid_, &status, WNOHANG) == pid_; }, limit);
        return exited_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("tavrin-program-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "prefs");
    }
    void TearDown() override { fs::remove_all(dir_); }
    // Headless, with a script that starts a capture of `count` frames into
    // `out` and then runs `rest`: by default it dumps the palette every
    // 200 ms for 20 s.
    std::vector<std::string> captureEnv(const fs::path &out, int count, const std::string &prefix,
                                        std::string rest = {}) const {
        std::string script = "type controlwindow framecount " + std::to_string(count) +
                             "\ntype controlwindow nameprefix " + prefix + "\nanswer folder " + out.string() +
                             "\nclick controlwindow BevelButton1\nanswer ok\nclick controlwindow capturebutton\n";
        if (rest.empty())
            for (int i = 0; i < 100; ++i) rest += "wait 200\ndump controlwindow\n";
        std::ofstream(dir_ / "script") << script << rest;
        std::vector<std::string> env = baseEnv();
        env.push_back("TAVRIN_HEADLESS=1");
        env.push_back("TAVRIN_SCRIPT=" + (dir_ / "script").string());
        return env;
    }
    std::vector<std::string> baseEnv() const {
        std::vector<std::string> env = {"TAVRIN_PREFS_DIR=" + (dir_ / "prefs").string(), "TAVRIN_AVC_UNITS=0",
                                        "XDG_DATA_HOME=" + (dir_ / "data").string()};
        // The sanitizers' settings (a sanitized build's leak suppressions) go along.
        for (const char *name : {"PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"})
            if (const char *v = std::getenv(name)) env.push_back(std::string(name) + "=" + v);
        return env;
    }
    fs::path dir_;
};

// The folder that standard error says a quit saved the frames in
// ("tavrin: N frames saved in <folder>, quitting"), and N; an empty path
// when it says none.
fs::path savedInTheUsersData(const std::string &said, int &saved) {
    size_t at = said.find(" frames saved in ");
    size_t begin = said.rfind("tavrin: ", at);
    size_t end = said.find(", quitting\n", at);
    if (at == std::string::npos || begin == std::string::npos || end == std::string::npos) return {};
    saved = std::atoi(said.substr(begin + 8, at - begin - 8).c_str());
    return said.substr(at + 17, end - at - 17);
}

// Whether `folder` holds prefix000.tif to prefix<last>.tif, from `first` on.
::testing::AssertionResult holdsFrames(const fs::path &folder, const std::string &prefix, int first, int last) {
    for (int i = first; i <= last; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%03d.tif", i);
        if (!fs::is_regular_file(folder / (prefix + name)))
            return ::testing::AssertionFailure() << prefix + name << " is not in " << folder;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

// With nothing that could ever act (no display, or headless asked for, and
// no script) the program says how to give it a script and ends with 2.
TEST_F(ProgramTest, HeadlessWithoutAScriptEndsWithStatusTwo) {
    for (const char *how : {"TAVRIN_HEADLESS=1", "DISPLAY="}) {
        std::vector<std::string> env = baseEnv();
        env.push_back(how);
        fs::path log = dir_ / "out.txt";
        Program p(env, log);
        ASSERT_TRUE(p.started());
        EXPECT_EQ(p.exitStatus(20s), 2) << how;
        std::string said = readFile(log);
        EXPECT_NE(said.find("TAVRIN_SCRIPT=<file>"), std::string::npos) << said;
        EXPECT_NE(said.find("no script given"), std::string::npos) << said;
        // Nothing ran: no preferences were written.
        EXPECT_FALSE(fs::exists(dir_ / "prefs" / "Tavrin! 1.0 Prefs")) << how;
    }
}

// Headless nobody sees a window: what a message box said, what a file
// dialog was answered and a deck port that cannot be opened go to standard
// error, so a script's mistakes show.
TEST_F(ProgramTest, HeadlessRunSaysWhatItsWindowsWouldShow) {
    std::ofstream(dir_ / "prefs" / "Tavrin! 1.0 Prefs", std::ios::binary) << std::string{1, 0, 0, 0, 0, 0, 0};
    std::ofstream(dir_ / "script") << "type controlwindow framecount 3\n"
                                      "click controlwindow capturebutton\n"
                                      "click controlwindow BevelButton1\n";
    std::vector<std::string> env = baseEnv();
    env.push_back("TAVRIN_HEADLESS=1");
    env.push_back("TAVRIN_SCRIPT=" + (dir_ / "script").string());
    env.push_back("TAVRIN_SERIAL_PORTS=deck=" + (dir_ / "no-such-tty").string());
    fs::path log = dir_ / "out.txt";
    Program p(env, log);
    ASSERT_TRUE(p.started());
    EXPECT_EQ(p.exitStatus(30s), 0);
    std::string said = readFile(log);
    for (std::string line : {"tavrin: The serial port deck (" + (dir_ / "no-such-tty").string() +
                                 ") cannot be opened: No such file or directory.\n",
                             std::string("tavrin: message: Please select a folder for the images to be saved in "
                                         "before continuing\n"),
                             std::string("tavrin: folder dialog (Select Images Folder): cancelled\n")})
        EXPECT_NE(said.find(line), std::string::npos) << line << " in:\n" << said;
}

// SIGTERM during a capture: the capture and the deck stop, every frame
// grabbed is saved, then the program ends normally and says how many.
TEST_F(ProgramTest, SigtermDuringACaptureSavesEveryGrabbedFrame) {
    PtyDeck deck;
    std::ofstream(dir_ / "prefs" / "Tavrin! 1.0 Prefs", std::ios::binary) << std::string{1, 0, 0, 0, 0, 0, 0};
    fs::path out = dir_ / "frames";
    fs::create_directories(out);
    std::vector<std::string> env = captureEnv(out, 100, "sig");
    env.push_back("TAVRIN_SERIAL_PORTS=deck=" + deck.path());
    fs::path log = dir_ / "out.txt";
    Program p(env, log);
    ASSERT_TRUE(p.started());

    // Two frames grabbed (an interval of 30 frames is a second): the
    // palette's progress says so in the script's dumps.
    auto grabbed = [&] {
        std::string said = readFile(log);
        return said.find("value=2 max=100") != std::string::npos;
    };
    ASSERT_TRUE(waitUntil(grabbed, 30s)) << readFile(log);
    p.signal(SIGTERM);
    EXPECT_EQ(p.exitStatus(30s), 0);

    std::string said = readFile(log);
    size_t end = said.find(" frames saved, quitting");
    size_t begin = said.rfind("tavrin: ", end);
    ASSERT_TRUE(end != std::string::npos && begin != std::string::npos) << said;
    int saved = std::atoi(said.substr(begin + 8, end - begin - 8).c_str());
    EXPECT_GE(saved, 2);
    size_t files = 0;
    for (const auto &e : fs::directory_iterator(out)) {
        ++files;
        std::string head = readFile(e.path()).substr(0, 4);
        EXPECT_TRUE(head == std::string("MM\0*", 4) || head == std::string("II*\0", 4)) << e.path();
    }
    EXPECT_EQ(files, size_t(saved));
    for (int i = 0; i < saved; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "sig%03d.tif", i);
        EXPECT_TRUE(fs::exists(out / name)) << name;
    }

    // The deck: stopped and played at the start, stopped at the end.
    std::vector<std::string> lines = deck.commands();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "20 01 21 PLAY");
    EXPECT_EQ(lines.back().substr(0, 8), "20 00 20");
}

// SIGTERM after the capture's folder has gone: nobody can choose another,
// so the frames go to a new folder in the user's data, standard error says
// where, and the program ends normally.
TEST_F(ProgramTest, SigtermWithTheFolderGoneSavesTheFramesInTheUsersData) {
    fs::path out = dir_ / "frames";
    fs::create_directories(out);
    std::vector<std::string> env = captureEnv(out, 20, "gone");
    fs::path log = dir_ / "out.txt";
    Program p(env, log);
    ASSERT_TRUE(p.started());
    ASSERT_TRUE(waitUntil([&] { return readFile(log).find("value=2 max=20") != std::string::npos; }, 30s))
        << readFile(log);
    fs::remove_all(out);
    p.signal(SIGTERM);
    EXPECT_EQ(p.exitStatus(30s), 0);

    std::string said = readFile(log);
    int saved = 0;
    fs::path data = savedInTheUsersData(said, saved);
    ASSERT_FALSE(data.empty()) << said;
    EXPECT_GE(saved, 2);
    EXPECT_EQ(data.parent_path(), dir_ / "data" / "tavrin");
    EXPECT_TRUE(holdsFrames(data, "gone", 0, saved - 1));
    EXPECT_FALSE(fs::exists(out));
}

// A capture whose folder cannot take its first two frames (their names are
// taken by folders, as a full disk would refuse them), then the script's
// quit or its end, whether the capture is over by then or not: the folder
// keeps what it took, the user's data takes the rest, standard error says
// where, and the status is 0 only when every frame found a place.
class ScriptQuit : public ProgramTest, public ::testing::WithParamInterface<const char *> {
protected:
    // Runs the script of a capture of frames 0 to 2 into `out`; the
    // program's exit status, and what it said.
    int quitWithFramesHeld(const fs::path &out, std::string &said) {
        for (const char *taken : {"held000.tif", "held001.tif"}) {
            fs::create_directories(out / taken);
            std::ofstream(out / taken / "someone's") << "kept";
        }
        fs::path log = dir_ / "out.txt";
        Program p(captureEnv(out, 2, "held", std::string("wait 5000\n") + GetParam()), log);
        EXPECT_TRUE(p.started());
        int status = p.exitStatus(60s);
        said = readFile(log);
        return status;
    }
};

TEST_P(ScriptQuit, SavesTheFramesTheFolderCouldNotTakeInTheUsersData) {
    fs::path out = dir_ / "frames";
    std::string said;
    EXPECT_EQ(quitWithFramesHeld(out, said), 0) << said;
    int saved = 0;
    fs::path data = savedInTheUsersData(said, saved);
    ASSERT_FALSE(data.empty()) << said;
    EXPECT_EQ(saved, 2);
    EXPECT_EQ(data.parent_path(), dir_ / "data" / "tavrin");
    EXPECT_TRUE(holdsFrames(data, "held", 0, 1));
    EXPECT_FALSE(fs::exists(data / "held002.tif"));
    EXPECT_TRUE(holdsFrames(out, "held", 2, 2));
}

TEST_P(ScriptQuit, EndsWithStatusOneWhenTheUsersDataCannotTakeThemEither) {
    std::ofstream(dir_ / "data") << "a file where the folder would be";
    std::string said;
    EXPECT_EQ(quitWithFramesHeld(dir_ / "frames", said), 1) << said;
    EXPECT_NE(said.find("tavrin: 2 of 2 frames could not be saved in " + (dir_ / "data" / "tavrin").string()),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("they are lost"), std::string::npos) << said;
}

// Under a file-size limit smaller than a frame (`ulimit -f 500`): no file
// can be written, in the capture's folder or in the user's data. The
// program is not killed for writing past the limit; standard error gives
// the system's reason, and the status is 1.
TEST_F(ProgramTest, AFileSizeLimitIsSaidWithTheSystemsReason) {
    fs::path out = dir_ / "frames";
    fs::create_directories(out);
    fs::path log = dir_ / "out.txt";
    Program p(captureEnv(out, 1, "big", "wait 5000\ndump controlwindow\n"), log, {}, 500 * 1024);
    ASSERT_TRUE(p.started());
    EXPECT_EQ(p.exitStatus(60s), 1) << readFile(log);
    std::string said = readFile(log);
    EXPECT_NE(said.find("text=\"2 frames could not be saved: choose another folder\""), std::string::npos) << said;
    EXPECT_NE(said.find("tavrin: 2 of 2 frames could not be saved in " + (dir_ / "data" / "tavrin").string()),
              std::string::npos)
        << said;
    EXPECT_NE(said.find(" either (File too large); they are lost\n"), std::string::npos) << said;
    EXPECT_TRUE(fs::is_empty(out));
}

INSTANTIATE_TEST_SUITE_P(QuitOrEnd, ScriptQuit, ::testing::Values("quit\n", ""),
                         [](const ::testing::TestParamInfo<const char *> &p) {
                             return std::string(*p.param ? "Quit" : "EndOfScript");
                         });

// Two copies, each holding frames that its folder could not take, get
// SIGTERM in one kill (as at a logout) with one user's data, in the same
// second, round after round: each saves its own frames in a folder of its
// own, and says so; no frame replaces another's.
TEST_F(ProgramTest, TwoCopiesQuittingAtOnceEachSaveTheirFramesInAFolderOfTheirOwn) {
    constexpr int kRounds = 6;
    std::set<fs::path> folders;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::unique_ptr<Program>> copies;
        std::vector<fs::path> logs;
        pid_t group = 0;
        for (int copy = 0; copy < 2; ++copy) {
            // Frames 0 to 2; 0 and 1 are refused, their names being folders.
            fs::path out = dir_ / ("frames-" + std::to_string(round) + "-" + std::to_string(copy));
            for (const char *taken : {"held000.tif", "held001.tif"}) fs::create_directories(out / taken);
            std::string script =
                "type controlwindow framecount 2\ntype controlwindow nameprefix held\n"
                "answer folder " +
                out.string() +
                "\nclick controlwindow BevelButton1\nanswer ok\n"
                "click controlwindow capturebutton\n";
            for (int i = 0; i < 150; ++i) script += "wait 200\ndump controlwindow\n";
            fs::path scriptFile = dir_ / ("script-" + std::to_string(copy));
            std::ofstream(scriptFile) << script;
            std::vector<std::string> env = baseEnv();
            env.push_back("TAVRIN_HEADLESS=1");
            env.push_back("TAVRIN_SCRIPT=" + scriptFile.string());
            logs.push_back(dir_ / ("out-" + std::to_string(copy) + ".txt"));
            copies.push_back(std::make_unique<Program>(env, logs.back(), group));
            ASSERT_TRUE(copies.back()->started());
            if (copy == 0) group = copies.back()->pid();
        }
        auto holding = [&] {
            for (const fs::path &log : logs)
                if (readFile(log).find("2 frames could not be saved: choose another folder") == std::string::npos)
                    return false;
            return true;
        };
        ASSERT_TRUE(waitUntil(holding, 30s)) << readFile(logs[0]) << readFile(logs[1]);
        ASSERT_EQ(::kill(-group, SIGTERM), 0);
        for (int copy = 0; copy < 2; ++copy) {
            EXPECT_EQ(copies[size_t(copy)]->exitStatus(30s), 0);
            std::string said = readFile(logs[size_t(copy)]);
            int saved = 0;
            fs::path data = savedInTheUsersData(said, saved);
            ASSERT_FALSE(data.empty()) << said;
            EXPECT_EQ(saved, 2);
            EXPECT_EQ(data.parent_path(), dir_ / "data" / "tavrin");
            EXPECT_TRUE(folders.insert(data).second) << data << " was taken by both copies, round " << round;
        }
    }
    // Every folder holds its copy's two frames and nothing else.
    for (const fs::path &folder : folders) {
        EXPECT_TRUE(holdsFrames(folder, "held", 0, 1));
        size_t files = 0;
        for (const auto &e : fs::directory_iterator(folder)) files += e.is_regular_file();
        EXPECT_EQ(files, 2u) << folder;
    }
}
