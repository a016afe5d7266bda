// The deck's transport: keys, buttons, the shuttle, the speed ladders, and
// the deck link chosen in Deck Control Settings.
#include "e2e_fixture.h"

// The keys are polled every 34 ms of the runtime clock, which the test moves.
TEST_F(Tavrin, KeysDriveTheRs422Deck) {
    FakeDeck deck;
    start(1, deck.index);
    ASSERT_TRUE(main().Serial1.isOpen());
    deck.commands();
    // Holds the key for `ms` of the clock, then lets it go for `after`.
    auto press = [&](int key, int64_t ms, int64_t after) {
        rb::op::keyDown(key);
        clock.run(ms);
        rb::op::keyUp(key);
        clock.run(after);
    };

    // Space held: plays once while held.
    press(rb::KeySpace, 200, 100);
    auto lines = deck.commands();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "20 01 21 PLAY");
    EXPECT_EQ(main().playstatus, PlayStatus::Play);

    // Space again pauses (RS-422 stops).
    press(rb::KeySpace, 100, 100);
    lines = deck.commands();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 8), "20 00 20");

    // K pauses on every tick while held: seven ticks in seven periods.
    press(rb::KeyK, 7 * 34, 0);
    EXPECT_EQ(count(deck.commands(), "20 00 20"), 7u);

    // L twice steps the speed: play, then the first forward rung.
    for (int i = 0; i < 2; ++i) press(rb::KeyL, 100, 100);
    lines = deck.commands();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 11), "21 13 45 79");
    EXPECT_EQ(main().playstatus, PlayStatus::Faster1);

    // Nothing acts while the application is inactive or a field has focus.
    rb::op::setActive(false);
    press(rb::KeyK, 150, 0);
    EXPECT_TRUE(deck.commands().empty());
    rb::op::setActive(true);
    palette().interval->setFocus();
    press(rb::KeyK, 150, 0);
    EXPECT_TRUE(deck.commands().empty());
    EXPECT_EQ(deck.bad, 0u);
}

TEST_F(Tavrin, ReopeningTheLinkLeaksNoDescriptor) {
    FakeDeck deck;
    start(1, deck.index);
    auto fds = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    auto before = fds();
    for (int i = 0; i < 5; ++i) main().EnableVideo();
    EXPECT_LE(fds(), before);
    // A stored port index that names no port fails softly.
    app().myserialport = 999;
    main().EnableVideo();
    EXPECT_FALSE(main().Serial1.isOpen());
}

// A port that cannot be opened is said in the status line, and goes once a
// port that opens is chosen in Deck Control Settings.
TEST_F(Tavrin, ADeckPortThatCannotBeOpenedIsSaidUntilOneOpens) {
    fs::path notATerminal = gDir / "notes.txt";
    std::ofstream(notATerminal) << "x";
    int gone = rb::SerialPorts::add("gone", (gDir / "no-such-tty").string());
    int plain = rb::SerialPorts::add("plain", notATerminal.string());
    FakeDeck deck;
    start(1, gone);
    EXPECT_FALSE(main().Serial1.isOpen());
    EXPECT_EQ(main().message->text(), "The serial port gone (" + (gDir / "no-such-tty").string() +
                                          ") cannot be opened: No such file or directory.");
    EXPECT_EQ(main().message->helpTag, main().message->text());  // the whole text, however narrow the window

    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    rb::op::selectRow("ControlPrefswindow", "portsmenu", plain);
    rb::op::click("ControlPrefswindow", "rs422button");
    EXPECT_NE(main().message->text().find("(" + notATerminal.string() + ") cannot be opened: it is not a serial"),
              std::string::npos)
        << main().message->text();

    rb::op::selectRow("ControlPrefswindow", "portsmenu", deck.index);
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_TRUE(main().Serial1.isOpen());
    EXPECT_EQ(main().message->text(), "");
    EXPECT_EQ(main().message->helpTag, "");
    main().stopaction();
    EXPECT_EQ(deck.commands().size(), 1u);

    // Choosing FireWire clears the note as well.
    app().myserialport = 999;
    main().EnableVideo();
    EXPECT_NE(main().message->text().find("There is no serial port number 1000"), std::string::npos);
    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    rb::op::click("ControlPrefswindow", "firewirebutton");
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_EQ(main().message->text().find("serial port"), std::string::npos) << main().message->text();
}

TEST_F(Tavrin, DeckSettingsRs422ThenCancelMovesOnlyThePort) {
    FakeDeck first, second;
    start(1, first.index);
    ASSERT_TRUE(rb::op::chooseMenu("VideoDeckControl"));
    auto *dlg = rb::findWindow("ControlPrefswindow");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->control("rs422button")->value(), 1);
    rb::op::selectRow("ControlPrefswindow", "portsmenu", second.index);
    rb::op::click("ControlPrefswindow", "rs422button");
    rb::op::click("ControlPrefswindow", "PushButton2");
    EXPECT_EQ(app().controlpref, 1);
    EXPECT_EQ(app().myserialport, first.index);
    EXPECT_EQ(main().Serial1.index(), second.index);
    // The transport now reaches the second port.
    first.commands();
    main().stopaction();
    EXPECT_TRUE(first.commands().empty());
    EXPECT_EQ(second.commands().size(), 1u);
}

TEST_F(Tavrin, DeckSettingsOkWithFireWireStoresZero) {
    start(2);  // a stored link value of 2 means FireWire
    rb::op::chooseMenu("VideoDeckControl");
    auto *dlg = rb::findWindow("ControlPrefswindow");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->control("firewirebutton")->value(), 1);
    EXPECT_EQ(dlg->control("rs422button")->value(), 0);
    rb::op::click("ControlPrefswindow", "PushButton1");
    EXPECT_EQ(app().controlpref, 0);
    EXPECT_EQ(main().shuttleslider->maximum(), 16);
    EXPECT_EQ(main().shuttleslider->value(), 8);
    EXPECT_EQ(rb::findWindow("ControlPrefswindow"), nullptr);
}

TEST_F(Tavrin, ShuttleTablesOverEverySliderValue) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    std::vector<std::string> sent;
    for (int v = 0; v <= 30; ++v) {
        main().shuttleslider->setValue(v);
        main().shuttle422();
        auto lines = deck.commands();
        sent.push_back(lines.empty() ? "" : lines[0].substr(0, 11));
    }
    EXPECT_EQ(sent[0], "");
    EXPECT_EQ(sent[1], "21 23 85 C9");
    EXPECT_EQ(sent[14], "21 23 20 64");
    EXPECT_EQ(sent[15].substr(0, 8), "20 00 20");
    EXPECT_EQ(sent[16], "21 13 20 54");
    EXPECT_EQ(sent[30], "21 13 90 C4");
    EXPECT_EQ(deck.bad, 0u);
}

TEST_F(Tavrin, SpeedLaddersOnRs422WithTheirEnds) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    std::vector<std::string> got;
    for (int i = 0; i < 5; ++i) main().playaction();
    for (auto &l : deck.commands()) got.push_back(l.substr(0, 8));
    EXPECT_EQ(got, (std::vector<std::string>{"20 01 21", "21 13 45", "21 13 55", "21 13 65"}));
    EXPECT_EQ(main().playstatus, PlayStatus::Faster3);
    // A rung of the other link's ladder after a switch: steps do nothing.
    main().playstatus = PlayStatus::Faster2;
    app().controlpref = 0;
    main().incplayforward();
    main().incplayreverse();
    EXPECT_EQ(main().playstatus, PlayStatus::Faster2);
    app().controlpref = 1;
    main().pauseaction();
    EXPECT_EQ(main().playstatus, PlayStatus::Stopped);
    deck.commands();
    for (int i = 0; i < 5; ++i) main().playreverseaction();
    got.clear();
    for (auto &l : deck.commands()) got.push_back(l.substr(0, 8));
    EXPECT_EQ(got, (std::vector<std::string>{"21 23 40", "21 23 45", "21 23 55", "21 23 65"}));
    EXPECT_EQ(main().playstatus, PlayStatus::ReverseFaster3);
}

TEST_F(Tavrin, FireWireLadderWithoutADeckStillMovesTheStatus) {
    start();
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, PlayStatus::Reverse);
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, PlayStatus::ReverseFaster1);
    main().playreverseaction();
    EXPECT_EQ(main().playstatus, PlayStatus::ReverseFaster4);
    main().playaction();
    EXPECT_EQ(main().playstatus, PlayStatus::ReverseFaster1);
    main().fastforwardaction();
    EXPECT_EQ(main().playstatus, PlayStatus::ReverseFaster1);
}

TEST_F(Tavrin, TheShuttleSpringsBackAndStopsTheDeckWhenTheMouseLeaves) {
    FakeDeck deck;
    start(1, deck.index);
    deck.commands();
    rb::op::setSlider("CaptureWindow", "shuttleslider", 30);
    rb::op::mouseExit("CaptureWindow", "shuttleslider");
    EXPECT_EQ(main().shuttleslider->value(), 15);
    auto lines = deck.commands();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 11), "21 13 90 C4");
    EXPECT_EQ(lines[1].substr(0, 8), "20 00 20");
}
