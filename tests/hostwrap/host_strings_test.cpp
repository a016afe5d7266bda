// The host's string functions as plug-ins reach them: by resolver name and
// as global methods, in UTF-8 and MacRoman.
#include <rb/host.h>
#include <rb/object.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <string>

namespace {

template <class F> F service(const char *name) {
    F fn = reinterpret_cast<F>(rb::resolve(name));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
}
template <class F> F global(const char *declaration) {
    F fn = reinterpret_cast<F>(rb::findGlobalMethod(declaration));
    EXPECT_NE(fn, nullptr) << declaration;
    return fn;
}

using S = REALstring;
std::string take(S s) { return rb::String::adopt(s).str(); }
rb::String macRoman(const std::string &bytes) { return rb::String(bytes, kEncodingMacRoman); }

}  // namespace

TEST(HostStrings, CharactersFollowTheStringsEncoding) {
    auto len = service<int32_t (*)(S)>("StringDBCSLen");
    auto lenB = service<int32_t (*)(S)>("StringLen");
    auto mid = service<S (*)(S, int32_t, int32_t)>("StringDBCSMid3");
    auto right = service<S (*)(S, int32_t)>("StringDBCSRight");
    auto asc = service<int32_t (*)(S)>("StringDBCSAsc");
    rb::String utf("Grüße"), mac = macRoman(
                                 "Gr\x9f\xa7"
                                 "e");  // the same word in MacRoman
    EXPECT_EQ(len(utf.get()), 5);
    EXPECT_EQ(lenB(utf.get()), 7);
    EXPECT_EQ(len(mac.get()), 5);  // 0x9F and 0xA7 are whole characters there
    EXPECT_EQ(take(mid(mac.get(), 3, 2)), "\x9f\xa7");
    EXPECT_EQ(take(mid(utf.get(), 3, 2)), "üß");
    EXPECT_EQ(take(right(utf.get(), 3)), "üße");
    EXPECT_EQ(asc(mac.get()), 'G');
    rb::String u = rb::String::adopt(mid(utf.get(), 3, 1));
    EXPECT_EQ(asc(u.get()), 0xFC);
    EXPECT_EQ(u.encoding(), kEncodingUTF8);
    EXPECT_EQ(len(nullptr), 0);
}

TEST(HostStrings, PositionsOutsideTheTextGiveEmptyResults) {
    auto mid = service<S (*)(S, int32_t, int32_t)>("StringDBCSMid3");
    auto midB = service<S (*)(S, int32_t)>("StringMid2");
    auto right = service<S (*)(S, int32_t)>("StringDBCSRight");
    auto rightB = service<S (*)(S, int32_t)>("StringRight");
    auto left = service<S (*)(S, int32_t)>("StringDBCSLeft");
    auto inStr = service<int32_t (*)(int32_t, S, S)>("StringInStr");
    auto inStrB = service<int32_t (*)(int32_t, S, S)>("StringInStrB");
    rb::String s("abcabc"), a("a");
    EXPECT_EQ(take(mid(s.get(), 10, 2)), "");
    EXPECT_EQ(take(mid(s.get(), 0, 2)), "ab");
    EXPECT_EQ(take(mid(s.get(), 5, -3)), "");
    EXPECT_EQ(take(midB(s.get(), 7)), "");
    EXPECT_EQ(take(right(s.get(), INT_MIN)), "");
    EXPECT_EQ(take(right(s.get(), INT_MAX)), "abcabc");
    EXPECT_EQ(take(rightB(s.get(), -1)), "");
    EXPECT_EQ(take(left(s.get(), 100)), "abcabc");
    EXPECT_EQ(inStr(2, s.get(), a.get()), 4);
    EXPECT_EQ(inStr(10, s.get(), a.get()), 0);  // past the end: not found, not the first one
    EXPECT_EQ(inStrB(7, s.get(), a.get()), 0);
    EXPECT_EQ(inStr(-5, s.get(), a.get()), 1);
}

TEST(HostStrings, PlainFunctionsIgnoreCaseAndBFunctionsDoNot) {
    auto inStr = service<int32_t (*)(int32_t, S, S)>("StringInStr");
    auto inStrB = service<int32_t (*)(int32_t, S, S)>("StringInStrB");
    auto replace = service<S (*)(S, S, S)>("StringReplace");
    auto replaceB = service<S (*)(S, S, S)>("StringReplaceB");
    auto replaceAll = service<S (*)(S, S, S)>("StringReplaceAll");
    auto replaceAllB = service<S (*)(S, S, S)>("StringReplaceAllB");
    auto count = service<int32_t (*)(S, S)>("StringCountFields");
    auto nth = service<S (*)(S, S, int32_t)>("StringNthField");
    rb::String s("One and ONE"), one("one"), x("x"), sep("AND"), empty("");
    EXPECT_EQ(inStr(1, s.get(), one.get()), 1);
    EXPECT_EQ(inStrB(1, s.get(), one.get()), 0);
    EXPECT_EQ(take(replace(s.get(), one.get(), x.get())), "x and ONE");
    EXPECT_EQ(take(replaceB(s.get(), one.get(), x.get())), "One and ONE");
    EXPECT_EQ(take(replaceAll(s.get(), one.get(), x.get())), "x and x");
    EXPECT_EQ(take(replaceAllB(s.get(), one.get(), x.get())), "One and ONE");
    EXPECT_EQ(take(replaceAll(s.get(), empty.get(), x.get())), "One and ONE");
    EXPECT_EQ(count(s.get(), sep.get()), 2);
    EXPECT_EQ(take(nth(s.get(), sep.get(), 2)), " ONE");
    EXPECT_EQ(take(nth(s.get(), sep.get(), 3)), "");
    EXPECT_EQ(take(nth(s.get(), sep.get(), 0)), "");
    EXPECT_EQ(count(empty.get(), sep.get()), 0);
    EXPECT_EQ(count(s.get(), empty.get()), 1);
}

TEST(HostStrings, ComparingJoiningAndCase) {
    auto compare = service<int32_t (*)(S, S)>("RuntimeStringCompare");
    auto strComp = service<int32_t (*)(S, S, int32_t)>("StringStrCompare");
    auto add = service<S (*)(S, S)>("RuntimeAddString");
    auto upper = service<S (*)(S)>("StringUCase");
    auto lower = service<S (*)(S)>("StringLCase");
    rb::String a("abc"), b("ABC"), c("abd");
    EXPECT_EQ(compare(a.get(), b.get()), 0);
    EXPECT_EQ(compare(a.get(), c.get()), -1);
    EXPECT_EQ(strComp(a.get(), b.get(), 0), 1);  // binary: 'a' > 'A'
    EXPECT_EQ(strComp(a.get(), b.get(), 1), 0);
    EXPECT_EQ(strComp(c.get(), b.get(), 1), 1);
    // A MacRoman tail joins a UTF-8 head as UTF-8.
    rb::String head("Gr"), tail = macRoman(
                               "\x9f\xa7"
                               "e");
    rb::String joined = rb::String::adopt(add(head.get(), tail.get()));
    EXPECT_EQ(joined.str(), "Grüße");
    EXPECT_EQ(joined.encoding(), kEncodingUTF8);
    EXPECT_EQ(take(add(nullptr, tail.get())),
              "\x9f\xa7"
              "e");
    rb::String word("Grüße");
    EXPECT_EQ(take(upper(word.get())), "GRÜßE");
    EXPECT_EQ(take(lower(rb::String("ÄRGER").get())), "ärger");
}

TEST(HostStrings, TrimmingAndLineEndings) {
    auto trim = service<S (*)(S)>("runTrim");
    auto ltrim = service<S (*)(S)>("runLTrim");
    auto rtrim = service<S (*)(S)>("runRTrim");
    auto endings = global<S (*)(S, S)>("ReplaceLineEndings(source as String, LineEnding as String) as String");
    rb::String s(" \t a b \r\n"), blank("  "), text("a\r\nb\rc\nd"), lf("\n");
    EXPECT_EQ(take(trim(s.get())), "a b");
    EXPECT_EQ(take(ltrim(s.get())), "a b \r\n");
    EXPECT_EQ(take(rtrim(s.get())), " \t a b");
    EXPECT_EQ(take(trim(blank.get())), "");
    EXPECT_EQ(take(endings(text.get(), lf.get())), "a\nb\nc\nd");
}

namespace {

// Str, Val, Format and the Variant conversions of numbers.
void expectNumbersInAndOut() {
    auto str = global<S (*)(double)>("Str(source as Double) as String");
    auto val = global<double (*)(S)>("Val(number As String) As double");
    auto format = global<S (*)(double, S)>("Format(value As Double, format As String) as String");
    EXPECT_EQ(take(str(0.5)), "0.5");
    EXPECT_EQ(take(str(42)), "42");
    EXPECT_EQ(take(str(12345678)), "1.234568e+7");
    EXPECT_EQ(val(rb::String(" 3.5abc").get()), 3.5);
    EXPECT_EQ(val(rb::String("&hFF").get()), 255);
    EXPECT_EQ(val(rb::String("&b101").get()), 5);
    EXPECT_EQ(val(rb::String("abc").get()), 0);
    auto f = [&](double x, const char *pattern) { return take(format(x, rb::String(pattern).get())); };
    EXPECT_EQ(f(1234.5, "#,##0.00"), "1,234.50");
    EXPECT_EQ(f(0.5, "#.##"), ".5");
    EXPECT_EQ(f(0.25, "0%"), "25%");
    EXPECT_EQ(f(-3, "0"), "-3");
    EXPECT_EQ(f(-2, "0;(0)"), "(2)");
    EXPECT_EQ(f(0, "0;-0;\\z\\e\\r\\o"), "zero");
    EXPECT_EQ(f(7, "+0"), "+7");
    EXPECT_EQ(f(7, "000"), "007");
    EXPECT_EQ(f(3.14159, "$0.00 each"), "$3.14 each");
    auto toText = service<S (*)(REALobject)>("variantToString");
    auto toDouble = service<double (*)(REALobject)>("variantToDouble");
    rb::ObjRef half = rb::ObjRef::adopt(service<REALobject (*)(double)>("DoubleToVariant")(1.5));
    rb::ObjRef rate = rb::ObjRef::adopt(service<REALobject (*)(S)>("StringToVariant")(rb::String("29.97").get()));
    EXPECT_EQ(take(toText(half.get())), "1.5");
    EXPECT_EQ(toDouble(rate.get()), 29.97);
}

}  // namespace

TEST(HostStrings, NumbersInAndOut) { expectNumbersInAndOut(); }

// The same where the process's locale writes a decimal comma (on screen GTK
// takes the desktop's).
TEST(HostStrings, NumbersInAndOutAreTheSameInACommaLocale) {
    struct Locale {
        std::string was = std::setlocale(LC_ALL, nullptr);
        ~Locale() { std::setlocale(LC_ALL, was.c_str()); }
    } restored;
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "no locale de_DE.UTF-8 (scripts/deps makes it)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    expectNumbersInAndOut();
}

TEST(HostStrings, Base64AndCharacters) {
    auto encode = global<S (*)(S, REALobject)>("EncodeBase64(s As String, encoding As TextEncoding = nil) as String");
    auto decode = global<S (*)(S, REALobject)>("DecodeBase64(s As String, encoding As TextEncoding = nil) as String");
    auto chr = service<S (*)(int32_t)>("StringDBCSChr");
    auto chrB = service<S (*)(int32_t)>("StringChr");
    EXPECT_EQ(take(encode(rb::String("Man").get(), nullptr)), "TWFu");
    EXPECT_EQ(take(encode(rb::String("Ma").get(), nullptr)), "TWE=");
    EXPECT_EQ(take(encode(rb::String("M").get(), nullptr)), "TQ==");
    EXPECT_EQ(take(decode(rb::String("TWFu\r\nTWE=").get(), nullptr)), "ManMa");
    std::string bytes("\x00\xff\x10", 3);
    rb::String binary(bytes);
    rb::String round = rb::String::adopt(encode(binary.get(), nullptr));
    EXPECT_EQ(take(decode(round.get(), nullptr)), bytes);
    EXPECT_EQ(take(chr(0xFC)), "ü");
    EXPECT_EQ(take(chr(0x20AC)), "€");
    EXPECT_EQ(take(chr(-1)), "");
    EXPECT_EQ(take(chrB(0x141)), "A");
}

TEST(HostStrings, EndOfLineObjectHasTheThreeEndings) {
    auto eol = global<REALobject (*)()>("EndOfLine() as EndOfLine");
    auto get = service<RBBoolean (*)(REALobject, const char *, REALstring *)>("REALGetPropValueString");
    rb::ObjRef o = rb::ObjRef::adopt(eol());
    ASSERT_TRUE(o);
    EXPECT_EQ(rb::refCount(o.get()), 1);
    REALstring s = nullptr;
    ASSERT_TRUE(get(o.get(), "Macintosh", &s));
    EXPECT_EQ(take(s), "\r");
    ASSERT_TRUE(get(o.get(), "Windows", &s));
    EXPECT_EQ(take(s), "\r\n");
    ASSERT_TRUE(get(o.get(), "Unix", &s));
    EXPECT_EQ(take(s), "\n");
    EXPECT_FALSE(get(o.get(), "Amiga", &s));
}
