// The resolver handed to plug-ins, and the host services behind it.
//
// A plug-in asks `resolve(name)` for a service and casts the answer to the
// matching function type; an unknown (or withheld) name answers nullptr.
// The contract plug-ins code against (C calling convention, all extern "C"):
//
//   void      RegisterPluginVersion(int version)
//   void      PluginRegisterClass(REALclassDefinition *def)
//   void      PluginRegisterClassExtension(REALclassDefinition *def)
//   void      PluginRegisterMethod(REALmethodDefinition *def)      // global method
//   double    REALGetRBVersion()
//   void     *GetEventInstance(REALobject obj, intptr_t token)    // handler or 0
//   REALobject PluginNewInstance(const char *className)          // retained for the caller, or 0
//   void      RuntimeRaiseException(REALobject exception)        // raised when the member returns
//   REALstring REALBuildString(const char *bytes, int length)    // retained; encoding unknown
//   void      REALLockString(REALstring) / REALUnlockString(REALstring)
//   void      REALLockObject(REALobject) / REALUnlockObject(REALobject)
//   uint32_t  REALGetStringEncoding(REALstring)                   // 0xFFFF unknown
//   void      REALSetStringEncoding(REALstring, uint32_t encoding)
//   REALstring REALConvertString(REALstring, uint32_t encoding)  // new, retained
//   uint32_t  REALGetFontEncoding(const char *fontName)
//   RBBoolean REALGetPropValueInt(REALobject, const char *name, int32_t *out)
//   RBBoolean REALGetPropValueBool(REALobject, const char *name, RBBoolean *out)
//   RBBoolean REALGetPropValueDouble(REALobject, const char *name, double *out)
//   RBBoolean REALGetPropValueString(REALobject, const char *name, REALstring *out)  // retained
//   RBBoolean REALGetPropValueObject(REALobject, const char *name, REALobject *out)  // retained
//   RBBoolean REALSetPropValueInt(REALobject, const char *name, int32_t value)
//   RBBoolean REALSetPropValueBoolean(REALobject, const char *name, RBBoolean value)
//   RBBoolean REALSetPropValueDouble(REALobject, const char *name, double value)
//   RBBoolean REALSetPropValueString(REALobject, const char *name, REALstring value)
//   RBBoolean REALSetPropValueObject(REALobject, const char *name, REALobject value)
//   void     *REALLoadGlobalMethod(REALobject /*0*/, const char *declaration)
//   void     *REALLoadObjectMethod(REALobject, const char *declaration)
//   void      REALYieldToRB()
//   int32_t   RuntimeUBound(REALarray)                            // -1 for empty or nil
//   REALobject RuntimeDirectReadObjectArray(REALarray, int32_t index)  // retained, or 0
//   REALmemoryBlock newMemoryBlock(int32_t size)                  // retained
//   void     *memoryBlockGetPtr(REALmemoryBlock)
//   int32_t   memoryBlockGetSize(REALmemoryBlock)
//
// Other parts of the runtime add services from their own source files with
// RB_SERVICE (pictures, folder items, graphics, windows, HTTP, ...).
#pragma once

#include <rb/plugin.h>

#include <string>

namespace rb {

extern "C" void *resolve(const char *name);  // the REALResolver

// Adds (or replaces) a service. Safe from static initialisers.
void registerService(const char *name, void *fn);

// Test seams: make the resolver answer nullptr for a name; undo all of them.
void withholdService(const char *name);
void restoreServices();
bool serviceWithheld(const char *name);

// Global methods by exact declaration (plug-ins' and the framework's own),
// as "REALLoadGlobalMethod" and the entry-point lookup find them.
void addGlobalMethod(const std::string &declaration, void *fn);
void *findGlobalMethod(const std::string &declaration);

// The version "REALGetRBVersion" reports (default 2008.0).
void setHostVersion(double v);
double hostVersion();

struct ServiceRegistrar {
    ServiceRegistrar(const char *name, void *fn) { registerService(name, fn); }
};

}  // namespace rb

#define RB_SERVICE_CAT2(a, b) a##b
#define RB_SERVICE_CAT(a, b) RB_SERVICE_CAT2(a, b)
// RB_SERVICE("REALGetWindowHandle", myFunction);  at namespace scope
#define RB_SERVICE(name, fn) \
    static ::rb::ServiceRegistrar RB_SERVICE_CAT(rbServiceRegistrar_, __LINE__)(name, reinterpret_cast<void *>(fn))
