// Variants and string arrays as plug-ins make and read them.
#include "host_service.h"

#include <rb/object.h>
#include <rb/string.h>
#include <rb/stringarray.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rb;

namespace {

std::string take(REALstring s) {
    std::string t = s ? toStd(s) : "<nil>";
    releaseString(s);
    return t;
}

TEST(Variants, ValuesConvertBetweenTheirKinds) {
    REALobject i = service<REALobject(int32_t)>("Int32ToVariant")(42);
    auto getStr = service<RBBoolean(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    auto getDouble = service<RBBoolean(REALobject, const char *, double *)>("REALGetPropValueDouble");
    auto getBool = service<RBBoolean(REALobject, const char *, RBBoolean *)>("REALGetPropValueBool");
    auto getInt = service<RBBoolean(REALobject, const char *, int32_t *)>("REALGetPropValueInt");
    REALstring s = nullptr;
    ASSERT_TRUE(getStr(i, "StringValue", &s));
    EXPECT_EQ(take(s), "42");
    double d = 0;
    ASSERT_TRUE(getDouble(i, "DoubleValue", &d));
    EXPECT_EQ(d, 42.0);
    RBBoolean b = 0;
    ASSERT_TRUE(getBool(i, "BooleanValue", &b));
    EXPECT_EQ(b, 1);

    // Writing a property makes the variant hold that kind.
    String text("2.5");
    EXPECT_TRUE(service<RBBoolean(REALobject, const char *, REALstring)>("REALSetPropValueString")(i, "StringValue",
                                                                                                   text.get()));
    int32_t n = 0;
    ASSERT_TRUE(getInt(i, "IntegerValue", &n));
    EXPECT_EQ(n, 2);
    EXPECT_EQ(service<double(REALobject)>("variantToDouble")(i), 2.5);
    EXPECT_TRUE(
        service<RBBoolean(REALobject, const char *, double)>("REALSetPropValueDouble")(i, "DoubleValue", 1e300));
    ASSERT_TRUE(getInt(i, "IntegerValue", &n));
    EXPECT_EQ(n, INT32_MAX);  // clamped, not undefined
    release(i);

    REALobject c = service<REALobject(uint32_t)>("ColorToVariant")(0x00FF7F00);
    ASSERT_TRUE(getInt(c, "ColorValue", &n));
    EXPECT_EQ(uint32_t(n), 0x00FF7F00u);
    EXPECT_EQ(take(service<REALstring(REALobject)>("variantToString")(c)), "&h00FF7F00");
    release(c);

    REALobject f = service<REALobject(int32_t)>("BooleanToVariant")(0x100);  // the low byte is the value
    EXPECT_EQ(service<RBBoolean(REALobject)>("variantToBoolean")(f), 0);
    release(f);
    REALobject t = service<REALobject(int32_t)>("BooleanToVariant")(1);
    EXPECT_EQ(service<RBBoolean(REALobject)>("variantToBoolean")(t), 1);
    EXPECT_EQ(take(service<REALstring(REALobject)>("variantToString")(t)), "True");
    release(t);
    String yes("TRUE");
    REALobject sv = service<REALobject(REALstring)>("StringToVariant")(yes.get());
    EXPECT_EQ(service<RBBoolean(REALobject)>("variantToBoolean")(sv), 1);
    EXPECT_EQ(service<int32_t(REALobject)>("variantToInt")(sv), 0);
    auto load = service<void *(REALobject, const char *)>("REALLoadObjectMethod");
    EXPECT_EQ(load(sv, "StringValue() As String"), rb::resolve("variantToString"));
    release(sv);
    REALobject nil = service<REALobject(REALstring)>("StringToVariant")(nullptr);
    EXPECT_EQ(take(service<REALstring(REALobject)>("variantToString")(nil)), "");
    release(nil);
    REALobject dv = service<REALobject(double)>("DoubleToVariant")(-0.5);
    EXPECT_EQ(service<int32_t(REALobject)>("variantToInt")(dv), 0);
    release(dv);
}

TEST(Variants, NilAndOtherObjectsMiss) {
    ObjRef timer = make("Timer");
    EXPECT_EQ(service<int32_t(REALobject)>("variantToInt")(timer.get()), 0);
    EXPECT_EQ(service<double(REALobject)>("variantToDouble")(nullptr), 0.0);
    EXPECT_EQ(service<REALstring(REALobject)>("variantToString")(timer.get()), nullptr);
    EXPECT_EQ(service<uint32_t(REALobject)>("variantToColor")(nullptr), 0u);
}

std::vector<std::string> items(REALstringArrayStruct *a) {
    std::vector<std::string> out;
    for (const String &s : *stringArrayItems(reinterpret_cast<REALobject>(a))) out.push_back(s.str());
    return out;
}

TEST(StringArrays, SplitAndJoin) {
    auto split = service<REALstringArrayStruct *(REALstring, REALstring)>("StringSplit");
    auto join = service<REALstring(REALstringArrayStruct *, REALstring)>("StringJoin");
    String source("a,b,,c"), comma(",");
    REALstringArrayStruct *a = split(source.get(), comma.get());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(items(a), (std::vector<std::string>{"a", "b", "", "c"}));
    String dash(" - ");
    EXPECT_EQ(take(join(a, dash.get())), "a - b -  - c");
    release(reinterpret_cast<REALobject>(a));

    String words("OneANDtwoandThree"), sep("and");  // letters match in either case
    a = split(words.get(), sep.get());
    EXPECT_EQ(items(a), (std::vector<std::string>{"One", "two", "Three"}));
    release(reinterpret_cast<REALobject>(a));
    String empty("");
    a = split(empty.get(), comma.get());
    EXPECT_TRUE(items(a).empty());
    EXPECT_EQ(take(join(a, comma.get())), "");
    release(reinterpret_cast<REALobject>(a));
    a = split(source.get(), empty.get());
    EXPECT_EQ(items(a), std::vector<std::string>{"a,b,,c"});
    release(reinterpret_cast<REALobject>(a));
    String edge(",x,");
    a = split(edge.get(), comma.get());
    EXPECT_EQ(items(a), (std::vector<std::string>{"", "x", ""}));
    release(reinterpret_cast<REALobject>(a));

    EXPECT_EQ(split(nullptr, comma.get()), nullptr);
    EXPECT_EQ(join(nullptr, comma.get()), nullptr);
    ObjRef timer = make("Timer");
    EXPECT_EQ(join(reinterpret_cast<REALstringArrayStruct *>(timer.get()), comma.get()), nullptr);
}

}  // namespace
