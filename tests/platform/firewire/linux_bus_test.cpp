// The Linux bus under the registry, over a transport whose AV/C nodes are
// simulated decks: discovery, frames in quadlets, the deck's answers and
// silences, and bus resets that keep, remove and bring back a unit.
#include "fake_fw_transport.h"
#include "fw_test_util.h"

#include <fw/FWLinux.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using Quadlets = std::vector<uint32_t>;
using Bytes = std::vector<uint8_t>;

// What a notification port hears of FireWire devices: publications,
// messages and terminations.
struct Heard {
    IONotificationPortRef port = nullptr;
    io_iterator_t added = 0, removed = 0;
    int published = 0, terminated = 0;
    std::vector<uint32_t> messages;

    static void onMessage(void *refcon, io_service_t, natural_t type, void *) {
        static_cast<Heard *>(refcon)->messages.push_back(type);
    }
    static void onAdded(void *refcon, io_iterator_t it) {
        auto *h = static_cast<Heard *>(refcon);
        while (io_service_t s = IOIteratorNext(it)) {
            ++h->published;
            io_object_t note = 0;
            EXPECT_EQ(IOServiceAddInterestNotification(h->port, s, kIOGeneralInterest, onMessage, h, &note),
                      kIOReturnSuccess);
            IOObjectRelease(s);
        }
    }
    static void onRemoved(void *refcon, io_iterator_t it) {
        while (io_service_t s = IOIteratorNext(it)) {
            ++static_cast<Heard *>(refcon)->terminated;
            IOObjectRelease(s);
        }
    }
    void arm() {
        port = IONotificationPortCreate(kIOMasterPortDefault);
        ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOFirstPublishNotification,
                                                   IOServiceMatching("IOFireWireDevice"), onAdded, this, &added),
                  kIOReturnSuccess);
        onAdded(this, added);
        ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOTerminatedNotification,
                                                   IOServiceMatching("IOFireWireDevice"), onRemoved, this, &removed),
                  kIOReturnSuccess);
        CFRunLoopAddSource(CFRunLoopGetMain(), IONotificationPortGetRunLoopSource(port), kCFRunLoopDefaultMode);
    }
    ~Heard() {
        if (port) IONotificationPortDestroy(port);
    }
};

std::string textOf(CFTypeRef v) {
    char buf[128] = {};
    if (!v || CFGetTypeID(v) != CFStringGetTypeID() ||
        !CFStringGetCString(static_cast<CFStringRef>(v), buf, sizeof buf, kCFStringEncodingUTF8))
        return "";
    return buf;
}

int64_t numberOf(CFTypeRef v) {
    int64_t n = -1;
    if (v && CFGetTypeID(v) == CFNumberGetTypeID())
        CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt64Type, &n);
    return n;
}

class LinuxBus : public ::testing::Test {
protected:
    void SetUp() override {
        fwsim_reset(0);
        deck = fwsim_add_offbus_unit();
        fire = FakeFireWire::withDecks({deck});
    }
    void TearDown() override {
        fwsim_reset(0);
        pump_now();
    }
    void start() { ASSERT_EQ(fw::linux1394::restart("linux", std::make_unique<FakeTransport>(fire)), FWBUS_LINUX); }
    // The port after a reset: the local node, then these nodes.
    std::vector<FakeNode> portOf(std::vector<FakeNode> others) {
        std::vector<FakeNode> port{fire->nodes[0][0]};
        port.insert(port.end(), others.begin(), others.end());
        return port;
    }
    FakeNode deckNode() const { return fire->nodes[0][1]; }

    int deck = 0;
    std::shared_ptr<FakeFireWire> fire;
};

TEST_F(LinuxBus, OneUnitIsPublishedWithItsRomAndOtherNodesAreNot) {
    fire->nodes[0].push_back(FakeNode{0x0800460100000777ull, 0, false, "Other", "Disk"});
    start();
    EXPECT_EQ(fw_bus_kind(), FWBUS_LINUX);
    EXPECT_EQ(fw_bus_note(), nullptr);
    EXPECT_EQ(count_matching(avc_matching()), 1);
    EXPECT_EQ(count_matching(IOServiceMatching("IOFireWireDevice")), 1);
    io_service_t dev = IOServiceGetMatchingService(kIOMasterPortDefault, IOServiceMatching("IOFireWireDevice"));
    ASSERT_NE(dev, 0u);
    EXPECT_EQ(numberOf(IORegistryEntryGetProperty(dev, CFSTR("GUID"))), 0x0800460100000100);
    EXPECT_EQ(textOf(IORegistryEntryGetProperty(dev, CFSTR("FireWire Vendor Name"))), "Tavrin Test");
    EXPECT_EQ(textOf(IORegistryEntryGetProperty(dev, CFSTR("FireWire Product Name"))), "DV Deck");
    IOObjectRelease(dev);
    io_service_t unit = IOServiceGetMatchingService(kIOMasterPortDefault, avc_matching());
    EXPECT_EQ(numberOf(IORegistryEntryGetProperty(unit, CFSTR("Unit_Spec_ID"))), 0xA02D);
    EXPECT_EQ(numberOf(IORegistryEntryGetProperty(unit, CFSTR("Unit_SW_Vers"))), 0x10001);
    IOObjectRelease(unit);
    EXPECT_TRUE(fire->sent.empty());   // finding units sends no AV/C frame
    EXPECT_EQ(fwsim_unit_count(), 0);  // the simulated bus is gone
}

TEST_F(LinuxBus, UnitsComeInPortAndNodeOrder) {
    // Port 0: the deck at node 1, another at node 2 with a smaller GUID;
    // port 1: a third.
    int second = fwsim_add_offbus_unit(), third = fwsim_add_offbus_unit();
    fire->nodes[0].push_back(FakeNode{0x0800460100000001ull, second});
    fire->nodes.push_back(FakeFireWire::portWith({third}, 0x0800460100000200ull));
    start();
    EXPECT_EQ(count_matching(avc_matching()), 3);
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    u.send({0x00, 0x20, 0xC3, 0x75}, 4);
    ASSERT_EQ(fire->sent.size(), 1u);
    EXPECT_EQ(fire->sent[0].port, 0);
    EXPECT_EQ(fire->sent[0].node, 1);
    EXPECT_EQ(fwsim_command_count(deck), 1u);
    EXPECT_EQ(fwsim_command_count(second), 0u);
    EXPECT_EQ(fwsim_command_count(third), 0u);
}

TEST_F(LinuxBus, FramesGoOutInQuadletsAndAnswersComeBackInBytes) {
    start();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    IOReturn st = -1;
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st), (Bytes{0x09, 0x20, 0xC3, 0x75}));  // PLAY FORWARD
    EXPECT_EQ(st, kIOReturnSuccess);
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x0020C375}));
    EXPECT_EQ(u.send({0x01, 0x20, 0xD0, 0x7F}, 4), (Bytes{0x0C, 0x20, 0xC3, 0x75}));  // TRANSPORT STATE
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x0120D07F}));
    u.send({0x00, 0x20, 0xC4, 0x60}, 4);  // WIND STOP
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x0020C460}));
    fwsim_set_position(deck, (23 * 60 + 45) * 30 + 12);
    EXPECT_EQ(u.send({0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}, 8),  // TIME CODE STATUS
              (Bytes{0x0C, 0x20, 0x51, 0x71, 0x12, 0x45, 0x23, 0x00}));
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x01205171, 0xFFFFFFFF}));
    // A frame that ends inside a quadlet is padded with zeros; the answer
    // is cut to the capacity offered.
    EXPECT_EQ(u.send({0x01, 0xFF, 0x18, 0x00, 0xFF, 0xFF}, 4), (Bytes{0x0C, 0xFF, 0x18, 0x00}));
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x01FF1800, 0xFFFF0000}));
}

TEST_F(LinuxBus, InterimThenAccepted) {
    start();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    // A time-code search: the deck says INTERIM, then ACCEPTED once there.
    IOReturn st = -1;
    Bytes r = u.send({0x00, 0x20, 0x51, 0x20, 0x00, 0x00, 0x10, 0x00}, 8, &st);
    EXPECT_EQ(st, kIOReturnSuccess);
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r[0], 0x09);
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x00205120, 0x00001000}));
    EXPECT_EQ(fwsim_interim_count(deck), 1u);
    EXPECT_EQ(fwsim_position(deck), 10 * 60 * 30);
    // A transport command answered INTERIM first.
    fwsim_interim_opcode(deck, 0xC4, 1);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC4, 0x60}, 4, &st), (Bytes{0x09, 0x20, 0xC4, 0x60}));
    EXPECT_EQ(fwsim_interim_count(deck), 2u);
}

TEST_F(LinuxBus, NotImplementedAndRejectedAreAnswers) {
    start();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    IOReturn st = -1;
    fwsim_notimpl_opcode(deck, 0xC3, 1);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st), (Bytes{0x08, 0x20, 0xC3, 0x75}));
    EXPECT_EQ(st, kIOReturnSuccess);
    fwsim_reject_opcode(deck, 0xC4, 1);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC4, 0x75}, 4, &st), (Bytes{0x0A, 0x20, 0xC4, 0x75}));
    EXPECT_EQ(st, kIOReturnSuccess);
    EXPECT_EQ(u.send({0x00, 0x20, 0x99, 0x00}, 4, &st)[0], 0x08);  // an opcode the deck does not know
}

TEST_F(LinuxBus, NoFinalAnswerIsATimeOutThatLeavesTheResponseAlone) {
    start();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    auto exchange = [&](UInt32 &len, Bytes &response) {
        const UInt8 frame[] = {0x01, 0x20, 0xD0, 0x7F};
        response.assign(8, 0xEE);
        len = 8;
        return (*u.unit)->AVCCommand(u.unit, frame, sizeof frame, response.data(), &len);
    };
    UInt32 len = 0;
    Bytes response;
    struct Case {
        FwSimFault fault;
        std::optional<Quadlets> canned;
    } cases[] = {{FWSIM_TIMEOUT, {}},               // the deck never answers
                 {FWSIM_INTERIM_FOREVER, {}},       // INTERIM, then nothing
                 {FWSIM_OK, Quadlets{0x0F20D07F}},  // an INTERIM handed back as if final
                 {FWSIM_OK, Quadlets{}}};           // an empty answer
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.fault));
        fwsim_set_fault(deck, c.fault, 0);
        fire->canned = c.canned;
        EXPECT_EQ(exchange(len, response), kIOReturnTimeout);
        EXPECT_EQ(len, 0u);
        EXPECT_EQ(response, Bytes(8, 0xEE));
    }
    fwsim_set_fault(deck, FWSIM_OK, 0);
    fire->canned.reset();
    EXPECT_EQ(exchange(len, response), kIOReturnSuccess);
    EXPECT_EQ(len, 4u);
}

TEST_F(LinuxBus, ABusResetKeepsTheUnitAndFollowsItsNewNodeNumber) {
    start();
    Heard heard;
    heard.arm();
    EXPECT_EQ(heard.published, 1);
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    // Another node joins in front of the deck, which becomes node 2.
    fire->busReset(0, portOf({FakeNode{0x0800460100000888ull, 0, false, "", ""}, deckNode()}));
    ASSERT_TRUE(pump_until([&] { return heard.messages.size() == 2; }));
    EXPECT_EQ(heard.messages, (std::vector<uint32_t>{kIOMessageServiceIsSuspended, kIOMessageServiceIsResumed}));
    EXPECT_EQ(heard.published, 1);
    EXPECT_EQ(heard.terminated, 0);
    IOReturn st = -1;
    u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st);
    EXPECT_EQ(st, kIOReturnSuccess);
    EXPECT_EQ(fire->sent.back().node, 2);
}

TEST_F(LinuxBus, AUnitThatLeavesIsTerminatedAndOneThatComesBackIsPublishedAgain) {
    start();
    Heard heard;
    heard.arm();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    const FakeNode node = deckNode();
    fire->busReset(0, portOf({}));  // unplugged
    ASSERT_TRUE(pump_until([&] { return heard.terminated == 1 && heard.messages.size() == 2; }));
    EXPECT_EQ(heard.messages, (std::vector<uint32_t>{kIOMessageServiceIsSuspended, kIOMessageServiceIsTerminated}));
    EXPECT_EQ(count_matching(avc_matching()), 0);
    IOReturn st = -1;
    u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st);
    EXPECT_EQ(st, kIOReturnNoDevice);
    size_t sent = fire->sent.size();
    EXPECT_EQ(sent, 0u);  // nothing goes to a unit that left

    fire->busReset(0, portOf({node}));  // plugged in again
    ASSERT_TRUE(pump_until([&] { return heard.published == 2; }));
    EXPECT_EQ(count_matching(avc_matching()), 1);
    // The interface opened before reaches the deck again.
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st), (Bytes{0x09, 0x20, 0xC3, 0x75}));
    EXPECT_EQ(st, kIOReturnSuccess);
    // Its new service hears the next reset.
    heard.messages.clear();
    fire->busReset(0, portOf({node}));
    ASSERT_TRUE(pump_until([&] { return heard.messages.size() == 2; }));
    EXPECT_EQ(heard.messages, (std::vector<uint32_t>{kIOMessageServiceIsSuspended, kIOMessageServiceIsResumed}));
}

TEST_F(LinuxBus, AUnitThatVanishesMidCommandGivesAnErrorThenTheRemovedNotification) {
    start();
    Heard heard;
    heard.arm();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    bool once = true;
    fire->duringFcp = [&](int port) {
        if (once) fire->resetNow(port, portOf({}));
        once = false;
    };
    IOReturn st = -1;
    EXPECT_TRUE(u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st).empty());
    EXPECT_EQ(st, kIOReturnNoDevice);
    EXPECT_TRUE(heard.messages.empty());  // nothing inside the call
    ASSERT_TRUE(pump_until([&] { return heard.terminated == 1; }));
    EXPECT_EQ(heard.messages.back(), kIOMessageServiceIsTerminated);
}

TEST_F(LinuxBus, ABusResetDuringACommandThatTheUnitSurvivesIsATimeOut) {
    start();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    const FakeNode node = deckNode();
    bool once = true;
    fire->duringFcp = [&](int port) {
        if (once) fire->resetNow(port, portOf({FakeNode{0x0800460100000888ull, 0, false, "", ""}, node}));
        once = false;
    };
    // The request went to node 1, where nobody answers now.
    IOReturn st = -1;
    u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st);
    EXPECT_EQ(st, kIOReturnTimeout);
    EXPECT_EQ(u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st), (Bytes{0x09, 0x20, 0xC3, 0x75}));
    EXPECT_EQ(fire->sent.back().node, 2);
}

TEST_F(LinuxBus, TheSimulatedBusTakesOverWithoutMessages) {
    start();
    Heard heard;
    heard.arm();
    OpenUnit u;
    ASSERT_TRUE(u.ok());
    fwsim_reset(1);
    EXPECT_EQ(fw_bus_kind(), FWBUS_SIM);
    IOReturn st = -1;
    u.send({0x00, 0x20, 0xC3, 0x75}, 4, &st);
    EXPECT_EQ(st, kIOReturnNoDevice);
    EXPECT_TRUE(fire->sent.empty());
    ASSERT_TRUE(pump_until([&] { return heard.published == 2; }));  // the simulated deck
    EXPECT_TRUE(heard.messages.empty());
    EXPECT_EQ(heard.terminated, 0);
    // The port's descriptor is no longer watched.
    uint64_t one = 1;
    ASSERT_EQ(write(fire->events[0], &one, sizeof one), ssize_t(sizeof one));
    EXPECT_EQ(pump_now(), 0);
}

}  // namespace
