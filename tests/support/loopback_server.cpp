#include "loopback_server.h"

#include "wait_until.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

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

constexpr int kPollMs = 20;       // how often the threads look at the stop flag
constexpr int kQuietPolls = 250;  // 5 s without a byte of the request head
constexpr size_t kHeadLimit = 16384;

}  // namespace

LoopbackServer::LoopbackServer(Answer answer) : answer_(std::move(answer)) {
    listenFd_ = bindLoopback(port_);
    listen(listenFd_, 64);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    acceptor_.join();
    close(listenFd_);
    std::lock_guard lock(mutex_);
    for (auto &w : workers_) w.join();
}

std::string LoopbackServer::url(const std::string &path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LoopbackServer::response(int status, const std::string &reason, const std::string &body,
                                     const std::string &extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

void LoopbackServer::acceptLoop() {
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0) continue;
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] {
            serve(fd);
            close(fd);
        });
    }
}

void LoopbackServer::serve(int fd) {
    std::string head;
    int quiet = 0;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (stop_ || quiet > kQuietPolls || head.size() > kHeadLimit) return;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kPollMs) <= 0) {
            ++quiet;
            continue;
        }
        char buf[2048];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;
        head.append(buf, static_cast<size_t>(n));
    }
    Request r;
    size_t sp1 = head.find(' ');
    size_t sp2 = head.find(' ', sp1 + 1);
    r.method = head.substr(0, sp1);
    r.path = sp1 == std::string::npos ? std::string() : head.substr(sp1 + 1, sp2 - sp1 - 1);
    r.head = head;
    ++requests_;
    Reply reply(*this, fd);
    answer_(r, reply);
    shutdown(fd, SHUT_WR);
}

bool LoopbackServer::Reply::send(const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        if (server_.stop_) return false;
        ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool LoopbackServer::Reply::waitStop(int ms) {
    return waitUntil([this] { return server_.stop_.load(); }, std::chrono::milliseconds(ms));
}

int closedLoopbackPort() {
    int port = 0;
    int fd = bindLoopback(port);
    close(fd);  // bound but never listened on, then released
    return port;
}
