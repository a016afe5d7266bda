// Wrappers over the host's data objects and host-wide functions: X,
// memory blocks and the byte stream kept in one, colours, cursors,
// dictionaries, drag items and variants. Each holds one host pointer (a
// colour value in XColor), adopts it without retaining it and releases
// nothing when it goes; copies share the one reference.
#pragma once

#include "wrappers/data_rows.h"
#include "wrappers/shape.h"

#include <cstdint>

// The platform's colour record: 16-bit red, green and blue.
struct RGBColor {
    uint16_t red;
    uint16_t green;
    uint16_t blue;
};

class X {
public:
    X() = default;
    X(REALobjectStruct *o) : p_(o) {}
    operator unsigned char() const { return p_ != nullptr; }
    operator REALobjectStruct *() const { return p_; }
    void lock() const;
    void unlock() const;
    HW_ROWS_X(HW_DECL, X)

protected:
    REALobjectStruct *p_ = nullptr;
};

class XMemoryBlock {
public:
    XMemoryBlock() = default;
    XMemoryBlock(REALmemoryBlockStruct *b) : p_(b) {}
    explicit XMemoryBlock(long size);            // a new block of that size
    explicit XMemoryBlock(REALstringStruct *s);  // a new block of the string's bytes; releases s
    explicit XMemoryBlock(void *bytes);          // a new block filled from a pointer by the host

    operator REALmemoryBlockStruct *() const { return p_; }
    operator REALstringStruct *() const;  // a new string of the bytes; the block stays held
    operator void *() const;
    operator unsigned char() const { return p_ != nullptr; }
    void lock() const;
    void unlock() const;
    HW_MEMBERS(XMemoryBlock)

    // These hand their string or block over: released after the call.
    void cstring(long offset, REALstringStruct *s) const;
    void pstring(long offset, REALstringStruct *s) const;
    void string(long offset, long length, REALstringStruct *s) const;
    void wstring(long offset, REALstringStruct *s) const;
    void ptr(long offset, REALmemoryBlockStruct *block) const;

    // These hold the resulting block and release the one held before.
    XMemoryBlock ptr(long offset);
    XMemoryBlock leftb(long n);
    XMemoryBlock midb(long start);
    XMemoryBlock midb(long start, long n);
    XMemoryBlock rightb(long n);

protected:
    XMemoryBlock hold(REALmemoryBlockStruct *result);
    REALmemoryBlockStruct *p_ = nullptr;
};

// A byte stream in one host block: write appends, read takes from the front,
// and each replaces the held block by a new one.
class XMemoryStream {
public:
    XMemoryStream() = default;
    XMemoryStream(REALmemoryBlockStruct *b) : p_(b) {}
    XMemoryStream(REALmemoryBlockStruct *block, long size);  // runs the block's constructor, then holds it
    explicit XMemoryStream(long n);                          // n bytes; 0 gives an empty stream
    XMemoryStream(void *src, long n);
    XMemoryStream(char *src, long n);
    explicit XMemoryStream(REALstringStruct *s);  // the string's bytes; releases s

    operator REALmemoryBlockStruct *() const { return p_; }
    operator void *() const;
    operator char *() const;
    // Ends the stream: a new string of its bytes; the block is released and
    // the stream holds nil.
    operator REALstringStruct *();

    long size() const;
    void size(long n) const;
    REALmemoryBlockStruct *write(REALstringStruct *s);  // s stays the caller's
    REALstringStruct *read(long n);                     // n is clamped to 0..size()

private:
    REALmemoryBlockStruct *p_ = nullptr;
};

class XColor {
public:
    XColor() = default;
    XColor(unsigned long rgb) : c_(rgb & 0xFFFFFFFFul) {}
    XColor(RGBColor c);
    operator unsigned long() const { return c_; }
    operator RGBColor() const;
    XColor cmy(double c, double m, double y);
    XColor hsv(double h, double s, double v);
    XColor rgb(int r, int g, int b);

private:
    unsigned long c_ = 0;  // 0x00RRGGBB
};

class XCursor {
public:
    XCursor();  // the system object's cursor collection
    XCursor(REALobjectStruct *o) : p_(o) {}
    operator unsigned char() const { return p_ != nullptr; }
    operator REALobjectStruct *() const { return p_; }
    void lock() const;
    void unlock() const;
    HW_MEMBERS(XCursor)

private:
    REALobjectStruct *p_ = nullptr;
};

class XDictionary {
public:
    XDictionary() = default;
    XDictionary(REALobjectStruct *o) : p_(o) {}
    HW_MEMBERS(XDictionary)

private:
    REALobjectStruct *p_ = nullptr;
};

class XDragItem {
public:
    XDragItem() = default;
    XDragItem(REALobjectStruct *o) : p_(o) {}
    XDragItem(long left, long top, long width, long height);  // a new drag item
    HW_MEMBERS(XDragItem)

private:
    REALobjectStruct *p_ = nullptr;
};

class XVariant {
public:
    XVariant() = default;
    XVariant(REALobjectStruct *o) : p_(o) {}
    // Each holds a new variant of the value (the string stays the caller's).
    explicit XVariant(unsigned char b);
    explicit XVariant(long i);
    explicit XVariant(double d);
    explicit XVariant(REALstringStruct *s);
    explicit XVariant(unsigned long color);

    operator unsigned char() const;  // the value as a Boolean, not a nil test
    operator long() const;
    operator double() const;
    operator REALstringStruct *() const;
    operator unsigned long() const;  // a colour
    operator REALobjectStruct *() const { return p_; }
    HW_MEMBERS(XVariant)
    unsigned char equal(XVariant other) const;
    long compare(XVariant other) const;
    XVariant add(REALobjectStruct *other);  // holds the sum, releases the old variant

private:
    REALobjectStruct *p_ = nullptr;
};
