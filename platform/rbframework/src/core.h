// Runtime-private links between the core's source files.
#pragma once

#include <rb/object.h>

#include <cstdint>

namespace rb::core {

// The framework classes, built on first use in a fixed order.
struct Classes {
    ClassInfo *runtimeException = nullptr, *nilObjectException = nullptr, *runtimeError = nullptr;
    ClassInfo *application = nullptr, *memoryBlock = nullptr, *objectArray = nullptr;
    ClassInfo *timer = nullptr, *thread = nullptr;
};
const Classes &classes();

// Each builds its classes into c (called once, from classes()).
void defineExceptionClasses(Classes &c);
void defineMemoryClasses(Classes &c);
void defineTimerClass(Classes &c);
void defineThreadClass(Classes &c);

// Event tokens: (declaring class, position).
intptr_t newEventToken(ClassInfo *cls, int position);

std::string lower(std::string s);

// Object flags (REALobjectStruct::flags).
enum : uint32_t { kObjectDying = 1, kObjectHasInstanceHandlers = 2 };
// Forgets the handlers installed on obj (called as it is freed).
void dropInstanceHandlers(REALobject obj);
// The name of the event a token stands for ("Action" of "Action(x as integer)"),
// or "" for an unknown token.
std::string eventName(intptr_t token);

// The runtime baton (thread.cpp): only its holder runs runtime code.
void acquireBaton();
void releaseBaton();
void reapThreads();  // joins finished threads (main loop)
int64_t monotonicUs();
// Cooperative threads wait parked, each until the loop wakes it: at its
// time on the runtime clock (sleep) or when the main thread hands it on.
// A thread woken has its turn before the loop pass that woke it goes on, so
// that whoever moves the clock moves it only once they wait again.
struct Sleeper {
    int64_t due = INT64_MAX;  // on the runtime clock
    bool woken = false;
};
void wakeSleepers(int64_t nowUs);
int64_t nextSleeperDue();  // INT64_MAX when none sleeps so
// Main thread: lets the threads woken so far take their turn before it goes on.
void runWokenSleepers();
// Cooperative thread: waits, the baton given up, until handOn(me) (or the
// runtime stops its threads: throws ThreadStopped). Returns at once on the
// main thread.
void waitToBeHandedOn(Sleeper &me);
// Wakes a thread waiting in waitToBeHandedOn (any thread; also before it waits).
void handOn(Sleeper &s);

// Makes the FireWire platform's run loop a source of the main loop
// (RuntimeInit; again only replaces the source).
void attachFireWireRunLoop();

// Makes stdout a stream that remembers whether its last byte ended a line
// (standard_output.cpp; RuntimeInit, before any plug-in prints).
void trackStandardOutput();

}  // namespace rb::core
