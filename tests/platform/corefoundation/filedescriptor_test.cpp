// File descriptors watched by the main run loop: read callbacks that fire
// once per enabling, on the host's fd, and what invalidation does.
#include "run_loop_clock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool fd_ready() {
    pollfd p{fw_runloop_fd(), POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

struct Log {
    int calls = 0;
    CFOptionFlags types = 0;
    bool invalidateInside = false;
};

void on_readable(CFFileDescriptorRef f, CFOptionFlags types, void *info) {
    auto *log = static_cast<Log *>(info);
    ++log->calls;
    log->types = types;
    if (log->invalidateInside) CFFileDescriptorInvalidate(f);
}

void poke(int efd) {
    uint64_t one = 1;
    ASSERT_EQ(write(efd, &one, sizeof one), ssize_t(sizeof one));
}

void drain(int efd) {
    uint64_t n;
    (void)!read(efd, &n, sizeof n);
}

struct Watched {
    Log log;
    int efd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    CFFileDescriptorRef f = nullptr;
    CFRunLoopSourceRef source = nullptr;
    explicit Watched(bool closeOnInvalidate) {
        CFFileDescriptorContext ctx{0, &log, nullptr, nullptr, nullptr};
        f = CFFileDescriptorCreate(nullptr, efd, closeOnInvalidate, on_readable, &ctx);
        source = CFFileDescriptorCreateRunLoopSource(nullptr, f, 0);
        CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopDefaultMode);
    }
    ~Watched() {
        CFFileDescriptorInvalidate(f);
        CFRelease(source);
        CFRelease(f);
    }
};

TEST(FileDescriptor, ReadCallbackFiresOncePerEnabling) {
    pump_now();
    Watched w(false);
    poke(w.efd);
    EXPECT_FALSE(fd_ready());  // readable, but the callback is not enabled
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    EXPECT_TRUE(fd_ready());
    EXPECT_EQ(fw_runloop_perform(), 1);
    EXPECT_EQ(w.log.calls, 1);
    EXPECT_EQ(w.log.types, kCFFileDescriptorReadCallBack);
    // Left unread, it does not fire again until enabled again.
    EXPECT_FALSE(fd_ready());
    EXPECT_EQ(pump_now(), 0);
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    ASSERT_TRUE(pump_until([&] { return w.log.calls == 2; }));
    // Enabled with nothing to read: it waits for data.
    drain(w.efd);
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    EXPECT_EQ(pump_now(), 0);
    poke(w.efd);
    ASSERT_TRUE(pump_until([&] { return w.log.calls == 3; }));
    // Disabled: nothing.
    drain(w.efd);
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    CFFileDescriptorDisableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    poke(w.efd);
    EXPECT_FALSE(fd_ready());
    EXPECT_EQ(w.log.calls, 3);
    close(w.efd);
}

TEST(FileDescriptor, OnlyWhileTheSourceIsInTheLoop) {
    pump_now();
    Watched w(false);
    CFRunLoopRemoveSource(CFRunLoopGetMain(), w.source, kCFRunLoopDefaultMode);
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    poke(w.efd);
    EXPECT_FALSE(fd_ready());
    CFRunLoopAddSource(CFRunLoopGetMain(), w.source, kCFRunLoopDefaultMode);
    ASSERT_TRUE(pump_until([&] { return w.log.calls == 1; }));
    close(w.efd);
}

TEST(FileDescriptor, InvalidationClosesWhenAskedAndEndsTheSource) {
    pump_now();
    Watched w(true);
    EXPECT_EQ(CFFileDescriptorGetNativeDescriptor(w.f), w.efd);
    // One source per descriptor; the source holds the descriptor.
    CFRunLoopSourceRef again = CFFileDescriptorCreateRunLoopSource(nullptr, w.f, 0);
    EXPECT_EQ(again, w.source);
    CFRelease(again);
    EXPECT_EQ(CFGetRetainCount(w.f), 2);
    // A callback may invalidate its own descriptor.
    w.log.invalidateInside = true;
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);
    poke(w.efd);
    ASSERT_TRUE(pump_until([&] { return w.log.calls == 1; }));
    EXPECT_FALSE(CFFileDescriptorIsValid(w.f));
    EXPECT_FALSE(CFRunLoopSourceIsValid(w.source));
    EXPECT_FALSE(CFRunLoopContainsSource(CFRunLoopGetMain(), w.source, kCFRunLoopDefaultMode));
    EXPECT_EQ(fcntl(w.efd, F_GETFD), -1);  // closed
    EXPECT_EQ(errno, EBADF);
    CFFileDescriptorEnableCallBacks(w.f, kCFFileDescriptorReadCallBack);  // nothing
    EXPECT_EQ(CFFileDescriptorCreateRunLoopSource(nullptr, w.f, 0), nullptr);
    EXPECT_EQ(pump_now(), 0);
}

TEST(FileDescriptor, BadArgumentsMakeNothing) {
    auto cb = [](CFFileDescriptorRef, CFOptionFlags, void *) {};
    EXPECT_EQ(CFFileDescriptorCreate(nullptr, -1, false, cb, nullptr), nullptr);
    EXPECT_EQ(CFFileDescriptorCreate(nullptr, 0, false, nullptr, nullptr), nullptr);
    EXPECT_EQ(CFFileDescriptorGetNativeDescriptor(nullptr), -1);
    EXPECT_FALSE(CFFileDescriptorIsValid(nullptr));
    EXPECT_EQ(CFFileDescriptorCreateRunLoopSource(nullptr, nullptr, 0), nullptr);
}

}  // namespace
