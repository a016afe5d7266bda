#include "rb/http.h"

#include <curl/curl.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <set>

namespace rb {

const char *httpErrorName(HTTPError e) {
    switch (e) {
        case HTTPError::BadURL:
            return "bad URL";
        case HTTPError::Resolve:
            return "host not found";
        case HTTPError::Connect:
            return "connection failed";
        case HTTPError::Timeout:
            return "timed out";
        case HTTPError::TooLarge:
            return "response too large";
        case HTTPError::TooManyRedirects:
            return "too many redirects";
        case HTTPError::Transfer:
            return "transfer failed";
        case HTTPError::Protocol:
            return "protocol error";
    }
    return "unknown";
}

struct HTTPSocket::Transfer {
    HTTPSocket *owner = nullptr;
    CURL *easy = nullptr;
    std::string url;
    int64_t deadlineMs = 0;  // on the loop's clock: the request times out then
    long timeoutMs = 0;
    std::string headers;
    std::string body;
    std::size_t maxBody = 0;
    bool tooLarge = false;
    // Set when the request never reached curl; reported from the loop.
    bool early = false;
    HTTPError earlyCode = HTTPError::Transfer;
    std::string earlyMessage;
    char errbuf[CURL_ERROR_SIZE] = {};

    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
    }
};

struct HTTPEngine::Impl {
    LoopHooks hooks;
    CURLM *multi = nullptr;
    std::set<HTTPSocket *> sockets;
    std::deque<HTTPSocket::Transfer *> failed;  // early failures waiting for the loop
    std::optional<int64_t> deadline;            // curl's next time-out, on the loop's clock

    int64_t now() const {
        if (hooks.nowMs) return hooks.nowMs();
        auto t = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::milliseconds>(t).count();
    }

    // The earliest moment something is due: curl's time-out or a request's.
    std::optional<int64_t> nextDue() const {
        std::optional<int64_t> due = deadline;
        for (HTTPSocket *s : sockets) {
            HTTPSocket::Transfer *t = s->transfer_;
            if (t && !t->early && (!due || t->deadlineMs < *due)) due = t->deadlineMs;
        }
        return due;
    }

    void armTimer() {
        long ms = -1;
        if (!failed.empty()) {
            ms = 0;
        } else if (std::optional<int64_t> due = nextDue()) {
            ms = static_cast<long>(std::max<int64_t>(0, *due - now()));
        }
        if (hooks.setTimer) hooks.setTimer(ms);
    }

    // Curl's own view of its next time-out, taken after every action so that
    // a timer that fired a hair early is not lost.
    void refreshDeadline() {
        long ms = -1;
        if (curl_multi_timeout(multi, &ms) != CURLM_OK || ms < 0) deadline.reset();
        else deadline = now() + ms;
        armTimer();
    }

    // Ends the requests whose time is up, one at a time (a callback may
    // cancel or destroy other sockets).
    void expire() {
        for (;;) {
            int64_t t = now();
            HTTPSocket::Transfer *late = nullptr;
            for (HTTPSocket *s : sockets)
                if (s->transfer_ && !s->transfer_->early && s->transfer_->deadlineMs <= t) late = s->transfer_;
            if (!late) return;
            curl_multi_remove_handle(multi, late->easy);
            finishTimedOut(late);
        }
    }

    void action(curl_socket_t fd, int flags) {
        int running = 0;
        curl_multi_socket_action(multi, fd, flags, &running);
        drain();
        refreshDeadline();
    }

    // Hands every finished transfer to its socket, one at a time: a callback
    // may cancel or destroy other sockets, which takes their messages out of
    // curl's queue.
    void drain() {
        int left = 0;
        while (CURLMsg *m = curl_multi_info_read(multi, &left)) {
            if (m->msg != CURLMSG_DONE) continue;
            HTTPSocket::Transfer *t = nullptr;
            curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char **>(&t));
            CURLcode rc = m->data.result;
            curl_multi_remove_handle(multi, m->easy_handle);
            finish(t, rc);
        }
    }

    static HTTPError mapError(CURL *easy, CURLcode rc, bool tooLarge) {
        switch (rc) {
            case CURLE_UNSUPPORTED_PROTOCOL: {
                // Curl says this both of a scheme it may not use and of a server
                // that answered without a status line it knows (HTTP/0.9, an
                // unknown version): only the second reached a server and got no
                // status.
                const char *ip = nullptr;
                long status = 0;
                curl_easy_getinfo(easy, CURLINFO_PRIMARY_IP, &ip);
                curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
                return ip && *ip && status == 0 ? HTTPError::Protocol : HTTPError::BadURL;
            }
            case CURLE_WEIRD_SERVER_REPLY:
            case CURLE_HTTP2:
            case CURLE_HTTP2_STREAM:
                return HTTPError::Protocol;
            case CURLE_URL_MALFORMAT:
                return HTTPError::BadURL;
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return HTTPError::Resolve;
            case CURLE_COULDNT_CONNECT:
                return HTTPError::Connect;
            case CURLE_OPERATION_TIMEDOUT:
                return HTTPError::Timeout;
            case CURLE_FILESIZE_EXCEEDED:
                return HTTPError::TooLarge;
            case CURLE_TOO_MANY_REDIRECTS:
                return HTTPError::TooManyRedirects;
            case CURLE_WRITE_ERROR:
                return tooLarge ? HTTPError::TooLarge : HTTPError::Transfer;
            default:
                return HTTPError::Transfer;
        }
    }

    // Detaches the transfer from its socket before any callback runs, and
    // calls a copy of the callback so the socket may be destroyed inside it.
    void finish(HTTPSocket::Transfer *t, CURLcode rc) {
        HTTPSocket *s = t->owner;
        s->transfer_ = nullptr;
        std::string url = std::move(t->url);
        if (t->early) {
            HTTPError code = t->earlyCode;
            std::string msg = std::move(t->earlyMessage);
            delete t;
            HTTPSocket::Error cb = s->error;
            if (cb) cb(code, msg);
            return;
        }
        if (rc == CURLE_OK) {
            long status = 0;
            curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
            std::string headers = std::move(t->headers);
            std::string body = std::move(t->body);
            delete t;
            HTTPSocket::PageReceived cb = s->pageReceived;
            if (cb) cb(url, static_cast<int>(status), headers, body);
            return;
        }
        HTTPError code = mapError(t->easy, rc, t->tooLarge);
        std::string msg = code == HTTPError::TooLarge ? std::string("response body exceeds the limit")
                          : t->errbuf[0]              ? std::string(t->errbuf)
                                                      : std::string(curl_easy_strerror(rc));
        delete t;
        HTTPSocket::Error cb = s->error;
        if (cb) cb(code, msg);
    }

    static int onSocket(CURL *, curl_socket_t fd, int what, void *user, void *) {
        auto *d = static_cast<Impl *>(user);
        if (what == CURL_POLL_REMOVE) {
            if (d->hooks.unwatch) d->hooks.unwatch(fd);
        } else {
            short ev = 0;
            if (what & CURL_POLL_IN) ev |= POLLIN;
            if (what & CURL_POLL_OUT) ev |= POLLOUT;
            if (d->hooks.watch) d->hooks.watch(fd, ev);
        }
        return 0;
    }

    static int onTimer(CURLM *, long ms, void *user) {
        auto *d = static_cast<Impl *>(user);
        if (ms < 0) d->deadline.reset();
        else d->deadline = d->now() + ms;
        d->armTimer();
        return 0;
    }

    void finishTimedOut(HTTPSocket::Transfer *t) {
        HTTPSocket *s = t->owner;
        s->transfer_ = nullptr;
        std::string msg = "no complete answer within " + std::to_string(t->timeoutMs) + " ms";
        delete t;
        HTTPSocket::Error cb = s->error;
        if (cb) cb(HTTPError::Timeout, msg);
    }
};

namespace {

std::once_flag curlInitOnce;

size_t onBody(char *data, size_t size, size_t n, void *user) {
    auto *t = static_cast<HTTPSocket::Transfer *>(user);
    size_t len = size * n;
    if (len > t->maxBody - t->body.size()) {
        t->tooLarge = true;
        return 0;  // curl stops with a write error
    }
    t->body.append(data, len);
    return len;
}

// Keeps the header lines of the last response only: a redirect or an
// interim response starts over at its status line.
size_t onHeader(char *data, size_t size, size_t n, void *user) {
    auto *t = static_cast<HTTPSocket::Transfer *>(user);
    size_t len = size * n;
    std::string_view line(data, len);
    if (line.starts_with("HTTP/")) {
        t->headers.clear();
    } else if (line != "\r\n" && line != "\n") {
        if (t->headers.size() + len > 256 * 1024) return 0;  // absurd header block
        t->headers.append(line);
    }
    return len;
}

bool hasControlOrSpace(const std::string &s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7f;
    });
}

}  // namespace

HTTPEngine::HTTPEngine(LoopHooks hooks) : d(std::make_unique<Impl>()) {
    std::call_once(curlInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    d->hooks = std::move(hooks);
    d->multi = curl_multi_init();
    curl_multi_setopt(d->multi, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
    curl_multi_setopt(d->multi, CURLMOPT_SOCKETDATA, d.get());
    curl_multi_setopt(d->multi, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
    curl_multi_setopt(d->multi, CURLMOPT_TIMERDATA, d.get());
}

HTTPEngine::~HTTPEngine() {
    for (HTTPSocket *s : std::set<HTTPSocket *>(d->sockets)) {
        s->cancel();
        s->engine_ = nullptr;
    }
    curl_multi_cleanup(d->multi);
    if (d->hooks.setTimer) d->hooks.setTimer(-1);
}

void HTTPEngine::socketReady(int fd, short revents) {
    int flags = 0;
    if (revents & POLLIN) flags |= CURL_CSELECT_IN;
    if (revents & POLLOUT) flags |= CURL_CSELECT_OUT;
    if (revents & POLLHUP) flags |= CURL_CSELECT_IN;  // let curl read the end
    if (revents & (POLLERR | POLLNVAL)) flags |= CURL_CSELECT_ERR;
    d->action(fd, flags);
}

void HTTPEngine::timerFired() {
    // Only what was queued before this turn: a handler that retries at once
    // is served on the next turn, so the loop keeps running.
    for (std::size_t n = d->failed.size(); n > 0 && !d->failed.empty(); --n) {
        HTTPSocket::Transfer *t = d->failed.front();
        d->failed.pop_front();
        d->finish(t, CURLE_OK);
    }
    d->expire();
    d->action(CURL_SOCKET_TIMEOUT, 0);
}

std::size_t HTTPEngine::activeTransfers() const {
    std::size_t n = 0;
    for (HTTPSocket *s : d->sockets)
        if (s->busy()) ++n;
    return n;
}

HTTPSocket::HTTPSocket(HTTPEngine &engine) : engine_(engine.d.get()) { engine_->sockets.insert(this); }

HTTPSocket::~HTTPSocket() {
    cancel();
    if (engine_) engine_->sockets.erase(this);
}

bool HTTPSocket::busy() const { return transfer_ != nullptr; }

void HTTPSocket::cancel() {
    Transfer *t = transfer_;
    if (!t) return;
    transfer_ = nullptr;
    if (t->early) {
        auto &q = engine_->failed;
        q.erase(std::remove(q.begin(), q.end(), t), q.end());
    } else {
        curl_multi_remove_handle(engine_->multi, t->easy);
    }
    delete t;
    engine_->armTimer();
}

void HTTPSocket::get(const std::string &url) {
    cancel();
    if (!engine_) return;  // the engine is gone: nothing could ever deliver

    auto *t = new Transfer;
    t->owner = this;
    t->url = url;
    t->maxBody = limits.maxBodyBytes;
    transfer_ = t;

    auto failEarly = [&](HTTPError code, std::string msg) {
        if (t->easy) {
            curl_easy_cleanup(t->easy);
            t->easy = nullptr;
        }
        t->early = true;
        t->earlyCode = code;
        t->earlyMessage = std::move(msg);
        engine_->failed.push_back(t);
        engine_->armTimer();
    };

    // Control bytes or spaces could split the request line; refuse them here
    // rather than trust every parser downstream.
    if (url.empty() || hasControlOrSpace(url)) return failEarly(HTTPError::BadURL, "malformed URL");

    t->easy = curl_easy_init();
    if (!t->easy) return failEarly(HTTPError::Transfer, "out of memory");
    CURL *e = t->easy;
    bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    if (!ok) return failEarly(HTTPError::BadURL, "malformed URL");

    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, limits.maxRedirects > 0 ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, std::max(0L, limits.maxRedirects));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, limits.connectTimeoutMs));
    // The whole request's time-out is the engine's, on the loop's clock.
    t->timeoutMs = std::max(1L, limits.timeoutMs);
    t->deadlineMs = engine_->now() + t->timeoutMs;
    constexpr auto maxOff = static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max());
    if (limits.maxBodyBytes < maxOff)
        curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errbuf);
    curl_easy_setopt(e, CURLOPT_PRIVATE, t);
    curl_easy_setopt(e, CURLOPT_USERAGENT, "rbframework-http/1.0");

    if (curl_multi_add_handle(engine_->multi, e) != CURLM_OK)
        return failEarly(HTTPError::Transfer, "could not start the request");
    engine_->armTimer();
}

}  // namespace rb
