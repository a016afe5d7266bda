// The AV/C plug-in loaded into the real host, driving the simulated deck.
#include "commands.h"
#include "unit.h"

#include "calls_by_text.h"
#include "run_loop_clock.h"

#include <CoreFoundation/CoreFoundation.h>
#include <fw/FWSim.h>
#include <IOKit/IOKit.h>
#include <binding/entrypoints.h>
#include <rb/entrypoints.h>
#include <rb/exception.h>
#include <rb/host.h>
#include <rb/loop.h>
#include <rb/plugins.h>
#include <rb/runtime.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <dlfcn.h>
#include <utility>
#include <string>
#include <vector>

namespace {

// A member of the loaded plug-in, typed from its text.
template <rb::Text T> auto entry() { return tavrin::lookupEntry<T>(); }

class AVCPlugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RuntimeInit();
        auto r = rb::loadPlugin(TAVRIN_AVC_PLUGIN);
        ASSERT_TRUE(r.ok) << r.error;
    }
    void SetUp() override { fwsim_reset(1); }

    // A new AVC object made with "AVC()".
    rb::ObjRef unit() {
        rb::ObjRef o = rb::make("AVC");
        rb::call(entry<"AVC.AVC()">(), o.get());
        return o;
    }
    std::vector<uint8_t> lastFrame(int index = 0) {
        uint8_t buf[64];
        uint32_t n = fwsim_last_command(fwsim_unit_id(index), buf, sizeof buf);
        return {buf, buf + n};
    }
    int32_t lastError(REALobject o) { return rb::getProp(entry<"AVC.lastError.Get">(), o); }
};

using Bytes = std::vector<uint8_t>;

}  // namespace

TEST_F(AVCPlugin, EveryTransportCommandSendsItsFrame) {
    rb::ObjRef o = unit();
    ASSERT_EQ(lastError(o.get()), 0);
    struct Case {
        const char *text;
        uint8_t opcode, operand;
    } cases[] = {{"AVC.ForwardIndex()", 0x55, 0x04},        {"AVC.BackwardIndex()", 0x56, 0x04},
                 {"AVC.PlayNextFrame()", 0xC3, 0x30},       {"AVC.PlayPreviousFrame()", 0xC3, 0x40},
                 {"AVC.PlayForward()", 0xC3, 0x75},         {"AVC.PlayReverse()", 0xC3, 0x65},
                 {"AVC.PlayForwardPause()", 0xC3, 0x7D},    {"AVC.PlayReversePause()", 0xC3, 0x6D},
                 {"AVC.RecordRecord()", 0xC2, 0x75},        {"AVC.RecordPause()", 0xC2, 0x7D},
                 {"AVC.WindHighSpeedRewind()", 0xC4, 0x45}, {"AVC.WindStop()", 0xC4, 0x60},
                 {"AVC.WindRewind()", 0xC4, 0x65},          {"AVC.WindFastForward()", 0xC4, 0x75},
                 {"AVC.MediumOpenTray()", 0xC1, 0x31},      {"AVC.MediumCloseTray()", 0xC1, 0x32},
                 {"AVC.MediumEject()", 0xC1, 0x60}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        rb::call(tavrin::lookupEntryLike<"AVC.WindStop()">(c.text), o.get());
        EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x20, c.opcode, c.operand}));
    }
}

TEST_F(AVCPlugin, SpeedOperands) {
    rb::ObjRef o = unit();
    struct Case {
        int32_t speed;
        uint8_t forward, reverse;
    } cases[] = {{0, 0x38, 0x48},  {1, 0x39, 0x49}, {-1, 0x37, 0x47}, {7, 0x3F, 0x4F},
                 {-7, 0x31, 0x41}, {8, 0x38, 0x48}, {-8, 0x38, 0x48}, {257, 0x39, 0x49}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.speed);
        rb::call(entry<"AVC.PlayForward(speed as integer)">(), o.get(), c.speed);
        EXPECT_EQ(lastFrame()[3], c.forward);
        rb::call(entry<"AVC.PlayReverse(speed as integer)">(), o.get(), c.speed);
        EXPECT_EQ(lastFrame()[3], c.reverse);
    }
}

// Texts picked at run time are called only as they are declared: a call of
// another form, type or count is refused before it reaches the plug-in.
TEST_F(AVCPlugin, ATextPickedAtRunTimeIsCalledOnlyAsDeclared) {
    rb::ObjRef o = unit();
    std::string forward = "AVC.PlayForward(speed as integer)";
    bytext::call(forward, o.get(), int32_t(7));
    EXPECT_EQ(lastFrame()[3], 0x3F);
    bytext::call("AVC.PlayForward()", o.get());
    EXPECT_TRUE(bytext::getProp<bool>("AVC.vcr_is_playing.Get", o.get()));
    bytext::setProp("AVC.TimeCode.Set", o.get(), rb::String("00:10:00:00"));
    EXPECT_EQ(bytext::getProp<rb::String>("AVC.TimeCode.Get", o.get()).str(), "00:10:00:00");
    REALstring raw = bytext::getProp<REALstring>("AVC.TimeCode.Get", o.get());  // the reference is ours
    EXPECT_EQ(rb::toStd(raw), "00:10:00:00");
    rb::releaseString(raw);
    EXPECT_EQ(bytext::getProp<RBBoolean>("AVC.exists.Get", o.get()), 1);
    rb::call(tavrin::lookupEntryLike<"AVC.WindStop()">("AVC.WindRewind()"), o.get());
    EXPECT_EQ(lastFrame()[3], 0x65);

    uint32_t sent = fwsim_command_count(fwsim_unit_id(0));
    EXPECT_THROW(bytext::call(forward, o.get(), 7.0), std::logic_error) << "a double for an integer";
    EXPECT_THROW(bytext::call(forward, o.get(), int32_t(7), int32_t(1)), std::logic_error) << "one too many";
    EXPECT_THROW(bytext::call(forward, o.get()), std::logic_error) << "one too few";
    EXPECT_THROW(bytext::call<int32_t>(forward, o.get(), int32_t(7)), std::logic_error) << "no result declared";
    EXPECT_THROW(bytext::getProp<int32_t>("AVC.vcr_is_playing.Get", o.get()), std::logic_error) << "a Boolean";
    EXPECT_THROW(bytext::setProp("AVC.TimeCode.Set", o.get(), int32_t(1)), std::logic_error) << "a String";
    EXPECT_THROW(bytext::call("AVC.exists.Get", o.get()), std::logic_error) << "a getter is no method";
    EXPECT_THROW(bytext::call("AVC.NoSuchMember.Get", o.get()), std::logic_error) << "no type for it";
    EXPECT_THROW(tavrin::lookupEntryLike<"AVC.WindStop()">(forward), std::logic_error);
    EXPECT_THROW(tavrin::lookupEntryLike<"AVC.exists.Get">("AVC.TimeCode.Get"), std::logic_error);
    EXPECT_EQ(fwsim_command_count(fwsim_unit_id(0)), sent) << "nothing refused reached the deck";
}

TEST_F(AVCPlugin, TransportStateAndTheDirectStateBytes) {
    rb::ObjRef o = unit();
    rb::call(entry<"AVC.PlayForward()">(), o.get());
    EXPECT_TRUE(rb::getProp(entry<"AVC.vcr_is_playing.Get">(), o.get()));
    EXPECT_EQ(lastFrame(), (Bytes{0x01, 0x20, 0xD0, 0x7F}));
    EXPECT_FALSE(rb::getProp(entry<"AVC.vcr_is_winding.Get">(), o.get()));
    // The host reads PlayState itself from the instance data.
    rb::ClassInfo *cls = rb::findClass("AVC");
    intptr_t param = -1;
    for (auto &p : cls->properties)
        if (p.name == "PlayState") param = p.param;
    ASSERT_EQ(param, 36);
    EXPECT_TRUE(rb::direct<bool>(o.get(), param));
    fwsim_set_position(fwsim_unit_id(0), 30 * 60 * 30);  // mid-tape: room to wind both ways
    rb::call(entry<"AVC.WindRewind()">(), o.get());
    EXPECT_TRUE(rb::getProp(entry<"AVC.vcr_is_winding.Get">(), o.get()));
    rb::call(entry<"AVC.WindFastForward()">(), o.get());
    EXPECT_TRUE(rb::getProp(entry<"AVC.vcr_is_winding.Get">(), o.get()));
}

TEST_F(AVCPlugin, TimeCodeTextAndSetter) {
    uint8_t out[4];
    ASSERT_TRUE(parseTimeText("01:23:45:12", 11, out));
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[3], 0x12);
    EXPECT_FALSE(parseTimeText("1:2:3", 5, out));
    EXPECT_FALSE(parseTimeText("01:23:45:1x", 11, out));
    EXPECT_FALSE(parseTimeText(nullptr, 0, out));

    rb::ObjRef o = unit();
    fwsim_set_position(fwsim_unit_id(0), (23 * 60 + 45) * 30 + 12);
    rb::String tc = rb::getProp(entry<"AVC.TimeCode.Get">(), o.get());
    EXPECT_EQ(tc.str(), "00:23:45:12");
    EXPECT_EQ(lastFrame(), (Bytes{0x01, 0x20, 0x51, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}));

    rb::setProp(entry<"AVC.TimeCode.Set">(), o.get(), rb::String("01:23:45:12"));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x20, 0x51, 0x20, 0x12, 0x45, 0x23, 0x01}));
    // A malformed text sends nothing and says so.
    uint32_t before = fwsim_command_count(fwsim_unit_id(0));
    rb::setProp(entry<"AVC.TimeCode.Set">(), o.get(), rb::String("garbage"));
    EXPECT_EQ(fwsim_command_count(fwsim_unit_id(0)), before);
    EXPECT_EQ(lastError(o.get()), -50);
}

// The setters are commands the deck acts on: a search moves the tape, a
// preset sets the counter; the recording queries read what the deck answers.
TEST_F(AVCPlugin, SettersMoveTheDeckAndRecordingQueriesAnswer) {
    rb::ObjRef o = unit();
    uint32_t id = fwsim_unit_id(0);
    rb::setProp(entry<"AVC.TimeCode.Set">(), o.get(), rb::String("00:10:00:00"));
    EXPECT_EQ(fwsim_position(id), 10 * 60 * 30);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "00:10:00:00");

    rb::setProp(entry<"AVC.TimeCounter.Set">(), o.get(), rb::String("00:00:00:00"));
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x20, 0x57, 0x20, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCounter.Get">(), o.get()).str(), "00:00:00:00");
    EXPECT_EQ(fwsim_position(id), 10 * 60 * 30);  // a preset does not move the tape

    EXPECT_EQ(rb::getProp(entry<"AVC.RecordingDate.Get">(), o.get()).str(), "20:07:03:15");
    EXPECT_EQ(lastFrame(), (Bytes{0x01, 0x20, 0x53, 0x71, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rb::getProp(entry<"AVC.RecordingTime.Get">(), o.get()).str(), "14:30:00:00");
    EXPECT_EQ(lastError(o.get()), 0);
}

TEST_F(AVCPlugin, AFailedQueryNeverReturnsTheEarlierAnswer) {
    rb::ObjRef o = unit();
    rb::String tc = rb::getProp(entry<"AVC.TimeCode.Get">(), o.get());
    ASSERT_FALSE(tc.str().empty());
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_SHORT, 3);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "");
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_GONE_MID_COMMAND, 0);
    EXPECT_EQ(rb::getProp(entry<"AVC.TimeCode.Get">(), o.get()).str(), "");
    EXPECT_NE(lastError(o.get()), 0);
}

TEST_F(AVCPlugin, NoUnitMeansMinus50AndTheException) {
    fwsim_reset(0);
    rb::ObjRef o = unit();
    EXPECT_EQ(lastError(o.get()), -50);
    EXPECT_FALSE(rb::getProp(entry<"AVC.isprimed.Get">(), o.get()));
    EXPECT_FALSE(rb::getProp(entry<"AVC.exists.Get">(), o.get()));
    try {
        rb::call(entry<"AVC.PlayForward()">(), o.get());
        FAIL() << "no exception";
    } catch (const rb::Exception &e) {
        REALobject ex = e.object();
        EXPECT_TRUE(rb::isA(ex, "AVCException"));
        rb::Value n = rb::getPropValue(ex, "ErrorNumber");
        EXPECT_EQ(std::get<int64_t>(n), -50);
        rb::Value m = rb::getPropValue(ex, "Message");
        EXPECT_EQ(std::get<rb::String>(m).str(), "IOFireWireAVCLibUnitInterface");
    }
}

TEST_F(AVCPlugin, LifecycleIsIdempotentAndUsesTheFirstUnit) {
    fwsim_reset(2);
    rb::ObjRef o = unit();
    EXPECT_TRUE(rb::getProp(entry<"AVC.exists.Get">(), o.get()));
    EXPECT_TRUE(fwsim_is_open(fwsim_unit_id(0)));
    EXPECT_FALSE(fwsim_is_open(fwsim_unit_id(1)));
    rb::call(entry<"AVC.Create()">(), o.get());
    rb::call(entry<"AVC.Commence()">(), o.get());
    EXPECT_EQ(lastError(o.get()), 0);
    rb::call(entry<"AVC.Cease()">(), o.get());
    EXPECT_FALSE(rb::getProp(entry<"AVC.exists.Get">(), o.get()));
    EXPECT_TRUE(rb::getProp(entry<"AVC.isprimed.Get">(), o.get()));
    rb::call(entry<"AVC.Cease()">(), o.get());
    EXPECT_EQ(lastError(o.get()), -50);  // nothing to close
    rb::call(entry<"AVC.Destroy()">(), o.get());
    rb::call(entry<"AVC.Commence()">(), o.get());
    EXPECT_EQ(lastError(o.get()), -50);  // no plug-in interface
}

TEST_F(AVCPlugin, ARefusedOpenIsNoUnit) {
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_REFUSE_OPEN, 0);
    rb::ObjRef o = unit();
    EXPECT_EQ(lastError(o.get()), -50);
    EXPECT_FALSE(rb::getProp(entry<"AVC.exists.Get">(), o.get()));
}

namespace {
int gIdle = 0, gIdleStart = 0;
extern "C" void onIdle(REALobject) { ++gIdle; }
extern "C" void onIdleStart(REALobject) { ++gIdleStart; }
}  // namespace

TEST_F(AVCPlugin, IdleTimerRaisesItsEventsByPosition) {
    rb::ClassInfo *sub = rb::findClass("IdleUnit");
    if (!sub) sub = rb::defineSubclass("IdleUnit", rb::findClass("AVC"));
    ASSERT_NE(sub, nullptr);
    // Idle at 0, IdleStart at 1, IdleStop left empty.
    rb::setEventHandlers(sub, {reinterpret_cast<void *>(&onIdle), reinterpret_cast<void *>(&onIdleStart), nullptr});
    // The run loop on the test's clock, moved a millisecond at a time.
    FwClock clock;
    auto run = [&clock](int ms) { clock.run(ms); };
    rb::ObjRef o = rb::make(sub);
    rb::call(entry<"AVC.AVC()">(), o.get());
    rb::call(entry<"AVC.SetIdleTimer(delay as integer, duration as integer)">(), o.get(), int32_t(20), int32_t(20));
    EXPECT_EQ(lastError(o.get()), 0);
    run(19);
    EXPECT_EQ(gIdleStart + gIdle, 0);
    run(1);
    EXPECT_EQ(gIdleStart, 1);
    run(60);  // at 40, 60 and 80 ms
    EXPECT_EQ(gIdleStart, 1);
    EXPECT_EQ(gIdle, 3);
    // A second call replaces the timer; the destructor removes it.
    rb::call(entry<"AVC.SetIdleTimer(delay as integer, duration as integer)">(), o.get(), int32_t(1000), int32_t(1000));
    run(999);
    EXPECT_EQ(gIdle, 3);
    EXPECT_EQ(gIdleStart, 1);
    o = {};
    run(2000);
    EXPECT_EQ(gIdle, 3);
}

TEST_F(AVCPlugin, HelperBundlePaths) {
    std::string complete = std::string(TAVRIN_HELPER_BUNDLES) + "/AVCHelper.bundle";
    std::string partial = std::string(TAVRIN_HELPER_BUNDLES) + "/AVCHelperPartial.bundle";
    auto byURL = entry<"AVC.AVC(bundleURL as String)">();
    rb::ObjRef a = rb::make("AVC");
    rb::call(byURL, a.get(), rb::String(complete));
    EXPECT_TRUE(rb::getProp(entry<"AVC.exists.Get">(), a.get()));
    rb::call(entry<"AVC.WindStop()">(), a.get());
    EXPECT_EQ(lastError(a.get()), 0);
    EXPECT_EQ(lastFrame(), (Bytes{0x00, 0x20, 0xC4, 0x60}));
    // Without "Send2Device" every command leaves -50 and sends nothing.
    rb::ObjRef b = rb::make("AVC");
    rb::call(byURL, b.get(), rb::String(partial));
    uint32_t before = fwsim_command_count(fwsim_unit_id(0));
    rb::call(entry<"AVC.PlayForward()">(), b.get());
    EXPECT_EQ(lastError(b.get()), -50);
    EXPECT_EQ(fwsim_command_count(fwsim_unit_id(0)), before);
    // A folder item that yields no bundle: -4960, then the in-process path
    // (once the others have let the unit go: it opens exclusively).
    a = rb::ObjRef();
    b = rb::ObjRef();
    rb::ObjRef c = rb::make("AVC");
    rb::call(entry<"AVC.AVC(bundleFolderItem as FolderItem)">(), c.get(), static_cast<REALobject>(nullptr));
    EXPECT_EQ(lastError(c.get()), 0);
}

namespace {
int gSleepCalls = 0;
rb::ObjRef *gVictim = nullptr;
extern "C" void onSleep(REALobject, REALstring text) {
    ++gSleepCalls;
    EXPECT_EQ(rb::toStd(text), "IOMessageSystemWillSleep");
    if (gVictim) *gVictim = rb::ObjRef();  // a handler lets another object go mid-delivery
}

rb::ClassInfo *listener() {
    rb::ClassInfo *c = rb::findClass("SleepListener");
    if (!c) {
        c = rb::defineSubclass("SleepListener", rb::findClass("FWNotification"));
        std::vector<void *> handlers(19, nullptr);
        handlers[15] = reinterpret_cast<void *>(&onSleep);  // SystemWillSleep
        rb::setEventHandlers(c, handlers);
    }
    return c;
}
}  // namespace

TEST_F(AVCPlugin, EachNotificationObjectHearsEachMessageOnce) {
    auto ctor = entry<"FWNotification.FWNotification()">();
    rb::ObjRef a = rb::make(listener()), b = rb::make(listener());
    rb::call(ctor, a.get());
    rb::call(ctor, b.get());
    EXPECT_TRUE(rb::getProp(entry<"FWNotification.exists.Get">(), a.get()));
    EXPECT_EQ(rb::getProp(entry<"FWNotification.lastError.Get">(), b.get()), 0);
    gSleepCalls = 0;
    fwsim_send_message(fwsim_unit_id(0), 0xE0000280, nullptr);
    rb::runFor(50);
    EXPECT_EQ(gSleepCalls, 2);
    // Releasing one object from inside a handler is safe.
    gVictim = &b;
    gSleepCalls = 0;
    fwsim_send_message(fwsim_unit_id(0), 0xE0000280, nullptr);
    rb::runFor(50);
    gVictim = nullptr;
    EXPECT_EQ(gSleepCalls, 2);
    EXPECT_FALSE(b);
    // The newest object died; devices added later are still heard.
    a = rb::ObjRef();
    rb::ObjRef c = rb::make(listener());
    rb::call(ctor, c.get());
    int added = fwsim_add_default_unit();
    rb::runFor(50);
    gSleepCalls = 0;
    fwsim_send_message(added, 0xE0000280, nullptr);
    rb::runFor(50);
    EXPECT_EQ(gSleepCalls, 1);
}

namespace {
std::vector<std::pair<int, std::string>> gHeard;
template <int N> void heard(REALobject, REALstring text) { gHeard.emplace_back(N, rb::toStd(text)); }
template <int... N> std::vector<void *> heardTable(std::integer_sequence<int, N...>) {
    return {reinterpret_cast<void *>(&heard<N>)...};
}
}  // namespace

TEST_F(AVCPlugin, EveryMessageTypeReachesItsPositionWithItsText) {
    rb::ClassInfo *c = rb::findClass("AllListener");
    if (!c) {
        c = rb::defineSubclass("AllListener", rb::findClass("FWNotification"));
        auto handlers = heardTable(std::make_integer_sequence<int, 19>{});
        handlers[7] = nullptr;  // a missing handler is skipped
        rb::setEventHandlers(c, handlers);
    }
    rb::ObjRef o = rb::make(c);
    rb::call(entry<"FWNotification.FWNotification()">(), o.get());
    const uint32_t types[19] = {0xE0000010, 0xE0000020, 0xE0000030, 0xE0000100, 0xE0000101, 0xE0000110, 0xE0000120,
                                0xE0000200, 0xE0000210, 0xE0000220, 0xE0000230, 0xE0000240, 0xE0000250, 0xE0000260,
                                0xE0000270, 0xE0000280, 0xE0000290, 0xE0000300, 0xE00087D0};
    const char *texts[3] = {"IOMessageServiceIsTerminated, handle device removed here",
                            "IOMessageServiceIsSuspended (bus reset begin), handle bus reset begin here",
                            "IOMessageServiceIsResumed (bus reset end), handle bus reset done"};
    // Termination last: after it the device sends nothing more.
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 0}) {
        gHeard.clear();
        fwsim_send_message(fwsim_unit_id(0), types[i], nullptr);
        rb::runFor(20);
        if (i == 7) {
            EXPECT_TRUE(gHeard.empty());
            continue;
        }
        ASSERT_EQ(gHeard.size(), 1u) << i;
        EXPECT_EQ(gHeard[0].first, i);
        if (i < 3) {
            EXPECT_EQ(gHeard[0].second, texts[i]);
        }
    }
    gHeard.clear();
    fwsim_reset(1);
    rb::ObjRef again = rb::make(c);
    rb::call(entry<"FWNotification.FWNotification()">(), again.get());
    fwsim_send_message(fwsim_unit_id(0), 0x1234, nullptr);  // unknown: nothing raised
    rb::runFor(20);
    EXPECT_TRUE(gHeard.empty());
}

TEST_F(AVCPlugin, DiagnosticsPrintTheirDumps) {
    rb::ObjRef o = unit();
    testing::internal::CaptureStdout();
    rb::call(entry<"AVC.UnitInfo()">(), o.get());
    rb::call(entry<"AVC.SubunitInfo()">(), o.get());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nDisplay: AVCResponse\n"), std::string::npos) << out;
    EXPECT_NE(out.find("IMPLEMENTED/STABLE"), std::string::npos) << out;
    EXPECT_NE(out.find("\tunit_type: 0x04 Video cassette recorder (VCR)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nDisplay: SubunitInfo\n"), std::string::npos) << out;
    EXPECT_EQ(lastError(o.get()), 0);
    o = rb::ObjRef();  // let the unit go for the test sequence
    testing::internal::CaptureStdout();
    void *lib = dlopen(TAVRIN_AVC_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    auto test = reinterpret_cast<int (*)(int, char **)>(lib ? dlsym(lib, "TestFunction") : nullptr);
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(test(0, nullptr), 0);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("UNIT INFO result: 0x00000000"), std::string::npos) << out;
    EXPECT_NE(out.find("WIND STOP result"), std::string::npos) << out;
}

TEST_F(AVCPlugin, ABundlePathThatGivesNoBundleIsMinus4960) {
    // No such folder, and a folder that is no loadable bundle.
    for (const std::string &path : {std::string("/nonexistent/Helper.bundle"), std::string(TAVRIN_HELPER_BUNDLES)}) {
        SCOPED_TRACE(path);
        rb::ObjRef a = rb::make("AVC");
        rb::call(entry<"AVC.AVC(bundleURL as String)">(), a.get(), rb::String(path));
        EXPECT_EQ(lastError(a.get()), -4960);
        EXPECT_FALSE(rb::getProp(entry<"AVC.isprimed.Get">(), a.get()));
        rb::ObjRef n = rb::make("FWNotification");
        rb::call(entry<"FWNotification.FWNotification(bundleURL as string)">(), n.get(), rb::String(path));
        EXPECT_EQ(rb::getProp(entry<"FWNotification.lastError.Get">(), n.get()), -4960);
        EXPECT_FALSE(rb::getProp(entry<"FWNotification.exists.Get">(), n.get()));
    }
}

namespace {
template <class T> T plugInSymbol(const char *name) {
    void *lib = dlopen(TAVRIN_AVC_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    return reinterpret_cast<T>(lib ? dlsym(lib, name) : nullptr);
}
}  // namespace

TEST_F(AVCPlugin, TheSharedPortFollowsTheNewestObjectAndEachTellsItsOwnError) {
    auto instance = plugInSymbol<REALobject *>("gREALinstance");
    ASSERT_NE(instance, nullptr);
    auto ctor = entry<"FWNotification.FWNotification()">();
    auto error = entry<"FWNotification.lastError.Get">();
    rb::ObjRef a = rb::make(listener()), b = rb::make(listener());
    rb::call(ctor, a.get());
    EXPECT_EQ(*instance, a.get());
    rb::call(ctor, b.get());
    EXPECT_EQ(*instance, b.get());
    b = rb::ObjRef();
    EXPECT_EQ(*instance, a.get());
    a = rb::ObjRef();
    EXPECT_EQ(*instance, nullptr);

    // The matching notification cannot be added: every object made while
    // that holds says so, none inherits a port that is not armed.
    fwsim_set_seam(FWSIM_SEAM_ADD_MATCHING, int32_t(0xE00002C7));
    rb::ObjRef c = rb::make(listener()), d = rb::make(listener());
    testing::internal::CaptureStdout();
    rb::call(ctor, c.get());
    rb::call(ctor, d.get());
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("(!) Couldn't add device added notification"), std::string::npos) << out;
    EXPECT_EQ(rb::getProp(error, c.get()), int32_t(0xE00002C7));
    EXPECT_EQ(rb::getProp(error, d.get()), int32_t(0xE00002C7));
    fwsim_set_seam(FWSIM_SEAM_ADD_MATCHING, 0);
    // Once it can be added, the next object arms a port, and a message
    // reaches each live object once.
    rb::ObjRef e = rb::make(listener());
    rb::call(ctor, e.get());
    EXPECT_EQ(rb::getProp(error, e.get()), 0);
    EXPECT_EQ(*instance, e.get());
    gSleepCalls = 0;
    fwsim_send_message(fwsim_unit_id(0), 0xE0000280, nullptr);
    rb::runFor(50);
    EXPECT_EQ(gSleepCalls, 3);
    c = rb::ObjRef();
    d = rb::ObjRef();
    EXPECT_EQ(*instance, e.get());
}

TEST_F(AVCPlugin, DiagnosticNotificationWalksPrintTheirTexts) {
    using Walk = void (*)(void *, io_iterator_t);
    using Create2nd = IOReturn (*)(IONotificationPortRef *, IOServiceMatchingCallback, void *);
    using Forward = void (*)(void *, io_iterator_t, IOServiceMatchingCallback);
    using ForwardInterest = void (*)(void *, io_service_t, natural_t, void *, IOServiceInterestCallback);
    auto removed = plugInSymbol<Walk>("MyDeviceRemovedCallback");
    auto cfmAdded = plugInSymbol<Walk>("FW_MyDeviceAddedCallback");
    auto cfmRemoved = plugInSymbol<Walk>("FW_MyDeviceRemovedCallback");
    auto create2nd = plugInSymbol<Create2nd>("Create2ndNotificationPort");
    auto forwardAdded = plugInSymbol<Forward>("MyCFMDeviceAddedCallback");
    auto forwardRemoved = plugInSymbol<Forward>("MyCFMDeviceRemovedCallback");
    auto forwardInterest = plugInSymbol<ForwardInterest>("MyCFMInterestCallback");
    auto printing = plugInSymbol<IOServiceInterestCallback>("MyDeviceInterestCallback");
    ASSERT_TRUE(removed && cfmAdded && cfmRemoved && create2nd && forwardAdded && forwardRemoved && forwardInterest &&
                printing);

    // A second port with the printing added walk sees the deck on the bus.
    IONotificationPortRef port = nullptr;
    testing::internal::CaptureStdout();
    EXPECT_EQ(create2nd(&port, cfmAdded, nullptr), kIOReturnSuccess);
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(port, nullptr);
    EXPECT_NE(out.find("\tCFM: DeviceAddedCallback(): iterator= 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("CFM: retain count= 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("CFM: device 0x"), std::string::npos) << out;
    EXPECT_NE(out.find(" found."), std::string::npos) << out;

    // Removal walks, through the forwarders, on a terminated notification.
    io_iterator_t gone = 0, goneCFM = 0;
    ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOTerminatedNotification, IOServiceMatching("IOFireWireDevice"),
                                               removed, nullptr, &gone),
              kIOReturnSuccess);
    ASSERT_EQ(IOServiceAddMatchingNotification(port, kIOTerminatedNotification, IOServiceMatching("IOFireWireDevice"),
                                               cfmRemoved, nullptr, &goneCFM),
              kIOReturnSuccess);
    forwardRemoved(nullptr, gone, removed);  // arms them
    forwardRemoved(nullptr, goneCFM, cfmRemoved);
    testing::internal::CaptureStdout();
    fwsim_remove_unit(fwsim_unit_id(0));
    rb::runFor(50);
    std::fflush(stdout);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\tDeviceRemovedCallback(): iterator= 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("\t retain count= 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("\tdevice 0x"), std::string::npos) << out;
    EXPECT_NE(out.find(" removed."), std::string::npos) << out;
    EXPECT_NE(out.find("\tCFM: DeviceRemovedCallback(): iterator= 0x"), std::string::npos) << out;
    EXPECT_NE(out.find("\tCFM: device 0x"), std::string::npos) << out;

    // The interest forwarder hands every argument on.
    testing::internal::CaptureStdout();
    forwardInterest(nullptr, 0x42, 0xE0000010, nullptr, printing);
    forwardAdded(nullptr, 0, nullptr);  // nothing to forward to: nothing happens
    std::fflush(stdout);
    out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nservice 0x42 says\tkIOMessageServiceIsTerminated"), std::string::npos) << out;
    auto destroy = plugInSymbol<void (*)(IONotificationPortRef)>("DestroyNotificationPort");
    ASSERT_NE(destroy, nullptr);
    destroy(port);
}

namespace {

// The members of the plug-in's member table, class by class: 'm' methods,
// 'p' properties, 'e' events, in table order.
struct TableRow {
    std::string cls;
    char kind;
    std::string text;
};
const TableRow kTable[] = {
#define PLUGIN_METHOD(cls, decl, fn) {#cls, 'm', decl},
#define PLUGIN_METHOD_SETTER(cls, decl, get, set) {#cls, 'm', decl},
#define PLUGIN_GETTER(cls, name, type, get) {#cls, 'p', name},
#define PLUGIN_PROPERTY(cls, name, type, get, set) {#cls, 'p', name},
#define PLUGIN_DIRECT(cls, name, type, field) {#cls, 'p', name},
#define PLUGIN_DIRECT_READ(cls, name, type, field) {#cls, 'p', name},
#define PLUGIN_DIRECT_WITH_SETTER(cls, name, type, field, set) {#cls, 'p', name},
#define PLUGIN_EVENT(cls, decl) {#cls, 'e', decl},
#include "avc/members.def"
};

std::vector<std::string> tableTexts(const std::string &cls, char kind) {
    std::vector<std::string> texts;
    for (const TableRow &row : kTable)
        if (row.cls == cls && row.kind == kind) texts.push_back(row.text);
    return texts;
}

}  // namespace

TEST_F(AVCPlugin, TheRegisteredRecordsAreTheMemberTable) {
    for (const char *name : {"AVCException", "AVC", "FWNotification"}) {
        SCOPED_TRACE(name);
        rb::ClassInfo *cls = rb::findClass(name);
        ASSERT_TRUE(cls && cls->def);
        const REALclassDefinition *def = cls->def;
        std::vector<std::string> methods, properties, events;
        for (uint32_t i = 0; i < def->methodCount; ++i) methods.push_back(def->methods[i].declaration);
        for (uint32_t i = 0; i < def->propertyCount; ++i) properties.push_back(def->properties[i].name);
        for (uint32_t i = 0; i < def->eventCount; ++i) events.push_back(def->events[i].declaration);
        EXPECT_EQ(methods, tableTexts(name, 'm'));
        EXPECT_EQ(properties, tableTexts(name, 'p'));
        EXPECT_EQ(events, tableTexts(name, 'e'));
    }
    // What the application relies on besides the texts.
    const REALclassDefinition *avc = rb::findClass("AVC")->def;
    EXPECT_EQ(avc->methodCount, 31u);
    EXPECT_EQ(avc->eventCount, 3u);
    EXPECT_EQ(avc->dataSize, sizeof(AVCData));
    EXPECT_NE(avc->constructor, nullptr);
    EXPECT_NE(avc->destructor, nullptr);
    const REALclassDefinition *fw = rb::findClass("FWNotification")->def;
    EXPECT_EQ(fw->eventCount, 19u);
    EXPECT_STREQ(fw->events[18].declaration, "FireWireIsRequestingClose(message as string)");
    const REALclassDefinition *exception = rb::findClass("AVCException")->def;
    EXPECT_STREQ(exception->superName, "RuntimeException");
    EXPECT_EQ(exception->dataSize, 0u);
}

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
