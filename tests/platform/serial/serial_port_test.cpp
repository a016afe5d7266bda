// Serial ports over pseudo-terminals (raw bytes, the 9-pin line settings,
// soft failures, reopening, writes that never block) and the 9-pin parser's
// count of bad checksums.
#include "pty_deck.h"
#include "wait_until.h"

#include <deck9pin/deck9pin.h>
#include <rb/serial.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

int openFds() {
    return int(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

}  // namespace

TEST(SerialPort, WritesRawBytesIncludingHighOnes) {
    PtyDeck pty;
    rb::SerialPort port;
    port.setIndex(rb::SerialPorts::add("raw", pty.path()));
    ASSERT_TRUE(port.open());
    for (std::string bytes : {std::string("\x20\x01\x21", 3), std::string("\x21\x23\x40\x84", 4),
                              std::string("\x21\x23\x85\xC9", 4), std::string("\x00", 1)}) {
        EXPECT_EQ(port.write(bytes), bytes.size());
        std::string got;
        waitUntil(
            [&] {
                got += pty.read();
                return got.size() >= bytes.size();
            },
            std::chrono::seconds(5));
        EXPECT_EQ(got, bytes);
    }
}

TEST(SerialPort, LineSettingsAre38400EightOddOneWithoutFlowControl) {
    PtyDeck pty;
    rb::SerialPort port;
    port.setIndex(rb::SerialPorts::add("settings", pty.path()));
    ASSERT_TRUE(port.open());
    termios t{};
    ASSERT_EQ(tcgetattr(port.fd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B38400);
    EXPECT_EQ(cfgetispeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    // Odd parity where the terminal keeps parity settings at all (many
    // pseudo-terminals drop them).
    if (t.c_cflag & PARENB) {
        EXPECT_TRUE(t.c_cflag & PARODD);
    }
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    EXPECT_FALSE(t.c_oflag & OPOST);  // raw: bytes go out unchanged
}

TEST(SerialPort, FailsSoftly) {
    rb::SerialPort port;
    port.setIndex(100000);
    EXPECT_FALSE(port.open());
    port.setIndex(-1);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.write("\x20\x00\x20"), 0u);  // not open: nothing, no crash
}

TEST(SerialPort, ReopeningClosesTheEarlierDescriptor) {
    PtyDeck pty;
    rb::SerialPort port;
    port.setIndex(rb::SerialPorts::add("reopen", pty.path()));
    ASSERT_TRUE(port.open());
    int before = openFds();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(port.open());
    EXPECT_EQ(openFds(), before);
}

TEST(SerialPort, WritesNeverBlockWhenNobodyReadsOrTheOtherEndIsGone) {
    auto *pty = new PtyDeck;
    rb::SerialPort port;
    port.setIndex(rb::SerialPorts::add("gone", pty->path()));
    ASSERT_TRUE(port.open());
    std::string chunk(4096, '\x20');
    size_t total = 0;
    for (int i = 0; i < 200; ++i) total += port.write(chunk);  // fills the buffer, then drops
    EXPECT_LT(total, chunk.size() * 200);
    delete pty;  // the other end closes: writes fail with an error, never hang
    EXPECT_EQ(port.write("\x20\x00\x20"), 0u);
    EXPECT_NE(port.lastError(), 0);
}

TEST(NinePinParser, CountsBadChecksumsAndResynchronises) {
    deck9pin::Deck deck;
    std::vector<std::string> lines;
    deck9pin::Parser parser([&](const deck9pin::Event &e) { lines.push_back(deck.apply(e)); });
    const uint8_t bytes[] = {0x20, 0x01, 0x21, 0x21, 0x23, 0x40, 0x85, 0xFF, 0x20, 0x00, 0x20};
    parser.feed(bytes, sizeof bytes);
    parser.flush();
    EXPECT_EQ(deck.state().commands, 2u);
    EXPECT_EQ(deck.state().badChecksums, 1u);
    EXPECT_EQ(deck.state().transport, deck9pin::Transport::Stop);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "20 01 21 PLAY");
}
