// Cooperative threads over OS threads, taking turns with the baton
// (baton.cpp): the framework class "Thread", yields and sleeps, and the
// sleepers the loop wakes.
#include "core.h"
#include "loop/scheduler.h"

#include <rb/exception.h>
#include <rb/loop.h>
#include <rb/thread.h>

#include <atomic>
#include <climits>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>
#include <time.h>

namespace rb {

struct ThreadControl {
    std::atomic<ThreadState> state{ThreadState::NotStarted};
    REALobject object = nullptr;  // while it runs
};

namespace {

struct Running {
    std::shared_ptr<ThreadControl> ctl;
    std::thread os;
};
std::mutex gListMu;
std::list<Running> gThreads;
std::atomic<bool> gStopping{false};
std::mutex gSleepMu;
std::condition_variable gSleepCv;
// The cooperative threads parked until the loop wakes them.
std::list<core::Sleeper *> gSleepers;
bool gMainAway = false;  // under gSleepMu: no loop pass wakes them meanwhile
thread_local ThreadControl *tCurrent = nullptr;

}  // namespace

void core::reapThreads() {
    std::lock_guard lk(gListMu);
    for (auto it = gThreads.begin(); it != gThreads.end();) {
        if (it->ctl->state == ThreadState::Done) {
            it->os.join();
            it = gThreads.erase(it);
        } else {
            ++it;
        }
    }
}

void core::defineThreadClass(Classes &c) {
    c.thread = defineClass<ThreadFields>("Thread");
    ClassInfo *th = c.thread;
    addHostProperty(th, "State", "integer", [](REALobject o) -> Value { return int64_t(threadState(o)); });
    addHostProperty(
        th, "Priority", "integer",
        [th](REALobject o) -> Value { return int64_t(fields<ThreadFields>(o, th)->priority); },
        [th](REALobject o, const Value &v) {
            if (auto *i = std::get_if<int64_t>(&v)) fields<ThreadFields>(o, th)->priority = int32_t(*i);
        });
}

ClassInfo *threadClass() { return core::classes().thread; }

ObjRef newThread(std::function<void(REALobject)> body) {
    ObjRef t = make(threadClass());
    fields<ThreadFields>(t.get(), threadClass())->body = std::move(body);
    return t;
}

ThreadState threadState(REALobject thread) {
    auto *f = fields<ThreadFields>(thread, threadClass());
    return f->ctl ? f->ctl->state.load() : ThreadState::NotStarted;
}

bool inCooperativeThread() { return tCurrent != nullptr; }

REALobject currentThreadObject() { return tCurrent ? tCurrent->object : nullptr; }

void startThread(REALobject thread) {
    auto *f = fields<ThreadFields>(thread, threadClass());
    if (f->ctl && (f->ctl->state == ThreadState::Running || f->ctl->state == ThreadState::Sleeping)) return;
    auto ctl = std::make_shared<ThreadControl>();
    f->ctl = ctl;
    ctl->state = ThreadState::Running;
    ctl->object = thread;
    retain(thread);  // the running thread keeps its object alive
    std::function<void(REALobject)> body = f->body;
    if (void *own = instanceHandler(thread, "Run"))
        body = [own](REALobject o) { reinterpret_cast<void (*)(REALobject)>(own)(o); };
    // The ticket is taken here, so threads first run in the order started.
    uint64_t ticket = core::takeTicket();
    std::lock_guard lk(gListMu);
    gThreads.push_back({ctl, std::thread([ctl, thread, body, ticket] {
                            core::waitForTurn(ticket);
                            tCurrent = ctl.get();
                            if (!gStopping && body) {
                                try {
                                    guarded([&] { body(thread); });
                                } catch (const ThreadStopped &) {}
                            }
                            clearPending();
                            ctl->object = nullptr;
                            release(thread);
                            tCurrent = nullptr;
                            ctl->state = ThreadState::Done;
                            core::releaseBaton();
                        })});
}

void yield() {
    if (tCurrent && gStopping) throw ThreadStopped{};
    if (!tCurrent) core::wakeSleepers(microseconds());  // the main thread may be waiting on a sleeper
    // In the queue again before letting go: the next turn comes, however
    // late this thread is scheduled, before the loop's next pass.
    uint64_t ticket = core::takeTicket();
    core::releaseBaton();
    core::waitForTurn(ticket);
    if (tCurrent && gStopping) throw ThreadStopped{};
}

namespace {

// Parks the calling cooperative thread, the baton given up, until `me` is
// woken (by the loop at its time, or handed on) or the runtime stops its
// threads. It queues for the baton before it leaves the list, so that the
// pass that woke it lets it run before going on (runWokenSleepers).
void park(core::Sleeper &me) {
    std::unique_lock lk(gSleepMu);
    gSleepers.push_back(&me);
    core::releaseBaton();
    while (!me.woken && !gStopping) {
        // Without a time of its own (a dialog's answer) it waits for its
        // hand-on alone, the main thread away or not.
        if (!gMainAway || me.due == INT64_MAX) {
            gSleepCv.wait(lk);
            continue;
        }
        int64_t left = me.due - microseconds();
        if (left <= 0) me.woken = true;
        else gSleepCv.wait_for(lk, std::chrono::microseconds(left));
    }
    uint64_t ticket = core::takeTicket();
    gSleepers.remove(&me);
    gSleepCv.notify_all();
    lk.unlock();
    core::waitForTurn(ticket);
}

}  // namespace

void sleep(int ms) {
    ThreadControl *self = tCurrent;
    if (self && gStopping) throw ThreadStopped{};
    if (self) {
        // The loop wakes it once the runtime clock reaches its time.
        self->state = ThreadState::Sleeping;
        core::Sleeper me{microseconds() + int64_t(ms > 0 ? ms : 0) * 1000};
        park(me);
        self->state = ThreadState::Running;
        if (gStopping) throw ThreadStopped{};
        return;
    }
    // The main thread runs the loop that wakes sleepers: it waits out its
    // time with the baton given up.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
    core::releaseBaton();
    {
        std::unique_lock lk(gSleepMu);
        gSleepCv.wait_until(lk, until, [] { return gStopping.load(); });
    }
    core::acquireBaton();
}

void core::waitToBeHandedOn(Sleeper &me) {
    if (!tCurrent) return;
    if (gStopping) throw ThreadStopped{};
    park(me);
    if (gStopping) throw ThreadStopped{};
}

void core::handOn(Sleeper &s) {
    {
        std::lock_guard lk(gSleepMu);
        s.woken = true;
    }
    gSleepCv.notify_all();
}

AwayFromLoop::AwayFromLoop() {
    {
        std::lock_guard lk(gSleepMu);
        gMainAway = true;
    }
    gSleepCv.notify_all();
    core::releaseBaton();
}

AwayFromLoop::~AwayFromLoop() {
    {
        std::lock_guard lk(gSleepMu);
        gMainAway = false;
    }
    core::acquireBaton();
}

void core::wakeSleepers(int64_t nowUs) {
    std::lock_guard lk(gSleepMu);
    bool any = false;
    for (Sleeper *s : gSleepers) {
        if (s->woken || s->due > nowUs) continue;
        s->woken = true;
        any = true;
    }
    if (any) gSleepCv.notify_all();
}

void core::runWokenSleepers() {
    {
        std::unique_lock lk(gSleepMu);
        gSleepCv.wait(lk, [] {
            if (gStopping) return true;
            for (Sleeper *s : gSleepers)
                if (s->woken) return false;
            return true;
        });
    }
    core::releaseBaton();
    core::acquireBaton();
}

int64_t core::nextSleeperDue() {
    std::lock_guard lk(gSleepMu);
    int64_t due = INT64_MAX;
    for (Sleeper *s : gSleepers)
        if (!s->woken && s->due < due) due = s->due;
    return due;
}

void shutdown() {
    {
        std::lock_guard lk(gSleepMu);
        gStopping = true;
    }
    gSleepCv.notify_all();
    std::list<Running> all;
    {
        std::lock_guard lk(gListMu);
        all.swap(gThreads);
    }
    core::releaseBaton();
    for (Running &r : all) r.os.join();
    core::acquireBaton();
    gStopping = false;
}

}  // namespace rb
