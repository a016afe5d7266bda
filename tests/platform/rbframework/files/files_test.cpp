// Folder items, binary streams and the preferences folder.
#include <rb/files.h>
#include <rb/operator.h>
#include <rb/ui.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace rb;

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rbfiles-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = FolderItem::make(tmpl);
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir->absolutePath() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
    FolderItemRef dir;
};

TEST_F(Files, PathsChildrenAndParents) {
    FolderItem rel("a/../b/./c");
    EXPECT_EQ(rel.absolutePath().front(), '/');
    EXPECT_EQ(rel.name(), "c");
    EXPECT_EQ(rel.parent()->name(), "b");
    EXPECT_EQ(FolderItem("/").parent(), nullptr);
    EXPECT_EQ(FolderItem("/tmp").parent()->absolutePath(), "/");
    EXPECT_EQ(dir->child("tape/1007.tif")->name(), "tape:1007.tif");  // never a sub-folder
    EXPECT_EQ(dir->child(".."), nullptr);
    EXPECT_EQ(dir->child(""), nullptr);
    EXPECT_EQ(dir->child(std::string("a\0b", 3)), nullptr);
    EXPECT_TRUE(dir->isFolder());
    EXPECT_FALSE(dir->child("missing")->exists());
}

TEST_F(Files, StreamRoundTripIsBigEndianByDefault) {
    auto f = dir->child("Tavrin! 1.0 Prefs");
    {
        auto s = BinaryStream::create(*f, "text");
        ASSERT_NE(s, nullptr);
        s->writeByte(1);
        s->writeByte(0x2ff & 0xff);
        s->writeShort(3);
        s->writeBytes("abc");
        s->writeShort(-2);
        s->writeByte(2);
        EXPECT_EQ(s->length(), 10);
        EXPECT_TRUE(s->close());
    }
    EXPECT_EQ(slurp(f->absolutePath()), std::string("\x01\xff\x00\x03"
                                                    "abc\xff\xfe\x02",
                                                    10));
    auto r = BinaryStream::openRead(*f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->readByte(), 1);
    EXPECT_EQ(r->readByte(), 0xff);
    int16_t n = r->readShort();
    EXPECT_EQ(r->readBytes(size_t(n)), "abc");
    EXPECT_EQ(r->readShort(), -2);
    EXPECT_EQ(r->readByte(), 2);
    EXPECT_FALSE(r->eof());
    r->writeByte(9);  // a read-only stream refuses writes
    EXPECT_TRUE(r->writeError());
}

TEST_F(Files, LittleEndianWhenAsked) {
    auto f = dir->child("le");
    auto s = BinaryStream::create(*f, "data");
    s->littleEndian = true;
    s->writeShort(0x0102);
    s->close();
    EXPECT_EQ(slurp(f->absolutePath()), "\x02\x01");
}

TEST_F(Files, ReadsPastTheEndYieldZeroAndSetEof) {
    auto f = dir->child("short");
    spit(f->absolutePath(), std::string("\x05\x07\x00", 3));
    auto r = BinaryStream::openRead(*f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->readByte(), 5);
    EXPECT_EQ(r->readShort(), 0x0700);
    EXPECT_FALSE(r->eof());
    EXPECT_EQ(r->readShort(), 0);
    EXPECT_TRUE(r->eof());
    EXPECT_EQ(r->readByte(), 0);
    EXPECT_EQ(r->readBytes(100), "");

    spit(f->absolutePath(), "x");  // one byte: a 16-bit read cannot complete
    r = BinaryStream::openRead(*f);
    EXPECT_EQ(r->readShort(), 0);
    EXPECT_TRUE(r->eof());

    spit(f->absolutePath(), "abc");
    r = BinaryStream::openRead(*f);
    EXPECT_EQ(r->readBytes(10), "abc");
    EXPECT_TRUE(r->eof());
    r->close();
    EXPECT_EQ(r->readByte(), 0);  // closed: still no crash
}

TEST_F(Files, CreateReplacesAndFailsCleanly) {
    auto f = dir->child("frame000.tif");
    spit(f->absolutePath(), "a much longer earlier file");
    auto s = BinaryStream::create(*f, "TIFF");
    ASSERT_NE(s, nullptr);
    s->writeBytes("II*");
    s.reset();  // closing by destruction keeps the bytes
    EXPECT_EQ(slurp(f->absolutePath()), "II*");

    EXPECT_EQ(BinaryStream::create(*dir->child("nofolder")->child("x"), "TIFF"), nullptr);
    EXPECT_EQ(BinaryStream::create(*dir, "TIFF"), nullptr);  // a folder is not replaced
    EXPECT_EQ(BinaryStream::openRead(*dir->child("missing")), nullptr);
    EXPECT_EQ(BinaryStream::openRead(*dir), nullptr);
}

TEST_F(Files, AtomicSaveReplacesOnlyOnSuccess) {
    auto f = dir->child("Tavrin Capture Settings 1.2");
    spit(f->absolutePath(), "old");
    {
        auto s = BinaryStream::createAtomic(*f, "application/text");
        ASSERT_NE(s, nullptr);
        s->writeBytes("new settings");
        EXPECT_EQ(slurp(f->absolutePath()), "old");  // untouched until committed
        EXPECT_TRUE(s->close());
    }
    EXPECT_EQ(slurp(f->absolutePath()), "new settings");
    {
        auto s = BinaryStream::createAtomic(*f, "text");
        s->writeBytes("half");
        s->discard();
    }
    EXPECT_EQ(slurp(f->absolutePath()), "new settings");
    {
        auto s = BinaryStream::createAtomic(*f, "text");
        s->writeBytes("by destruction");
    }
    EXPECT_EQ(slurp(f->absolutePath()), "by destruction");
    // No temporary files are left behind.
    std::string cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(BinaryStream::createAtomic(*dir->child("nofolder")->child("x"), "text"), nullptr);
}

// The temporary file lies beside its file, hidden, its name longer by what
// temporaryNameExtra() says: a file name that long is the longest an atomic
// save can make in the folder.
TEST_F(Files, AtomicSaveTemporaryNameIsAsLongAsSaid) {
    DurableBatch batch;
    auto f = dir->child("frame007.tif");
    auto s = BinaryStream::createAtomic(*f, "TIFF", &batch);
    ASSERT_NE(s, nullptr);
    s->writeBytes("pixels");
    ASSERT_TRUE(s->close());
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator(dir->absolutePath()))
        names.push_back(e.path().filename().string());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].size(), f->name().size() + BinaryStream::temporaryNameExtra());
    EXPECT_EQ(names[0].substr(0, f->name().size() + 1), "." + f->name());
    EXPECT_TRUE(BinaryStream::isTemporaryName(names[0], ".tif"));
    EXPECT_TRUE(BinaryStream::isTemporaryName(names[0]));
    EXPECT_FALSE(BinaryStream::isTemporaryName(names[0], ".png"));
    EXPECT_FALSE(BinaryStream::isTemporaryName(names[0].substr(1), ".tif"));  // not hidden
    EXPECT_FALSE(BinaryStream::isTemporaryName("." + f->name()));
    EXPECT_FALSE(BinaryStream::isTemporaryName(".frame007.tif.tmp-", ".tif"));

    long nameMax = ::pathconf(dir->absolutePath().c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) GTEST_SKIP() << "the folder's longest name is not known";
    size_t longest = size_t(nameMax) - BinaryStream::temporaryNameExtra();
    EXPECT_NE(BinaryStream::createAtomic(*dir->child(std::string(longest, 'a')), "TIFF"), nullptr);
    errno = 0;
    EXPECT_EQ(BinaryStream::createAtomic(*dir->child(std::string(longest + 1, 'a')), "TIFF"), nullptr);
    EXPECT_EQ(errno, ENAMETOOLONG);
}

// Saves of a batch touch nothing until commit(), which syncs every
// temporary file before any name changes, then puts them all in place.
TEST_F(Files, DurableBatchPutsFilesInPlaceOnlyAtCommit) {
    auto a = dir->child("clip000.tif"), b = dir->child("clip001.tif"), c = dir->child("clip002.tif");
    spit(b->absolutePath(), "older frame");
    DurableBatch batch;
    bool codes = true;
    for (auto &[file, bytes] : {std::pair{a, "frame 0"}, {b, "frame 1"}, {c, "frame 2"}}) {
        auto s = BinaryStream::createAtomic(*file, "TIFF", &batch);
        ASSERT_NE(s, nullptr);
        codes = s->setMacCreator("prvw") && codes;
        s->writeBytes(bytes);
        EXPECT_TRUE(s->close());
    }
    // A save whose write failed does not join.
    {
        auto s = BinaryStream::createAtomic(*dir->child("clip003.tif"), "TIFF", &batch);
        s->writeBytes("half");
        s->discard();
    }
    EXPECT_EQ(batch.size(), 3u);
    EXPECT_FALSE(a->exists());
    EXPECT_EQ(slurp(b->absolutePath()), "older frame") << "untouched until committed";

    int calls = 0;
    std::vector<bool> saved = batch.commit([&] {
        ++calls;
        EXPECT_FALSE(a->exists() || c->exists()) << "no name before every file is synced";
        EXPECT_EQ(slurp(b->absolutePath()), "older frame");
    });
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(saved, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(slurp(a->absolutePath()), "frame 0");
    EXPECT_EQ(slurp(b->absolutePath()), "frame 1");
    EXPECT_EQ(slurp(c->absolutePath()), "frame 2");
    if (codes) {
        EXPECT_EQ(c->macType(), "TIFF");
        EXPECT_EQ(c->macCreator(), "prvw") << "set on the temporary file, carried to the name";
    }
    EXPECT_EQ(batch.size(), 0u);
    EXPECT_TRUE(batch.commit().empty());
    std::string cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 3";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "no temporary files left";
}

// A save that fails at commit leaves its file as it was and is reported
// alone; the others are saved.
TEST_F(Files, DurableBatchReportsEachSaveThatFails) {
    auto a = dir->child("a.tif"), gone = dir->child("gone.tif"), folder = dir->child("folder.tif"),
         d = dir->child("d.tif");
    DurableBatch batch;
    for (const auto &file : {a, gone, folder, d}) {
        auto s = BinaryStream::createAtomic(*file, "TIFF", &batch);
        ASSERT_NE(s, nullptr);
        s->writeBytes(file->name());
        EXPECT_TRUE(s->close());
    }
    // Behind the batch's back, the temporary file of `gone` disappears and a
    // full folder takes the name of `folder.tif` (a folder is never replaced).
    std::string cmd = "rm -f '" + dir->absolutePath() + "'/.gone.tif.tmp-*";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    ASSERT_TRUE(folder->createAsFolder());
    spit(folder->child("inside")->absolutePath(), "kept");
    EXPECT_EQ(BinaryStream::createAtomic(*folder, "TIFF", &batch), nullptr);

    EXPECT_EQ(batch.commit(), (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(slurp(a->absolutePath()), "a.tif");
    EXPECT_EQ(slurp(d->absolutePath()), "d.tif");
    EXPECT_FALSE(gone->exists());
    EXPECT_TRUE(folder->isFolder());
    EXPECT_EQ(slurp(folder->child("inside")->absolutePath()), "kept");
    cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 3";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "no temporary files left";
}

// A thread told to stop while the batch commits (its yield throws) still
// gets every file in place before it unwinds.
TEST_F(Files, DurableBatchFinishesWhenItsPauseThrows) {
    DurableBatch batch;
    for (const char *name : {"a.tif", "b.tif", "c.tif"}) {
        auto s = BinaryStream::createAtomic(*dir->child(name), "TIFF", &batch);
        s->writeBytes(name);
    }
    int calls = 0;
    struct Stop {};
    EXPECT_THROW(batch.commit([&] {
        ++calls;
        throw Stop{};
    }),
                 Stop);
    EXPECT_EQ(calls, 1) << "not run again";
    for (const char *name : {"a.tif", "b.tif", "c.tif"}) EXPECT_EQ(slurp(dir->child(name)->absolutePath()), name);
    EXPECT_EQ(batch.size(), 0u);
    std::string cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 3";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "no temporary files left";
}

// A batch that keeps existing files puts a save in place only where no file
// is: one already there (another program's frame, made after the check
// that the name was free) stays as it was, and that save alone fails.
TEST_F(Files, DurableBatchThatKeepsExistingFilesNeverReplacesOne) {
    auto mine = dir->child("q000.tif"), theirs = dir->child("q001.tif");
    DurableBatch batch(DurableBatch::Existing::Keep);
    for (const auto &file : {mine, theirs}) {
        auto s = BinaryStream::createAtomic(*file, "TIFF", &batch);
        ASSERT_NE(s, nullptr);
        s->writeBytes("my frame");
        EXPECT_TRUE(s->close());
    }
    spit(theirs->absolutePath(), "their frame");
    EXPECT_EQ(batch.commit(), (std::vector<bool>{true, false}));
    EXPECT_EQ(slurp(mine->absolutePath()), "my frame");
    EXPECT_EQ(slurp(theirs->absolutePath()), "their frame");
    std::string cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 2";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "no temporary files left";
}

TEST_F(Files, DurableBatchNotCommittedLeavesEverythingAsItWas) {
    auto a = dir->child("a.tif"), b = dir->child("b.tif");
    spit(b->absolutePath(), "older");
    {
        DurableBatch batch;
        for (const auto &file : {a, b}) {
            auto s = BinaryStream::createAtomic(*file, "TIFF", &batch);
            s->writeBytes("new");
        }  // closed by destruction: joins the batch
        EXPECT_EQ(batch.size(), 2u);
    }
    EXPECT_FALSE(a->exists());
    EXPECT_EQ(slurp(b->absolutePath()), "older");
    std::string cmd = "test $(ls -A '" + dir->absolutePath() + "' | wc -l) -eq 1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "no temporary files left";
}

TEST_F(Files, MacTypeAndCreatorRoundTrip) {
    auto f = dir->child("clip007.tif");
    auto s = BinaryStream::create(*f, "TIFF");
    ASSERT_NE(s, nullptr);
    s->close();
    if (!f->setMacCreator("prvw")) GTEST_SKIP() << "no user extended attributes here";
    EXPECT_EQ(f->macCreator(), "prvw");
    EXPECT_EQ(f->macType(), "TIFF");  // from the file-type name
    EXPECT_TRUE(f->setMacType("TEXT"));
    EXPECT_EQ(f->macType(), "TEXT");
    auto p = dir->child("prefs");
    BinaryStream::create(*p, "text")->close();
    EXPECT_EQ(p->macType(), "TEXT");
    EXPECT_EQ(dir->child("missing")->macType(), "");
    EXPECT_FALSE(dir->child("missing")->setMacType("TIFF"));
}

TEST_F(Files, RemoveAndFolders) {
    auto sub = dir->child("sub");
    EXPECT_TRUE(sub->createAsFolder());
    EXPECT_TRUE(sub->createAsFolder());  // already there
    auto f = sub->child("f");
    spit(f->absolutePath(), "1234");
    EXPECT_EQ(f->length(), 4);
    EXPECT_FALSE(sub->remove());  // not empty
    EXPECT_TRUE(f->remove());
    EXPECT_FALSE(f->remove());
    EXPECT_TRUE(sub->remove());
    EXPECT_FALSE(sub->exists());
}

TEST_F(Files, PreferencesFolderOverrides) {
    const char *oldPrefs = std::getenv("TAVRIN_PREFS_DIR");
    const char *oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string savedPrefs = oldPrefs ? oldPrefs : "", savedXdg = oldXdg ? oldXdg : "";

    ::setenv("TAVRIN_PREFS_DIR", (dir->absolutePath() + "/a/b").c_str(), 1);
    auto p = preferencesFolder();
    EXPECT_EQ(p->absolutePath(), dir->absolutePath() + "/a/b");
    EXPECT_TRUE(p->isFolder());  // created with its parents

    ::unsetenv("TAVRIN_PREFS_DIR");
    ::setenv("XDG_CONFIG_HOME", (dir->absolutePath() + "/xdg").c_str(), 1);
    EXPECT_EQ(preferencesFolder()->absolutePath(), dir->absolutePath() + "/xdg/tavrin");
    EXPECT_TRUE(preferencesFolder()->isFolder());

    if (oldPrefs) ::setenv("TAVRIN_PREFS_DIR", savedPrefs.c_str(), 1);
    if (oldXdg) ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
}

// Headless, launching an item only records it, as a file: URL (a path that
// starts with '-' or holds a space cannot pass for an option or two words).
TEST_F(Files, LaunchOpensTheItemAsAFileURL) {
    auto item = dir->child("-a b%.txt");
    spit(item->absolutePath(), "x");
    ASSERT_TRUE(backend().headless());
    EXPECT_TRUE(item->launch());
    ASSERT_FALSE(op::opened().empty());
    EXPECT_EQ(op::opened().back(), "file://" + dir->absolutePath() + "/-a%20b%25.txt");
    EXPECT_FALSE(dir->child("missing")->launch());
    EXPECT_EQ(op::opened().back(), "file://" + dir->absolutePath() + "/-a%20b%25.txt");
}

}  // namespace
