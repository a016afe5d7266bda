// The framework class "StringArray" and the string services that make and
// read it: "StringSplit"(source, delimiter) and "StringJoin"(array,
// delimiter).
#include <rb/host.h>
#include <rb/stringarray.h>

#include <cctype>

namespace rb {

namespace {

struct StringArrayFields {
    std::vector<String> items;
};

// Case-insensitive search (letters A-Z), as the other field functions do.
size_t findFolded(const std::string &text, const std::string &find, size_t from) {
    auto fold = [](char c) { return char(std::tolower(static_cast<unsigned char>(c))); };
    for (size_t i = from; i + find.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < find.size() && fold(text[i + k]) == fold(find[k])) ++k;
        if (k == find.size()) return i;
    }
    return std::string::npos;
}

// The fields of `source` between the delimiters, empty ones included, each
// a new string of the source's encoding; an empty source gives no fields
// and an empty delimiter the whole source as one. Nil for nil.
extern "C" REALstringArrayStruct *svcStringSplit(REALstring source, REALstring delimiter) {
    if (!source) return nullptr;
    const std::string &text = source->bytes;
    std::string d = toStd(delimiter);
    std::vector<String> items;
    if (!text.empty()) {
        size_t from = 0;
        for (size_t at; !d.empty() && (at = findFolded(text, d, from)) != std::string::npos; from = at + d.size())
            items.push_back(String(text.substr(from, at - from), source->encoding));
        items.push_back(String(text.substr(from), source->encoding));
    }
    return reinterpret_cast<REALstringArrayStruct *>(newStringArray(items).detach());
}

// The items joined with the delimiter between them, a new string in the
// first item's encoding. Nil for nil or an object that is not a string array.
extern "C" REALstring svcStringJoin(REALstringArrayStruct *array, REALstring delimiter) {
    std::vector<String> *items = stringArrayItems(reinterpret_cast<REALobject>(array));
    if (!items) return nullptr;
    std::string out, d = toStd(delimiter);
    for (size_t i = 0; i < items->size(); ++i) {
        if (i) out += d;
        out += (*items)[i].str();
    }
    return newString(out, items->empty() ? kEncodingUTF8 : (*items)[0].encoding());
}

RB_SERVICE("StringSplit", svcStringSplit);
RB_SERVICE("StringJoin", svcStringJoin);

}  // namespace

ClassInfo *stringArrayClass() {
    static ClassInfo *cls = defineClass<StringArrayFields>("StringArray");
    return cls;
}

ObjRef newStringArray(const std::vector<String> &items) {
    ObjRef a = make(stringArrayClass());
    if (a) fields<StringArrayFields>(a.get(), stringArrayClass())->items = items;
    return a;
}

std::vector<String> *stringArrayItems(REALobject array) {
    if (!array || !isA(array->klass, stringArrayClass())) return nullptr;
    return &fields<StringArrayFields>(array, stringArrayClass())->items;
}

}  // namespace rb
