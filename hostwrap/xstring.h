// XString: a holder of one host string reference. It neither retains a
// string it is given nor releases its string when it goes; lock() and
// unlock() manage ownership explicitly. Copies hold the same reference.
// Transforming members release the string held before and hold the result.
#pragma once

#include <rb/plugin.h>

#include <cstdint>
#include <string>

class XString {
public:
    XString() = default;
    XString(const char *text);             // a new host string of the C string
    XString(const unsigned char *pascal);  // a new host string of a length-prefixed string
    XString(REALstring s) : s_(s) {}       // held, not retained
    XString(unsigned long fourCharCode);   // a new 4-character string, high byte first
    ~XString() {}

    operator unsigned long() const;  // four-character code, padded with spaces
    operator REALstring() const { return s_; }
    operator const char *() const;  // the bytes ("" for none), NUL-terminated
    // A length-prefixed view (at most 255 bytes), valid until the next such
    // view on this thread.
    operator const unsigned char *() const;

    // Bytes by position; out of range reads 0 and writes nothing.
    char getat(long pos) const;
    void setat(long pos, char ch);
    long length() const;
    long len() const;
    long lenB() const;
    void lock();
    void unlock();
    long compare(const XString &other) const;
    long compare(const XString &other, long mode) const;
    double val() const;
    long asc() const;
    long ascB() const;
    long instr(long start, const XString &find) const;
    long instrB(long start, const XString &find) const;
    long countfields(const XString &separator) const;
    uint32_t encoding() const;
    void encoding(uint32_t value);
    uint32_t fontencoding() const;

    XString add(const XString &s);
    XString left(long n);
    XString leftB(long n);
    XString mid(long start);
    XString mid(long start, long length);
    XString midB(long start);
    XString midB(long start, long length);
    XString replace(const XString &oldText, const XString &newText);
    XString replaceB(const XString &oldText, const XString &newText);
    XString replaceall(const XString &oldText, const XString &newText);
    XString replaceallB(const XString &oldText, const XString &newText);
    XString chr(long code);
    XString chrB(long code);
    XString uppercase();
    XString lowercase();
    XString ltrim();
    XString trim();
    XString rtrim();
    XString nthfield(const XString &separator, long n);
    XString replacelineendings();
    XString convertencoding(uint32_t encoding);
    XString decodebase64();
    XString encodebase64();
    XString str(double x);
    XString format(double x, XString fmt);

private:
    XString hold(REALstring result);
    REALstring s_ = nullptr;
};

static_assert(sizeof(XString) == sizeof(void *), "XString holds one host string reference");
