#include "pty_deck.h"

#include <deck9pin/deck9pin.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

PtyDeck::PtyDeck() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
    if (master_ < 0) return;
    grantpt(master_);
    unlockpt(master_);
    fcntl(master_, F_SETFL, O_NONBLOCK);
    path_ = ptsname(master_);
}

PtyDeck::~PtyDeck() {
    if (master_ >= 0) close(master_);
}

std::string PtyDeck::read() {
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    return out;
}

std::vector<std::string> PtyDeck::commands() {
    deck9pin::Deck deck;
    std::vector<std::string> lines;
    deck9pin::Parser parser([&](const deck9pin::Event &e) {
        lines.push_back(deck.apply(e));
        if (e.kind != deck9pin::Event::Frame) ++bad;
    });
    std::string bytes = read();
    parser.feed(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    parser.flush();
    log.insert(log.end(), lines.begin(), lines.end());
    return lines;
}
