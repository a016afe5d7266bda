// Reference counts on the real host runtime: what each wrapper member
// retains, releases or hands over, and the memory stream's byte order. The
// memory-block, folder-item and variant functions the members reach are
// registered with the host under their resolver names.
#include "wrappers/data.h"
#include "wrappers/system.h"

#include "resolver.h"

#include <rb/host.h>
#include <rb/memory.h>
#include <rb/object.h>
#include <rb/runtime.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

REALobject obj(REALmemoryBlock b) { return reinterpret_cast<REALobject>(b); }
int32_t refs(REALmemoryBlock b) { return rb::refCount(obj(b)); }
int32_t refs(REALfolderItem f) { return rb::refCount(reinterpret_cast<REALobject>(f)); }
int32_t refs(REALobject o) { return rb::refCount(o); }
int32_t refs(REALstring s) { return s->refCount; }

REALmemoryBlock (*gRealNewBlock)(int32_t) = nullptr;
bool gFailNewBlock = false;  // the host gives no block
bool gNilResult = false;     // the registered functions answer nil

// Any host object will do where a member only passes its object on.
REALobject newObj() { return obj(gRealNewBlock(1)); }

REALmemoryBlock newBlock(int32_t size) { return gFailNewBlock ? nullptr : gRealNewBlock(size); }

std::string bytesOf(REALmemoryBlock b) {
    if (!b) return "<nil>";
    return std::string(static_cast<const char *>(REALMemoryBlockGetPtr(b)), size_t(REALMemoryBlockGetSize(b)));
}
REALmemoryBlock blockOf(const std::string &bytes) {
    REALmemoryBlock b = gRealNewBlock(int32_t(bytes.size()));
    if (!bytes.empty()) std::memcpy(REALMemoryBlockGetPtr(b), bytes.data(), bytes.size());
    return b;
}

// The host side of the members under test: each answers a new block (or
// object) retained for the caller.
REALmemoryBlock leftB(REALmemoryBlock b, int32_t n) {
    return gNilResult ? nullptr : blockOf(bytesOf(b).substr(0, size_t(n)));
}
REALmemoryBlock rightB(REALmemoryBlock b, int32_t n) {
    std::string s = bytesOf(b);
    return gNilResult ? nullptr : blockOf(s.substr(s.size() - size_t(n)));
}
REALmemoryBlock midB2(REALmemoryBlock b, int32_t start) {
    return gNilResult ? nullptr : blockOf(bytesOf(b).substr(size_t(start)));
}
REALmemoryBlock midB3(REALmemoryBlock b, int32_t start, int32_t n) {
    return gNilResult ? nullptr : blockOf(bytesOf(b).substr(size_t(start), size_t(n)));
}
REALmemoryBlock getPtr(REALmemoryBlock, int32_t) { return gNilResult ? nullptr : blockOf("ptr"); }
REALmemoryBlock add(REALmemoryBlock a, REALmemoryBlock b) {
    return gNilResult ? nullptr : blockOf(bytesOf(a) + bytesOf(b));
}
REALstring toString(REALmemoryBlock b) { return rb::newString(b ? bytesOf(b) : ""); }
REALobject fromString(REALmemoryBlock b, REALstring s) {
    std::string t = rb::toStd(s);
    reinterpret_cast<void (*)(REALmemoryBlock, int32_t)>(rb::resolve("memoryBlockSetSize"))(b, int32_t(t.size()));
    if (!t.empty()) std::memcpy(REALMemoryBlockGetPtr(b), t.data(), t.size());
    return nullptr;
}
void setSize(REALmemoryBlock b, int32_t n) {
    auto *f = rb::fields<rb::MemoryBlockFields>(obj(b));
    auto *data = new uint8_t[size_t(n > 0 ? n : 0) + 1]();
    if (f->data) std::memcpy(data, f->data, std::min<size_t>(f->size, size_t(n > 0 ? n : 0)));
    delete[] f->data;
    f->data = data;
    f->size = uint32_t(n > 0 ? n : 0);
}
char *raw() {
    static char bytes[] = {'x', 'y', 'z'};
    return bytes;
}
void setCString(REALmemoryBlock, int32_t, REALstring) {}
void setStringValue(REALmemoryBlock, int32_t, int32_t, REALstring) {}
void setPtr(REALmemoryBlock, int32_t, REALmemoryBlock) {}

REALobject newItem() { return gNilResult ? nullptr : newObj(); }
REALobject folderItem(REALfolderItem, int32_t) { return newItem(); }
REALobject folderParent(REALfolderItem, int32_t) { return newItem(); }
REALobject folderChild(REALfolderItem, REALstring) { return newItem(); }
REALobject folderByPath(REALstring) { return newItem(); }
REALobject createFile(REALfolderItem, REALstring) { return newItem(); }
void streamWrite(REALobject, REALstring) {}
REALobject variantAdd(REALobject, REALobject) { return newItem(); }

class WrapperRefs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        gResolver = rb::resolve;
        gRealNewBlock = reinterpret_cast<REALmemoryBlock (*)(int32_t)>(rb::resolve("newMemoryBlock"));
        rb::registerService("newMemoryBlock", reinterpret_cast<void *>(&newBlock));
        if (!rb::resolve("memoryBlockSetSize"))
            rb::registerService("memoryBlockSetSize", reinterpret_cast<void *>(&setSize));
        const std::pair<const char *, void *> services[] = {
            {"MemoryBlockLeftB", reinterpret_cast<void *>(&leftB)},
            {"MemoryBlockRightB", reinterpret_cast<void *>(&rightB)},
            {"MemoryBlockMidB2", reinterpret_cast<void *>(&midB2)},
            {"MemoryBlockMidB3", reinterpret_cast<void *>(&midB3)},
            {"memoryGetPtr", reinterpret_cast<void *>(&getPtr)},
            {"memorySetPtr", reinterpret_cast<void *>(&setPtr)},
            {"memorySetCString", reinterpret_cast<void *>(&setCString)},
            {"memorySetPString", reinterpret_cast<void *>(&setCString)},
            {"memorySetWString", reinterpret_cast<void *>(&setCString)},
            {"memorySetString", reinterpret_cast<void *>(&setStringValue)},
            {"MemoryBlockAddOperator", reinterpret_cast<void *>(&add)},
            {"MemoryBlockToStringOperator", reinterpret_cast<void *>(&toString)},
            {"MemoryBlockFromStringOperator", reinterpret_cast<void *>(&fromString)},
            {"FolderItemItem", reinterpret_cast<void *>(&folderItem)},
            {"folderParentGetter", reinterpret_cast<void *>(&folderParent)},
            {"FolderChild", reinterpret_cast<void *>(&folderChild)},
            {"RuntimeGetFolderItem", reinterpret_cast<void *>(&folderByPath)},
            {"RuntimeGetOpenFolderItem", reinterpret_cast<void *>(&folderByPath)},
            {"FolderItemCreateBinaryFile", reinterpret_cast<void *>(&createFile)},
            {"folderCreateResourceFork", reinterpret_cast<void *>(&createFile)},
            {"BinaryStreamWrite", reinterpret_cast<void *>(&streamWrite)},
            {"VariantAdd", reinterpret_cast<void *>(&variantAdd)},
        };
        for (auto &[name, fn] : services) rb::registerService(name, fn);
    }
    void SetUp() override { gFailNewBlock = gNilResult = false; }
};

TEST_F(WrapperRefs, LockAndUnlockChangeTheCountByOneAndCopiesShareTheReference) {
    REALmemoryBlock b = gRealNewBlock(8);
    XMemoryBlock m(b);
    m.lock();
    EXPECT_EQ(refs(b), 2);
    XMemoryBlock copy = m;
    copy.unlock();
    EXPECT_EQ(refs(b), 1);  // one release, for both copies
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(m), b);

    REALobject o = newObj();
    X x(o);
    x.lock();
    X(x).unlock();
    EXPECT_EQ(refs(o), 1);
    XCursor c(o);
    c.lock();
    EXPECT_EQ(refs(o), 2);
    c.unlock();
    EXPECT_EQ(refs(o), 1);
    rb::release(o);
    m.unlock();
}

TEST_F(WrapperRefs, DestroyingAWrapperReleasesNothing) {
    REALmemoryBlock b = gRealNewBlock(8);
    REALobject o = newObj();
    {
        XMemoryBlock m(b);
        XMemoryStream s(b);
        X x(o);
        XVariant v(o);
        XFolderItem f(reinterpret_cast<REALfolderItem>(o));
        XMemoryBlock copy = m;
        EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(copy), b);
    }
    EXPECT_EQ(refs(b), 1);
    EXPECT_EQ(refs(o), 1);
    rb::release(obj(b));
    rb::release(o);
}

TEST_F(WrapperRefs, MemoryBlockTransformsHoldTheResultAndReleaseTheOldBlock) {
    REALmemoryBlock b = blockOf("abcdef");
    rb::retain(obj(b));  // the test's own reference, to watch the count
    XMemoryBlock m(b);
    XMemoryBlock r = m.leftb(2);
    EXPECT_EQ(refs(b), 1);
    REALmemoryBlock left = m;
    EXPECT_EQ(bytesOf(left), "ab");
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(r), left);
    EXPECT_EQ(refs(left), 1);  // the copy returned is not retained again

    EXPECT_EQ(bytesOf(m.rightb(1)), "b");
    auto sliced = [](auto slice) {
        XMemoryBlock x(blockOf("abcdef"));
        const std::string bytes = bytesOf(slice(x));
        x.unlock();
        return bytes;
    };
    EXPECT_EQ(sliced([](XMemoryBlock &x) { return x.midb(2); }), "cdef");
    EXPECT_EQ(sliced([](XMemoryBlock &x) { return x.midb(1, 3); }), "bcd");
    EXPECT_EQ(sliced([](XMemoryBlock &x) { return x.ptr(0); }), "ptr");
    m.unlock();

    gNilResult = true;  // the accessor answers nil: nil is held, the old block still released
    rb::retain(obj(b));
    XMemoryBlock n(b);
    for (auto transform : {+[](XMemoryBlock &x) { x.leftb(1); }, +[](XMemoryBlock &x) { x.rightb(1); },
                           +[](XMemoryBlock &x) { x.midb(1); }, +[](XMemoryBlock &x) { x.midb(1, 1); },
                           +[](XMemoryBlock &x) { x.ptr(0); }}) {
        n = XMemoryBlock(b);
        rb::retain(obj(b));
        const int32_t before = refs(b);
        transform(n);
        EXPECT_EQ(refs(b), before - 1);
        EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(n), nullptr);
        EXPECT_FALSE(static_cast<unsigned char>(n));
    }
    EXPECT_EQ(refs(b), 2);
    rb::release(obj(b));
    rb::release(obj(b));
}

TEST_F(WrapperRefs, FolderItemAndVariantTransformsReleaseTheOldObjectAndTheirStrings) {
    for (bool nil : {false, true}) {
        gNilResult = nil;
        REALobject o = newObj();
        auto f = reinterpret_cast<REALfolderItem>(o);
        using Step = XFolderItem (*)(XFolderItem &, REALstring);
        const Step steps[] = {
            [](XFolderItem &x, REALstring) { return x.item(1); },
            [](XFolderItem &x, REALstring) { return x.parent(); },
            [](XFolderItem &x, REALstring s) { return x.child(s); },
            [](XFolderItem &x, REALstring s) { return x.getfolderitem(s); },
            [](XFolderItem &x, REALstring s) { return x.getopen(s); },
        };
        int index = 0;
        for (Step step : steps) {
            rb::retain(o);
            XFolderItem x(f);
            REALstring s = rb::newString("name");
            rb::retainString(s);  // a reference of the test's own
            const bool takesString = index >= 2;
            XFolderItem result = step(x, s);
            EXPECT_EQ(refs(o), 1) << "step " << index;
            EXPECT_EQ(refs(s), takesString ? 1 : 2) << "step " << index;
            REALfolderItem held = x;
            EXPECT_EQ(held == nullptr, nil) << "step " << index;
            EXPECT_EQ(static_cast<REALfolderItemStruct *>(result), held);
            if (held) {
                EXPECT_EQ(refs(held), 1);
                rb::release(reinterpret_cast<REALobject>(held));
            }
            REALUnlockString(s);
            if (!takesString) REALUnlockString(s);
            ++index;
        }
        XVariant v(o);
        rb::retain(o);
        REALobject other = newObj();
        v.add(other);
        EXPECT_EQ(refs(o), 1);
        EXPECT_EQ(refs(other), 1);  // the argument is left alone
        EXPECT_EQ(static_cast<REALobjectStruct *>(v) == nullptr, nil);
        rb::release(static_cast<REALobjectStruct *>(v));
        rb::release(other);
        rb::release(o);
    }
}

TEST_F(WrapperRefs, ConsumingMembersReleaseTheirArgumentOnceAndWriteKeepsItsString) {
    XMemoryBlock m(gRealNewBlock(16));
    auto handed = [](auto member) {
        REALstring s = rb::newString("text");
        rb::retainString(s);  // the test's own reference
        member(s);
        const int32_t left = refs(s);
        for (int32_t i = 0; i < left; ++i) REALUnlockString(s);
        return left;
    };
    EXPECT_EQ(handed([&](REALstring s) { m.cstring(0, s); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { m.pstring(0, s); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { m.wstring(0, s); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { m.string(0, 4, s); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { XMemoryBlock(s).unlock(); }), 1);
    EXPECT_EQ(handed([&](REALstring s) {
                  XMemoryStream t(s);
                  REALUnlockObject(obj(static_cast<REALmemoryBlockStruct *>(t)));
              }),
              1);

    REALobject o = newObj();
    XFolderItem f(reinterpret_cast<REALfolderItem>(o));
    EXPECT_EQ(handed([&](REALstring s) { rb::release(f.createbinarystream(s)); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { rb::release(f.createresourcefork(s)); }), 1);
    EXPECT_EQ(handed([&](REALstring s) { XBinaryStream(o).write(s); }), 1);
    EXPECT_EQ(refs(o), 1);

    REALmemoryBlock arg = gRealNewBlock(4);
    rb::retain(obj(arg));
    m.ptr(0, arg);
    EXPECT_EQ(refs(arg), 1);
    rb::release(obj(arg));

    XMemoryStream stream(3L);
    EXPECT_EQ(handed([&](REALstring s) { stream.write(s); }), 2);  // not consumed
    REALUnlockString(stream.read(stream.size()));
    REALUnlockObject(obj(static_cast<REALmemoryBlockStruct *>(stream)));
    m.unlock();
    rb::release(o);
}

TEST_F(WrapperRefs, MemoryStreamGivesItsBytesInOrder) {
    REALstring abc = rb::newString("abc"), de = rb::newString("de");
    rb::retainString(abc);  // the stream's constructor releases one
    XMemoryStream s(abc);
    REALmemoryBlock first = s;
    REALmemoryBlock joined = s.write(de);
    EXPECT_EQ(bytesOf(joined), "abcde");
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(s), joined);
    EXPECT_NE(joined, first);
    EXPECT_EQ(refs(joined), 1);

    REALstring two = s.read(2);
    EXPECT_EQ(rb::toStd(two), "ab");
    EXPECT_EQ(bytesOf(s), "cde");
    REALUnlockString(two);

    REALstring rest = s.read(s.size());
    EXPECT_EQ(rb::toStd(rest), "cde");
    EXPECT_EQ(s.size(), 0);
    REALUnlockString(rest);

    XMemoryStream empty(0L);
    EXPECT_EQ(empty.size(), 0);
    empty.write(abc);
    EXPECT_EQ(bytesOf(empty), "abc");
    REALUnlockObject(obj(static_cast<REALmemoryBlockStruct *>(empty)));
    REALUnlockObject(obj(static_cast<REALmemoryBlockStruct *>(s)));

    XMemoryStream fromBytes(raw(), 3);
    EXPECT_EQ(bytesOf(fromBytes), "xyz");
    EXPECT_EQ(std::string(static_cast<char *>(fromBytes), 3), "xyz");
    REALstring all = fromBytes;  // ends the stream
    EXPECT_EQ(rb::toStd(all), "xyz");
    REALUnlockString(all);
    REALUnlockString(abc);
    REALUnlockString(de);
}

// The stream's faults, each mended: the finished stream holds nil, a read
// past the end is clamped, and a block the host does not give loses nothing.
TEST_F(WrapperRefs, MemoryStreamSurvivesBadReadsAndMissingBlocks) {
    REALstring abc = rb::newString("abc");
    rb::retainString(abc);
    XMemoryStream s(abc);
    REALmemoryBlock block = s;
    rb::retain(obj(block));
    REALstring text = s;
    EXPECT_EQ(rb::toStd(text), "abc");
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(s), nullptr);
    EXPECT_EQ(refs(block), 1);  // released once, by the conversion
    REALUnlockString(text);
    rb::release(obj(block));

    rb::retainString(abc);
    XMemoryStream t(abc);
    REALstring all = t.read(10);
    EXPECT_EQ(rb::toStd(all), "abc");
    EXPECT_EQ(t.size(), 0);
    REALUnlockString(all);
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(XMemoryStream(-5L)), nullptr);
    REALstring none = t.read(-1);
    EXPECT_EQ(rb::toStd(none), "");
    REALUnlockString(none);
    REALUnlockObject(obj(static_cast<REALmemoryBlockStruct *>(t)));

    rb::retainString(abc);
    XMemoryStream u(abc);
    REALmemoryBlock before = u;
    gNilResult = true;  // no joined block
    EXPECT_EQ(u.write(abc), nullptr);
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(u), before);
    EXPECT_EQ(bytesOf(u), "abc");
    gNilResult = false;

    gFailNewBlock = true;  // no block for the read's copies
    EXPECT_EQ(u.read(1), nullptr);
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(u), before);
    EXPECT_EQ(bytesOf(u), "abc");
    XMemoryStream noBlock(raw(), 3);
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(noBlock), nullptr);
    XMemoryBlock fromString(rb::newString("abc"));
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(fromString), nullptr);
    XMemoryBlock fromPtr(static_cast<void *>(raw()));
    EXPECT_EQ(static_cast<REALmemoryBlockStruct *>(fromPtr), nullptr);
    gFailNewBlock = false;
    REALUnlockObject(obj(before));
    REALUnlockString(abc);
}

}  // namespace
