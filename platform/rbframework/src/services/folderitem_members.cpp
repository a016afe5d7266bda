// Members of folder item objects, and the binary stream class "BinaryStream"
// that opens their files for plug-ins.
//
// Folder items, streams and strings handed out carry one reference for the
// caller. A nil or foreign object, a missing file or a closed stream gives
// nil, 0 or false and changes nothing.
#include "files/folderitem_object.h"
#include "plugins/selectors.h"

#include <rb/files.h>
#include <rb/host.h>
#include <rb/string.h>

#include <cerrno>
#include <climits>
#include <optional>

namespace rb {

namespace {

// ---- folder items --------------------------------------------------------------

// The item's FolderItem, or nothing for nil or another class.
std::optional<FolderItem> itemOf(REALobject obj) {
    const std::string *path = folderItemPath(obj);
    if (!path) return std::nullopt;
    return FolderItem(*path);
}

template <class F> void itemProperty(ClassInfo *c, const char *name, const char *type, F get) {
    addHostProperty(c, name, type, [get](REALobject o) -> Value {
        auto item = itemOf(o);
        return item ? get(*item) : Value{};
    });
}

REALobject objectFor(const FolderItemRef &item) { return item ? newFolderItemObject(item->absolutePath()) : nullptr; }

// "FolderChild" / "Child(name As String) As FolderItem": the item of that name
// inside the folder (nil for "", "." or "..").
extern "C" REALfolderItem svcChild(REALfolderItem fi, REALstring name) {
    auto item = itemOf(reinterpret_cast<REALobject>(fi));
    return reinterpret_cast<REALfolderItem>(item ? objectFor(item->child(toStd(name))) : nullptr);
}

// "RuntimeGetFolderItem"(path): the item at that path, a relative one taken
// from the current folder; nil for "".
extern "C" REALfolderItem svcGetFolderItem(REALstring path) {
    std::string p = toStd(path);
    return reinterpret_cast<REALfolderItem>(p.empty() ? nullptr : newFolderItemObject(FolderItem(p).absolutePath()));
}

// "REALpathFromFolderItem"(item): its absolute path as a new string.
extern "C" REALstring svcPathFromFolderItem(REALfolderItem fi) {
    const std::string *path = folderItemPath(reinterpret_cast<REALobject>(fi));
    return path ? newString(*path, kEncodingUTF8) : nullptr;
}

// ---- binary streams -------------------------------------------------------------

struct StreamFields {
    BinaryStreamRef stream;  // nullptr once closed
    int32_t lastError = 0;   // errno of the last failed write or close, else 0
};

ClassInfo *streamClass() {
    static ClassInfo *cls = [] {
        ClassInfo *c = defineClass<StreamFields>("BinaryStream");
        auto open = [c](REALobject o) -> StreamFields * {
            StreamFields *f = fields<StreamFields>(o, c);
            return f->stream ? f : nullptr;
        };
        auto intOf = [](const Value &v) -> int64_t {
            if (auto *i = std::get_if<int64_t>(&v)) return *i;
            if (auto *b = std::get_if<bool>(&v)) return *b;
            return -1;
        };
        addHostProperty(
            c, "Length", "integer",
            [open](REALobject o) -> Value {
                StreamFields *f = open(o);
                return f ? Value(std::min<int64_t>(f->stream->length(), INT32_MAX)) : Value{};
            },
            [open, intOf](REALobject o, const Value &v) {
                StreamFields *f = open(o);
                if (f && !f->stream->setLength(intOf(v))) f->lastError = errno ? errno : EIO;
            });
        addHostProperty(
            c, "Position", "integer",
            [open](REALobject o) -> Value {
                StreamFields *f = open(o);
                return f ? Value(std::min<int64_t>(f->stream->position(), INT32_MAX)) : Value{};
            },
            [open, intOf](REALobject o, const Value &v) {
                if (StreamFields *f = open(o)) f->stream->setPosition(intOf(v));
            });
        addHostProperty(
            c, "LittleEndian", "Boolean",
            [open](REALobject o) -> Value {
                StreamFields *f = open(o);
                return f ? Value(f->stream->littleEndian) : Value{};
            },
            [open, intOf](REALobject o, const Value &v) {
                if (StreamFields *f = open(o)) f->stream->littleEndian = intOf(v) > 0;
            });
        addHostProperty(c, "EOF", "Boolean", [open](REALobject o) -> Value {
            StreamFields *f = open(o);
            return f ? Value(f->stream->eof()) : Value{};
        });
        addHostProperty(c, "LastError", "integer",
                        [c](REALobject o) -> Value { return int64_t(fields<StreamFields>(o, c)->lastError); });
        return c;
    }();
    return cls;
}

StreamFields *streamOf(REALobject obj) {
    if (!obj || !isA(obj->klass, streamClass())) return nullptr;
    StreamFields *f = fields<StreamFields>(obj, streamClass());
    return f->stream ? f : nullptr;
}

REALobject streamObject(BinaryStreamRef s) {
    if (!s) return nullptr;
    REALobject obj = newObject(streamClass());
    if (obj) fields<StreamFields>(obj, streamClass())->stream = std::move(s);
    return obj;
}

// "FolderItemOpenBinaryFile"(item, writable): the file opened for reading
// (and writing); nil when it is missing, a folder or cannot be opened.
extern "C" REALobject svcOpenBinaryFile(REALfolderItem fi, RBBoolean writable) {
    auto item = itemOf(reinterpret_cast<REALobject>(fi));
    return item ? streamObject(BinaryStream::open(*item, (writable & 1) != 0)) : nullptr;
}

// "FolderItemCreateBinaryFile"(item, file type): a new empty file (an old
// one is replaced) open for reading and writing.
extern "C" REALobject svcCreateBinaryFile(REALfolderItem fi, REALstring type) {
    auto item = itemOf(reinterpret_cast<REALobject>(fi));
    return item ? streamObject(BinaryStream::create(*item, toStd(type))) : nullptr;
}

// "BinaryStreamRead"(stream, count, encoding): up to `count` bytes from the
// position as a new string of that encoding (0: none given).
extern "C" REALstring svcStreamRead(REALobject bs, int32_t count, uint32_t encoding) {
    StreamFields *f = streamOf(bs);
    if (!f || count < 0) return nullptr;
    return newString(f->stream->readBytes(size_t(count)), encoding ? encoding : kEncodingUnknown);
}

extern "C" void svcStreamWrite(REALobject bs, REALstring s) {
    StreamFields *f = streamOf(bs);
    if (!f) return;
    errno = 0;
    f->stream->writeBytes(toStd(s));
    if (f->stream->writeError()) f->lastError = errno ? errno : EIO;
}

extern "C" void svcStreamClose(REALobject bs) {
    StreamFields *f = streamOf(bs);
    if (!f) return;
    errno = 0;
    if (!f->stream->close()) f->lastError = errno ? errno : EIO;
    f->stream.reset();
}

#define FN(f) reinterpret_cast<void *>(&f)
struct Registrar {
    Registrar() {
        registerService("FolderChild", FN(svcChild));
        registerService("RuntimeGetFolderItem", FN(svcGetFolderItem));
        registerService("REALpathFromFolderItem", FN(svcPathFromFolderItem));
        registerService("FolderItemOpenBinaryFile", FN(svcOpenBinaryFile));
        registerService("FolderItemCreateBinaryFile", FN(svcCreateBinaryFile));
        registerService("BinaryStreamRead", FN(svcStreamRead));
        registerService("BinaryStreamWrite", FN(svcStreamWrite));
        registerService("BinaryStreamClose", FN(svcStreamClose));

        using sel::Kind;
        sel::defineGetter("folderParentGetter", Kind::Object);
        sel::defineGetter("fileDirectoryGetter", Kind::Bool);
        sel::defineGetter("fileExistsGetter", Kind::Bool);
        sel::defineGetter("fileNameGetter", Kind::String);
        sel::add("folderParentGetter", "FolderItem", 0, "Parent");
        sel::add("fileDirectoryGetter", "FolderItem", 0, "Directory");
        sel::add("fileExistsGetter", "FolderItem", 0, "Exists");
        sel::add("fileNameGetter", "FolderItem", 0, "Name");

        for (const char *g : {"BinaryStreamGetLength", "BinaryStreamGetPosition", "BinaryStreamLastErrorGetter"})
            sel::defineGetter(g, Kind::Int);
        for (const char *s : {"BinaryStreamSetLength", "BinaryStreamSetPosition"}) sel::defineSetter(s, Kind::Int);
        sel::defineGetter("boolGetter", Kind::Bool);
        sel::defineSetter("boolSetter", Kind::Bool);
        sel::addPair("BinaryStreamGetLength", "BinaryStreamSetLength", "BinaryStream", 0, "Length");
        sel::addPair("BinaryStreamGetPosition", "BinaryStreamSetPosition", "BinaryStream", 0, "Position");
        sel::add("BinaryStreamLastErrorGetter", "BinaryStream", 0, "LastError");
        sel::addPair("boolGetter", "boolSetter", "BinaryStream", 28, "LittleEndian");
    }
} registrar;
#undef FN

}  // namespace

void defineFolderItemMembers(ClassInfo *c) {
    itemProperty(c, "AbsolutePath", "String", [](const FolderItem &i) { return Value(String(i.absolutePath())); });
    itemProperty(c, "Exists", "Boolean", [](const FolderItem &i) { return Value(i.exists()); });
    itemProperty(c, "Name", "String", [](const FolderItem &i) { return Value(String(i.name())); });
    itemProperty(c, "Length", "integer",
                 [](const FolderItem &i) { return Value(std::min<int64_t>(i.length(), INT32_MAX)); });
    itemProperty(c, "Directory", "Boolean", [](const FolderItem &i) { return Value(i.isFolder()); });
    // The folder it lies in; nil (but answered) for the root.
    itemProperty(c, "Parent", "FolderItem",
                 [](const FolderItem &i) { return Value(ObjRef::adopt(objectFor(i.parent()))); });
    c->methods.push_back({"Child(name As String) As FolderItem", reinterpret_cast<void *>(&svcChild), nullptr});
}

}  // namespace rb
