// A plug-in with one class, built twice under different class names, for
// hosts that make it send 12-byte method records.
#include "plugin_support.h"

namespace {

int32_t first(REALobject) { return 1; }
int32_t second(REALobject, int32_t x) { return 2 * x; }
int32_t third(REALobject) { return 3; }
int32_t prop(REALobject) { return 40; }
void setProp(REALobject, int32_t) {}

REALmethodDefinition methods[] = {
    {(void *)first, nullptr, "First() as integer", 0},
    {(void *)second, nullptr, "Second(x as integer) as integer", 0},
    {(void *)prop, (void *)setProp, "Prop as integer", 0},
    {(void *)third, nullptr, "Third() as integer", 0},
};
REALclassDefinition cls = {kCurrentREALControlVersion,
                           SHORT_CLASS_NAME,
                           nullptr,
                           8,
                           0,
                           nullptr,
                           nullptr,
                           nullptr,
                           0,
                           methods,
                           4,
                           nullptr,
                           0,
                           {}};

}  // namespace

extern "C" __attribute__((visibility("default"))) RBBoolean REALPluginMain(REALResolver resolver) {
    gResolver = resolver;
    announceVersion();
    registerWith("PluginRegisterClass", &cls);
    return 1;
}
