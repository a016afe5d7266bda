#include "wrappers/data.h"

#include "wrappers/host.h"
#include "xstring.h"

using hostwrap::release;
using hostwrap::releaseString;

HW_ROWS_X(HW_DEF, X)
HW_DEFINE_MEMBERS(XMemoryBlock)
HW_DEFINE_MEMBERS(XCursor)
HW_DEFINE_MEMBERS(XDictionary)
HW_DEFINE_MEMBERS(XDragItem)
HW_DEFINE_MEMBERS(XVariant)

void X::lock() const { REALLockObject(p_); }
void X::unlock() const { REALUnlockObject(p_); }

// Memory blocks. The allocating constructors start from a 4-byte block and
// let the host size or fill it; a block the host did not give is not filled.
XMemoryBlock::XMemoryBlock(long size) : p_(REALNewMemoryBlock(4)) {
    if (p_) MemoryBlock_SetSize(p_, int32_t(size));
}

XMemoryBlock::XMemoryBlock(REALstringStruct *s) : p_(REALNewMemoryBlock(4)) {
    if (p_) MemoryBlock_FromString(p_, s);
    releaseString(s);
}

XMemoryBlock::XMemoryBlock(void *bytes) : p_(REALNewMemoryBlock(4)) {
    if (p_) MemoryBlock_FromPtr(p_, bytes);
}

XMemoryBlock::operator REALstringStruct *() const { return MemoryBlock_ToString(p_); }
XMemoryBlock::operator void *() const { return MemoryBlock_ToPtr(p_); }
void XMemoryBlock::lock() const { hostwrap::retain(p_); }
void XMemoryBlock::unlock() const { hostwrap::release(p_); }

void XMemoryBlock::cstring(long offset, REALstringStruct *s) const {
    MemoryBlock_SetCString(p_, int32_t(offset), s);
    releaseString(s);
}
void XMemoryBlock::pstring(long offset, REALstringStruct *s) const {
    MemoryBlock_SetPString(p_, int32_t(offset), s);
    releaseString(s);
}
void XMemoryBlock::string(long offset, long length, REALstringStruct *s) const {
    MemoryBlock_SetStringValue(p_, int32_t(offset), int32_t(length), s);
    releaseString(s);
}
void XMemoryBlock::wstring(long offset, REALstringStruct *s) const {
    MemoryBlock_SetWString(p_, int32_t(offset), s);
    releaseString(s);
}
void XMemoryBlock::ptr(long offset, REALmemoryBlockStruct *block) const {
    MemoryBlock_SetPtr(p_, int32_t(offset), block);
    release(block);
}

XMemoryBlock XMemoryBlock::hold(REALmemoryBlockStruct *result) {
    release(p_);
    p_ = result;
    return *this;
}
XMemoryBlock XMemoryBlock::ptr(long offset) { return hold(MemoryBlock_GetPtr(p_, int32_t(offset))); }
XMemoryBlock XMemoryBlock::leftb(long n) { return hold(MemoryBlock_LeftB(p_, int32_t(n))); }
XMemoryBlock XMemoryBlock::midb(long start) { return hold(MemoryBlock_MidB2(p_, int32_t(start))); }
XMemoryBlock XMemoryBlock::midb(long start, long n) { return hold(MemoryBlock_MidB3(p_, int32_t(start), int32_t(n))); }
XMemoryBlock XMemoryBlock::rightb(long n) { return hold(MemoryBlock_RightB(p_, int32_t(n))); }

// Colours: 8-bit components scale to 16 bits by 257.
XColor::XColor(RGBColor c)
    : c_(static_cast<unsigned long>(c.red / 257) << 16 | static_cast<unsigned long>(c.green / 257) << 8 |
         c.blue / 257) {}

XColor::operator RGBColor() const {
    return RGBColor{uint16_t((c_ >> 16 & 0xFF) * 257), uint16_t((c_ >> 8 & 0xFF) * 257), uint16_t((c_ & 0xFF) * 257)};
}

XColor XColor::cmy(double c, double m, double y) {
    c_ = Runtime_CMY(c, m, y);
    return *this;
}
XColor XColor::hsv(double h, double s, double v) {
    c_ = Runtime_HSV(h, s, v);
    return *this;
}
XColor XColor::rgb(int r, int g, int b) {
    c_ = Runtime_RGB(r, g, b);
    return *this;
}

XCursor::XCursor() {
    REALobjectStruct *system = SystemObject();
    p_ = System_Cursors(system);
    release(system);
}
void XCursor::lock() const { REALLockObject(p_); }
void XCursor::unlock() const { REALUnlockObject(p_); }

XDragItem::XDragItem(long left, long top, long width, long height)
    : p_(DragItem_NewDragItem(int32_t(left), int32_t(top), int32_t(width), int32_t(height))) {}

XVariant::XVariant(unsigned char b) : p_(Variant_BooleanToNewVariant(b)) {}
XVariant::XVariant(long i) : p_(Variant_IntToNewVariant(int32_t(i))) {}
XVariant::XVariant(double d) : p_(Variant_DoubleToNewVariant(d)) {}
XVariant::XVariant(REALstringStruct *s) : p_(Variant_StringToNewVariant(s)) {}
XVariant::XVariant(unsigned long color) : p_(Variant_ColorToNewVariant(uint32_t(color))) {}
XVariant::operator unsigned char() const { return Variant_GetBoolean(p_); }
XVariant::operator long() const { return Variant_GetInteger(p_); }
XVariant::operator double() const { return Variant_GetDouble(p_); }
XVariant::operator REALstringStruct *() const { return Variant_GetString(p_); }
XVariant::operator unsigned long() const { return Variant_GetColor(p_); }
unsigned char XVariant::equal(XVariant other) const { return Variant_VariantEqual(p_, other.p_); }
long XVariant::compare(XVariant other) const { return Variant_VariantCompare(p_, other.p_); }

XVariant XVariant::add(REALobjectStruct *other) {
    REALobjectStruct *sum = Variant_VariantAdd(p_, other);
    release(p_);
    p_ = sum;
    return *this;
}
