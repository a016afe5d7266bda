// The lookup orders, their caches and messages, and XString, against the
// real host runtime with test functions registered under host names.
#include "string_functions.h"
#include "xstring.h"

#include "resolver.h"

#include <fw/Carbon.h>
#include <rb/host.h>
#include <rb/object.h>
#include "lookup.h"
#include <rb/runtime.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gLog;
void capture(const char *text, size_t length, void *) { gLog.emplace_back(text, length); }

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

class Lookup : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        gResolver = rb::resolve;
    }
    void SetUp() override {
        gLog.clear();
        fw_set_debugstr_hook(capture, nullptr);
        rb::restoreServices();
    }
    void TearDown() override {
        fw_set_debugstr_hook(nullptr, nullptr);
        rb::restoreServices();
    }
    int count(const std::string &line) {
        int n = 0;
        for (auto &l : gLog) n += l == line;
        return n;
    }
};

}  // namespace

TEST_F(Lookup, LoggedResolverMissesEveryCallThenHitsOnceAndKeepsIt) {
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
}

TEST_F(Lookup, SignatureFirstHitFallbackAndMiss) {
    rb::String s("abcdef");
    rb::withholdService("REALLoadGlobalMethod");
    rb::withholdService("StringDBCSMid2");
    // Miss: both messages, naming the function, on every call.
    EXPECT_EQ(String_Mid(s.get(), 2), nullptr);
    EXPECT_EQ(String_Mid(s.get(), 2), nullptr);
    EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: String_Mid"), 2);
    EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: String_Mid"), 2);
    // Fallback to the resolver: one shorter message, then cached.
    gLog.clear();
    rb::restoreServices();
    rb::withholdService("REALLoadGlobalMethod");
    rb::registerService("StringDBCSMid2", reinterpret_cast<void *>(&testMidResolver));
    rb::String r = rb::String::adopt(String_Mid(s.get(), 2));
    EXPECT_EQ(r.str(), "bcdef");
    rb::String again = rb::String::adopt(String_Mid(s.get(), 3));
    EXPECT_EQ(again.str(), "cdef");
    EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: String_Mid"), 1);
    EXPECT_EQ(gMidResCalls, 2);
}

TEST_F(Lookup, SignatureFirstPrefersTheGlobalMethod) {
    rb::addGlobalMethod("MidB(source as String, start as Integer) as String",
                        reinterpret_cast<void *>(&testMidSignature));
    rb::String s("abcdef");
    int before = gMidSigCalls;
    rb::String r = rb::String::adopt(String_MidB(s.get(), 4));
    EXPECT_EQ(r.str(), "def");
    EXPECT_EQ(gMidSigCalls, before + 1);
    EXPECT_TRUE(gLog.empty());
}

TEST_F(Lookup, ResolverFirstMissesGiveMinusOneWithTheResolverName) {
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
}

TEST_F(Lookup, MessagesGoThroughDprintfWithALineFeedOffMacOSX) {
    fw_gestalt_fail(-1);
    // IsMacOSX keeps its first successful answer; on a fresh process this
    // takes the dprintf form, here it only checks the message still arrives.
    rb::String s("x");
    rb::withholdService("StringUCase");
    String_UpperCase(s.get());
    fw_gestalt_fail(0);
    ASSERT_FALSE(gLog.empty());
    EXPECT_EQ(gLog.back().rfind("RESOLVER FAILURE: StringUCase", 0), 0u);
}

TEST_F(Lookup, TheHostsOwnStringFunctions) {
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
    EXPECT_TRUE(gLog.empty());
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

// Rows as a family table would have them.
int32_t Widget_GetLeft(REALobject o) {
    static hostwrap::Slot _fp{nullptr};
    return hostwrap::propertyFirstGet<int32_t>(_fp, o, "Left", "testPosGetter", 0, "Widget_GetLeft", 0);
}
void Widget_Hide(REALobject o) {
    static hostwrap::Slot _fp{nullptr};
    hostwrap::signatureFirstObject<void>(_fp, o, "Hide()", "testHideResolver", "Widget_Hide", 0);
}
int32_t Thread_GetPriority() {
    static hostwrap::Slot _fp{nullptr};
    return hostwrap::silentResolver<int32_t>(_fp, "testPriority", 0);
}
int32_t Widget_CursorCount(REALobject o) {
    return hostwrap::propertyOnlyGet<int32_t>(o, "Cursors", hostwrap::kDynamic, "Widget_CursorCount", 0);
}
}  // namespace

TEST_F(Lookup, PropertyFirstAsksThePropertyEveryCallAndFallsBackInSelectorForm) {
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
}

TEST_F(Lookup, PropertyFirstMissLogsBothAndReturnsZero) {
    rb::ObjRef without = rb::make(widgetClass(false));
    EXPECT_EQ(Widget_GetLeft(without.get()), 0);
    EXPECT_EQ(Widget_GetLeft(without.get()), 0);
    EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 2);
    EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_GetLeft"), 2);
}

TEST_F(Lookup, ObjectMethodFoundOnceServesOtherObjects) {
    rb::ObjRef a = rb::make(widgetClass(false)), b = rb::make(widgetClass(false));
    rb::findClass("LookupWidget")->methods.push_back({"Hide()", reinterpret_cast<void *>(&testHide), nullptr});
    Widget_Hide(a.get());
    rb::withholdService("REALLoadObjectMethod");  // later calls must not ask again
    Widget_Hide(b.get());
    EXPECT_EQ(gHideCalls, 2);
    EXPECT_TRUE(gLog.empty());
}

TEST_F(Lookup, SilentResolverAndPropertyOnly) {
    EXPECT_EQ(Thread_GetPriority(), 0);
    EXPECT_TRUE(gLog.empty());  // silent
    rb::registerService("testPriority", reinterpret_cast<void *>(&testPriority));
    EXPECT_EQ(Thread_GetPriority(), 1);
    rb::ObjRef w = rb::make(widgetClass(true));
    EXPECT_EQ(Widget_CursorCount(w.get()), 0);
    EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_CursorCount"), 1);
}

TEST_F(Lookup, EntryTracePrintsTheSlotsLow32Bits) {
    hostwrap::entryTrace("Thread__Init", reinterpret_cast<void *>(uintptr_t(0x1234abcd5678ef90ULL)));
    hostwrap::entryTrace("Thread__Init", nullptr);
    ASSERT_EQ(gLog.size(), 4u);
    EXPECT_EQ(gLog[0], "in Thread__Init");
    EXPECT_EQ(gLog[1], "_fp Address->(5678ef90)");
    EXPECT_EQ(gLog[3], "_fp Address->(0)");
}

namespace {
extern "C" int32_t testDoEvents() { return 9; }
extern "C" REALstring testTitleGetter(REALobject) { return rb::newString("from resolver"); }
}  // namespace

TEST_F(Lookup, CallTraceBeforeEveryCallAndNothingOnAMiss) {
    static hostwrap::Slot slot{nullptr};
    EXPECT_EQ(hostwrap::silentResolverTraced<int32_t>(slot, "testDoEvents", "doEvents", 0), 0);
    EXPECT_TRUE(gLog.empty());
    rb::registerService("testDoEvents", reinterpret_cast<void *>(&testDoEvents));
    EXPECT_EQ(hostwrap::silentResolverTraced<int32_t>(slot, "testDoEvents", "doEvents", 0), 9);
    EXPECT_EQ(hostwrap::silentResolverTraced<int32_t>(slot, "testDoEvents", "doEvents", 0), 9);
    EXPECT_EQ(count("doEvents"), 2);
}

TEST_F(Lookup, ResolverFirstThenPropertyNeverLogsTheShortMessage) {
    static hostwrap::Slot slot{nullptr};
    rb::ObjRef w = rb::make(widgetClass(true));
    // No resolver function: the property answers, on every call.
    EXPECT_EQ(hostwrap::resolverFirstThenProperty<int32_t>(slot, w.get(), "testLeftGetter", "Left", "Widget_Left", 0), 7);
    EXPECT_EQ(hostwrap::resolverFirstThenProperty<int32_t>(slot, w.get(), "testLeftGetter", "Missing", "Widget_Left", 0),
              0);
    EXPECT_EQ(count("RESOLVER AND DYNAMIC ACCESS FAILURE: Widget_Left"), 1);
    EXPECT_EQ(count("DYNAMIC ACCESS FAILURE: Widget_Left"), 0);
    static hostwrap::Slot titleSlot{nullptr};
    rb::registerService("testTitleGetter", reinterpret_cast<void *>(&testTitleGetter));
    rb::String t = rb::String::adopt(
        hostwrap::resolverFirstThenProperty<REALstring>(titleSlot, w.get(), "testTitleGetter", "Title", "W", nullptr));
    EXPECT_EQ(t.str(), "from resolver");
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
