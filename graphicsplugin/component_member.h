// How every member of the importer and the exporter starts: "Lasterror" is
// set to -1 and the component is taken from the instance data.
#pragma once

#include "imaging/imaging.h"

namespace gp {

// "Lasterror" -1, and the object's component; 0 without instance data or
// without a component.
template <typename Data> imaging::ComponentInstance beginMember(Data *d) {
    if (!d) return 0;
    d->lastError = -1;
    return d->component;
}

}  // namespace gp

// In a member taking `obj`: the instance data `d` (from the file's dataOf)
// and the component `ci`; returns `empty` when there is no component.
#define COMPONENT_MEMBER(empty)                     \
    auto *d = dataOf(obj);                          \
    imaging::ComponentInstance ci = beginMember(d); \
    if (!ci) return empty
