// Object model: layout, lifetime order, reference counts, strings and the
// framework data classes as plug-ins reach them.
#include <rb/entrypoints.h>
#include <rb/exception.h>
#include <rb/host.h>
#include <rb/memory.h>
#include <rb/plugins.h>
#include <rb/timer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gLog;

struct BaseFields {
    int32_t a = 7;
    BaseFields() { gLog.push_back("base+"); }
    ~BaseFields() { gLog.push_back("base-"); }
};
struct DerivedFields {
    double d = 2.5;
    DerivedFields() { gLog.push_back("derived+"); }
    ~DerivedFields() { gLog.push_back("derived-"); }
};

TEST(ObjectModel, ConstructBaseFirstDestructDerivedFirst) {
    rb::ClassInfo *base = rb::defineClass<BaseFields>("OrderBase");
    rb::ClassInfo *derived = rb::defineClass<DerivedFields>("OrderDerived", base);
    ASSERT_TRUE(base && derived);
    EXPECT_EQ(base->dataOffset, 24u);
    EXPECT_GE(derived->dataOffset, base->instanceSize);
    EXPECT_EQ(derived->dataOffset % alignof(double), 0u);
    EXPECT_EQ(rb::defineClass<BaseFields>("orderbase"), nullptr) << "names are case-insensitive";

    gLog.clear();
    REALobject o = rb::newObject("ORDERDERIVED");
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->klass, derived);
    EXPECT_EQ(rb::fields<BaseFields>(o, base)->a, 7);
    EXPECT_EQ(rb::fields<DerivedFields>(o)->d, 2.5);
    rb::retain(o);
    rb::release(o);
    EXPECT_EQ(gLog, (std::vector<std::string>{"base+", "derived+"}));
    rb::release(o);
    EXPECT_EQ(gLog, (std::vector<std::string>{"base+", "derived+", "derived-", "base-"}));
}

TEST(ObjectModel, SubclassFieldsFollowPluginData) {
    ASSERT_TRUE(rb::loadPlugin(std::string(TEST_PLUGIN_DIR) + "/testplugin.so").ok);
    struct UnitFields {
        REALobject pushB = nullptr;
    };
    rb::ClassInfo *unit = rb::defineClass<UnitFields>("WidgetUnit", rb::findClass("Widget"));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->dataOffset, 24u + 24u);
    EXPECT_EQ(unit->instanceSize, 24u + 24u + sizeof(UnitFields));

    rb::ObjRef o = rb::make(unit);
    // The plug-in constructor ran and saw its data zero-filled.
    EXPECT_EQ(rb::direct<int32_t>(o.get(), 12), 0x57494447);
    rb::fields<UnitFields>(o.get())->pushB = o.get();
    EXPECT_EQ(rb::direct<int32_t>(o.get(), 0), 0) << "subclass field does not overlap plug-in data";
    EXPECT_EQ(rb::findProperty(unit, "Value")->name, "Value");
}

TEST(ObjectModel, FieldsAreFoundThroughSubclasses) {
    rb::ClassInfo *sub = rb::defineSubclass("BlockSubclass", rb::memoryBlockClass());
    rb::ObjRef o = rb::make(sub);
    EXPECT_EQ(rb::fields<rb::MemoryBlockFields>(o.get()), rb::classData(o.get(), rb::memoryBlockClass()));
    EXPECT_THROW(rb::fields<rb::ObjectArrayFields>(o.get()), rb::Exception) << "no such fields";
    EXPECT_THROW(rb::setTimerMode(o.get(), 2), rb::Exception) << "not a timer";
}

TEST(ObjectModel, NamedEventsWalkUpTheClassChain) {
    rb::ClassInfo *base = rb::defineSubclass("NamedBase", nullptr);
    rb::ClassInfo *sub = rb::defineSubclass("NamedSub", base);
    REALobject seen = nullptr;
    rb::setNamedHandler(base, "Action", [&](REALobject o) { seen = o; });
    rb::ObjRef o = rb::make(sub);
    EXPECT_TRUE(rb::raiseNamedEvent(o.get(), "action"));
    EXPECT_EQ(seen, o.get());
    EXPECT_FALSE(rb::raiseNamedEvent(o.get(), "Open"));
    EXPECT_FALSE(rb::raiseNamedEvent(nullptr, "Action"));
}

TEST(ObjectModel, NilAndUnknownClassesAreHandled) {
    EXPECT_EQ(rb::newObject("NoSuchClass"), nullptr);
    EXPECT_EQ(rb::newObject(static_cast<rb::ClassInfo *>(nullptr)), nullptr);
    rb::retain(nullptr);
    rb::release(nullptr);
    EXPECT_THROW(rb::fields<rb::ExceptionFields>(nullptr), rb::Exception);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(rb::getPropValue(nullptr, "Message")));
    auto newInstance = reinterpret_cast<REALobject (*)(const char *)>(rb::resolve("PluginNewInstance"));
    EXPECT_EQ(newInstance("NoSuchClass"), nullptr);
    EXPECT_EQ(newInstance(nullptr), nullptr);
}

TEST(ObjectModel, DestructorsMayTakeAndDropReferences) {
    struct Fields {
        REALobject self = nullptr;
        ~Fields() {
            rb::retain(self);
            rb::release(self);  // must not free the object a second time
        }
    };
    rb::ClassInfo *c = rb::defineClass<Fields>("SelfTouching");
    REALobject o = rb::newObject(c);
    rb::fields<Fields>(o)->self = o;
    rb::release(o);  // ASan reports a double free if this goes wrong
}

TEST(Strings, BuildLockAndConvert) {
    auto build = reinterpret_cast<REALstring (*)(const char *, int)>(rb::resolve("REALBuildString"));
    auto convert = reinterpret_cast<REALstring (*)(REALstring, uint32_t)>(rb::resolve("REALConvertString"));
    auto getEnc = reinterpret_cast<uint32_t (*)(REALstring)>(rb::resolve("REALGetStringEncoding"));
    auto setEnc = reinterpret_cast<void (*)(REALstring, uint32_t)>(rb::resolve("REALSetStringEncoding"));
    auto lock = reinterpret_cast<void (*)(REALstring)>(rb::resolve("REALLockString"));
    auto unlock = reinterpret_cast<void (*)(REALstring)>(rb::resolve("REALUnlockString"));

    rb::String nul = rb::String::adopt(build("a\0b", 3));
    EXPECT_EQ(nul.str(), std::string("a\0b", 3));
    EXPECT_EQ(getEnc(nul.get()), uint32_t(kEncodingUnknown));
    EXPECT_EQ(rb::String::adopt(build(nullptr, 5)).str(), "");
    EXPECT_EQ(rb::String::adopt(build("x", -1)).str(), "");

    rb::String u8("caf\xC3\xA9 \xE2\x82\xAC");  // café €
    rb::String mac = rb::String::adopt(convert(u8.get(), kEncodingMacRoman));
    EXPECT_EQ(mac.str(), "caf\x8E \xDB");
    EXPECT_EQ(mac.encoding(), uint32_t(kEncodingMacRoman));
    rb::String latin = rb::String::adopt(convert(mac.get(), kEncodingLatin1));
    EXPECT_EQ(latin.str(), "caf\xE9 ?") << "no euro sign in Latin-1";
    EXPECT_EQ(rb::String::adopt(convert(u8.get(), kEncodingASCII)).str(), "caf? ?");
    EXPECT_EQ(rb::String::adopt(convert(latin.get(), kEncodingUTF8)).str(), "caf\xC3\xA9 ?");
    EXPECT_EQ(convert(nullptr, kEncodingUTF8), nullptr);

    setEnc(nul.get(), kEncodingASCII);
    EXPECT_EQ(nul.encoding(), uint32_t(kEncodingASCII));
    lock(nul.get());
    EXPECT_EQ(nul.get()->refCount, 2);
    unlock(nul.get());
    EXPECT_EQ(nul.get()->refCount, 1);
}

TEST(FrameworkData, MemoryBlockAndArrayServices) {
    auto newBlock = reinterpret_cast<REALmemoryBlock (*)(int32_t)>(rb::resolve("newMemoryBlock"));
    auto ptr = reinterpret_cast<void *(*)(REALmemoryBlock)>(rb::resolve("memoryBlockGetPtr"));
    auto size = reinterpret_cast<int32_t (*)(REALmemoryBlock)>(rb::resolve("memoryBlockGetSize"));
    REALmemoryBlock mb = newBlock(10);
    ASSERT_NE(mb, nullptr);
    uint32_t at24;
    std::memcpy(&at24, reinterpret_cast<char *>(mb) + 24, 4);
    EXPECT_EQ(at24, 10u) << "the size word sits at byte 24";
    EXPECT_EQ(size(mb), 10);
    EXPECT_EQ(static_cast<uint8_t *>(ptr(mb))[9], 0);
    EXPECT_EQ(newBlock(-1), nullptr);
    rb::ObjRef notBlock = rb::make("Timer");
    EXPECT_EQ(ptr(reinterpret_cast<REALmemoryBlock>(notBlock.get())), nullptr);
    rb::release(reinterpret_cast<REALobject>(mb));

    auto ubound = reinterpret_cast<int32_t (*)(REALarray)>(rb::resolve("RuntimeUBound"));
    auto read = reinterpret_cast<REALobject (*)(REALarray, int32_t)>(rb::resolve("RuntimeDirectReadObjectArray"));
    rb::ObjRef a = rb::make("Timer"), b = rb::make("Timer");
    rb::ObjRef arr = rb::newObjectArray({a.get(), b.get()});
    auto *h = reinterpret_cast<REALarray>(arr.get());
    EXPECT_EQ(ubound(h), 1);
    EXPECT_EQ(ubound(reinterpret_cast<REALarray>(rb::newObjectArray({}).get())), -1);
    REALobject first = read(h, 0);
    EXPECT_EQ(first, a.get());
    EXPECT_EQ(rb::refCount(a.get()), 3) << "array and reader each hold one";
    rb::release(first);
    EXPECT_EQ(read(h, 2), nullptr);
    EXPECT_EQ(read(h, -1), nullptr);
    EXPECT_EQ(ubound(nullptr), -1);
}

}  // namespace
