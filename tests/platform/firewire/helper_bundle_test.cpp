// CFBundle over the FireWire helper bundles: functions found by name, the
// partial bundle's missing ones, unloading and loading again.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <string>

namespace {

CFBundleRef bundle_at(const std::string &path) {
    CFStringRef p = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    CFURLRef u = CFURLCreateWithFileSystemPath(nullptr, p, kCFURLPOSIXPathStyle, 1);
    CFBundleRef b = CFBundleCreate(nullptr, u);
    CFRelease(u);
    CFRelease(p);
    return b;
}

TEST(CFBundle, LooksFunctionsUpByName) {
    CFBundleRef full = bundle_at(FW_HELPER_BUNDLE_DIR "/AVCHelper.bundle");
    CFBundleRef partial = bundle_at(FW_HELPER_BUNDLE_DIR "/AVCHelperPartial.bundle");
    ASSERT_NE(full, nullptr);
    ASSERT_NE(partial, nullptr);
    ASSERT_TRUE(CFBundleLoadExecutable(full));
    ASSERT_TRUE(CFBundleLoadExecutable(partial));
    const char *all[] = {"Send2Device",
                         "SetTimerAVC",
                         "CreateNotificationPort",
                         "DestroyNotificationPort",
                         "CreateIOCFPlugInInterface",
                         "GetIOFireWireAVCLibUnitInterface",
                         "ReleaseIOFireWireAVCLibUnitInterface",
                         "DestroyPlugInInterface",
                         "IOServiceAddMatchingNotificationPtr",
                         "SendCommandStatusUnitInfo",
                         "SendCommandStatusSubunitInfo",
                         "SendCommandStatusOutputPlugSignalFormat",
                         "SendCommandStatusVendorDependent"};
    for (const char *name : all) {
        CFStringRef n = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
        EXPECT_NE(CFBundleGetFunctionPointerForName(full, n), nullptr) << name;
        bool missing = std::string(name) == "Send2Device" || std::string(name) == "SetTimerAVC" ||
                       std::string(name) == "CreateNotificationPort";
        EXPECT_EQ(CFBundleGetFunctionPointerForName(partial, n) == nullptr, missing) << name;
        CFRelease(n);
    }
    EXPECT_EQ(CFBundleGetFunctionPointerForName(full, CFSTR("NoSuchFunction")), nullptr);
    CFBundleUnloadExecutable(full);
    EXPECT_FALSE(CFBundleIsExecutableLoaded(full));
    // A lookup loads the executable again.
    EXPECT_NE(CFBundleGetFunctionPointerForName(full, CFSTR("Send2Device")), nullptr);
    CFRelease(full);
    CFRelease(partial);
}

TEST(CFBundle, MissingFolderOrExecutable) {
    EXPECT_EQ(bundle_at("/nonexistent/X.bundle"), nullptr);
    CFBundleRef empty = bundle_at(FW_HELPER_BUNDLE_DIR);  // a folder without "avchelpers.so"
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(CFBundleLoadExecutable(empty));
    EXPECT_EQ(CFBundleGetFunctionPointerForName(empty, CFSTR("Send2Device")), nullptr);
    CFRelease(empty);
}

}  // namespace
