// The memory block services: typed values in both byte orders, strings in
// and out, byte ranges, concatenation, comparison, resizing, and the bounds
// every one of them keeps.
#include "host_service.h"

#include <rb/memory.h>
#include <rb/string.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace rb;

namespace {

using Block = REALmemoryBlock;

Block newBlock(int32_t size) { return service<Block(int32_t)>("newMemoryBlock")(size); }
void drop(Block b) { release(reinterpret_cast<REALobject>(b)); }
REALobject obj(Block b) { return reinterpret_cast<REALobject>(b); }
std::string bytes(Block b) {
    auto *f = memoryBlockFields(obj(b));
    return f ? std::string(reinterpret_cast<char *>(f->data), f->size) : "<nil>";
}
std::string take(REALstring s) {
    std::string t = s ? toStd(s) : "<nil>";
    releaseString(s);
    return t;
}

TEST(MemoryBlockServices, TypedValuesFollowTheByteOrderFlag) {
    Block b = newBlock(16);
    auto setLong = service<void(Block, int32_t, int32_t)>("memorySetLong");
    auto getLong = service<int32_t(Block, int32_t)>("memoryGetLong");
    auto order = service<RBBoolean(REALobject, int32_t)>("boolGetter");
    auto setOrder = service<void(REALobject, int32_t, RBBoolean)>("boolSetter");
    EXPECT_EQ(order(obj(b), 33), 1);  // little-endian, as the machine
    setLong(b, 0, 0x01020304);
    EXPECT_EQ(bytes(b).substr(0, 4), std::string("\x04\x03\x02\x01", 4));
    setOrder(obj(b), 33, 0);
    EXPECT_EQ(order(obj(b), 33), 0);
    EXPECT_EQ(getLong(b, 0), 0x04030201);
    setLong(b, 4, 0x01020304);
    EXPECT_EQ(bytes(b).substr(4, 4), std::string("\x01\x02\x03\x04", 4));

    auto setShort = service<void(Block, int32_t, int16_t)>("memorySetShort");
    setShort(b, 8, int16_t(0xFFFF));
    EXPECT_EQ(service<int32_t(Block, int32_t)>("memoryGetShort")(b, 8), -1);
    EXPECT_EQ(service<int32_t(Block, int32_t)>("memoryGetUShort")(b, 8), 65535);
    service<void(Block, int32_t, uint8_t)>("memorySetByte")(b, 10, 0xAB);
    EXPECT_EQ(service<int32_t(Block, int32_t)>("memoryGetByte")(b, 10), 0xAB);
    service<void(Block, int32_t, RBBoolean)>("memorySetBoolean")(b, 11, 1);
    EXPECT_EQ(service<RBBoolean(Block, int32_t)>("memoryGetBoolean")(b, 11), 1);

    service<void(Block, int32_t, double)>("memorySetDouble")(b, 8, -2.75);
    EXPECT_EQ(service<double(Block, int32_t)>("memoryGetDouble")(b, 8), -2.75);
    service<void(Block, int32_t, float)>("memorySetSingle")(b, 0, 1.5f);
    EXPECT_EQ(service<double(Block, int32_t)>("memoryGetSingle")(b, 0), 1.5);
    EXPECT_EQ(bytes(b).substr(0, 4), std::string("\x3F\xC0\x00\x00", 4));  // big-endian now

    service<void(Block, int32_t, int32_t, uint32_t)>("memorySetColor")(b, 0, 24, 0x00FF7F01);
    EXPECT_EQ(bytes(b).substr(0, 3), "\xFF\x7F\x01");
    EXPECT_EQ(service<uint32_t(Block, int32_t, int32_t)>("memoryGetColor")(b, 0, 24), 0x00FF7F01u);
    EXPECT_EQ(service<uint32_t(Block, int32_t, int32_t)>("memoryGetColor")(b, 0, 7), 0u);
    drop(b);
}

TEST(MemoryBlockServices, ReadsAndWritesOutsideTheBlockDoNothing) {
    Block b = newBlock(8);
    auto setLong = service<void(Block, int32_t, int32_t)>("memorySetLong");
    auto getLong = service<int32_t(Block, int32_t)>("memoryGetLong");
    setLong(b, 5, 0x7FFFFFFF);  // would end past byte 8
    setLong(b, -1, 1);
    setLong(b, INT32_MAX, 1);
    EXPECT_EQ(bytes(b), std::string(8, '\0'));
    EXPECT_EQ(getLong(b, 5), 0);
    EXPECT_EQ(getLong(b, INT32_MAX - 1), 0);
    EXPECT_EQ(service<double(Block, int32_t)>("memoryGetDouble")(b, 1), 0.0);
    EXPECT_EQ(getLong(nullptr, 0), 0);
    setLong(nullptr, 0, 1);
    ObjRef notABlock = make("Timer");
    EXPECT_EQ(getLong(reinterpret_cast<Block>(notABlock.get()), 0), 0);
    setLong(reinterpret_cast<Block>(notABlock.get()), 0, 1);

    String big("123456789");
    service<void(Block, int32_t, REALstring)>("memorySetCString")(b, 0, big.get());  // 10 bytes do not fit
    EXPECT_EQ(bytes(b), std::string(8, '\0'));
    EXPECT_EQ(service<REALstring(Block, int32_t, int32_t)>("memoryGetString")(b, 4, 5), nullptr);
    EXPECT_EQ(service<REALstring(Block, int32_t, int32_t)>("memoryGetString")(b, 0, -1), nullptr);
    drop(b);
}

TEST(MemoryBlockServices, StringsInTheirForms) {
    Block b = newBlock(24);
    String abc("abc");
    service<void(Block, int32_t, REALstring)>("memorySetCString")(b, 0, abc.get());
    EXPECT_EQ(take(service<REALstring(Block, int32_t)>("memoryGetCString")(b, 0)), "abc");
    service<void(Block, int32_t, REALstring)>("memorySetPString")(b, 4, abc.get());
    EXPECT_EQ(bytes(b).substr(4, 4),
              "\x03"
              "abc");
    EXPECT_EQ(take(service<REALstring(Block, int32_t)>("memoryGetPString")(b, 4)), "abc");
    String word("hello");
    service<void(Block, int32_t, int32_t, REALstring)>("memorySetString")(b, 8, 3, word.get());
    EXPECT_EQ(take(service<REALstring(Block, int32_t, int32_t)>("memoryGetString")(b, 8, 3)), "hel");
    String wide("\xC3\xA9\xF0\x9F\x8E\xA5");  // e acute and a clapper board (a surrogate pair)
    service<void(Block, int32_t, REALstring)>("memorySetWString")(b, 12, wide.get());
    EXPECT_EQ(bytes(b).substr(12, 8), std::string("\xE9\x00\x3C\xD8\xA5\xDF\x00\x00", 8));
    EXPECT_EQ(take(service<REALstring(Block, int32_t)>("memoryGetWString")(b, 12)), wide.str());
    // The C string reader stops at the block's end when no zero byte comes.
    Block full = newBlock(2);
    std::memcpy(memoryBlockFields(obj(full))->data, "xy", 2);
    EXPECT_EQ(take(service<REALstring(Block, int32_t)>("memoryGetCString")(full, 0)), "xy");
    EXPECT_EQ(take(service<REALstring(Block, int32_t)>("memoryGetCString")(full, 3)), "<nil>");
    drop(full);
    drop(b);
}

TEST(MemoryBlockServices, ByteRangesAreNewBlocks) {
    Block b = newBlock(0);
    String text("0123456789");
    EXPECT_EQ(service<Block(Block, REALstring)>("MemoryBlockFromStringOperator")(b, text.get()), b);
    EXPECT_EQ(bytes(b), "0123456789");
    auto mid3 = service<Block(Block, int32_t, int32_t)>("MemoryBlockMidB3");
    Block m = mid3(b, 2, 3);
    EXPECT_EQ(bytes(m), "234");
    EXPECT_EQ(refCount(obj(m)), 1);
    drop(m);
    m = mid3(b, 8, 50);  // cut at the end
    EXPECT_EQ(bytes(m), "89");
    drop(m);
    m = mid3(b, 40, 2);
    EXPECT_EQ(bytes(m), "");
    drop(m);
    EXPECT_EQ(mid3(b, -1, 2), nullptr);
    EXPECT_EQ(mid3(b, 1, -2), nullptr);
    m = service<Block(Block, int32_t)>("MemoryBlockMidB2")(b, 7);
    EXPECT_EQ(bytes(m), "789");
    drop(m);
    m = service<Block(Block, int32_t)>("MemoryBlockLeftB")(b, 3);
    Block r = service<Block(Block, int32_t)>("MemoryBlockRightB")(b, 30);
    EXPECT_EQ(bytes(m), "012");
    EXPECT_EQ(bytes(r), "0123456789");
    Block sum = service<Block(Block, Block)>("MemoryBlockAddOperator")(m, r);
    EXPECT_EQ(bytes(sum), "0120123456789");
    auto cmp = service<int32_t(Block, Block)>("MemoryBlockCompareOperator");
    EXPECT_EQ(cmp(m, r), -1);   // a block that begins the other sorts first
    EXPECT_EQ(cmp(r, sum), 1);  // "0123..." > "0120..." at byte 3
    EXPECT_EQ(cmp(r, r), 0);
    EXPECT_EQ(take(service<REALstring(Block)>("MemoryBlockToStringOperator")(sum)), "0120123456789");
    drop(sum);
    drop(r);
    drop(m);
    drop(b);
}

TEST(MemoryBlockServices, ResizeKeepsTheBytesThatFit) {
    Block b = newBlock(4);
    service<void(Block, int32_t, int32_t)>("memorySetLong")(b, 0, 0x04030201);
    auto setSize = service<void(Block, int32_t)>("memoryBlockSetSize");
    setSize(b, 6);
    EXPECT_EQ(bytes(b), std::string("\x01\x02\x03\x04\x00\x00", 6));
    setSize(b, 2);
    EXPECT_EQ(bytes(b), "\x01\x02");
    setSize(b, -5);
    EXPECT_EQ(service<int32_t(Block)>("memoryBlockGetSize")(b), 2);
    EXPECT_EQ(service<Block(Block, int32_t)>("memoryBlockNewConstructor")(b, 3), b);
    EXPECT_EQ(bytes(b), std::string(3, '\0'));
    // From a pointer: as many bytes as the block holds.
    const char raw[] = "xyzw";
    auto fromPtr = service<Block(Block, const void *)>("ConvertPtrToMemoryBlock");
    EXPECT_EQ(fromPtr(b, raw), b);
    EXPECT_EQ(bytes(b), "xyz");
    EXPECT_EQ(fromPtr(b, nullptr), b);
    EXPECT_EQ(bytes(b), "xyz");
    EXPECT_EQ(fromPtr(nullptr, raw), nullptr);
    setSize(nullptr, 3);
    drop(b);
}

}  // namespace
