#include "test_server.h"

#include "wait_until.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>

namespace testsrv {

namespace {

std::string chunk(const std::string &data) {
    char size[32];
    snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

const char *kChunkedHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n"
    "Connection: close\r\n\r\n";

}  // namespace

Server::Server()
    : server_([this](const LoopbackServer::Request &r, LoopbackServer::Reply &reply) { answer(r, reply); }) {}

void Server::answer(const LoopbackServer::Request &r, LoopbackServer::Reply &reply) {
    const std::string &path = r.path;
    auto number = [&](const std::string &prefix) { return std::stol(path.substr(prefix.size())); };

    if (path == "/ok") {
        reply.send(LoopbackServer::response(200, "OK", "1.0.3"));
    } else if (path == "/missing") {
        reply.send(LoopbackServer::response(404, "Not Found", "no such page"));
    } else if (path == "/silent") {
        reply.waitStop(10000);
    } else if (path == "/chunked") {
        reply.send(kChunkedHead);
        for (const char *piece : {"ab", "cde", "f"}) {
            if (reply.waitStop(20) || !reply.send(chunk(piece))) return;
        }
        reply.send("0\r\n\r\n");
    } else if (path == "/drip") {
        std::string head = LoopbackServer::response(200, "OK", std::string(20, ' '));
        reply.send(head.substr(0, head.size() - 20));
        for (int i = 0; i < 20; ++i) {
            if (reply.waitStop(15) || !reply.send(std::string(1, char('a' + i)))) return;
        }
    } else if (path == "/slow") {
        std::string head = LoopbackServer::response(200, "OK", std::string(100000, ' '));
        if (!reply.send(head.substr(0, head.size() - 100000))) return;
        for (int i = 0; i < 10000; ++i) {
            if (!reply.send(std::string(10, 's'))) return;
            slowBytes_ += 10;
            if (reply.waitStop(50)) return;
        }
    } else if (path.starts_with("/sized/")) {
        reply.send(LoopbackServer::response(200, "OK", std::string(static_cast<size_t>(number("/sized/")), 'x')));
    } else if (path.starts_with("/chunkedsized/")) {
        long left = number("/chunkedsized/");
        if (!reply.send(kChunkedHead)) return;
        while (left > 0) {
            long n = std::min(left, 16384L);
            if (!reply.send(chunk(std::string(static_cast<size_t>(n), 'x')))) return;
            left -= n;
        }
        reply.send("0\r\n\r\n");
    } else if (path.starts_with("/redirect/")) {
        long n = number("/redirect/");
        if (n <= 0) reply.send(LoopbackServer::response(200, "OK", "landed"));
        else
            reply.send(LoopbackServer::response(302, "Found", "moved",
                                                "Location: /redirect/" + std::to_string(n - 1) + "\r\n"));
    } else if (path == "/http09") {
        reply.send("just a body, no status line\r\n");
    } else if (path == "/badversion") {
        reply.send("HTTP/7.5 200 OK\r\nContent-Length: 2\r\n\r\nok");
    } else if (path == "/status000") {
        reply.send("HTTP/1.1 000 Nothing\r\nContent-Length: 2\r\n\r\nok");
    } else if (path == "/tofile") {
        reply.send(LoopbackServer::response(302, "Found", "moved", "Location: file:///etc/passwd\r\n"));
    } else {
        reply.send(LoopbackServer::response(404, "Not Found", "unknown route"));
    }
}

rb::LoopHooks Loop::hooks() {
    rb::LoopHooks h;
    h.watch = [this](int fd, short ev) { fds_[fd] = ev; };
    h.unwatch = [this](int fd) { fds_.erase(fd); };
    h.setTimer = [this](long ms) {
        if (ms < 0) timer_.reset();
        else timer_ = nowMs + ms;
    };
    h.nowMs = [this] { return nowMs; };
    return h;
}

// One pass: the clock moves on a millisecond, the sockets get a moment
// (none when the timer is due), then what is ready and what is due runs.
void Loop::runOnce(rb::HTTPEngine &engine) {
    ++nowMs;
    if (tickMs > 0 && !nextTick_) nextTick_ = nowMs + tickMs;
    std::vector<pollfd> pfds;
    for (auto [fd, ev] : fds_) pfds.push_back({fd, ev, 0});
    poll(pfds.data(), pfds.size(), timer_ && *timer_ <= nowMs ? 0 : 1);
    for (const pollfd &p : pfds) {
        auto it = fds_.find(p.fd);
        if (p.revents && it != fds_.end()) engine.socketReady(p.fd, p.revents);
    }
    if (timer_ && nowMs >= *timer_) {
        timer_.reset();
        engine.timerFired();
    }
    if (tickMs > 0 && nowMs >= *nextTick_) {
        ++ticks;
        nextTick_ = nowMs + tickMs;
    }
}

bool Loop::runUntil(rb::HTTPEngine &engine, const std::function<bool()> &done, int limitMs) {
    return pollUntil(done, std::chrono::milliseconds(limitMs), [&](int) { runOnce(engine); });
}

void Loop::runFor(rb::HTTPEngine &engine, int ms) {
    for (int i = 0; i < ms; ++i) runOnce(engine);
}

}  // namespace testsrv
