// The framework's HTTP client socket.
//
// Transfers run on the host's main loop: an HTTPEngine owns libcurl's multi
// handle and tells the loop, through LoopHooks, which file descriptors to
// watch and when to fire its one timer; the loop hands readiness and the
// timer back with socketReady() and timerFired(). Nothing ever blocks, and
// every event of an HTTPSocket is raised from one of those two calls, never
// from inside get().
//
// Everything here belongs to the main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rb {

// What the engine needs of a main loop. `watch` is called again for an fd
// already watched when the wanted events change (it replaces them);
// `setTimer` arms the single one-shot timer, replacing the previous one,
// and -1 cancels it. Events use poll()'s POLLIN/POLLOUT bits. `nowMs` is
// the loop's clock, which the timer and the requests' time-outs follow
// (none: the machine's monotonic clock).
struct LoopHooks {
    std::function<void(int fd, short events)> watch;
    std::function<void(int fd)> unwatch;
    std::function<void(long ms)> setTimer;
    std::function<int64_t()> nowMs;
};

enum class HTTPError {
    BadURL = 1,  // malformed, or a scheme other than http/https
    Resolve,     // host name not found
    Connect,     // connection refused or unreachable
    Timeout,     // connect or total time-out
    TooLarge,    // body beyond the socket's limit
    TooManyRedirects,
    Transfer,  // connection lost, anything else
    Protocol,  // the server's answer is not HTTP (no or a bad status line)
};

const char *httpErrorName(HTTPError e);

// Bounds applied to each request; change them before get().
struct HTTPLimits {
    long connectTimeoutMs = 10000;
    long timeoutMs = 30000;  // whole request, redirects included, on the loop's clock
    std::size_t maxBodyBytes = 1 << 20;
    long maxRedirects = 5;
};

class HTTPSocket;

class HTTPEngine {
public:
    explicit HTTPEngine(LoopHooks hooks);
    ~HTTPEngine();  // cancels what is still running; sockets left behind go idle
    HTTPEngine(const HTTPEngine &) = delete;
    HTTPEngine &operator=(const HTTPEngine &) = delete;

    // The loop calls these; revents are poll() bits.
    void socketReady(int fd, short revents);
    void timerFired();

    std::size_t activeTransfers() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
    friend class HTTPSocket;
};

class HTTPSocket {
public:
    // url is the one passed to get(); headers are the final response's header
    // lines as received (status line and closing blank line left out).
    using PageReceived =
        std::function<void(const std::string &url, int status, const std::string &headers, const std::string &content)>;
    using Error = std::function<void(HTTPError code, const std::string &message)>;

    explicit HTTPSocket(HTTPEngine &engine);
    ~HTTPSocket();  // cancels a running request; no event follows
    HTTPSocket(const HTTPSocket &) = delete;
    HTTPSocket &operator=(const HTTPSocket &) = delete;

    PageReceived pageReceived;
    Error error;
    HTTPLimits limits;

    // Starts an asynchronous GET; a request still running on this socket is
    // cancelled first. Any HTTP status is a received page; only transport
    // failures go to `error`.
    void get(const std::string &url);
    void cancel();
    bool busy() const;

    struct Transfer;

private:
    HTTPEngine::Impl *engine_;
    Transfer *transfer_ = nullptr;
    friend struct HTTPEngine::Impl;
    friend class HTTPEngine;
};

}  // namespace rb
