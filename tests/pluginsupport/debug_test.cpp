// The plug-ins' debug output helpers: the debug log, Pascal strings, the
// system check, hex dumps and printf found in the System framework.
#include "debug.h"
#include "resolver.h"

#include <Carbon/Carbon.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gOut;

void capture(const char *text, size_t length, void *) { gOut.emplace_back(text, length); }

// A memory block object as the host lays it out: size at byte 24.
struct Block {
    REALobjectStruct header{};
    int32_t size;
    unsigned char bytes[64];
};

Block *gBlock = nullptr;
void *blockPtr(REALobject) { return gBlock ? gBlock->bytes : nullptr; }
void *resolver(const char *name) {
    return std::strcmp(name, "memoryBlockGetPtr") == 0 ? reinterpret_cast<void *>(&blockPtr) : nullptr;
}

class Debug : public ::testing::Test {
protected:
    void SetUp() override {
        gOut.clear();
        fw_set_debugstr_hook(capture, nullptr);
    }
    void TearDown() override { fw_set_debugstr_hook(nullptr, nullptr); }
};

}  // namespace

TEST_F(Debug, DlogDeliversAtMost254Characters) {
    std::string longText(400, 'x');
    dlog("%s", longText.c_str());
    ASSERT_EQ(gOut.size(), 1u);
    EXPECT_EQ(gOut[0].size(), 254u);
    dprintf("%s", longText.c_str());
    EXPECT_EQ(gOut[1].size(), 255u);
    dlog("DYNAMIC ACCESS FAILURE: %s", "Left");
    EXPECT_EQ(gOut[2], "DYNAMIC ACCESS FAILURE: Left");
}

TEST_F(Debug, CopyC2PCutsAt255AndWorksInPlace) {
    unsigned char out[256];
    std::string text(300, 'a');
    CopyC2P(text.c_str(), out);
    EXPECT_EQ(out[0], 255);
    CopyC2P(nullptr, out);
    EXPECT_EQ(out[0], 0);
    char buf[256] = "hello";
    CopyC2P(buf, reinterpret_cast<unsigned char *>(buf));
    EXPECT_EQ(buf[0], 5);
    EXPECT_EQ(std::string(buf + 1, 5), "hello");
}

TEST_F(Debug, IsMacOSXAsksUntilGestaltAnswers) {
    fw_gestalt_fail(-5550);
    EXPECT_FALSE(IsMacOSX());
    fw_gestalt_fail(0);
    EXPECT_TRUE(IsMacOSX());
    fw_gestalt_fail(-5550);  // the first answer is kept
    EXPECT_TRUE(IsMacOSX());
    fw_gestalt_fail(0);
}

TEST_F(Debug, HexDumpTexts) {
    gResolver = resolver;
    Block b{};
    gBlock = &b;
    b.size = 20;
    for (int i = 0; i < 20; ++i) b.bytes[i] = static_cast<unsigned char>(i);
    std::string text = hexDumpText(reinterpret_cast<REALobject>(&b), 18);
    char addr[16];
    std::snprintf(addr, sizeof addr, "%08X", unsigned(uintptr_t(b.bytes) & 0xFFFFFFFFu));
    EXPECT_EQ(text.substr(0, 25), "Displaying 18 bytes from ");
    EXPECT_NE(text.find(std::string(addr) + "  0001 0203 0405 0607  0809 0a0b 0c0d 0e0f    \n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("1011"), std::string::npos);
    // A request larger than the block.
    text = hexDumpText(reinterpret_cast<REALobject>(&b), 21);
    EXPECT_EQ(text,
              "Are you sure you know what you are doing here\n21 length of memory print request\n"
              "20 size of memoryblock\n");
    dlogmem(nullptr, 4);  // no block: no text
    EXPECT_TRUE(gOut.empty());
    dlogmem(reinterpret_cast<REALobject>(&b), 2);
    ASSERT_EQ(gOut.size(), 1u);
    gBlock = nullptr;
    gResolver = nullptr;
}

TEST_F(Debug, LoadprintFindsPrintfInTheSystemFramework) {
    EXPECT_EQ(Loadprint(), 0);
    EXPECT_NE(print, nullptr);
    EXPECT_NE(NewEventLoopIdleTimer, nullptr);
}
