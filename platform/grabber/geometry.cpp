// The geometry classes: IntegerRectPlyx (the one the application uses),
// IntegerPointPlyx, DoublePointPlyx and DoubleRectPlyx.
//
// Integer arithmetic wraps (as 32-bit machine integers do) rather than
// overflowing, so no value handed in can upset the plug-in.
#include "host.h"
#include "members.h"

#include <cstddef>

namespace grab {

namespace {

int32_t wrapAdd(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
int32_t wrapSub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

IntRect *intRect(REALobject o) { return static_cast<IntRect *>(instanceData(o, "IntegerRectPlyx")); }

void intRectMove(REALobject o, RBInteger dx, RBInteger dy) {
    if (IntRect *r = intRect(o)) {
        r->left = wrapAdd(r->left, dx), r->right = wrapAdd(r->right, dx);
        r->top = wrapAdd(r->top, dy), r->bottom = wrapAdd(r->bottom, dy);
    }
}

// Width and height keep the left and top edges where they are.
RBInteger intRectWidth(REALobject o, intptr_t) {
    IntRect *r = intRect(o);
    return r ? wrapSub(r->right, r->left) : 0;
}
void intRectSetWidth(REALobject o, intptr_t, RBInteger w) {
    if (IntRect *r = intRect(o)) r->right = wrapAdd(r->left, w);
}
RBInteger intRectHeight(REALobject o, intptr_t) {
    IntRect *r = intRect(o);
    return r ? wrapSub(r->bottom, r->top) : 0;
}
void intRectSetHeight(REALobject o, intptr_t, RBInteger h) {
    if (IntRect *r = intRect(o)) r->bottom = wrapAdd(r->top, h);
}

struct IntPoint {
    int32_t x, y;
};
void intPointMove(REALobject o, RBInteger dx, RBInteger dy) {
    if (auto *p = static_cast<IntPoint *>(instanceData(o, "IntegerPointPlyx")))
        p->x = wrapAdd(p->x, dx), p->y = wrapAdd(p->y, dy);
}

struct DoublePoint {
    double x, y;
};
struct DoubleRect {
    double top, bottom, left, right;
};

DoublePoint *dpoint(REALobject o) { return static_cast<DoublePoint *>(instanceData(o, "DoublePointPlyx")); }
DoubleRect *drect(REALobject o) { return static_cast<DoubleRect *>(instanceData(o, "DoubleRectPlyx")); }

void dpointMove(REALobject o, double dx, double dy) {
    if (DoublePoint *p = dpoint(o)) p->x += dx, p->y += dy;
}
template <double DoublePoint::*F> double dpointGet(REALobject o, intptr_t) {
    DoublePoint *p = dpoint(o);
    return p ? p->*F : 0;
}
template <double DoublePoint::*F> void dpointSet(REALobject o, intptr_t, double v) {
    if (DoublePoint *p = dpoint(o)) p->*F = v;
}

void drectMove(REALobject o, double dx, double dy) {
    if (DoubleRect *r = drect(o)) r->left += dx, r->right += dx, r->top += dy, r->bottom += dy;
}
template <double DoubleRect::*F> double drectGet(REALobject o, intptr_t) {
    DoubleRect *r = drect(o);
    return r ? r->*F : 0;
}
template <double DoubleRect::*F> void drectSet(REALobject o, intptr_t, double v) {
    if (DoubleRect *r = drect(o)) r->*F = v;
}
double drectWidth(REALobject o, intptr_t) {
    DoubleRect *r = drect(o);
    return r ? r->right - r->left : 0;
}
void drectSetWidth(REALobject o, intptr_t, double w) {
    if (DoubleRect *r = drect(o)) r->right = r->left + w;
}
double drectHeight(REALobject o, intptr_t) {
    DoubleRect *r = drect(o);
    return r ? r->bottom - r->top : 0;
}
void drectSetHeight(REALobject o, intptr_t, double h) {
    if (DoubleRect *r = drect(o)) r->bottom = r->top + h;
}

void closeNothing(REALobject) {}

// Whether an object handed in is a rectangle. A host that cannot say so
// directly still finds the rectangle's own Move for one.
bool isIntRect(REALobject o) {
    int known = objectIsA(o, "IntegerRectPlyx");
    if (known >= 0) return known == 1;
    return loadObjectMethod(o, "Move(deltax as integer, deltay as integer)") == reinterpret_cast<void *>(intRectMove);
}

}  // namespace

bool readIntRect(REALobject o, IntRect *out) {
    if (!o || !isIntRect(o)) return false;
    IntRect *r = intRect(o);
    if (!r) return false;
    *out = *r;
    return true;
}

REALobject newIntRect(const IntRect &r) {
    REALobject o = newInstance("IntegerRectPlyx");
    if (IntRect *d = intRect(o)) *d = r;
    return o;
}

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DOUBLEPOINT
#define CLASS_RECORD gDoublePointClass
#define CLASS_DATA DoublePoint
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_DOUBLERECT
#define CLASS_RECORD gDoubleRectClass
#define CLASS_DATA DoubleRect
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_INTEGERPOINT
#define CLASS_RECORD gIntegerPointClass
#define CLASS_DATA IntPoint
#include "class_records.inc"

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_INTEGERRECT
#define CLASS_RECORD gIntegerRectClass
#define CLASS_DATA IntRect
#include "class_records.inc"

}  // namespace grab
