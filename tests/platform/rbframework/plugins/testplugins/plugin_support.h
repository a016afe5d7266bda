// What every test plug-in does at its entry: keep the resolver, announce the
// record format, register records (converting method lists to the short
// form for hosts older than 5.9, as a plug-in of this interface must).
#pragma once

#include <rb/plugin.h>

#include <cstdlib>

static REALResolver gResolver;

template <class F> static F service(const char *name) {
    return gResolver ? reinterpret_cast<F>(gResolver(name)) : nullptr;
}

static void announceVersion() {
    if (auto f = service<void (*)(int)>("RegisterPluginVersion")) f(kCurrentREALControlVersion);
}

static void shortenForOldHosts(REALclassDefinition *def) {
    auto version = service<double (*)()>("REALGetRBVersion");
    if (version && version() >= 5.9) return;
    auto *list = static_cast<REALmethodDefinitionShort *>(
        std::calloc(def->methodCount ? def->methodCount : 1, sizeof(REALmethodDefinitionShort)));
    for (uint32_t i = 0; i < def->methodCount; ++i)
        list[i] = {def->methods[i].function, def->methods[i].setterFunction, def->methods[i].declaration};
    def->methods = reinterpret_cast<REALmethodDefinition *>(list);
}

static void registerWith(const char *serviceName, REALclassDefinition *def) {
    auto reg = service<void (*)(REALclassDefinition *)>(serviceName);
    shortenForOldHosts(def);
    if (reg) reg(def);
}
