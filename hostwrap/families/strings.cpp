// The host string functions: the table's rows, and the ones written by hand
// (the two Base64 functions pass no encoding as a second argument; the
// EndOfLine functions go through the host's EndOfLine object).
#include "accessors.h"

using namespace hostwrap;

#include "rows_define.inc"
#include "families/strings.def"

namespace {

constexpr const char *kEndOfLine = "EndOfLine() as EndOfLine";

// The host's EndOfLine object through its global method, which each caller
// keeps in its own slot once found.
REALobject endOfLine(const Row &row, Slot &slot) {
    return signatureFirst<REALobject>(row, slot, Loader::GlobalMethod, kEndOfLine, nullptr, nullptr);
}

// A line-ending string: the object's string property, the object released.
REALstring endOfLineProperty(const Row &row, Slot &slot, const char *property) {
    REALobject eol = endOfLine(row, slot);
    if (!eol) return nullptr;
    REALstring s = nullptr;
    if (!REALGetPropValueString(eol, property, &s)) s = nullptr;
    REALUnlockObject(eol);
    return s;
}

REALstring base64(const Row &row, Slot &slot, const char *signature, REALstring s) {
    return signatureFirst<REALstring>(row, slot, Loader::GlobalMethod, signature, nullptr, nullptr, s,
                                      REALobject(nullptr));
}

}  // namespace

REALstring String_DecodeBase64(REALstring s) {
    static constexpr Row row{"String_DecodeBase64", {}};
    static constinit Slot _fp{nullptr};
    return base64(row, _fp, "DecodeBase64(s As String, encoding As TextEncoding = nil) as String", s);
}

REALstring String_EncodeBase64(REALstring s) {
    static constexpr Row row{"String_EncodeBase64", {}};
    static constinit Slot _fp{nullptr};
    return base64(row, _fp, "EncodeBase64(s As String, encoding As TextEncoding = nil) as String", s);
}

REALobject String_EndOfLine() {
    static constexpr Row row{"String_EndOfLine", {}};
    static constinit Slot _fp{nullptr};
    return endOfLine(row, _fp);
}

REALstring String_EndOfLineMac() {
    static constexpr Row row{"String_EndOfLineMac", {}};
    static constinit Slot _fp{nullptr};
    return endOfLineProperty(row, _fp, "Macintosh");
}

REALstring String_EndOfLineWindows() {
    static constexpr Row row{"String_EndOfLineWindows", {}};
    static constinit Slot _fp{nullptr};
    return endOfLineProperty(row, _fp, "Windows");
}

REALstring String_EndOfLineUnix() {
    static constexpr Row row{"String_EndOfLineUnix", {}};
    static constinit Slot _fp{nullptr};
    return endOfLineProperty(row, _fp, "Unix");
}
