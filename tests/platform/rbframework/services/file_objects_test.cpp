// Folder items and binary streams as plug-ins reach them: properties, the
// selector getters, children and parents, streams written and read back.
#include "host_service.h"

#include <rb/object.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace rb;

namespace {

using Item = REALfolderItem;

std::string take(REALstring s) {
    std::string t = s ? toStd(s) : "<nil>";
    releaseString(s);
    return t;
}
REALobject obj(Item i) { return reinterpret_cast<REALobject>(i); }

class FileObjects : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rbfilesXXXXXX";
        dir = mkdtemp(tmpl);
        folder = service<Item(const char *)>("FolderItemFromPath")(dir.c_str());
    }
    void TearDown() override {
        release(obj(folder));
        std::filesystem::remove_all(dir);
    }
    Item child(const char *name) {
        String n(name);
        return service<Item(Item, REALstring)>("FolderChild")(folder, n.get());
    }
    std::string dir;
    Item folder = nullptr;
};

TEST_F(FileObjects, FolderItemMembers) {
    Item f = child("frame001.tif");
    ASSERT_NE(f, nullptr);
    auto getStr = service<RBBoolean(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    auto getBool = service<RBBoolean(REALobject, const char *, RBBoolean *)>("REALGetPropValueBool");
    auto getInt = service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt");
    REALstring s = nullptr;
    ASSERT_TRUE(getStr(obj(f), "Name", &s));
    EXPECT_EQ(take(s), "frame001.tif");
    EXPECT_EQ(take(service<REALstring(Item)>("REALpathFromFolderItem")(f)), dir + "/frame001.tif");
    RBBoolean b = 1;
    ASSERT_TRUE(getBool(obj(f), "Exists", &b));
    EXPECT_EQ(b, 0);
    EXPECT_EQ(service<RBBoolean(REALobject, int32_t)>("fileExistsGetter")(obj(f), 0), 0);
    EXPECT_EQ(service<RBBoolean(REALobject, int32_t)>("fileDirectoryGetter")(obj(folder), 0), 1);
    EXPECT_EQ(take(service<REALstring(REALobject, int32_t)>("fileNameGetter")(obj(folder), 0)),
              std::filesystem::path(dir).filename().string());

    REALobject parent = service<REALobject(REALobject, int32_t)>("folderParentGetter")(obj(f), 0);
    EXPECT_EQ(take(service<REALstring(Item)>("REALpathFromFolderItem")(reinterpret_cast<Item>(parent))), dir);
    release(parent);
    Item root = service<Item(const char *)>("FolderItemFromPath")("/");
    REALobject none = reinterpret_cast<REALobject>(1);
    EXPECT_TRUE(service<RBBoolean(REALobject, const char *, REALobject *)>("REALGetPropValueObject")(obj(root),
                                                                                                     "Parent", &none));
    EXPECT_EQ(none, nullptr);  // the root has no parent
    release(obj(root));

    int32_t length = -1;
    ASSERT_TRUE(getInt(obj(f), "Length", &length));
    EXPECT_EQ(length, 0);
    for (const char *bad : {"", ".", ".."}) EXPECT_EQ(child(bad), nullptr) << bad;
    auto load = service<void *(REALobject, const char *)>("REALLoadObjectMethod");
    EXPECT_EQ(load(obj(f), "Child(name As String) As FolderItem"), rb::resolve("FolderChild"));
    release(obj(f));

    EXPECT_EQ(service<REALstring(Item)>("REALpathFromFolderItem")(nullptr), nullptr);
    String empty("");
    EXPECT_EQ(service<Item(REALstring)>("RuntimeGetFolderItem")(empty.get()), nullptr);
    EXPECT_EQ(service<Item(Item, REALstring)>("FolderChild")(nullptr, empty.get()), nullptr);
}

TEST_F(FileObjects, BinaryStreamWrittenAndReadBack) {
    Item f = child("data.bin");
    String type("text");
    REALobject bs = service<REALobject(Item, REALstring)>("FolderItemCreateBinaryFile")(f, type.get());
    ASSERT_NE(bs, nullptr);
    auto write = service<void(REALobject, REALstring)>("BinaryStreamWrite");
    auto read = service<REALstring(REALobject, int32_t, uint32_t)>("BinaryStreamRead");
    auto getPos = service<int32_t(REALobject, int32_t)>("BinaryStreamGetPosition");
    auto setPos = service<void(REALobject, int32_t, int32_t)>("BinaryStreamSetPosition");
    auto getLen = service<int32_t(REALobject, int32_t)>("BinaryStreamGetLength");
    String hello("hello, deck");
    write(bs, hello.get());
    EXPECT_EQ(getPos(bs, 0), 11);
    EXPECT_EQ(getLen(bs, 0), 11);
    setPos(bs, 0, 7);
    EXPECT_EQ(take(read(bs, 4, 0)), "deck");
    RBBoolean eof = 0;
    service<RBBoolean(REALobject, const char *, RBBoolean *)>("REALGetPropValueBool")(bs, "EOF", &eof);
    EXPECT_EQ(eof, 0);
    EXPECT_EQ(take(read(bs, 10, 0)), "");  // at the end
    service<RBBoolean(REALobject, const char *, RBBoolean *)>("REALGetPropValueBool")(bs, "EOF", &eof);
    EXPECT_EQ(eof, 1);
    setPos(bs, 0, 5);
    String bang("!");
    write(bs, bang.get());  // a write after a read
    service<void(REALobject, int32_t, int32_t)>("BinaryStreamSetLength")(bs, 0, 6);
    EXPECT_EQ(service<int32_t(REALobject, int32_t)>("BinaryStreamLastErrorGetter")(bs, 0), 0);
    service<void(REALobject)>("BinaryStreamClose")(bs);
    EXPECT_EQ(read(bs, 3, 0), nullptr);  // closed
    write(bs, hello.get());
    release(bs);

    int32_t length = 0;
    service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt")(obj(f), "Length", &length);
    EXPECT_EQ(length, 6);
    bs = service<REALobject(Item, RBBoolean)>("FolderItemOpenBinaryFile")(f, 0);
    ASSERT_NE(bs, nullptr);
    EXPECT_EQ(take(read(bs, 100, 0x08000100)), "hello!");
    write(bs, hello.get());  // read-only: refused and recorded
    EXPECT_NE(service<int32_t(REALobject, int32_t)>("BinaryStreamLastErrorGetter")(bs, 0), 0);
    EXPECT_EQ(read(bs, -1, 0), nullptr);
    release(bs);  // closes the file
    release(obj(f));

    Item missing = child("missing.bin");
    EXPECT_EQ(service<REALobject(Item, RBBoolean)>("FolderItemOpenBinaryFile")(missing, 1), nullptr);
    EXPECT_EQ(service<REALobject(Item, RBBoolean)>("FolderItemOpenBinaryFile")(folder, 0), nullptr);
    EXPECT_EQ(service<REALobject(Item, RBBoolean)>("FolderItemOpenBinaryFile")(nullptr, 0), nullptr);
    release(obj(missing));
}

TEST_F(FileObjects, StreamByteOrderBySelector) {
    Item f = child("order.bin");
    REALobject bs = service<REALobject(Item, REALstring)>("FolderItemCreateBinaryFile")(f, nullptr);
    ASSERT_NE(bs, nullptr);
    auto get = service<RBBoolean(REALobject, int32_t)>("boolGetter");
    EXPECT_EQ(get(bs, 28), 0);
    service<void(REALobject, int32_t, RBBoolean)>("boolSetter")(bs, 28, 1);
    EXPECT_EQ(get(bs, 28), 1);
    EXPECT_EQ(get(bs, 33), 0);  // the memory block's selector means nothing here
    release(bs);
    release(obj(f));
}

}  // namespace
