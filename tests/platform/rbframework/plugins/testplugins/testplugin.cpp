// A plug-in that exercises the host through the real records: a class with
// overloaded methods, function-backed and direct properties, events, a
// constructor and destructor, an exception class, an application extension
// and a global method.
#include "plugin_support.h"

#include <cstdio>
#include <cstring>

namespace {

struct WidgetData {
    int32_t value;    // 0
    uint8_t enabled;  // 4: direct Boolean
    uint8_t pad[3];
    int32_t calls;     // 8
    int32_t magic;     // 12: direct integer, read-only
    REALstring label;  // 16
};
static_assert(sizeof(WidgetData) == 24);

REALclassDefinition widgetClass;
int32_t gDestroyed = 0;

WidgetData *data(REALobject o) { return static_cast<WidgetData *>(REALGetClassData(o, &widgetClass)); }

void widgetInit(REALobject o) {
    WidgetData *d = data(o);
    // The host hands the data over zero-filled.
    d->magic = (d->value == 0 && d->calls == 0 && d->label == nullptr) ? 0x57494447 : -1;
}

void widgetExit(REALobject o) {
    if (auto unlock = service<void (*)(REALstring)>("REALUnlockString")) unlock(data(o)->label);
    ++gDestroyed;
}

int32_t getValue(REALobject o, intptr_t) { return data(o)->value; }
void setValue(REALobject o, intptr_t, int32_t v) { data(o)->value = v; }
int32_t getCalls(REALobject o, intptr_t) { return data(o)->calls; }
REALstring getLabel(REALobject o, intptr_t) {
    if (auto lock = service<void (*)(REALstring)>("REALLockString")) lock(data(o)->label);
    return data(o)->label;
}
void setLabel(REALobject o, intptr_t, REALstring s) {
    if (auto lock = service<void (*)(REALstring)>("REALLockString")) lock(s);
    if (auto unlock = service<void (*)(REALstring)>("REALUnlockString")) unlock(data(o)->label);
    data(o)->label = s;
}

void add1(REALobject o, int32_t amount) { data(o)->value += amount, ++data(o)->calls; }
void add0(REALobject o) { data(o)->value += 1, ++data(o)->calls; }
int32_t sum(REALobject, int32_t a, int32_t b) { return a + b; }
RBBoolean isBig(REALobject o) { return RBBoolean(0xFE | (data(o)->value > 100 ? 1 : 0)); }
int32_t level(REALobject o) { return data(o)->value * 10; }
void setLevel(REALobject o, int32_t v) { data(o)->value = v / 10; }

REALstring describe(REALobject o) {
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "Widget %d", data(o)->value);
    auto build = service<REALstring (*)(const char *, int)>("REALBuildString");
    return build ? build(buf, n) : nullptr;
}

void fail(REALobject, int32_t code) {
    auto make = service<REALobject (*)(const char *)>("PluginNewInstance");
    auto setInt = service<RBBoolean (*)(REALobject, const char *, int32_t)>("REALSetPropValueInt");
    auto setStr = service<RBBoolean (*)(REALobject, const char *, REALstring)>("REALSetPropValueString");
    auto build = service<REALstring (*)(const char *, int)>("REALBuildString");
    auto raise = service<void (*)(REALobject)>("RuntimeRaiseException");
    auto unlockS = service<void (*)(REALstring)>("REALUnlockString");
    auto unlockO = service<void (*)(REALobject)>("REALUnlockObject");
    if (!make || !raise) return;
    REALobject e = make("WidgetException");
    if (!e) return;
    if (setInt) setInt(e, "ErrorNumber", code);
    if (setStr && build) {
        REALstring m = build("widget failed", 13);
        setStr(e, "Message", m);
        if (unlockS) unlockS(m);
    }
    raise(e);
    if (unlockO) unlockO(e);
}

REALeventDefinition widgetEvents[] = {
    {"Changed(newValue as integer)", 0},
    {"Closing()", 0},
};

// Raises event `position`; true when a handler ran.
RBBoolean fire(REALobject o, int32_t position) {
    if (position < 0 || position > 1) return 0;
    auto get = service<void *(*)(REALobject, intptr_t)>("GetEventInstance");
    void *h = get ? get(o, widgetEvents[position].forSystemUse) : nullptr;
    if (!h) return 0;
    if (position == 0) reinterpret_cast<void (*)(REALobject, int32_t)>(h)(o, data(o)->value);
    else reinterpret_cast<void (*)(REALobject)>(h)(o);
    return 1;
}

REALpropertyDefinition widgetProps[] = {
    {nullptr, "Value", "integer", 0, (void *)getValue, (void *)setValue, 0, nullptr, nullptr, 0},
    {nullptr, "Calls", "integer", 0, (void *)getCalls, nullptr, 0, nullptr, nullptr, 0},
    {nullptr, "Enabled", "Boolean", 0, REALstandardGetter, REALstandardSetter, 4, nullptr, nullptr, 0},
    {nullptr, "Magic", "integer", 0, REALstandardGetter, nullptr, 12, nullptr, nullptr, 0},
    {nullptr, "Label", "String", 0, (void *)getLabel, (void *)setLabel, 0, nullptr, nullptr, 0},
};

REALmethodDefinition widgetMethods[] = {
    {(void *)add1, nullptr, "Add(amount as integer)", 0},
    {(void *)add0, nullptr, "Add()", 0},
    {(void *)sum, nullptr, "Sum(a as integer, b as integer) as integer", 0},
    {(void *)isBig, nullptr, "IsBig() as Boolean", 0},
    {(void *)level, (void *)setLevel, "Level as integer", 0},
    {(void *)describe, nullptr, "Describe() as String", 0},
    {(void *)fail, nullptr, "Fail(code as integer)", 0},
    {(void *)fire, nullptr, "Fire(position as integer) as Boolean", 0},
};

REALclassDefinition exceptionClass = {kCurrentREALControlVersion,
                                      "WidgetException",
                                      "RuntimeException",
                                      0,
                                      0,
                                      nullptr,
                                      nullptr,
                                      nullptr,
                                      0,
                                      nullptr,
                                      0,
                                      nullptr,
                                      0,
                                      {}};

REALstring hello(REALobject app) {
    auto build = service<REALstring (*)(const char *, int)>("REALBuildString");
    return build && app ? build("hello from the plug-in", 22) : nullptr;
}
REALmethodDefinition appMethods[] = {{(void *)hello, nullptr, "TestPluginHello as string", 0}};
REALclassDefinition appExtension = {kCurrentREALControlVersion,
                                    "Application",
                                    nullptr,
                                    0,
                                    0,
                                    nullptr,
                                    nullptr,
                                    nullptr,
                                    0,
                                    appMethods,
                                    1,
                                    nullptr,
                                    0,
                                    {}};

int32_t destroyedCount() { return gDestroyed; }
REALmethodDefinition globalMethod = {(void *)destroyedCount, nullptr, "DestroyedCount() as integer", 0};

}  // namespace

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    gResolver = resolver;
    announceVersion();
    widgetClass = {kCurrentREALControlVersion,
                   "Widget",
                   nullptr,
                   sizeof(WidgetData),
                   0,
                   widgetInit,
                   widgetExit,
                   widgetProps,
                   5,
                   widgetMethods,
                   8,
                   widgetEvents,
                   2,
                   {}};
    registerWith("PluginRegisterClass", &exceptionClass);
    registerWith("PluginRegisterClass", &widgetClass);
    registerWith("PluginRegisterClassExtension", &appExtension);
    if (auto reg = service<void (*)(REALmethodDefinition *)>("PluginRegisterMethod")) reg(&globalMethod);
    return 1;
}
