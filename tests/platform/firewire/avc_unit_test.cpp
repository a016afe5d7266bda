// The simulated tape deck behind the AV/C unit interface: every frame the
// deck-control plug-in sends, the transport model, the time code, and the
// failure modes.
#include "fw_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

class Deck : public ::testing::Test {
protected:
    FwClock clock;  // a deck's waits move it
    int id = 0;
    void SetUp() override {
        fwsim_reset(0);
        id = fwsim_add_default_unit();
    }
    void TearDown() override {
        fwsim_reset(0);
        pump_now();
    }
    uint64_t msSince(uint64_t ns) const { return (clock.ns() - ns) / 1000000u; }
    Bytes transport(OpenUnit &u) { return u.send({0x01, 0x20, 0xD0, 0x7F}, 4); }
    Bytes timecode(OpenUnit &u) { return u.send({0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}); }
};

TEST_F(Deck, UnitAndSubunitInquiries) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    Bytes r = u.send({0x01, 0xFF, 0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 256);
    ASSERT_EQ(r.size(), 8u);
    EXPECT_EQ(r[0], 0x0C);
    EXPECT_EQ(r[3], 0x07);
    EXPECT_EQ(r[4], 0x20);  // unit type 4 (VCR), unit 0
    r = u.send({0x01, 0xFF, 0x31, 0x07, 0xFF, 0xFF, 0xFF, 0xFF}, 256);
    EXPECT_EQ(r, (Bytes{0x0C, 0xFF, 0x31, 0x07, 0x20, 0xFF, 0xFF, 0xFF}));
    r = u.send({0x01, 0xFF, 0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 256);
    EXPECT_EQ(r, (Bytes{0x0C, 0xFF, 0x18, 0xFF, 0x80, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(u.send({0x01, 0xFF, 0x18, 0x05, 0xFF, 0xFF, 0xFF, 0xFF})[0], 0x0A);  // no such plug
    // Vendor dependent: only the deck's own company id is known.
    EXPECT_EQ(u.send({0x01, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 256)[0], 0x08);
    Bytes unitInfo = u.send({0x01, 0xFF, 0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(u.send({0x01, 0xFF, 0x00, unitInfo[5], unitInfo[6], unitInfo[7], 0x01, 0x02})[0], 0x0C);
    // Other subunits, unknown opcodes and NOTIFY are not implemented.
    EXPECT_EQ(u.send({0x01, 0x28, 0xD0, 0x7F}, 4)[0], 0x08);
    EXPECT_EQ(u.send({0x01, 0x20, 0x99, 0x7F}, 4)[0], 0x08);
    EXPECT_EQ(u.send({0x03, 0x20, 0xD0, 0x7F}, 4)[0], 0x08);
}

TEST_F(Deck, TransportCommandsChangeTheReportedState) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC4, 0x60}));  // stopped
    struct Case {
        uint8_t op, arg, mode, state;
    } cases[] = {
        {0xC3, 0x75, 0xC3, 0x75}, {0xC3, 0x7D, 0xC3, 0x7D}, {0xC3, 0x65, 0xC3, 0x65}, {0xC3, 0x6D, 0xC3, 0x6D},
        {0xC3, 0x38, 0xC3, 0x38}, {0xC3, 0x3F, 0xC3, 0x3F}, {0xC3, 0x31, 0xC3, 0x31}, {0xC3, 0x48, 0xC3, 0x48},
        {0xC3, 0x4F, 0xC3, 0x4F}, {0xC4, 0x75, 0xC4, 0x75}, {0xC4, 0x65, 0xC4, 0x65}, {0xC4, 0x45, 0xC4, 0x45},
        {0xC2, 0x75, 0xC2, 0x75}, {0xC2, 0x7D, 0xC2, 0x7D}, {0xC4, 0x60, 0xC4, 0x60},
    };
    fwsim_set_position(id, 30 * 60 * 30);  // mid-tape, so no move reaches an end
    for (const Case &c : cases) {
        Bytes r = u.send({0x00, 0x20, c.op, c.arg}, 4);
        ASSERT_EQ(r.size(), 4u);
        EXPECT_EQ(r[0], 0x09) << std::hex << int(c.op) << " " << int(c.arg);
        EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, c.mode, c.state})) << std::hex << int(c.arg);
    }
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x50}, 4)[0], 0x0A);  // not a PLAY operand
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3}, 4)[0], 0x0A);        // operand missing
}

TEST_F(Deck, TimeCodeAdvancesWithTheClockInBcd) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    EXPECT_EQ(timecode(u), (Bytes{0x0C, 0x20, 0x51, 0x71, 0x00, 0x00, 0x00, 0x00}));
    u.send({0x00, 0x20, 0xC3, 0x75}, 4);
    clock.clock.advance(1000);
    EXPECT_EQ(timecode(u), (Bytes{0x0C, 0x20, 0x51, 0x71, 0x00, 0x01, 0x00, 0x00}));  // 00:00:01:00
    clock.clock.advance(83 * 1000 + 400);                                             // +1:23.4 -> 00:01:24:12
    EXPECT_EQ(timecode(u), (Bytes{0x0C, 0x20, 0x51, 0x71, 0x12, 0x24, 0x01, 0x00}));
    u.send({0x00, 0x20, 0xC3, 0x7D}, 4);  // pause holds the position
    clock.clock.advance(5000);
    EXPECT_EQ(fwsim_position(id), 84 * 30 + 12);
    u.send({0x00, 0x20, 0xC3, 0x30}, 4);  // next frame
    EXPECT_EQ(fwsim_position(id), 84 * 30 + 13);
    u.send({0x00, 0x20, 0xC3, 0x40}, 4);  // previous frame
    u.send({0x00, 0x20, 0xC3, 0x40}, 4);
    EXPECT_EQ(fwsim_position(id), 84 * 30 + 11);
}

TEST_F(Deck, SpeedsAndTapeEnds) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    u.send({0x00, 0x20, 0xC3, 0x31}, 4);  // slowest forward: 1/8
    clock.clock.advance(8000);
    EXPECT_EQ(fwsim_position(id), 30);
    u.send({0x00, 0x20, 0xC3, 0x3F}, 4);  // fastest forward: x8
    clock.clock.advance(1000);
    EXPECT_EQ(fwsim_position(id), 30 + 240);
    u.send({0x00, 0x20, 0xC4, 0x65}, 4);  // rewind x20 runs into the start and stops there
    clock.clock.advance(60000);
    EXPECT_EQ(fwsim_position(id), 0);
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC4, 0x60}));
    u.send({0x00, 0x20, 0xC4, 0x75}, 4);  // fast forward x20 runs into the end
    clock.clock.advance(3600 * 1000);
    EXPECT_EQ(fwsim_position(id), 3600 * 30);
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC4, 0x60}));
    Bytes tc = timecode(u);
    EXPECT_EQ(tc[7], 0x01);  // 01:00:00:00
    EXPECT_EQ(tc[4] | tc[5] | tc[6], 0);
}

TEST_F(Deck, SearchIndexAndCounter) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    Bytes r = u.send({0x00, 0x20, 0x51, 0x20, 0x12, 0x45, 0x23, 0x00});  // search 00:23:45:12
    EXPECT_EQ(r[0], 0x09);
    EXPECT_EQ(fwsim_interim_count(id), 1u);  // INTERIM came first, absorbed
    EXPECT_EQ(fwsim_position(id), (23 * 60 + 45) * 30 + 12);
    EXPECT_EQ(u.send({0x00, 0x20, 0x51, 0x20, 0x30, 0x00, 0x00, 0x00})[0], 0x0A);  // 30 frames: not BCD time
    EXPECT_EQ(u.send({0x00, 0x20, 0x51, 0x20, 0x00, 0x00, 0x00, 0x02})[0], 0x0A);  // beyond the tape
    EXPECT_EQ(u.send({0x00, 0x20, 0x51, 0x20, 0x0A, 0x00, 0x00, 0x00})[0], 0x0A);  // not BCD
    // Preset the counter to 00:00:10:00 here; it then runs with the tape.
    EXPECT_EQ(u.send({0x00, 0x20, 0x57, 0x20, 0x00, 0x10, 0x00, 0x00})[0], 0x09);
    u.send({0x00, 0x20, 0xC3, 0x75}, 4);
    clock.clock.advance(2000);
    EXPECT_EQ(u.send({0x01, 0x20, 0x57, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x0C, 0x20, 0x57, 0x71, 0x00, 0x12, 0x00, 0x00}));
    u.send({0x00, 0x20, 0x55, 0x04}, 4);  // forward index: the 25-minute mark
    EXPECT_EQ(fwsim_position(id), 25 * 60 * 30);
    u.send({0x00, 0x20, 0x56, 0x04}, 4);  // backward index: the 20-minute mark
    EXPECT_EQ(fwsim_position(id), 20 * 60 * 30);
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC4, 0x60}));
}

TEST_F(Deck, RecordingQueriesAndInquiries) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    EXPECT_EQ(u.send({0x01, 0x20, 0x53, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x0C, 0x20, 0x53, 0x71, 0x15, 0x03, 0x07, 0x20}));
    EXPECT_EQ(u.send({0x01, 0x20, 0x54, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x0C, 0x20, 0x54, 0x71, 0x00, 0x00, 0x30, 0x14}));
    EXPECT_EQ(u.send({0x01, 0x20, 0xDB, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x0C, 0x20, 0xDB, 0x71, 0x01, 0x00, 0x00, 0x00}));
    // As an inquiry, the frame only comes back marked implemented.
    EXPECT_EQ(u.send({0x04, 0x20, 0x53, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}),
              (Bytes{0x0C, 0x20, 0x53, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(u.send({0x04, 0x20, 0x12, 0x71, 0xFF, 0xFF, 0xFF, 0xFF})[0], 0x08);
}

TEST_F(Deck, EjectAndReload) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    EXPECT_EQ(u.send({0x00, 0x20, 0xC1, 0x60}, 4)[0], 0x09);
    EXPECT_FALSE(fwsim_has_tape(id));
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC1, 0x60}));
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4)[0], 0x0A);
    EXPECT_EQ(timecode(u)[0], 0x0A);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC1, 0x32}, 4)[0], 0x09);  // close tray: a tape again
    EXPECT_TRUE(fwsim_has_tape(id));
    EXPECT_EQ(transport(u), (Bytes{0x0C, 0x20, 0xC4, 0x60}));
    EXPECT_EQ(u.send({0x00, 0x20, 0xC1, 0x31}, 4)[0], 0x09);  // open tray ejects too
    EXPECT_FALSE(fwsim_has_tape(id));
}

TEST_F(Deck, ChosenOpcodesRejectedNotImplementedOrInterim) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    fwsim_reject_opcode(id, 0xC3, 1);
    fwsim_notimpl_opcode(id, 0xD0, 1);
    fwsim_interim_opcode(id, 0xC4, 1);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4)[0], 0x0A);
    EXPECT_EQ(transport(u)[0], 0x08);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC4, 0x75}, 4)[0], 0x09);
    EXPECT_EQ(fwsim_interim_count(id), 1u);
    fwsim_reject_opcode(id, 0xC3, 0);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4)[0], 0x09);
}

TEST_F(Deck, ExchangeRecordsTheFrameAndTruncatesToCapacity) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    Bytes r = u.send({0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}, 4);
    EXPECT_EQ(r.size(), 4u);
    uint8_t last[16];
    ASSERT_EQ(fwsim_last_command(id, last, sizeof last), 8u);
    EXPECT_EQ(last[2], 0x51);
    EXPECT_EQ(fwsim_command_count(id), 1u);
    UInt8 resp[8];
    UInt32 len = 8;
    const UInt8 tooShort[2] = {0x01, 0x20};
    EXPECT_EQ((*u.unit)->AVCCommand(u.unit, tooShort, 2, resp, &len), kIOReturnBadArgument);
    EXPECT_EQ((*u.unit)->AVCCommand(u.unit, tooShort, 2, resp, nullptr), kIOReturnBadArgument);
    EXPECT_EQ((*u.unit)->AVCCommand(u.unit, nullptr, 4, resp, &len), kIOReturnBadArgument);
    EXPECT_EQ(fwsim_command_count(id), 1u);
}

TEST_F(Deck, TimeOutIsBoundedAndLeavesTheResponseAlone) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    fwsim_set_timeout_ms(40);
    fwsim_set_fault(id, FWSIM_TIMEOUT, 0);
    const UInt8 frame[4] = {0x01, 0x20, 0xD0, 0x7F};
    UInt8 resp[4] = {1, 2, 3, 4};
    UInt32 len = 4;
    uint64_t t0 = clock.ns();
    EXPECT_EQ((*u.unit)->AVCCommand(u.unit, frame, 4, resp, &len), kIOReturnTimeout);
    EXPECT_EQ(msSince(t0), 40u);  // the time-out, waited out once
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(resp[0], 1);
    fwsim_set_fault(id, FWSIM_INTERIM_FOREVER, 0);
    len = 4;
    t0 = clock.ns();
    EXPECT_EQ((*u.unit)->AVCCommand(u.unit, frame, 4, resp, &len), kIOReturnTimeout);
    EXPECT_EQ(msSince(t0), 40u);
    fwsim_set_fault(id, FWSIM_OK, 0);
    fwsim_set_response_delay_ms(id, 10);  // slow but in time
    IOReturn st;
    t0 = clock.ns();
    EXPECT_EQ(transport(u).size(), 4u);
    EXPECT_EQ(msSince(t0), 10u);
    fwsim_set_response_delay_ms(id, 100);  // too slow: no longer than the time-out
    t0 = clock.ns();
    u.send({0x01, 0x20, 0xD0, 0x7F}, 4, &st);
    EXPECT_EQ(st, kIOReturnTimeout);
    EXPECT_EQ(msSince(t0), 40u);
}

TEST_F(Deck, ShortAndGarbageAnswers) {
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    fwsim_set_fault(id, FWSIM_SHORT, 2);
    IOReturn st;
    Bytes r = u.send({0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}, 8, &st);
    EXPECT_EQ(st, kIOReturnSuccess);
    EXPECT_EQ(r, (Bytes{0x0C, 0x20}));
    fwsim_set_fault(id, FWSIM_GARBAGE, 0);
    r = u.send({0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}, 8, &st);
    EXPECT_EQ(st, kIOReturnSuccess);
    EXPECT_EQ(r.size(), 8u);
    EXPECT_NE(r, (Bytes{0x0C, 0x20, 0x51, 0x71, 0x00, 0x00, 0x00, 0x00}));
}

TEST_F(Deck, GoneMidCommand) {
    mach_port_t master;
    IOMasterPort(bootstrap_port, &master);
    IONotificationPortRef port = IONotificationPortCreate(master);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
    io_service_t dev = IOServiceGetMatchingService(master, IOServiceMatching("IOFireWireDevice"));
    std::vector<uint32_t> got;
    io_object_t note;
    ASSERT_EQ(
        IOServiceAddInterestNotification(
            port, dev, kIOGeneralInterest,
            [](void *r, io_service_t, natural_t t, void *) { static_cast<std::vector<uint32_t> *>(r)->push_back(t); },
            &got, &note),
        kIOReturnSuccess);
    {
        OpenUnit u;
        ASSERT_TRUE(u.ok());
        fwsim_set_fault(id, FWSIM_GONE_MID_COMMAND, 0);
        IOReturn st;
        u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st);
        EXPECT_EQ(st, kIOReturnNoDevice);
        u.send({0x01, 0x20, 0xD0, 0x7F}, 4, &st);
        EXPECT_EQ(st, kIOReturnNoDevice);
        EXPECT_EQ((*u.unit)->open(u.unit), kIOReturnNoDevice);
        EXPECT_EQ(fwsim_unit_count(), 0);
    }
    EXPECT_TRUE(pump_until([&] { return !got.empty(); }));
    EXPECT_EQ(got[0], kIOMessageServiceIsTerminated);
    EXPECT_EQ(OpenUnit().plugin, nullptr);
    IOObjectRelease(dev);
    IONotificationPortDestroy(port);
}

TEST(DeckBus, ResetPublishesFreshUnitsInOrder) {
    fwsim_reset(2);
    EXPECT_EQ(fwsim_unit_count(), 2);
    EXPECT_LT(fwsim_unit_id(0), fwsim_unit_id(1));
    EXPECT_EQ(fwsim_unit_id(2), 0);
    fwsim_reset(0);
}

}  // namespace
