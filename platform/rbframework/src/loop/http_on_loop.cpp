// The process's HTTP engine on the runtime's main loop: its sockets are
// loop sources, its time-outs one loop timer, and its clock the runtime's.
#include <rb/httpengine.h>
#include <rb/loop.h>

namespace rb {

HTTPEngine &httpEngine() {
    static uint64_t timer = 0;
    static HTTPEngine *engine = new HTTPEngine(LoopHooks{
        [](int fd, short events) {
            removeSource(fd);
            addSource(fd, events, [fd](short revents) { httpEngine().socketReady(fd, revents); });
        },
        [](int fd) { removeSource(fd); },
        [](long ms) {
            if (timer) cancel(timer);
            timer = 0;
            if (ms >= 0)
                timer = postAfter(int(ms), [] {
                    timer = 0;
                    httpEngine().timerFired();
                });
        },
        [] { return microseconds() / 1000; },
    });
    return *engine;
}

}  // namespace rb
