// The binding texts the runtime derives from a plug-in class it registered,
// in the order the entry-point lookup names them: constructor and
// destructor, methods, method-style setters, then the function-backed
// property accessors (rb/entrypoints.h).
#pragma once

#include <rb/object.h>

#include <string>
#include <vector>

inline std::vector<std::string> classTexts(const char *className) {
    std::vector<std::string> out;
    const rb::ClassInfo *c = rb::findClass(className);
    if (!c || !c->def) return out;
    const std::string prefix = c->name + ".";
    if (c->def->constructor) out.push_back(prefix + "__init");
    if (c->def->destructor) out.push_back(prefix + "__exit");
    for (const rb::MethodInfo &m : c->methods) out.push_back(prefix + m.declaration);
    for (const rb::MethodInfo &m : c->methods)
        if (m.setter) out.push_back(prefix + m.declaration + ".Set");
    for (const rb::PropertyInfo &p : c->properties) {
        if (p.getter && p.getter != REALstandardGetter) out.push_back(prefix + p.name + ".Get");
        if (p.setter && p.setter != REALstandardSetter) out.push_back(prefix + p.name + ".Set");
    }
    return out;
}
