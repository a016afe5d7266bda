// A FireWire deck: the transport and time code, its events on the status
// line, bus resets and a deck that does not answer.
#include "e2e_fixture.h"

#include "fake_fw_transport.h"

#include <fw/FWLinux.h>

#include <cstdio>
#include <memory>

TEST_F(Tavrin, FireWireDeckDrivenFromTheWindow) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    ASSERT_TRUE(main().deckPresent());
    rb::op::click("CaptureWindow", "playbutton");
    EXPECT_EQ(main().playstatus, PlayStatus::Play);
    rb::op::runFor(1200);
    // The time code of the playing deck shows every 50 ms.
    std::string tc = main().mytc->text();
    EXPECT_EQ(tc.size(), 11u);
    EXPECT_NE(tc, "--:--:--:--");
    EXPECT_NE(tc, "00:00:00:00");
    rb::op::click("CaptureWindow", "stopbutton");
    EXPECT_EQ(main().playstatus, PlayStatus::Stopped);
    // The shuttle: value 8 pauses, 0 plays backwards at speed 7.
    EXPECT_EQ(main().shuttleslider->maximum(), 16);
    rb::op::setSlider("CaptureWindow", "shuttleslider", 12);
    rb::op::mouseExit("CaptureWindow", "shuttleslider");
    EXPECT_EQ(main().shuttleslider->value(), 8);
    // L twice: play, then PlayForward(2).
    rb::op::keyDown(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyUp(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyDown(rb::KeyL);
    rb::op::runFor(100);
    rb::op::keyUp(rb::KeyL);
    rb::op::runFor(100);
    EXPECT_EQ(main().playstatus, PlayStatus::Faster1);
}

TEST_F(Tavrin, FireWireEventsReachTheStatusLine) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    ASSERT_TRUE(main().deckPresent());
    int unit = fwsim_unit_id(0);
    fwsim_bus_reset();
    rb::op::runFor(100);
    EXPECT_EQ(main().message->text(),
              "IOMessageServiceIsResumed (bus reset end), handle bus reset done vcr was already inited");
    // A closing request lets the deck go; an opening attempt takes it again.
    fwsim_send_message(unit, 0xE0000100, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageServiceIsRequestingClose");
    EXPECT_FALSE(main().deckPresent());
    fwsim_send_message(unit, 0xE0000101, nullptr);
    rb::op::runFor(50);
    EXPECT_TRUE(main().deckPresent());
    // A power message only changes the line; position 18 has no handler.
    fwsim_send_message(unit, 0xE0000280, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    fwsim_send_message(unit, 0xE00087D0, nullptr);
    fwsim_send_message(unit, 0x12345678, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    // After the unit was released, a bus reset opens it again.
    fwsim_send_message(unit, 0xE0000100, nullptr);
    rb::op::runFor(50);
    fwsim_bus_reset();
    rb::op::runFor(100);
    EXPECT_EQ(main().message->text(), "got it to work.................!");
    EXPECT_TRUE(main().deckPresent());
}

TEST_F(Tavrin, EachNotificationObjectHearsEachMessageOnce) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    // A second FireWire set-up replaces both objects; the old notification
    // object is released while the new one lives.
    main().initfirewire();
    main().initfirewire();
    rb::op::runFor(50);
    int before = 0;
    main().message->setText("");
    fwsim_send_message(fwsim_unit_id(0), 0xE0000280, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillSleep");
    (void)before;
    // A device plugged in after the objects were replaced is still heard.
    int added = fwsim_add_default_unit();
    rb::op::runFor(50);
    fwsim_send_message(added, 0xE0000290, nullptr);
    rb::op::runFor(50);
    EXPECT_EQ(main().message->text(), "IOMessageSystemWillNotSleep");
}

TEST_F(Tavrin, FireWireCaptureSurvivesBusResetAndReplug) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    fs::path out = gDir / "out" / "fwcapture";
    fs::create_directories(out);
    setTicks(0);
    rb::op::type("controlwindow", "framecount", "2");
    startCapture(out.string());
    runUntilStill([] { return nextGrabDue() >= 0; }, 5s);  // the run's first tick is the clock's now
    setTicks(60);
    runUntilStill([&] { return palette().counter >= 1; }, 5s);
    fwsim_bus_reset();
    rb::op::runFor(50);
    fwsim_remove_unit(fwsim_unit_id(0));  // unplugged
    rb::op::runFor(50);
    setTicks(120);
    runUntilStill([&] { return palette().counter >= 2; }, 5s);
    fwsim_add_default_unit();  // plugged in again
    rb::op::runFor(50);
    setTicks(180);
    runUntil([&] { return palette().mymessage->text() == "Done"; }, 2s);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    for (const char *n : {"000", "001", "002"}) EXPECT_TRUE(fs::exists(out / (std::string(n) + ".tif"))) << n;
}

// A deck on Linux's FireWire stack (its transport answering from a
// simulated deck): the transport keys, the time code, and bus resets that
// keep, unplug and bring back the deck, as the status line tells them.
TEST_F(Tavrin, FireWireDeckOnTheLinuxBus) {
    int deck = fwsim_add_offbus_unit();
    auto fire = FakeFireWire::withDecks({deck});
    ASSERT_EQ(fw::linux1394::restart("linux", std::make_unique<FakeTransport>(fire)), FWBUS_LINUX);
    start();
    ASSERT_TRUE(main().deckPresent());
    auto sent = [&](std::vector<uint32_t> quadlets) {
        size_t n = 0;
        for (const auto &s : fire->sent) n += s.quadlets == quadlets;
        return n;
    };
    rb::op::click("CaptureWindow", "playbutton");
    EXPECT_EQ(sent({0x0020C375}), 1u);  // PLAY FORWARD
    runUntil([&] { return main().mytc->text() != "--:--:--:--" && main().mytc->text() != "00:00:00:00"; }, 2s);
    EXPECT_EQ(main().mytc->text().substr(0, 6), "00:00:");
    EXPECT_GT(sent({0x01205171, 0xFFFFFFFF}), 0u);  // TIME CODE status queries

    const std::vector<FakeNode> plugged = fire->nodes[0], unplugged{plugged[0]};
    const std::string resumed =
        "IOMessageServiceIsResumed (bus reset end), handle bus reset done vcr was already inited";
    fire->busReset(0, plugged);
    runUntil([&] { return main().message->text() == resumed; }, 2s);
    EXPECT_EQ(main().message->text(), resumed);
    fire->busReset(0, unplugged);
    runUntil([&] { return main().message->text() == "IOMessageServiceIsTerminated, handle device removed here"; }, 2s);
    EXPECT_EQ(main().message->text(), "IOMessageServiceIsTerminated, handle device removed here");
    // Plugged in again: the deck answers the same object, and the next reset
    // finds it open.
    fire->busReset(0, plugged);
    rb::op::runFor(100);
    main().message->setText("");
    fire->busReset(0, plugged);
    runUntil([&] { return main().message->text() == resumed; }, 2s);
    EXPECT_EQ(main().message->text(), resumed);
    rb::op::click("CaptureWindow", "stopbutton");
    EXPECT_EQ(sent({0x0020C37D}), 1u);  // PLAY FORWARD PAUSE
    uint8_t mode = 0, state = 0;
    fwsim_transport(deck, &mode, &state);
    EXPECT_EQ(mode, 0xC3);
    EXPECT_EQ(state, 0x7D);
}

// No permission on a FireWire device file: the simulated deck, and the
// status line names the file and the fix.
TEST_F(Tavrin, FireWirePermissionFaultIsOnTheStatusLine) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    auto fire = std::make_shared<FakeFireWire>();
    fire->files = {2, "/dev/fw1"};
    ASSERT_EQ(fw::linux1394::restart(nullptr, std::make_unique<FakeTransport>(fire)), FWBUS_SIM);
    start();
    std::string line = main().message->text();
    EXPECT_EQ(line.rfind("No permission on /dev/fw1 (FireWire): ", 0), 0u) << line;
    EXPECT_NE(line.find("udev rule"), std::string::npos) << line;
    EXPECT_NE(line.find("sudo adduser $USER video"), std::string::npos) << line;
    EXPECT_NE(line.find("Using the simulated deck."), std::string::npos) << line;
    EXPECT_TRUE(main().deckPresent());
}

// A FireWire deck that stops answering: every query waits out the AV/C
// time-out, and the time-code timer must not push the grabs off schedule.
// The deck waits on the runtime's clock, which the test moves too.
TEST_F(Tavrin, ASilentFireWireDeckKeepsGrabsOnSchedule) {
    setenv("TAVRIN_AVC_UNITS", "1", 1);
    start();
    setenv("TAVRIN_AVC_UNITS", "0", 1);
    ASSERT_TRUE(main().deckPresent());
    setTicks(0);
    // Two milliseconds of the clock, then a loop pass: the test sees each
    // grab's next tick before the thread's next turn.
    auto step = [this] {
        clock.advance(2);
        rb::runOnce(0);
    };
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_TIMEOUT, 0);
    fs::path out = gDir / "out" / "silent";
    fs::create_directories(out);
    rb::op::type("controlwindow", "framecount", "3");
    startCapture(out.string());
    // Each grab's tick as the thread took it: the next one is due an
    // interval after it.
    std::vector<int64_t> due;
    for (int ms = 0; ms < 20000 && palette().capturebutton->caption() == "Stop Capture" && due.size() < 5; ms += 2) {
        step();
        int64_t d = nextGrabDue();
        if (d >= 0 && (due.empty() || due.back() != d)) due.push_back(d);
    }
    ASSERT_TRUE(runUntil([&] { return palette().capturebutton->caption() == "Start Capture"; }, 10s));
    ASSERT_EQ(due.size(), 5u);
    std::vector<int64_t> late;
    for (size_t i = 0; i + 1 < due.size(); ++i) late.push_back(due[i + 1] - 60 - due[i]);
    for (size_t i = 0; i < late.size(); ++i) EXPECT_LE(late[i], 2) << "grab " << i;
    std::printf("silent deck: grab lateness %lld %lld %lld %lld ticks\n", (long long)late[0], (long long)late[1],
                (long long)late[2], (long long)late[3]);
    EXPECT_EQ(palette().mymessage->text(), "Done");
    EXPECT_EQ(filesIn(out), 4u);
    // The deck answers again: the time code comes back at the normal rhythm.
    fwsim_set_fault(fwsim_unit_id(0), FWSIM_OK, 0);
    main().mytc->setText("");
    for (int ms = 0; ms < 1500; ms += 2) step();
    EXPECT_EQ(main().mytc->text().size(), 11u) << main().mytc->text();
}
