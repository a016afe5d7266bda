// Runtime-private links between the rooms of the runtime: the framework
// classes, event tokens and object flags, and the start-up steps.
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

// Hands the runtime's clock to the platform and makes the platform's run
// loop a source of the main loop (RuntimeInit; again only replaces them).
void attachPlatformRunLoop();

// Makes stdout a stream that remembers whether its last byte ended a line
// (standard_output.cpp; RuntimeInit, before any plug-in prints).
void trackStandardOutput();

}  // namespace rb::core
