// The preferences file: the first run, which fields are written, a linked
// deck kept as it is, garbage, special and oversized files; and the cap of
// the small-file reader.
#include "application/app.h"
#include "application/smallfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavrin;
namespace fs = std::filesystem;

namespace {

class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tavrin-prefs-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        setenv("TAVRIN_PREFS_DIR", dir.c_str(), 1);
        App &a = app();
        a.controlpref = 0;
        a.myserialport = 0;
        a.filecreator = 0;
    }
    void TearDown() override { fs::remove_all(dir); }

    void writeFile(const std::string &bytes) { std::ofstream(dir / kPrefsFileName, std::ios::binary) << bytes; }
    std::string readFile() {
        std::ifstream in(dir / kPrefsFileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    fs::path dir;
};

}  // namespace

TEST_F(Prefs, FirstRunWritesSevenBytes) {
    app().ReadPrefs();
    EXPECT_EQ(app().controlpref, 0);
    EXPECT_EQ(app().myserialport, 0);
    EXPECT_EQ(app().filecreator, 0);
    app().WritePrefs();
    EXPECT_EQ(readFile(), std::string(7, '\0'));
}

TEST_F(Prefs, NonEmptyTextFieldsAreSkipped) {
    // Lengths 3 and 5 (16-bit, big-endian), creator byte at offset 14.
    writeFile(
        std::string("\x01\x02\x00\x03"
                    "abc"
                    "\x00\x05"
                    "defgh"
                    "\x01",
                    15));
    app().ReadPrefs();
    EXPECT_EQ(app().controlpref, 1);
    EXPECT_EQ(app().myserialport, 2);
    EXPECT_EQ(app().filecreator, 1);
    app().WritePrefs();
    EXPECT_EQ(readFile(), std::string("\x01\x02\x00\x00\x00\x00\x01", 7));
}

TEST_F(Prefs, LinkValueTwoIsKeptAsItIs) {
    writeFile(std::string("\x02\x00\x00\x00\x00\x00\x02", 7));
    app().ReadPrefs();
    EXPECT_EQ(app().controlpref, 2);  // every value but 1 means FireWire
    EXPECT_EQ(app().filecreator, 2);
}

TEST_F(Prefs, ShortAndGarbageFilesKeepTheDefaults) {
    for (std::string bytes : {std::string(), std::string("\x01", 1), std::string("\x01\x03\x7f\xff", 4),
                              std::string("\x01\x03\x00\x09"
                                          "ab",
                                          6)}) {
        SCOPED_TRACE(bytes.size());
        app().controlpref = 0;
        app().myserialport = 0;
        app().filecreator = 0;
        writeFile(bytes);
        app().ReadPrefs();
        EXPECT_EQ(app().filecreator, 0);  // never reached
    }
    // The fields a truncated file does hold are read.
    writeFile(std::string("\x01\x03", 2));
    app().ReadPrefs();
    EXPECT_EQ(app().controlpref, 1);
    EXPECT_EQ(app().myserialport, 3);
}

TEST_F(Prefs, WritingReplacesTheFileWhole) {
    writeFile(std::string(100, 'x'));
    app().controlpref = 1;
    app().myserialport = 4;
    app().filecreator = 2;
    app().WritePrefs();
    EXPECT_EQ(readFile(), std::string("\x01\x04\x00\x00\x00\x00\x02", 7));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(Prefs, AFifoAtThePathDoesNotHangTheRead) {
    fs::path fifo = dir / kPrefsFileName;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    app().controlpref = 1;
    app().ReadPrefs();  // returns at once: nothing writes to the FIFO
    EXPECT_EQ(app().controlpref, 1);
    EXPECT_FALSE(readSmallFile(fifo.string(), 100).has_value());
}

TEST_F(Prefs, AnOversizedFileIsGarbageAndKeepsTheDefaults) {
    // A valid beginning followed by far more than the format can hold.
    writeFile(std::string("\x01\x02\x00\x00\x00\x00\x01", 7) + std::string(200000, 'x'));
    app().ReadPrefs();
    EXPECT_EQ(app().controlpref, 0);
    EXPECT_EQ(app().filecreator, 0);
}

TEST(SmallFile, ReadsUpToTheCapAndNoFurther) {
    fs::path p = fs::temp_directory_path() / ("tavrin-small-" + std::to_string(::getpid()));
    std::ofstream(p, std::ios::binary) << std::string(10, 'a');
    EXPECT_EQ(readSmallFile(p.string(), 10), std::string(10, 'a'));
    EXPECT_FALSE(readSmallFile(p.string(), 9).has_value());
    EXPECT_FALSE(readSmallFile(fs::temp_directory_path().string(), 1 << 20).has_value());  // a folder
    EXPECT_FALSE(readSmallFile((p.string() + ".missing"), 10).has_value());
    EXPECT_FALSE(readSmallFile("/dev/zero", 1 << 20).has_value());  // endless, not regular
    fs::remove(p);
}
