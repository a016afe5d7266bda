// XMemoryStream: a byte stream kept in one host block. Every block the
// stream makes may come back nil from the host; nothing is copied into a
// block that is not there, and a failed step leaves the stream as it was.
#include "wrappers/data.h"

#include "wrappers/host.h"
#include "xstring.h"

#include <cstring>

using hostwrap::release;

namespace {

char *bytesOf(REALmemoryBlock block) { return block ? static_cast<char *>(REALMemoryBlockGetPtr(block)) : nullptr; }
long sizeOf(REALmemoryBlock block) { return block ? REALMemoryBlockGetSize(block) : 0; }

// A new block of n bytes holding a copy of src, or nil.
REALmemoryBlock copyOf(const void *src, long n) {
    if (n < 0) return nullptr;
    REALmemoryBlock block = REALNewMemoryBlock(int32_t(n));
    char *dst = bytesOf(block);
    if (dst && src && n > 0 && sizeOf(block) >= n) std::memcpy(dst, src, size_t(n));
    return block;
}

}  // namespace

XMemoryStream::XMemoryStream(REALmemoryBlockStruct *block, long size) {
    MemoryBlock_New(block, int32_t(size));
    p_ = block;
}

XMemoryStream::XMemoryStream(long n) {
    if (n != 0) {
        p_ = n > 0 ? REALNewMemoryBlock(int32_t(n)) : nullptr;
        return;
    }
    p_ = REALNewMemoryBlock(4);
    XString empty("");
    if (p_) MemoryBlock_FromString(p_, empty);
    empty.unlock();
}

XMemoryStream::XMemoryStream(void *src, long n) : p_(copyOf(src, n)) {}
XMemoryStream::XMemoryStream(char *src, long n) : p_(copyOf(src, n)) {}

XMemoryStream::XMemoryStream(REALstringStruct *s) {
    XString text(s);
    p_ = copyOf(static_cast<const char *>(text), text.length());
    text.unlock();
}

XMemoryStream::operator void *() const { return bytesOf(p_); }
XMemoryStream::operator char *() const { return bytesOf(p_); }

XMemoryStream::operator REALstringStruct *() {
    REALstring s = MemoryBlock_ToString(p_);
    release(p_);
    p_ = nullptr;
    return s;
}

long XMemoryStream::size() const { return sizeOf(p_); }
void XMemoryStream::size(long n) const { MemoryBlock_SetSize(p_, int32_t(n)); }

REALmemoryBlockStruct *XMemoryStream::write(REALstringStruct *s) {
    XString text(s);
    REALmemoryBlock tail = copyOf(static_cast<const char *>(text), text.length());
    REALmemoryBlock joined = MemoryBlock_Add(p_, tail);
    release(tail);
    if (!joined) return nullptr;  // the stream keeps its bytes
    release(p_);
    p_ = joined;
    return joined;
}

REALstringStruct *XMemoryStream::read(long n) {
    const long size = sizeOf(p_);
    if (n < 0) n = 0;
    if (n > size) n = size;
    const char *bytes = bytesOf(p_);
    XMemoryStream head(n), rest(size - n);
    char *headBytes = bytesOf(head.p_), *restBytes = bytesOf(rest.p_);
    if ((n > 0 && !headBytes) || (size - n > 0 && !restBytes) || !head.p_ || !rest.p_ || (size > 0 && !bytes)) {
        release(head.p_);
        release(rest.p_);
        return nullptr;  // the stream keeps its bytes
    }
    if (n > 0) std::memcpy(headBytes, bytes, size_t(n));
    if (size - n > 0) std::memcpy(restBytes, bytes + n, size_t(size - n));
    release(p_);
    p_ = rest.p_;
    return head;  // a new string of the head's bytes; its block is released
}
