// The AV/C plug-in in the real host on the Linux FireWire bus, whose
// transport answers from simulated decks: every member's frame as it goes
// out through the AV/C library, the answers, the errors and the FireWire
// events with their texts.
#include "fake_fw_transport.h"

#include <fw/FWLinux.h>
#include <fw/FWSim.h>
#include <IOKit/IOKit.h>
#include <binding/entrypoints.h>
#include <rb/entrypoints.h>
#include <rb/host.h>
#include <rb/loop.h>
#include <rb/plugins.h>
#include <rb/runtime.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using Quadlets = std::vector<uint32_t>;

// A member of the loaded plug-in, typed from its text.
template <rb::Text T> auto entry() { return tavrin::lookupEntry<T>(); }

std::vector<std::string> gTexts;
template <int N> void heard(REALobject, REALstring text) { gTexts.push_back(rb::toStd(text)); }
template <int... N> std::vector<void *> handlers(std::integer_sequence<int, N...>) {
    return {reinterpret_cast<void *>(&heard<N>)...};
}

// An FWNotification subclass that keeps the text of every event.
rb::ClassInfo *listenerClass() {
    rb::ClassInfo *c = rb::findClass("TextListener");
    if (!c) {
        c = rb::defineSubclass("TextListener", rb::findClass("FWNotification"));
        rb::setEventHandlers(c, handlers(std::make_integer_sequence<int, 19>{}));
    }
    return c;
}

class AVCOnLinux : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        auto r = rb::loadPlugin(TAVRIN_AVC_PLUGIN);
        ASSERT_TRUE(r.ok) << r.error;
    }
    void SetUp() override {
        fwsim_reset(0);
        deck = fwsim_add_offbus_unit();
        fire = FakeFireWire::withDecks({deck});
        ASSERT_EQ(fw::linux1394::restart("linux", std::make_unique<FakeTransport>(fire)), FWBUS_LINUX);
        gTexts.clear();
    }
    void TearDown() override {
        fwsim_reset(0);
        rb::runFor(10);
    }
    rb::ObjRef unit() {
        rb::ObjRef o = rb::make("AVC");
        rb::call(entry<"AVC.AVC()">(), o.get());
        return o;
    }
    rb::ObjRef listener() {
        rb::ObjRef n = rb::make(listenerClass());
        rb::call(entry<"FWNotification.FWNotification()">(), n.get());
        return n;
    }
    int32_t lastError(REALobject o) { return rb::getProp(entry<"AVC.lastError.Get">(), o); }
    std::vector<FakeNode> withoutDeck() { return {fire->nodes[0][0]}; }

    int deck = 0;
    std::shared_ptr<FakeFireWire> fire;
};

TEST_F(AVCOnLinux, EveryMemberSendsItsQuadlets) {
    rb::ObjRef o = unit();
    ASSERT_EQ(lastError(o.get()), 0);
    ASSERT_TRUE(rb::getProp(entry<"AVC.exists.Get">(), o.get()));
    struct Case {
        const char *text;
        Quadlets sent;
    } methods[] = {{"AVC.PlayForward()", {0x0020C375}},     {"AVC.PlayForwardPause()", {0x0020C37D}},
                   {"AVC.PlayReverse()", {0x0020C365}},     {"AVC.PlayReversePause()", {0x0020C36D}},
                   {"AVC.PlayNextFrame()", {0x0020C330}},   {"AVC.PlayPreviousFrame()", {0x0020C340}},
                   {"AVC.WindStop()", {0x0020C460}},        {"AVC.WindRewind()", {0x0020C465}},
                   {"AVC.WindFastForward()", {0x0020C475}}, {"AVC.WindHighSpeedRewind()", {0x0020C445}},
                   {"AVC.RecordRecord()", {0x0020C275}},    {"AVC.RecordPause()", {0x0020C27D}},
                   {"AVC.ForwardIndex()", {0x00205504}},    {"AVC.BackwardIndex()", {0x00205604}},
                   {"AVC.MediumOpenTray()", {0x0020C131}},  {"AVC.MediumCloseTray()", {0x0020C132}},
                   {"AVC.MediumEject()", {0x0020C160}}};
    for (const Case &c : methods) {
        SCOPED_TRACE(c.text);
        rb::call(tavrin::lookupEntryLike<"AVC.WindStop()">(c.text), o.get());
        EXPECT_EQ(fire->lastSent(), c.sent);
        EXPECT_EQ(lastError(o.get()), 0);
    }
    rb::call(entry<"AVC.MediumCloseTray()">(), o.get());  // a tape again
    rb::call(entry<"AVC.PlayForward(speed as integer)">(), o.get(), 2);
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x0020C33A}));
    rb::call(entry<"AVC.PlayReverse(speed as integer)">(), o.get(), -3);
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x0020C345}));

    struct Query {
        const char *text;
        Quadlets sent;
    } states[] = {{"AVC.vcr_is_playing.Get", {0x0120D07F}},
                  {"AVC.vcr_is_recording.Get", {0x0120D07F}},
                  {"AVC.vcr_is_winding.Get", {0x0120D07F}},
                  {"AVC.vcr_is_loading_medium.Get", {0x0120D07F}}};
    for (const Query &q : states) {
        SCOPED_TRACE(q.text);
        rb::getProp(tavrin::lookupEntryLike<"AVC.vcr_is_playing.Get">(q.text), o.get());
        EXPECT_EQ(fire->lastSent(), q.sent);
    }
    Query times[] = {{"AVC.TimeCode.Get", {0x01205171, 0xFFFFFFFF}},
                     {"AVC.TimeCounter.Get", {0x01205771, 0xFFFFFFFF}},
                     {"AVC.RecordingDate.Get", {0x01205371, 0xFFFFFFFF}},
                     {"AVC.RecordingSpeed.Get", {0x0120DB71, 0xFFFFFFFF}},
                     {"AVC.RecordingTime.Get", {0x01205471, 0xFFFFFFFF}}};
    for (const Query &q : times) {
        SCOPED_TRACE(q.text);
        EXPECT_FALSE(rb::getProp(tavrin::lookupEntryLike<"AVC.TimeCode.Get">(q.text), o.get()).str().empty());
        EXPECT_EQ(fire->lastSent(), q.sent);
    }
    rb::setProp(entry<"AVC.TimeCode.Set">(), o.get(), rb::String("00:10:20:05"));
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x00205120, 0x05201000}));
    rb::setProp(entry<"AVC.TimeCounter.Set">(), o.get(), rb::String("00:00:00:00"));
    EXPECT_EQ(fire->lastSent(), (Quadlets{0x00205720, 0x00000000}));

    std::fflush(stdout);
    testing::internal::CaptureStdout();  // the inquiries print their dumps
    Query inquiries[] = {{"AVC.UnitInfo()", {0x01FF30FF, 0xFFFFFFFF}},
                         {"AVC.SubunitInfo()", {0x01FF31FF, 0xFFFFFFFF}},
                         {"AVC.OutputPlugSignalFormat()", {0x01FF18FF, 0xFFFFFFFF}},
                         {"AVC.VendorDependent()", {0x01FF00FF, 0xFFFFFFFF}}};
    for (const Query &q : inquiries) {
        SCOPED_TRACE(q.text);
        rb::call(tavrin::lookupEntryLike<"AVC.UnitInfo()">(q.text), o.get());
        EXPECT_EQ(fire->lastSent(), q.sent);
    }
    std::fflush(stdout);
    std::string dumps = testing::internal::GetCapturedStdout();
    EXPECT_NE(dumps.find("Video cassette recorder (VCR)"), std::string::npos) << dumps;
}

TEST_F(AVCOnLinux, TheTimeCodeQueryReadsTheDeck) {
    rb::ObjRef o = unit();
    fwsim_set_position(deck, (59 * 60 + 58) * 30 + 7);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "00:59:58:07");
    rb::call(entry<"AVC.PlayForward()">(), o.get());
    EXPECT_TRUE(rb::getProp(entry<"AVC.vcr_is_playing.Get">(), o.get()));
}

TEST_F(AVCOnLinux, ASearchIsAnsweredInterimThenAccepted) {
    rb::ObjRef o = unit();
    rb::setProp(entry<"AVC.TimeCode.Set">(), o.get(), rb::String("00:10:00:00"));
    EXPECT_EQ(lastError(o.get()), 0);
    EXPECT_EQ(fwsim_interim_count(deck), 1u);
    EXPECT_EQ(fwsim_position(deck), 10 * 60 * 30);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "00:10:00:00");
}

TEST_F(AVCOnLinux, RefusalsAreAnswersAndSilenceIsATimeOut) {
    rb::ObjRef o = unit();
    fwsim_reject_opcode(deck, 0xC3, 1);
    rb::call(entry<"AVC.PlayForward()">(), o.get());
    EXPECT_EQ(lastError(o.get()), 0);  // the deck answered: REJECTED
    fwsim_reject_opcode(deck, 0xC3, 0);
    fwsim_notimpl_opcode(deck, 0xD0, 1);
    EXPECT_FALSE(rb::getProp(entry<"AVC.vcr_is_playing.Get">(), o.get()));  // NOT IMPLEMENTED
    EXPECT_EQ(lastError(o.get()), 0);
    fwsim_set_fault(deck, FWSIM_TIMEOUT, 0);
    rb::call(entry<"AVC.WindStop()">(), o.get());
    EXPECT_EQ(lastError(o.get()), kIOReturnTimeout);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "");
    EXPECT_EQ(lastError(o.get()), kIOReturnTimeout);
    fwsim_set_fault(deck, FWSIM_OK, 0);
    rb::call(entry<"AVC.WindStop()">(), o.get());
    EXPECT_EQ(lastError(o.get()), 0);
}

TEST_F(AVCOnLinux, BusResetsReachTheNotificationObjectWithTheirTexts) {
    rb::ObjRef n = listener();
    rb::ObjRef o = unit();
    const FakeNode node = fire->nodes[0][1];
    fire->busReset(0, fire->nodes[0]);  // the deck stays
    rb::runFor(50);
    EXPECT_EQ(gTexts,
              (std::vector<std::string>{"IOMessageServiceIsSuspended (bus reset begin), handle bus reset begin here",
                                        "IOMessageServiceIsResumed (bus reset end), handle bus reset done"}));
    gTexts.clear();
    fire->busReset(0, withoutDeck());  // unplugged
    rb::runFor(50);
    EXPECT_EQ(gTexts,
              (std::vector<std::string>{"IOMessageServiceIsSuspended (bus reset begin), handle bus reset begin here",
                                        "IOMessageServiceIsTerminated, handle device removed here"}));
    rb::call(entry<"AVC.PlayForward()">(), o.get());
    EXPECT_EQ(lastError(o.get()), kIOReturnNoDevice);
    gTexts.clear();
    std::vector<FakeNode> back = withoutDeck();
    back.push_back(node);
    fire->busReset(0, back);  // plugged in again: a new device, no message
    rb::runFor(50);
    EXPECT_TRUE(gTexts.empty());
    rb::call(entry<"AVC.PlayForward()">(), o.get());
    EXPECT_EQ(lastError(o.get()), 0);
    fire->busReset(0, back);
    rb::runFor(50);
    EXPECT_EQ(gTexts.size(), 2u);
}

TEST_F(AVCOnLinux, AUnitThatVanishesMidCommandIsAnErrorThenRemoved) {
    rb::ObjRef n = listener();
    rb::ObjRef o = unit();
    bool once = true;
    fire->duringFcp = [&](int port) {
        if (once) fire->resetNow(port, withoutDeck());
        once = false;
    };
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "");
    EXPECT_EQ(lastError(o.get()), kIOReturnNoDevice);
    EXPECT_TRUE(gTexts.empty());
    rb::runFor(50);
    ASSERT_FALSE(gTexts.empty());
    EXPECT_EQ(gTexts.back(), "IOMessageServiceIsTerminated, handle device removed here");
}

}  // namespace
