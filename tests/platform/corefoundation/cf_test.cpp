// CoreFoundation objects: strings, numbers, dictionaries, URLs and UUIDs
// (bundles are tested with the FireWire helper bundles).
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string text(CFStringRef s) {
    char buf[512];
    return CFStringGetCString(s, buf, sizeof buf, kCFStringEncodingUTF8) ? buf : "<fail>";
}

TEST(CFString, ConvertsBetweenEncodings) {
    const UInt8 macRoman[] = {'C', 'a', 'f', 0x8E};  // "Café" in MacRoman
    CFStringRef s = CFStringCreateWithBytes(nullptr, macRoman, 4, kCFStringEncodingMacRoman, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(text(s), "Caf\xC3\xA9");
    EXPECT_EQ(CFStringGetLength(s), 4);
    char latin[8];
    ASSERT_TRUE(CFStringGetCString(s, latin, sizeof latin, kCFStringEncodingISOLatin1));
    EXPECT_EQ(uint8_t(latin[3]), 0xE9);
    char ascii[8];
    EXPECT_FALSE(CFStringGetCString(s, ascii, sizeof ascii, kCFStringEncodingASCII));
    EXPECT_STREQ(ascii, "");
    // Lossy conversion as the debug helpers do it.
    UInt8 out[8];
    CFIndex used = 0;
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 4), kCFStringEncodingASCII, '?', 0, out, sizeof out, &used), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(out), size_t(used)), "Caf?");
    CFRelease(s);
}

TEST(CFString, RefusesBadInputAndSmallBuffers) {
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xC3(", kCFStringEncodingUTF8), nullptr);     // bad UTF-8
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "\xE2\x82", kCFStringEncodingUTF8), nullptr);  // cut short
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "x", 0x1234), nullptr);                        // unknown encoding
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
    CFStringRef s = CFStringCreateWithCString(nullptr, "12345", kCFStringEncodingUTF8);
    char small[5];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
    char exact[6];
    EXPECT_TRUE(CFStringGetCString(s, exact, sizeof exact, kCFStringEncodingUTF8));
    UInt8 two[2];
    CFIndex used = 0;
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(0, 5), kCFStringEncodingUTF8, 0, 0, two, 2, &used), 2);
    EXPECT_EQ(used, 2);
    EXPECT_EQ(CFStringGetBytes(s, CFRangeMake(3, 5), kCFStringEncodingUTF8, 0, 0, two, 2, &used), 0);  // bad range
    CFRelease(s);
}

TEST(CFString, ConstantsAreInternedAndImmortal) {
    CFStringRef a = CFSTR("Unit_Spec_ID");
    EXPECT_EQ(a, CFSTR("Unit_Spec_ID"));
    CFRelease(a);
    CFRelease(a);
    EXPECT_EQ(text(a), "Unit_Spec_ID");
}

TEST(CFString, FormatsWithObjects) {
    int32_t v = 41005;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
    CFStringRef s = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@=%@ [%5.1f|%-3d|%*d|%s|%#x|%lld|%%]"),
                                             CFSTR("id"), n, 2.25, 7, 4, 9, "txt", 255, 1LL << 40);
    EXPECT_EQ(text(s), "id=41005 [  2.2|7  |   9|txt|0xff|1099511627776|%]");
    CFRelease(s);
    CFStringRef none = CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), static_cast<CFTypeRef>(nullptr));
    EXPECT_EQ(text(none), "(null)");
    CFRelease(none);
    CFRelease(n);
}

TEST(CFNumber, ConvertsOnlyWhatFits) {
    int32_t big = 0x10001;
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &big);
    int8_t small = 0;
    EXPECT_FALSE(CFNumberGetValue(n, kCFNumberSInt8Type, &small));
    int64_t wide = 0;
    EXPECT_TRUE(CFNumberGetValue(n, kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, 0x10001);
    CFNumberRef same = CFNumberCreate(nullptr, kCFNumberSInt64Type, &wide);
    EXPECT_TRUE(CFEqual(n, same));
    CFRelease(same);
    CFRelease(n);
}

TEST(CFDictionary, KeysCompareByValueAndValuesAreRetained) {
    CFMutableDictionaryRef d =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFStringRef key = CFStringCreateWithCString(nullptr, "k", kCFStringEncodingUTF8);
    CFStringRef v1 = CFStringCreateWithCString(nullptr, "one", kCFStringEncodingUTF8);
    CFStringRef v2 = CFStringCreateWithCString(nullptr, "two", kCFStringEncodingUTF8);
    CFDictionarySetValue(d, key, v1);
    EXPECT_EQ(CFGetRetainCount(v1), 2);
    CFDictionarySetValue(d, CFSTR("k"), v2);  // equal key, other object: replaces
    EXPECT_EQ(CFDictionaryGetCount(d), 1);
    EXPECT_EQ(CFGetRetainCount(v1), 1);
    EXPECT_EQ(CFDictionaryGetValue(d, key), v2);
    EXPECT_EQ(CFDictionaryGetValue(d, CFSTR("missing")), nullptr);
    CFRelease(d);
    EXPECT_EQ(CFGetRetainCount(v2), 1);
    CFRelease(key);
    CFRelease(v1);
    CFRelease(v2);
}

TEST(CFURL, BuildsFileSystemPaths) {
    CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp/some/dir/"), kCFURLPOSIXPathStyle, 1);
    CFURLRef child = CFURLCreateCopyAppendingPathComponent(nullptr, u, CFSTR("System.framework"), 1);
    UInt8 buf[64];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(child, 1, buf, sizeof buf));
    EXPECT_STREQ(reinterpret_cast<char *>(buf), "/tmp/some/dir/System.framework");
    UInt8 tiny[8];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(child, 1, tiny, sizeof tiny));
    CFURLRef rel = CFURLCreateWithFileSystemPath(nullptr, CFSTR("x"), kCFURLPOSIXPathStyle, 0);
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(rel, 1, buf, sizeof buf));
    EXPECT_EQ(buf[0], '/');
    EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, CFSTR(""), kCFURLPOSIXPathStyle, 0), nullptr);
    CFRelease(rel);
    CFRelease(child);
    CFRelease(u);
}

// FC65C030-D498-11D5-878D-0003934B81A0 and C244E858-109C-11D4-91D4-0050E4C6426F.
CFUUIDRef avcUnitInterface() {
    return CFUUIDGetConstantUUIDWithBytes(0, 0xFC, 0x65, 0xC0, 0x30, 0xD4, 0x98, 0x11, 0xD5, 0x87, 0x8D, 0x00, 0x03,
                                          0x93, 0x4B, 0x81, 0xA0);
}
CFUUIDRef plugInInterface() {
    return CFUUIDGetConstantUUIDWithBytes(0, 0xC2, 0x44, 0xE8, 0x58, 0x10, 0x9C, 0x11, 0xD4, 0x91, 0xD4, 0x00, 0x50,
                                          0xE4, 0xC6, 0x42, 0x6F);
}

TEST(CFUUID, ConstantsInternAndParse) {
    EXPECT_EQ(avcUnitInterface(), avcUnitInterface());
    EXPECT_NE(avcUnitInterface(), plugInInterface());
    CFUUIDRef parsed = CFUUIDCreateFromString(nullptr, CFSTR("FC65C030-D498-11D5-878D-0003934B81A0"));
    ASSERT_NE(parsed, nullptr);
    EXPECT_TRUE(CFEqual(parsed, avcUnitInterface()));
    CFUUIDBytes b = CFUUIDGetUUIDBytes(parsed);
    EXPECT_EQ(b.byte0, 0xFC);
    EXPECT_EQ(b.byte15, 0xA0);
    CFRelease(parsed);
    EXPECT_EQ(CFUUIDCreateFromString(nullptr, CFSTR("FC65C030-D498")), nullptr);
    EXPECT_EQ(CFUUIDCreateFromString(nullptr, CFSTR("ZZ65C030-D498-11D5-878D-0003934B81A0")), nullptr);
}

}  // namespace
