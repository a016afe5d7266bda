// The host's generic getters and setters ("intGetter", "windowPosGetter",
// "boolSetter", ...): each serves many members of many classes and tells them
// apart by the selector number it is called with, as (object, selector) or
// (object, selector, value). Here a selector is a row (service name, class,
// selector) -> property name, and the service reads or writes that property
// of the object through the reflective model, so a member answers the same
// by name and by selector.
#pragma once

#include <rb/object.h>

namespace rb::sel {

// Declares that `service` with `selector` on objects of `className` (or a
// subclass) reaches `property`.
void add(const char *service, const char *className, int32_t selector, const char *property);
// The property that `service` reaches with `selector` on obj, or nullptr
// (nil object, another class, an unknown selector).
const char *find(const char *service, REALobject obj, int32_t selector);

// The value kinds of the services: what a getter returns and a setter takes.
enum class Kind { Int, Bool, String, Object };
// Registers the service `name` as a getter or setter of that kind (once per
// name; later calls do nothing).
void defineGetter(const char *name, Kind kind);
void defineSetter(const char *name, Kind kind);

// Shorthand for a member that has a getter and a setter service.
inline void addPair(const char *getter, const char *setter, const char *cls, int32_t k, const char *prop) {
    add(getter, cls, k, prop);
    add(setter, cls, k, prop);
}

}  // namespace rb::sel
