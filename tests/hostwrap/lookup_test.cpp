// The lookup orders, their caches and messages, and XString, against the
// real host runtime with test functions registered under host names.
#include "accessors.h"
#include "xstring.h"

#include "resolver.h"

#include <Carbon/Carbon.h>
#include <rb/host.h>
#include <rb/object.h>
#include "rows.h"
#include "isolated.h"
#include "real_host_test.h"
#include <rb/runtime.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int gLenCalls = 0, gMidSigCalls = 0, gMidResCalls = 0, gCountCalls = 0;

extern "C" int32_t testLen(REALstring s) {
    ++gLenCalls;
    return int32_t(rb::toStd(s).size());
}
extern "C" REALstring testMidSignature(REALstring s, int32_t start) {
    ++gMidSigCalls;
    std::string t = rb::toStd(s);
    return rb::newString(start >= 1 && size_t(start) <= t.size() ? t.substr(size_t(start - 1)) : "");
}
extern "C" REALstring testMidResolver(REALstring s, int32_t start) {
    ++gMidResCalls;
    return testMidSignature(s, start);
}
extern "C" int32_t testCountFields(REALstring s, REALstring sep) {
    ++gCountCalls;
    std::string t = rb::toStd(s), d = rb::toStd(sep);
    if (d.empty()) return 1;
    int32_t n = 1;
    for (size_t p = t.find(d); p != std::string::npos; p = t.find(d, p + d.size())) ++n;
    return n;
}
extern "C" REALstring testLeft(REALstring s, int32_t n) {
    return rb::newString(rb::toStd(s).substr(0, size_t(n < 0 ? 0 : n)));
}

class Lookup : public RealHostTest {};

}  // namespace

TEST_F(Lookup, LoggedResolverMissesEveryCallThenHitsOnceAndKeepsIt) {
    inChild([&] {
        rb::String s("hello");
        rb::withholdService("StringDBCSLen");
        EXPECT_EQ(String_Len(s.get()), 0);
        EXPECT_EQ(String_Len(s.get()), 0);
        EXPECT_EQ(count("RESOLVER FAILURE: StringDBCSLen"), 2);  // asked again after each miss
        rb::restoreServices();
        rb::registerService("StringDBCSLen", reinterpret_cast<void *>(&testLen));
        EXPECT_EQ(String_Len(s.get()), 5);
        // Once found it is kept: withholding the name changes nothing.
        rb::withholdService("StringDBCSLen");
        EXPECT_EQ(String_Len(s.get()), 5);
        EXPECT_EQ(count("RESOLVER FAILURE: StringDBCSLen"), 2);
    });
}

TEST_F(Lookup, SignatureFirstHitFallbackAndMiss) {
    inChild([&] {
        rb::String s("abcdef");
        rb::withholdService("REALLoadGlobalMethod");
        rb::withholdService("StringDBCSMid2");
        // Miss: both messages, naming the function, on every call.
        EXPECT_EQ(String_Mid(s.get(), 2), nullptr);
        EXPECT_EQ(String_Mid(s.get(), 2), nullptr);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: String_Mid"), 2);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: String_Mid"), 2);
        // Fallback to the resolver: one shorter message, then cached.
        log().clear();
        rb::restoreServices();
        rb::withholdService("REALLoadGlobalMethod");
        rb::registerService("StringDBCSMid2", reinterpret_cast<void *>(&testMidResolver));
        rb::String r = rb::String::adopt(String_Mid(s.get(), 2));
        EXPECT_EQ(r.str(), "bcdef");
        rb::String again = rb::String::adopt(String_Mid(s.get(), 3));
        EXPECT_EQ(again.str(), "cdef");
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: String_Mid"), 1);
        EXPECT_EQ(gMidResCalls, 2);
    });
}

TEST_F(Lookup, SignatureFirstPrefersTheGlobalMethod) {
    inChild([&] {
        rb::addGlobalMethod("MidB(source as String, start as Integer) as String",
                            reinterpret_cast<void *>(&testMidSignature));
        rb::String s("abcdef");
        int before = gMidSigCalls;
        rb::String r = rb::String::adopt(String_MidB(s.get(), 4));
        EXPECT_EQ(r.str(), "def");
        EXPECT_EQ(gMidSigCalls, before + 1);
        EXPECT_TRUE(log().empty());
    });
}

TEST_F(Lookup, ResolverFirstMissesGiveMinusOneWithTheResolverName) {
    inChild([&] {
        rb::String s("a,b,c"), sep(",");
        rb::withholdService("StringCountFields");
        rb::withholdService("REALLoadGlobalMethod");
        EXPECT_EQ(String_CountFields(s.get(), sep.get()), -1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: StringCountFields"), 1);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: String_CountFields"), 0);  // never the shorter one
        rb::withholdService("StringInStr");
        EXPECT_EQ(String_InStr(1, s.get(), sep.get()), -1);
        rb::restoreServices();
        rb::withholdService("StringCountFields");
        rb::addGlobalMethod("CountFields(source as String, seperator as String) as Integer",
                            reinterpret_cast<void *>(&testCountFields));
        EXPECT_EQ(String_CountFields(s.get(), sep.get()), 3);
        EXPECT_EQ(gCountCalls, 1);
    });
}

TEST_F(Lookup, MessagesGoThroughDprintfWithALineFeedOffMacOSX) {
    inChild([&] {
        fw_gestalt_fail(-1);
        // IsMacOSX keeps its first successful answer; on a fresh process this
        // takes the dprintf form, here it only checks the message still arrives.
        rb::String s("x");
        rb::withholdService("StringUCase");
        String_UpperCase(s.get());
        fw_gestalt_fail(0);
        ASSERT_FALSE(log().empty());
        EXPECT_EQ(log().back().rfind("RESOLVER FAILURE: StringUCase", 0), 0u);
    });
}

TEST_F(Lookup, TheHostsOwnStringFunctions) {
    inChild([&] {
        rb::String s("  Grüße, Welt  "), comma(","), old("Welt"), nw("Tavrin");
        XString x(s.get());
        EXPECT_EQ(x.len(), 15);
        EXPECT_EQ(x.lenB(), 17);  // two characters of two bytes
        rb::String t = rb::String::adopt(String_Trim(s.get()));
        EXPECT_EQ(t.str(), "Grüße, Welt");
        rb::String m = rb::String::adopt(String_Mid(t.get(), 3, 3));
        EXPECT_EQ(m.str(), "üße");
        EXPECT_EQ(String_InStr(1, t.get(), comma.get()), 6);
        EXPECT_EQ(String_CountFields(t.get(), comma.get()), 2);
        rb::String f = rb::String::adopt(String_NthField(t.get(), comma.get(), 2));
        EXPECT_EQ(f.str(), " Welt");
        rb::String r = rb::String::adopt(String_Replace(t.get(), old.get(), nw.get()));
        EXPECT_EQ(r.str(), "Grüße, Tavrin");
        rb::String u = rb::String::adopt(String_UpperCase(r.get()));
        EXPECT_EQ(u.str().substr(0, 2), "GR");
        EXPECT_EQ(String_Asc(m.get()), 0xFC);
        EXPECT_TRUE(log().empty());
    });
}

namespace {
struct Widget {
    int32_t left = 7;
};
int gGetterCalls = 0, gHideCalls = 0, gSilentCalls = 0;
int32_t gLastSelector = -1;
extern "C" int32_t testPosGetter(REALobject, int32_t selector) {
    ++gGetterCalls;
    gLastSelector = selector;
    return 42;
}
extern "C" void testHide(REALobject) { ++gHideCalls; }
extern "C" int32_t testPriority() { return ++gSilentCalls; }

rb::ClassInfo *widgetClass(bool withLeft) {
    const char *name = withLeft ? "LookupWidgetL" : "LookupWidget";
    if (rb::ClassInfo *c = rb::findClass(name)) return c;
    rb::ClassInfo *c = rb::defineClass<Widget>(name);
    if (withLeft)
        rb::addHostProperty(
            c, "Left", "integer", [c](REALobject o) { return rb::Value(int64_t(rb::fields<Widget>(o, c)->left)); },
            [c](REALobject o, const rb::Value &v) { rb::fields<Widget>(o, c)->left = int32_t(std::get<int64_t>(v)); });
    return c;
}

}  // namespace

// Rows as a family table would have them, one per variant of the orders.
#include "rows_define.inc"
#include "rows_begin.inc"
PROPFIRST(Widget_GetLeft, int32_t, 0, "Left", "testPosGetter", SEL(0), REALobject)
PROPFIRST(Widget_SetLeft, void, 0, "Left", "testPosSetter", SEL(0), REALobject, int32_t)
PROPFIRST_X(Widget_InLeft, _fp, int32_t, 0, "Left", "testPosGetter", SEL(3), OPTS(.messages = hostwrap::Messages::In),
            REALobject)
PROPFIRST_X(Widget_IndexOnce, _fp, int32_t, 0, "TabIndex", "testPosGetter", SEL(5), OPTS(.property2 = "Left"),
            REALobject)
PROPFIRST_X(Widget_KeyTwice, _fp, int32_t, 0, "Key", "testPosGetter", SEL(6),
            OPTS(.property2 = "CommandKey", .logEachProperty = true), REALobject)
PROPFIRST_X(Widget_SetTraced, _fp, void, 0, "Left", "testPosSetter", SEL(9), OPTS(.entryTrace = true), REALobject,
            int32_t)
SIGFIRST(Widget_Hide, void, 0, OBJECT_METHOD, "Hide()", "testHideResolver", REALobject)
SIGFIRST_X(Widget_HideOnly, _fp, void, 0, OBJECT_METHOD, "Hide()", nullptr, OPTS(), REALobject)
SIGFIRST_X(Widget_Handle, _fp, int32_t, 0, OBJECT_METHOD, "Handle() As Integer", nullptr,
           OPTS(.messages = hostwrap::Messages::None), REALobject)
SIGFIRST_X(Widget_TextAvailable, _fp, uint8_t, 0, OBJECT_METHOD, "TextAvailable() As Boolean", "testTextAvail",
           OPTS(.quietResolverMiss = true), REALobject)
SIGFIRST(Runtime_TestTicks, int32_t, -1, GLOBAL_METHOD, "TestTicks() As Integer", "testTicks")
RESFIRST(Widget_Accept, void, 0, "testAccept", OBJECT_METHOD, "AcceptFileDrop(type As String)", FWD, REALobject,
         REALstring)
RESFIRST(Widget_Window, REALobject, nullptr, "testGetWindow", GLOBAL_METHOD, "Window(index As Integer) As Window", FWD,
         int32_t)
RESFIRST(Widget_Left, int32_t, 0, "testLeftGetter", THEN_PROPERTY, "Left", SEL(0), REALobject)
RESFIRST(Widget_SetLeftRF, void, 0, "testLeftSetter", THEN_PROPERTY, "Left", SEL(0), REALobject, int32_t)
RESFIRST(Widget_Title, REALstring, nullptr, "testTitleGetter", THEN_PROPERTY, "Title", SEL(0), REALobject)
SILENT(Widget_Priority, int32_t, 0, "testPriority", FWD)
SILENT(Widget_Flag, uint8_t, 0, "testFlag", SEL(7), REALobject)
SILENT(Widget_Short, int16_t, 0, "testWord", FWD, REALobject)
SILENT(Widget_UShort, uint16_t, 0, "testWord", FWD, REALobject)
SILENT(Widget_Pick, uint8_t, 0, "testPick", FWD, REALobject, int32_t, uint8_t, int32_t)
SILENT(Widget_Size, int32_t, -50, "testSize", FWD, REALobject)
SILENT_X(Widget__Init, _fp, void, 0, "testInit", FWD, OPTS(.entryTrace = true), REALobject)
SILENT_X(Widget_DoEvents, _fp, void, 0, "testDoEvents", FWD, OPTS(.callTrace = "doEvents"), REALobject, int32_t)
SILENT_X(Widget_IsA, _fp, int32_t, 0, "testIsA", FWD, OPTS(.noCache = true), REALobject)
SILENT_X(Widget_Embed, _pEmbed, int32_t, 0, "testEmbed", FWD, OPTS(.returnsOne = true), REALobject, REALobject)
SILENT_X(Folder_Count, _Count, int32_t, 0, "testCount", SEL(0), OPTS(.nilMisses = true), REALobject)
LOGGED_X(Runtime_Install, _fp, void, 0, "testInstall", FWD, OPTS(.prefix = hostwrap::kBoth), REALobject)
LOGGED_X(Runtime_Swap, _fp, REALobject, nullptr, "testSwap", FWD,
         OPTS(.message = "Runtime_SwapSelfAndMe", .prefix = hostwrap::kAccess, .noCache = true), REALobject)
PROPONLY(Widget_CursorCount, int32_t, 0, "Cursors", hostwrap::kDynamic, REALobject)
PROPONLY(Widget_SetCursorCount, void, 0, "Cursors", hostwrap::kBoth, REALobject, int32_t)
PROPONLY(Widget_Quiet, int32_t, 0, "Cursors", nullptr, REALobject)
#include "rows_end.inc"

namespace {
extern "C" void testDoEvents(REALobject, int32_t) {}
extern "C" REALstring testTitleGetter(REALobject, int32_t) { return rb::newString("from resolver"); }
REALstring gAcceptedType = nullptr;
int32_t gSetValue = 0, gSetSelector = -1, gIsACalls = 0, gCountCalls2 = 0, gEmbedCalls = 0, gInitCalls = 0;
extern "C" void testPosSetter(REALobject, int32_t selector, int32_t v) {
    gSetSelector = selector;
    gSetValue = v;
}
extern "C" void testAccept(REALobject, REALstring type) { gAcceptedType = type; }
extern "C" REALobject testGetWindow(int32_t index) { return reinterpret_cast<REALobject>(uintptr_t(0x1000 + index)); }
extern "C" int32_t testTicks() { return 77; }
extern "C" int32_t testFlag(REALobject, int32_t) { return 0x100; }
extern "C" int32_t testWord(REALobject) { return 0x1FFFF; }
std::vector<int64_t> gPicked;
extern "C" int32_t testPick(REALobject o, int32_t a, int32_t b, int32_t c) {
    gPicked = {int64_t(reinterpret_cast<uintptr_t>(o)), a, b, c};
    return 0x12342 + b;
}
extern "C" int32_t testIsA(REALobject) { return ++gIsACalls; }
extern "C" void testEmbed(REALobject, REALobject) { ++gEmbedCalls; }
extern "C" int32_t testCount(REALobject, int32_t) { return ++gCountCalls2; }
extern "C" void testInit(REALobject) { ++gInitCalls; }
extern "C" REALobject testSwap(REALobject o) { return o; }
}  // namespace

TEST_F(Lookup, PropertyFirstAsksThePropertyEveryCallAndFallsBackInSelectorForm) {
    inChild([&] {
        rb::ObjRef with = rb::make(widgetClass(true)), without = rb::make(widgetClass(false));
        EXPECT_EQ(Widget_GetLeft(with.get()), 7);
        EXPECT_EQ(gGetterCalls, 0);
        // Without the property: the message on every call, even while the
        // resolver's getter answers.
        rb::registerService("testPosGetter", reinterpret_cast<void *>(&testPosGetter));
        EXPECT_EQ(Widget_GetLeft(without.get()), 42);
        EXPECT_EQ(Widget_GetLeft(without.get()), 42);
        EXPECT_EQ(gLastSelector, 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 2);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 0);
        // The property comes back: it wins again.
        EXPECT_EQ(Widget_GetLeft(with.get()), 7);
        EXPECT_EQ(gGetterCalls, 2);
    });
}

TEST_F(Lookup, PropertyFirstMissLogsBothAndReturnsZero) {
    inChild([&] {
        rb::ObjRef with = rb::make(widgetClass(true)), without = rb::make(widgetClass(false));
        EXPECT_EQ(Widget_GetLeft(without.get()), 0);
        EXPECT_EQ(Widget_GetLeft(without.get()), 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 2);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 2);
        // A setter the same way; with the property it sets the real object.
        Widget_SetLeft(without.get(), 5);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_SetLeft"), 1);
        Widget_SetLeft(with.get(), 11);
        EXPECT_EQ(Widget_GetLeft(with.get()), 11);
        rb::registerService("testPosSetter", reinterpret_cast<void *>(&testPosSetter));
        Widget_SetLeft(without.get(), 5);
        EXPECT_EQ(gSetValue, 5);
        EXPECT_EQ(gSetSelector, 0);
    });
}

TEST_F(Lookup, PropertyFirstInMessagesSecondPropertyAndEntryTrace) {
    inChild([&] {
        rb::ObjRef with = rb::make(widgetClass(true)), without = rb::make(widgetClass(false));
        EXPECT_EQ(Widget_InLeft(without.get()), 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE in Widget_InLeft"), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE in Widget_InLeft"), 1);
        // The second property answers when the first is missing, silently.
        log().clear();
        EXPECT_EQ(Widget_IndexOnce(with.get()), 7);
        EXPECT_TRUE(log().empty());
        // Both missing: one message for the index, one per property for the key.
        EXPECT_EQ(Widget_IndexOnce(without.get()), 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_IndexOnce"), 1);
        EXPECT_EQ(Widget_KeyTwice(without.get()), 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_KeyTwice"), 2);
        // The entry trace only once the property is missing.
        log().clear();
        Widget_SetTraced(with.get(), 3);
        EXPECT_TRUE(log().empty());
        Widget_SetTraced(without.get(), 3);
        EXPECT_EQ(log(), (std::vector<std::string>{"DYNAMIC ACCESS FAILURE: Widget_SetTraced", "in Widget_SetTraced",
                                                   "_fp Address->(0)",
                                                   "RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_SetTraced"}));
    });
}

TEST_F(Lookup, ObjectMethodFoundOnceServesOtherObjects) {
    inChild([&] {
        rb::ObjRef a = rb::make(widgetClass(false)), b = rb::make(widgetClass(true));
        rb::findClass("LookupWidget")->methods.push_back({"Hide()", reinterpret_cast<void *>(&testHide), nullptr});
        Widget_Hide(a.get());
        // b's class has no "Hide()": the method found for a serves it all the same.
        Widget_Hide(b.get());
        EXPECT_EQ(gHideCalls, 2);
        EXPECT_TRUE(log().empty());
    });
}

TEST_F(Lookup, SignatureFirstWithoutResolverQuietAndGlobal) {
    inChild([&] {
        rb::ObjRef w = rb::make(widgetClass(true));
        Widget_Hide(w.get());  // neither method nor resolver: both messages
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_Hide"), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_Hide"), 1);
        Widget_HideOnly(w.get());  // no resolver: the first message alone
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_HideOnly"), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_HideOnly"), 0);
        log().clear();
        EXPECT_EQ(Widget_Handle(w.get()), 0);  // and no message at all
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(Widget_TextAvailable(w.get()), 0);  // the resolver's miss adds nothing
        EXPECT_EQ(log(), std::vector<std::string>{"DYNAMIC ACCESS FAILURE: Widget_TextAvailable"});
        log().clear();
        EXPECT_EQ(Runtime_TestTicks(), -1);
        EXPECT_EQ(log().size(), 2u);
        rb::addGlobalMethod("TestTicks() As Integer", reinterpret_cast<void *>(&testTicks));
        EXPECT_EQ(Runtime_TestTicks(), 77);
    });
}

TEST_F(Lookup, ResolverFirstFallsBackToAMethodOrAProperty) {
    inChild([&] {
        rb::ObjRef with = rb::make(widgetClass(true)), without = rb::make(widgetClass(false));
        rb::String type("TEXT");
        rb::findClass("LookupWidget")
            ->methods.push_back({"AcceptFileDrop(type As String)", reinterpret_cast<void *>(&testAccept), nullptr});
        Widget_Accept(without.get(), type.get());
        EXPECT_EQ(gAcceptedType, type.get());
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(Widget_Window(2), nullptr);
        EXPECT_EQ(log(), std::vector<std::string>{"RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_Window"});
        rb::addGlobalMethod("Window(index As Integer) As Window", reinterpret_cast<void *>(&testGetWindow));
        EXPECT_EQ(Widget_Window(2), reinterpret_cast<REALobject>(uintptr_t(0x1002)));
        // Then property: read and written on every call while the resolver misses.
        log().clear();
        EXPECT_EQ(Widget_Left(with.get()), 7);
        Widget_SetLeftRF(with.get(), 12);
        EXPECT_EQ(Widget_Left(with.get()), 12);
        EXPECT_TRUE(log().empty());
        EXPECT_EQ(Widget_Left(without.get()), 0);
        EXPECT_EQ(log(), std::vector<std::string>{"RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_Left"});
        // The resolver's function, once found, in the selector form.
        rb::registerService("testLeftSetter", reinterpret_cast<void *>(&testPosSetter));
        Widget_SetLeftRF(without.get(), 4);
        EXPECT_EQ(gSetValue, 4);
        EXPECT_EQ(gSetSelector, 0);
        rb::registerService("testTitleGetter", reinterpret_cast<void *>(&testTitleGetter));
        rb::String t = rb::String::adopt(Widget_Title(with.get()));
        EXPECT_EQ(t.str(), "from resolver");
    });
}

TEST_F(Lookup, SilentRowsResultsAndTraces) {
    inChild([&] {
        rb::ObjRef w = rb::make(widgetClass(true));
        EXPECT_EQ(Widget_Priority(), 0);
        EXPECT_EQ(Widget_Size(w.get()), -50);  // a miss result of its own
        EXPECT_TRUE(log().empty());
        rb::registerService("testPriority", reinterpret_cast<void *>(&testPriority));
        EXPECT_EQ(Widget_Priority(), 1);
        // Booleans are the low byte; 16-bit results signed or not.
        rb::registerService("testFlag", reinterpret_cast<void *>(&testFlag));
        rb::registerService("testWord", reinterpret_cast<void *>(&testWord));
        EXPECT_EQ(Widget_Flag(w.get()), 0);
        EXPECT_EQ(Widget_Short(w.get()), -1);
        EXPECT_EQ(Widget_UShort(w.get()), 65535);
        // A narrow result with arguments of every width, found and then cached:
        // each argument reaches the host as it takes it, the byte widened.
        rb::registerService("testPick", reinterpret_cast<void *>(&testPick));
        for (int call = 0; call < 2; ++call) {
            gPicked.clear();
            EXPECT_EQ(Widget_Pick(w.get(), -5, 0xC3, 70000), 0x05) << call;
            EXPECT_EQ(gPicked, (std::vector<int64_t>{int64_t(reinterpret_cast<uintptr_t>(w.get())), -5, 0xC3, 70000}))
                << call;
        }
        // Entry trace on every call, hit or miss.
        Widget__Init(w.get());
        EXPECT_EQ(log(), (std::vector<std::string>{"in Widget__Init", "_fp Address->(0)"}));
        rb::registerService("testInit", reinterpret_cast<void *>(&testInit));
        log().clear();
        Widget__Init(w.get());
        EXPECT_EQ(gInitCalls, 1);
        ASSERT_EQ(log().size(), 2u);
        EXPECT_NE(log()[1], "_fp Address->(0)");
        // Call trace before every call, nothing on a miss.
        log().clear();
        Widget_DoEvents(w.get(), -1);
        EXPECT_TRUE(log().empty());
        rb::registerService("testDoEvents", reinterpret_cast<void *>(&testDoEvents));
        Widget_DoEvents(w.get(), -1);
        Widget_DoEvents(w.get(), -1);
        EXPECT_EQ(count("doEvents"), 2);
    });
}

TEST_F(Lookup, NoCacheReturnsOneAndNilObjects) {
    inChild([&] {
        rb::ObjRef w = rb::make(widgetClass(true)), v = rb::make(widgetClass(false));
        rb::registerService("testIsA", reinterpret_cast<void *>(&testIsA));
        EXPECT_EQ(Widget_IsA(w.get()), 1);
        rb::withholdService("testIsA");  // asked every call: withheld means missing
        EXPECT_EQ(Widget_IsA(w.get()), 0);
        EXPECT_EQ(Widget_Embed(w.get(), v.get()), 0);
        rb::registerService("testEmbed", reinterpret_cast<void *>(&testEmbed));
        EXPECT_EQ(Widget_Embed(w.get(), v.get()), 1);
        EXPECT_EQ(gEmbedCalls, 1);
        rb::registerService("testCount", reinterpret_cast<void *>(&testCount));
        EXPECT_EQ(Folder_Count(nullptr), 0);
        EXPECT_EQ(gCountCalls2, 0);
        EXPECT_EQ(Folder_Count(w.get()), 1);
    });
}

TEST_F(Lookup, LoggedRowsWithTheirOwnMessages) {
    inChild([&] {
        rb::ObjRef w = rb::make(widgetClass(true));
        Runtime_Install(w.get());
        EXPECT_EQ(log(), std::vector<std::string>{"RESOLVER AND DYNAMIC ACCESS FAILURE: Runtime_Install"});
        log().clear();
        EXPECT_EQ(Runtime_Swap(w.get()), nullptr);
        EXPECT_EQ(Runtime_Swap(w.get()), nullptr);
        EXPECT_EQ(count("RESOLVER ACCESS FAILURE: Runtime_SwapSelfAndMe"), 2);
        rb::registerService("testSwap", reinterpret_cast<void *>(&testSwap));
        EXPECT_EQ(Runtime_Swap(w.get()), w.get());
        rb::withholdService("testSwap");  // no cache: the next call misses again
        EXPECT_EQ(Runtime_Swap(w.get()), nullptr);
        EXPECT_EQ(count("RESOLVER ACCESS FAILURE: Runtime_SwapSelfAndMe"), 3);
    });
}

TEST_F(Lookup, PropertyOnlyRows) {
    inChild([&] {
        rb::ObjRef w = rb::make(widgetClass(true));
        EXPECT_EQ(Widget_CursorCount(w.get()), 0);
        EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_CursorCount"), 1);
        Widget_SetCursorCount(w.get(), 1);
        EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_SetCursorCount"), 1);
        log().clear();
        EXPECT_EQ(Widget_Quiet(w.get()), 0);
        EXPECT_TRUE(log().empty());
    });
}

TEST_F(Lookup, StringEndOfLineKeepsTheMethodItFound) {
    inChild([&] {
        // The host's EndOfLine object answers first; withdrawn, it is still used.
        REALobject eol = String_EndOfLine();
        ASSERT_NE(eol, nullptr);
        rb::release(eol);
        rb::withholdService("REALLoadGlobalMethod");
        eol = String_EndOfLine();
        EXPECT_NE(eol, nullptr);
        if (eol) rb::release(eol);
        EXPECT_TRUE(log().empty());
    });
}

TEST(XStringTest, FourCharacterCodes) {
    RuntimeInit();
    gResolver = rb::resolve;
    XString tiff(0x54494646UL);  // 'TIFF'
    EXPECT_STREQ(static_cast<const char *>(tiff), "TIFF");
    EXPECT_EQ(static_cast<unsigned long>(tiff), 0x54494646UL);
    XString two("ab");
    EXPECT_EQ(static_cast<unsigned long>(two), 0x61622020UL);
    XString empty("");
    EXPECT_EQ(static_cast<unsigned long>(empty), 0x20202020UL);
    const unsigned char *p = tiff;
    EXPECT_EQ(p[0], 4);
    tiff.unlock();
    two.unlock();
    empty.unlock();
}

TEST(XStringTest, BoundsAndTransformingMembersReleaseOnce) {
    RuntimeInit();
    gResolver = rb::resolve;
    rb::registerService("StringDBCSLeft", reinterpret_cast<void *>(&testLeft));
    XString x("abcdef");
    REALstring before = x;
    rb::retainString(before);  // watch it: one reference of ours, one of the holder
    EXPECT_EQ(before->refCount, 2);
    x.left(3);
    EXPECT_STREQ(static_cast<const char *>(x), "abc");
    EXPECT_EQ(before->refCount, 1);  // released exactly once
    rb::releaseString(before);
    // Out of range reads 0 and writes nothing.
    EXPECT_EQ(x.getat(-1), 0);
    EXPECT_EQ(x.getat(3), 0);
    x.setat(10, 'z');
    x.setat(0, 'A');
    EXPECT_STREQ(static_cast<const char *>(x), "Abc");
    x.unlock();
}
