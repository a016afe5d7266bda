#include "test_server.h"

#include "wait_until.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace testsrv {

namespace {

int bindLoopback(int &port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("socket");
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) throw std::runtime_error("bind");
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

std::string response(int status, const std::string &reason, const std::string &body, const std::string &extra = "") {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

std::string chunk(const std::string &data) {
    char size[32];
    snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

const char *kChunkedHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n"
    "Connection: close\r\n\r\n";

}  // namespace

Server::Server() {
    listenFd_ = bindLoopback(port_);
    listen(listenFd_, 64);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

Server::~Server() {
    stop_ = true;
    acceptor_.join();
    close(listenFd_);
    std::lock_guard lock(mutex_);
    for (auto &w : workers_) w.join();
}

std::string Server::url(const std::string &path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }

void Server::acceptLoop() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] {
            serve(fd);
            close(fd);
        });
    }
}

bool Server::waitStop(int ms) {
    return waitUntil([this] { return stop_.load(); }, std::chrono::milliseconds(ms));
}

bool Server::sendAll(int fd, const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        if (stop_) return false;
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

void Server::serve(int fd) {
    // Read the request head, bounded in size and in quiet waits (5 s).
    std::string req;
    int quiet = 0;
    while (req.find("\r\n\r\n") == std::string::npos) {
        if (stop_ || quiet > 250 || req.size() > 16384) return;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) {
            ++quiet;
            continue;
        }
        char buf[2048];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        req.append(buf, static_cast<size_t>(n));
    }
    ++requests_;
    size_t sp1 = req.find(' ');
    size_t sp2 = req.find(' ', sp1 + 1);
    std::string path = req.substr(sp1 + 1, sp2 - sp1 - 1);
    auto number = [&](const std::string &prefix) { return std::stol(path.substr(prefix.size())); };

    if (path == "/ok") {
        sendAll(fd, response(200, "OK", "1.0.3"));
    } else if (path == "/missing") {
        sendAll(fd, response(404, "Not Found", "no such page"));
    } else if (path == "/silent") {
        waitStop(10000);
    } else if (path == "/chunked") {
        sendAll(fd, kChunkedHead);
        for (const char *piece : {"ab", "cde", "f"}) {
            if (waitStop(20) || !sendAll(fd, chunk(piece))) return;
        }
        sendAll(fd, "0\r\n\r\n");
    } else if (path == "/drip") {
        std::string head = response(200, "OK", std::string(20, ' '));
        sendAll(fd, head.substr(0, head.size() - 20));
        for (int i = 0; i < 20; ++i) {
            if (waitStop(15) || !sendAll(fd, std::string(1, char('a' + i)))) return;
        }
    } else if (path == "/slow") {
        std::string head = response(200, "OK", std::string(100000, ' '));
        if (!sendAll(fd, head.substr(0, head.size() - 100000))) return;
        for (int i = 0; i < 10000; ++i) {
            if (!sendAll(fd, std::string(10, 's'))) return;
            slowBytes_ += 10;
            if (waitStop(50)) return;
        }
    } else if (path.starts_with("/sized/")) {
        sendAll(fd, response(200, "OK", std::string(static_cast<size_t>(number("/sized/")), 'x')));
    } else if (path.starts_with("/chunkedsized/")) {
        long left = number("/chunkedsized/");
        if (!sendAll(fd, kChunkedHead)) return;
        while (left > 0) {
            long n = std::min(left, 16384L);
            if (!sendAll(fd, chunk(std::string(static_cast<size_t>(n), 'x')))) return;
            left -= n;
        }
        sendAll(fd, "0\r\n\r\n");
    } else if (path.starts_with("/redirect/")) {
        long n = number("/redirect/");
        if (n <= 0) sendAll(fd, response(200, "OK", "landed"));
        else sendAll(fd, response(302, "Found", "moved", "Location: /redirect/" + std::to_string(n - 1) + "\r\n"));
    } else if (path == "/http09") {
        sendAll(fd, "just a body, no status line\r\n");
    } else if (path == "/badversion") {
        sendAll(fd, "HTTP/7.5 200 OK\r\nContent-Length: 2\r\n\r\nok");
    } else if (path == "/status000") {
        sendAll(fd, "HTTP/1.1 000 Nothing\r\nContent-Length: 2\r\n\r\nok");
    } else if (path == "/tofile") {
        sendAll(fd, response(302, "Found", "moved", "Location: file:///etc/passwd\r\n"));
    } else {
        sendAll(fd, response(404, "Not Found", "unknown route"));
    }
    shutdown(fd, SHUT_WR);
}

int closedPort() {
    int port = 0;
    int fd = bindLoopback(port);
    close(fd);  // bound but never listened on, then released
    return port;
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
