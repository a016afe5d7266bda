// An HTTP server on 127.0.0.1 for tests, on threads of its own. Each
// connection's request head is read (bounded in size and in quiet time),
// then the test's `answer` writes the response from that connection's own
// thread, and the connection is closed.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackServer {
public:
    struct Request {
        std::string method;
        std::string path;
        std::string head;  // the whole request head
    };
    // The connection being answered.
    class Reply {
    public:
        Reply(LoopbackServer &server, int fd) : server_(server), fd_(fd) {}
        // Writes all of `data`; false once the peer is gone or the server stops.
        bool send(const std::string &data);
        // Waits up to `ms` of the machine's clock; true when the server is
        // stopping (the answer should end).
        bool waitStop(int ms);

    private:
        LoopbackServer &server_;
        int fd_;
    };
    using Answer = std::function<void(const Request &, Reply &)>;

    explicit LoopbackServer(Answer answer);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    int port() const { return port_; }
    std::string url(const std::string &path = "") const;
    // Requests whose head was read so far.
    int requests() const { return requests_; }

    // A whole response: the status line, Content-Length, Connection: close,
    // `extraHeaders` (each ending in CRLF), then the body.
    static std::string response(int status, const std::string &reason, const std::string &body,
                                const std::string &extraHeaders = "");

private:
    void acceptLoop();
    void serve(int fd);

    Answer answer_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
};

// A port on 127.0.0.1 that nothing listens on.
int closedLoopbackPort();
