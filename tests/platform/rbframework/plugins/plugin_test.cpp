// The plug-in host end to end: loading, registration records, binding by
// declaration text, calls through the entry-point table, events, exceptions.
#include <rb/entrypoints.h>
#include <rb/exception.h>
#include <rb/host.h>
#include <rb/plugins.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kDir = TEST_PLUGIN_DIR;

const char *const kTexts[] = {
    "_",                                                  // 0: nothing declares it
    "Widget.__init",                                      // 1
    "Widget.__exit",                                      // 2
    "Widget.Add(amount as integer)",                      // 3
    "Widget.Add()",                                       // 4
    "Widget.Sum(a as integer, b as integer) as integer",  // 5
    "Widget.IsBig() as Boolean",                          // 6
    "Widget.Level as integer",                            // 7
    "Widget.Level as integer.Set",                        // 8
    "Widget.Describe() as String",                        // 9
    "Widget.Fail(code as integer)",                       // 10
    "Widget.Fire(position as integer) as Boolean",        // 11
    "Widget.Value.Get",                                   // 12
    "Widget.Value.Set",                                   // 13
    "Widget.Calls.Get",                                   // 14
    "Widget.Label.Get",                                   // 15
    "Widget.Label.Set",                                   // 16
    "application.TestPluginHello as string",              // 17
    "DestroyedCount() as integer",                        // 18
    "Widget.Enabled.Get",                                 // 19: direct access, no entry
    "widget.Add()",                                       // 20: wrong case
    "Widget.Add(amount as Integer)",                      // 21: wrong case of the type
};
constexpr int kCount = int(sizeof kTexts / sizeof *kTexts);

class PluginHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        rb::PluginLoad l = rb::loadPlugin(kDir + "/testplugin.so");
        ASSERT_TRUE(l.ok) << l.error;
        table = RuntimeAllocatePluginEntrypointsTable(kCount);
        for (int i = 0; i < kCount; ++i) table[i] = RuntimeLookupPluginEntrypoint(kTexts[i]);
    }
    void TearDown() override { rb::restoreServices(); }
    // Slot i, typed from its text (and a property's declared type).
    template <rb::Text T, rb::Text Type = ""> static rb::Member<T, Type> at(int i) {
        EXPECT_EQ(T.view(), kTexts[i]);
        return {table[i]};
    }
    static void **table;
};
void **PluginHost::table = nullptr;

TEST_F(PluginHost, RegistrationFillsTheRecordsAndTheModel) {
    rb::ClassInfo *w = rb::findClass("widget");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->name, "Widget");
    ASSERT_NE(w->def, nullptr);
    EXPECT_EQ(w->def->forSystemUse, 24);
    EXPECT_EQ(w->instanceSize, 48u);
    EXPECT_EQ(w->methods.size(), 8u);
    EXPECT_EQ(w->properties.size(), 5u);
    ASSERT_EQ(w->events.size(), 2u);
    EXPECT_NE(w->def->events[0].forSystemUse, 0);
    EXPECT_NE(w->def->events[0].forSystemUse, w->def->events[1].forSystemUse);

    // A plug-in class extending a framework class: its data follows the
    // superclass's fields.
    rb::ClassInfo *e = rb::findClass("WidgetException");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->super, rb::runtimeExceptionClass());
    EXPECT_EQ(e->def->forSystemUse, intptr_t(rb::runtimeExceptionClass()->instanceSize));
}

TEST_F(PluginHost, BindingResolvesEachFormByteForByte) {
    rb::ClassInfo *w = rb::findClass("Widget");
    EXPECT_EQ(table[1], reinterpret_cast<void *>(w->def->constructor));
    EXPECT_EQ(table[2], reinterpret_cast<void *>(w->def->destructor));
    EXPECT_NE(table[3], table[4]) << "two overloads, two entries";
    EXPECT_EQ(table[3], w->def->methods[0].function);
    EXPECT_EQ(table[8], w->def->methods[4].setterFunction);
    EXPECT_EQ(table[12], w->def->properties[0].getter);
    for (int i : {0, 19, 20, 21}) EXPECT_TRUE(rb::isTrap(table[i])) << kTexts[i];
    for (int i = 1; i <= 18; ++i) EXPECT_FALSE(rb::isTrap(table[i])) << kTexts[i];
    // The same unknown text gets the same trap; another text its own.
    EXPECT_EQ(RuntimeLookupPluginEntrypoint("_"), table[0]);
    EXPECT_NE(table[20], table[21]);
}

TEST_F(PluginHost, MembersAreCalledThroughTheTable) {
    rb::ObjRef w = rb::make("Widget");
    ASSERT_TRUE(w);
    REALobject o = w.get();
    EXPECT_EQ(rb::direct<int32_t>(o, 12), 0x57494447) << "constructor saw zero-filled data";

    rb::call(at<"Widget.Add(amount as integer)">(3), o, int32_t(5));
    rb::call(at<"Widget.Add()">(4), o);
    EXPECT_EQ(rb::getProp(at<"Widget.Value.Get", "integer">(12), o), 6);
    EXPECT_EQ(rb::getProp(at<"Widget.Calls.Get", "integer">(14), o), 2);
    EXPECT_EQ(rb::call(at<"Widget.Sum(a as integer, b as integer) as integer">(5), o, int32_t(20), int32_t(22)), 42);
    EXPECT_FALSE(rb::call(at<"Widget.IsBig() as Boolean">(6), o)) << "only the low bit counts";
    rb::setProp(at<"Widget.Value.Set", "integer">(13), o, int32_t(101));
    EXPECT_TRUE(rb::call(at<"Widget.IsBig() as Boolean">(6), o));

    rb::call(at<"Widget.Level as integer.Set">(8), o, int32_t(70));  // method-style property setter
    EXPECT_EQ(rb::call(at<"Widget.Level as integer">(7), o), 70);
    EXPECT_EQ(rb::call(at<"Widget.Describe() as String">(9), o).str(), "Widget 7");

    rb::setProp(at<"Widget.Label.Set", "String">(16), o, rb::String("tape"));
    EXPECT_EQ(rb::getProp(at<"Widget.Label.Get", "String">(15), o).str(), "tape");
    EXPECT_EQ(rb::refCount(o), 1) << "calls hold and drop their own reference";

    rb::String hello = rb::call(at<"application.TestPluginHello as string">(17), rb::applicationObject());
    EXPECT_EQ(hello.str(), "hello from the plug-in");
}

TEST_F(PluginHost, DestructorRunsOnLastRelease) {
    int before = rb::callGlobal(at<"DestroyedCount() as integer">(18));
    {
        rb::ObjRef a = rb::make("Widget");
        rb::ObjRef b = a;
        EXPECT_EQ(rb::refCount(a.get()), 2);
    }
    EXPECT_EQ(rb::callGlobal(at<"DestroyedCount() as integer">(18)), before + 1);
}

TEST_F(PluginHost, DirectPropertiesSitAt24PlusParam) {
    rb::ObjRef w = rb::make("Widget");
    REALobject o = w.get();
    EXPECT_FALSE(rb::direct<bool>(o, 4));
    EXPECT_TRUE(rb::setPropValue(o, "enabled", true));
    EXPECT_TRUE(rb::direct<bool>(o, 4));
    EXPECT_EQ(reinterpret_cast<uint8_t *>(o)[28], 1);
    rb::setDirect<uint8_t>(o, 4, 0);
    EXPECT_EQ(std::get<bool>(rb::getPropValue(o, "Enabled")), false);
    EXPECT_EQ(std::get<int64_t>(rb::getPropValue(o, "Magic")), 0x57494447);
    EXPECT_FALSE(rb::setPropValue(o, "Magic", int64_t(1))) << "read-only";
}

TEST_F(PluginHost, EventsGoToTheSubclassHandlerByPosition) {
    static REALobject seenObj;
    static int32_t seenValue;
    seenObj = nullptr, seenValue = -1;
    struct H {
        static void changed(REALobject o, int32_t v) { seenObj = o, seenValue = v; }
    };
    rb::ClassInfo *sub = rb::defineSubclass("TestWidget", rb::findClass("Widget"));
    ASSERT_NE(sub, nullptr);
    rb::setEventHandlers(sub, {reinterpret_cast<void *>(&H::changed), nullptr});
    rb::ClassInfo *subsub = rb::defineSubclass("TestWidget2", sub);

    rb::ObjRef o = rb::make(subsub);
    rb::setProp(at<"Widget.Value.Set", "integer">(13), o.get(), int32_t(9));
    EXPECT_TRUE(rb::call(at<"Widget.Fire(position as integer) as Boolean">(11), o.get(), int32_t(0)));
    EXPECT_EQ(seenObj, o.get());
    EXPECT_EQ(seenValue, 9);
    EXPECT_FALSE(rb::call(at<"Widget.Fire(position as integer) as Boolean">(11), o.get(), int32_t(1)))
        << "empty position raises nothing";

    rb::ObjRef plain = rb::make("Widget");
    EXPECT_FALSE(rb::call(at<"Widget.Fire(position as integer) as Boolean">(11), plain.get(), int32_t(0)));
    // A token never answers for an object of an unrelated class.
    rb::ObjRef other = rb::make("Timer");
    EXPECT_EQ(rb::eventHandler(other.get(), rb::findClass("Widget")->events[0].token), nullptr);
}

TEST_F(PluginHost, RaisedExceptionReachesTheCaller) {
    rb::ObjRef w = rb::make("Widget");
    try {
        rb::call(at<"Widget.Fail(code as integer)">(10), w.get(), int32_t(-4960));
        FAIL() << "no exception";
    } catch (const rb::Exception &e) {
        EXPECT_EQ(e.className(), "WidgetException");
        EXPECT_EQ(e.errorNumber(), -4960);
        EXPECT_EQ(e.message(), "widget failed");
        EXPECT_TRUE(rb::isA(e.object(), "RuntimeException"));
    }
    EXPECT_FALSE(rb::hasPending());
    EXPECT_EQ(rb::refCount(w.get()), 1);
}

TEST_F(PluginHost, UnknownTextTrapsWithItsOwnMessage) {
    rb::ObjRef w = rb::make("Widget");
    for (int i : {20, 21}) {
        try {
            if (i == 20) rb::call(at<"widget.Add()">(20), w.get());
            else rb::call(at<"Widget.Add(amount as Integer)">(21), w.get(), int32_t(1));
            FAIL() << "no exception";
        } catch (const rb::Exception &e) {
            EXPECT_EQ(e.className(), "RuntimeError");
            EXPECT_EQ(e.message(), std::string("Plug-in member not available: ") + kTexts[i]);
        }
    }
    EXPECT_THROW(rb::callGlobal(at<"_">(0)), rb::Exception);
    EXPECT_THROW(rb::call(rb::Member<"Widget.Add()">{nullptr}, w.get()), rb::Exception);
}

TEST_F(PluginHost, NilObjectRaisesWithoutCalling) {
    int before = rb::getProp(at<"Widget.Calls.Get", "integer">(14), rb::make("Widget").get());
    try {
        rb::call(at<"Widget.Add()">(4), nullptr);
        FAIL() << "no exception";
    } catch (const rb::Exception &e) {
        EXPECT_EQ(e.className(), "NilObjectException");
    }
    EXPECT_THROW(rb::direct<int32_t>(nullptr, 0), rb::Exception);
    EXPECT_EQ(before, 0);
}

TEST_F(PluginHost, WithheldServiceAnswersZero) {
    EXPECT_NE(rb::resolve("REALBuildString"), nullptr);
    EXPECT_EQ(rb::resolve("NoSuchService"), nullptr);
    rb::withholdService("REALBuildString");
    EXPECT_EQ(rb::resolve("REALBuildString"), nullptr);
    rb::ObjRef w = rb::make("Widget");
    EXPECT_FALSE(rb::call(at<"Widget.Describe() as String">(9), w.get()))
        << "the plug-in returns nil without the service";
    rb::restoreServices();
    EXPECT_TRUE(rb::call(at<"Widget.Describe() as String">(9), w.get()));
}

TEST_F(PluginHost, PropertyServicesByName) {
    auto setInt =
        reinterpret_cast<RBBoolean (*)(REALobject, const char *, int32_t)>(rb::resolve("REALSetPropValueInt"));
    auto getInt =
        reinterpret_cast<RBBoolean (*)(REALobject, const char *, int32_t *)>(rb::resolve("REALGetPropValueInt"));
    auto getStr =
        reinterpret_cast<RBBoolean (*)(REALobject, const char *, REALstring *)>(rb::resolve("REALGetPropValueString"));
    rb::ObjRef w = rb::make("Widget");
    EXPECT_TRUE(setInt(w.get(), "value", 12));  // through the plug-in's setter
    int32_t v = 0;
    EXPECT_TRUE(getInt(w.get(), "Value", &v));
    EXPECT_EQ(v, 12);
    EXPECT_FALSE(getInt(w.get(), "NoSuch", &v));
    EXPECT_FALSE(setInt(nullptr, "Value", 1));

    rb::ObjRef e = rb::newException("WidgetException", "tape jammed", 3);
    REALstring s = nullptr;
    EXPECT_TRUE(getStr(e.get(), "Message", &s));
    EXPECT_EQ(rb::String::adopt(s).str(), "tape jammed");

    auto loadObj = reinterpret_cast<void *(*)(REALobject, const char *)>(rb::resolve("REALLoadObjectMethod"));
    auto loadGlobal = reinterpret_cast<void *(*)(REALobject, const char *)>(rb::resolve("REALLoadGlobalMethod"));
    EXPECT_EQ(loadObj(w.get(), "Add()"), table[4]);
    EXPECT_EQ(loadObj(w.get(), "Add( )"), nullptr);
    EXPECT_EQ(loadGlobal(nullptr, "DestroyedCount() as integer"), table[18]);
}

TEST(PluginLoader, FailuresAreClearErrors) {
    rb::PluginLoad l = rb::loadPlugin(kDir + "/missing.so");
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("not found"), std::string::npos) << l.error;
    l = rb::loadPlugin(kDir + "/noentry.so");
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("no REALPluginMain"), std::string::npos) << l.error;
    l = rb::loadPlugin(kDir + "/falseentry.so");
    EXPECT_FALSE(l.ok);
    EXPECT_NE(l.error.find("returned false"), std::string::npos) << l.error;
    EXPECT_TRUE(rb::loadPlugin(kDir + "/testplugin.so").ok);
    EXPECT_TRUE(rb::loadPlugin(kDir + "/testplugin.so").ok) << "a second load does nothing";
}

void expectShortClassWorks(const char *cls) {
    std::string c = cls;
    auto first = rb::lookupLike<"C.First() as integer">(c + ".First() as integer");
    auto second = rb::lookupLike<"C.Second(x as integer) as integer">(c + ".Second(x as integer) as integer");
    auto prop = rb::lookupLike<"C.Prop as integer">(c + ".Prop as integer");
    auto setter = rb::lookupLike<"C.Prop as integer.Set">(c + ".Prop as integer.Set");
    auto third = rb::lookupLike<"C.Third() as integer">(c + ".Third() as integer");
    for (void *e : {first.entry, second.entry, prop.entry, setter.entry, third.entry})
        ASSERT_FALSE(rb::isTrap(e)) << cls;
    rb::ObjRef o = rb::make(cls);
    EXPECT_EQ(rb::call(first, o.get()), 1);
    EXPECT_EQ(rb::call(second, o.get(), int32_t(21)), 42);
    EXPECT_EQ(rb::call(prop, o.get()), 40);
    EXPECT_EQ(rb::call(third, o.get()), 3);
}

TEST(PluginLoader, ShortMethodRecordsFromAnOldHostVersion) {
    rb::setHostVersion(5.8);
    rb::PluginLoad l = rb::loadPlugin(kDir + "/shortplugin_a.so");
    rb::setHostVersion(2008.0);
    ASSERT_TRUE(l.ok) << l.error;
    expectShortClassWorks("Gadget");
}

TEST(PluginLoader, ShortMethodRecordsWithoutTheVersionService) {
    rb::withholdService("REALGetRBVersion");
    rb::PluginLoad l = rb::loadPlugin(kDir + "/shortplugin_b.so");
    rb::restoreServices();
    ASSERT_TRUE(l.ok) << l.error;
    expectShortClassWorks("Gizmo");
}

TEST(PluginLoader, ExternalClassesFromThePluginPath) {
    setenv("TAVRIN_PLUGIN_PATH", (kDir + "::/nonexistent/folder").c_str(), 1);
    std::vector<std::string> folders = rb::pluginFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0], kDir);
    // testplugin and the two short plug-ins load; the bad ones are reported.
    EXPECT_EQ(RuntimeInitExternalClasses(), 3);
    unsetenv("TAVRIN_PLUGIN_PATH");
    ASSERT_EQ(rb::pluginFolders().size(), 1u);
    EXPECT_NE(rb::pluginFolders()[0].find("/plugins"), std::string::npos);
}

}  // namespace
