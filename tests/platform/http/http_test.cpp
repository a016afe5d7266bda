#include <rb/http.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "test_server.h"

namespace {

struct Outcome {
    int pages = 0;
    int errors = 0;
    std::string url;
    int status = 0;
    std::string headers;
    std::string content;
    rb::HTTPError error{};
    std::string message;
    bool done() const { return pages + errors > 0; }
};

class HTTPTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "*", 1);  // never route the loopback tests through a proxy
    }

    std::unique_ptr<rb::HTTPSocket> makeSocket(Outcome &out) {
        auto s = std::make_unique<rb::HTTPSocket>(engine);
        s->pageReceived = [&out](const std::string &url, int status, const std::string &headers,
                                 const std::string &content) {
            ++out.pages;
            out.url = url;
            out.status = status;
            out.headers = headers;
            out.content = content;
        };
        s->error = [&out](rb::HTTPError code, const std::string &msg) {
            ++out.errors;
            out.error = code;
            out.message = msg;
        };
        return s;
    }

    // Starts a GET and runs the loop until it ends; the result must never be
    // delivered inside get() itself.
    Outcome fetch(const std::string &url, const rb::HTTPLimits &limits = {}, int limitMs = 10000) {
        Outcome out;
        auto s = makeSocket(out);
        s->limits = limits;
        s->get(url);
        EXPECT_FALSE(out.done()) << "delivered inside get()";
        EXPECT_TRUE(loop.runUntil(
            engine, [&] { return out.done(); }, limitMs))
            << url;
        return out;
    }

    testsrv::Server server;
    testsrv::Loop loop;
    rb::HTTPEngine engine{loop.hooks()};
};

TEST_F(HTTPTest, PageWithStatusHeadersAndBody) {
    Outcome ok = fetch(server.url("/ok"));
    EXPECT_EQ(ok.pages, 1);
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.content, "1.0.3");
    EXPECT_EQ(ok.url, server.url("/ok"));
    EXPECT_NE(ok.headers.find("Content-Type: text/plain"), std::string::npos);
    EXPECT_EQ(ok.headers.find("HTTP/1.1"), std::string::npos);

    Outcome missing = fetch(server.url("/missing"));
    EXPECT_EQ(missing.pages, 1);
    EXPECT_EQ(missing.errors, 0);
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.content, "no such page");
    EXPECT_EQ(engine.activeTransfers(), 0u);
}

TEST_F(HTTPTest, ChunkedAndDrippingBodiesArriveWhole) {
    Outcome chunked = fetch(server.url("/chunked"));
    EXPECT_EQ(chunked.status, 200);
    EXPECT_EQ(chunked.content, "abcdef");

    Outcome drip = fetch(server.url("/drip"));
    EXPECT_EQ(drip.status, 200);
    EXPECT_EQ(drip.content, "abcdefghijklmnopqrst");
}

// A body that takes minutes to arrive: the loop keeps turning (and its
// other timers firing) while it comes in.
TEST_F(HTTPTest, SlowBodyDoesNotStallTheLoop) {
    loop.tickMs = 10;
    Outcome out;
    auto s = makeSocket(out);
    s->get(server.url("/slow"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return server.bytesSentOnSlow() >= 30 && loop.ticks >= 3; }, 10000))
        << "the loop stalled while the body came in";
    EXPECT_FALSE(out.done());
    EXPECT_TRUE(s->busy());
}

TEST_F(HTTPTest, ConnectionRefusedIsAnError) {
    Outcome out = fetch("http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/ok");
    EXPECT_EQ(out.pages, 0);
    EXPECT_EQ(out.errors, 1);
    EXPECT_EQ(out.error, rb::HTTPError::Connect);
    EXPECT_FALSE(out.message.empty());
}

// The time-out runs on the loop's clock: the request ends when that clock
// has moved on by the limit, not before, and the loop's other timers fire
// all the while.
TEST_F(HTTPTest, SilentServerTimesOutWithoutBlockingTheLoop) {
    loop.tickMs = 10;
    rb::HTTPLimits limits;
    limits.timeoutMs = 400;
    int64_t start = loop.nowMs;
    Outcome out = fetch(server.url("/silent"), limits);
    int64_t took = loop.nowMs - start;
    EXPECT_EQ(out.errors, 1);
    EXPECT_EQ(out.error, rb::HTTPError::Timeout);
    EXPECT_EQ(out.message, "no complete answer within 400 ms");
    EXPECT_GE(took, 400);
    EXPECT_LE(took, 401);
    EXPECT_GE(loop.ticks, 39) << "other timers must keep running during the wait";
    EXPECT_EQ(engine.activeTransfers(), 0u);
}

TEST_F(HTTPTest, BodyLimitIsEnforcedWithAndWithoutLength) {
    rb::HTTPLimits small;
    small.maxBodyBytes = 1000;
    EXPECT_EQ(fetch(server.url("/sized/1000"), small).content.size(), 1000u);
    EXPECT_EQ(fetch(server.url("/chunkedsized/1000"), small).content.size(), 1000u);

    Outcome declared = fetch(server.url("/sized/1001"), small);
    EXPECT_EQ(declared.pages, 0);
    EXPECT_EQ(declared.error, rb::HTTPError::TooLarge);
    Outcome chunked = fetch(server.url("/chunkedsized/1001"), small);
    EXPECT_EQ(chunked.pages, 0);
    EXPECT_EQ(chunked.error, rb::HTTPError::TooLarge);

    // The default limit is 1 MiB.
    EXPECT_EQ(fetch(server.url("/chunkedsized/1048576")).content.size(), 1048576u);
    EXPECT_EQ(fetch(server.url("/chunkedsized/1048577")).error, rb::HTTPError::TooLarge);
}

TEST_F(HTTPTest, RedirectsAreFollowedWithinBounds) {
    Outcome three = fetch(server.url("/redirect/3"));
    EXPECT_EQ(three.status, 200);
    EXPECT_EQ(three.content, "landed");
    EXPECT_EQ(three.headers.find("Location:"), std::string::npos) << "headers of an earlier hop";

    Outcome six = fetch(server.url("/redirect/6"));
    EXPECT_EQ(six.pages, 0);
    EXPECT_EQ(six.error, rb::HTTPError::TooManyRedirects);

    Outcome toFile = fetch(server.url("/tofile"));
    EXPECT_EQ(toFile.pages, 0);
    EXPECT_EQ(toFile.error, rb::HTTPError::BadURL);
}

TEST_F(HTTPTest, UnsafeOrForeignURLsAreRefusedFromTheLoop) {
    for (std::string url : {std::string(""), std::string("file:///etc/passwd"), std::string("ftp://127.0.0.1/"),
                            std::string("not a url"), server.url("/ok\r\nX-Injected: 1"), server.url("/o k")}) {
        Outcome out = fetch(url);
        EXPECT_EQ(out.pages, 0) << url;
        EXPECT_EQ(out.errors, 1) << url;
        EXPECT_EQ(out.error, rb::HTTPError::BadURL) << url;
    }
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(HTTPTest, HandlerRetryingAtOnceDoesNotStallTheLoop) {
    loop.tickMs = 5;
    int errors = 0;
    rb::HTTPSocket s(engine);
    s.error = [&](rb::HTTPError, const std::string &) {
        ++errors;
        s.get("bad url");
    };
    s.get("bad url");
    loop.runFor(engine, 100);
    EXPECT_GT(errors, 1);
    EXPECT_GT(loop.ticks, 3);
}

TEST_F(HTTPTest, OneSocketServesRequestsInARow) {
    Outcome out;
    auto s = makeSocket(out);
    std::vector<int> statuses;
    s->pageReceived = [&](const std::string &, int status, const std::string &, const std::string &) {
        statuses.push_back(status);
        if (statuses.size() == 1) s->get(server.url("/missing"));  // a new request from the event
    };
    s->get(server.url("/ok"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return statuses.size() == 2; }, 10000));
    s->get(server.url("/chunked"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return statuses.size() == 3; }, 10000));
    EXPECT_EQ(statuses, (std::vector<int>{200, 404, 200}));
    EXPECT_FALSE(s->busy());
}

TEST_F(HTTPTest, NewGetReplacesTheRequestInFlight) {
    Outcome out;
    auto s = makeSocket(out);
    s->get(server.url("/silent"));
    s->get(server.url("/ok"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return out.done(); }, 10000));
    loop.runFor(engine, 100);
    EXPECT_EQ(out.pages, 1);
    EXPECT_EQ(out.errors, 0);
    EXPECT_EQ(out.url, server.url("/ok"));
}

TEST_F(HTTPTest, SocketDestroyedMidTransferRaisesNothing) {
    Outcome out;
    auto s = makeSocket(out);
    s->get(server.url("/slow"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return server.bytesSentOnSlow() >= 30; }, 10000));
    s.reset();
    EXPECT_EQ(engine.activeTransfers(), 0u);
    loop.runFor(engine, 200);
    EXPECT_FALSE(out.done());
    EXPECT_EQ(loop.watched(), 0u) << "the aborted connection is still watched";
}

TEST_F(HTTPTest, SocketMayBeDestroyedInsideItsOwnEvent) {
    Outcome out;
    auto s = makeSocket(out);
    s->pageReceived = [&](const std::string &, int status, const std::string &, const std::string &c) {
        s.reset();  // the handler's own socket, and with it this handler
        out.status = status;
        out.content = c;
        ++out.pages;
    };
    s->get(server.url("/ok"));
    ASSERT_TRUE(loop.runUntil(
        engine, [&] { return out.done(); }, 10000));
    EXPECT_EQ(out.content, "1.0.3");
    EXPECT_EQ(s, nullptr);
}

TEST_F(HTTPTest, SocketDestroyedByAnotherSocketsEventIsNeverCalled) {
    int calls = 0;
    std::unique_ptr<rb::HTTPSocket> a = std::make_unique<rb::HTTPSocket>(engine);
    std::unique_ptr<rb::HTTPSocket> b = std::make_unique<rb::HTTPSocket>(engine);
    auto killOther = [&](std::unique_ptr<rb::HTTPSocket> &other) {
        return [&calls, &other](const std::string &, int, const std::string &, const std::string &) {
            ++calls;
            other.reset();
        };
    };
    a->pageReceived = killOther(b);
    b->pageReceived = killOther(a);
    a->get(server.url("/ok"));
    b->get(server.url("/ok"));
    loop.runUntil(
        engine, [&] { return calls > 0; }, 10000);
    loop.runFor(engine, 200);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE((a == nullptr) != (b == nullptr));
}

TEST_F(HTTPTest, SocketOutlivingItsEngineStaysQuiet) {
    Outcome out;
    testsrv::Loop loop2;
    auto engine2 = std::make_unique<rb::HTTPEngine>(loop2.hooks());
    auto s = std::make_unique<rb::HTTPSocket>(*engine2);
    s->error = [&](rb::HTTPError, const std::string &) { ++out.errors; };
    s->get(server.url("/silent"));
    engine2.reset();
    EXPECT_FALSE(s->busy());
    s->get(server.url("/ok"));  // nothing to run it on: ignored
    EXPECT_FALSE(s->busy());
    s.reset();
    EXPECT_EQ(out.errors, 0);
}

}  // namespace

TEST_F(HTTPTest, AnswersThatAreNotHTTPAreProtocolErrors) {
    for (const char *path : {"/http09", "/badversion", "/status000"}) {
        Outcome out = fetch(server.url(path));
        EXPECT_EQ(out.pages, 0) << path;
        EXPECT_EQ(out.errors, 1) << path;
        EXPECT_EQ(out.error, rb::HTTPError::Protocol) << path << ": " << out.message;
    }
    EXPECT_STREQ(rb::httpErrorName(rb::HTTPError::Protocol), "protocol error");
}
