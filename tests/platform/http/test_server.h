// A small threaded HTTP/1.1 server on 127.0.0.1 for the socket tests, and a
// poll() loop that plays the host's main loop.
#pragma once

#include "loopback_server.h"

#include <rb/http.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsrv {

// Routes:
//   /ok                 200 "1.0.3"
//   /missing            404 "no such page"
//   /silent             reads the request and never answers
//   /chunked            chunked body "abcdef" in three pieces
//   /drip               20 bytes, one every 15 ms, with Content-Length
//   /slow               Content-Length 100000, 10 bytes every 50 ms
//   /sized/N            N bytes 'x' with Content-Length
//   /chunkedsized/N     N bytes 'x' chunked, 16 KiB a chunk
//   /redirect/N         302 to /redirect/N-1; /redirect/0 is 200 "landed"
//   /tofile             302 to file:///etc/passwd
//   /http09, /badversion, /status000   answers without a sound status line
class Server {
public:
    Server();
    int port() const { return server_.port(); }
    std::string url(const std::string &path) const { return server_.url(path); }
    int requests() const { return server_.requests(); }
    int bytesSentOnSlow() const { return slowBytes_; }

private:
    void answer(const LoopbackServer::Request &r, LoopbackServer::Reply &reply);

    std::atomic<int> slowBytes_{0};
    LoopbackServer server_;  // last: its threads stop before the rest goes
};

// The host's main loop on a clock of its own, which moves a millisecond
// with every pass and never by itself: the engine's timer and the requests'
// time-outs follow it. Between passes the loop waits a moment for the
// sockets (the server runs on real time).
class Loop {
public:
    rb::LoopHooks hooks();
    // Runs until done() holds, for at most limitMs of real time; returns done().
    bool runUntil(rb::HTTPEngine &engine, const std::function<bool()> &done, int limitMs);
    // Runs for `ms` of the loop's clock.
    void runFor(rb::HTTPEngine &engine, int ms);

    int64_t nowMs = 1000;  // the loop's clock
    // An unrelated repeating timer, to show the loop keeps turning.
    int tickMs = 0;
    int ticks = 0;
    std::size_t watched() const { return fds_.size(); }

private:
    void runOnce(rb::HTTPEngine &engine);
    std::map<int, short> fds_;
    std::optional<int64_t> timer_;
    std::optional<int64_t> nextTick_;
};

}  // namespace testsrv
