// Files of the host runtime: folder items, binary streams, the preferences
// folder.
//
// A FolderItem names a path, whether or not something is there. Mac file
// type and creator codes are kept in the extended attributes "user.mac.type"
// and "user.mac.creator"; on a file system without them they are silently
// not kept. A BinaryStream reads or writes a file byte by byte; 16-bit
// integers are big-endian unless littleEndian is set. Reads past the end
// yield 0 and set the EOF flag; nothing here throws or crashes on bad input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rb {

class FolderItem;
using FolderItemRef = std::shared_ptr<FolderItem>;

class FolderItem {
public:
    // A relative path is taken from the current directory.
    explicit FolderItem(const std::string &path);
    static FolderItemRef make(const std::string &path) { return std::make_shared<FolderItem>(path); }

    const std::string &absolutePath() const { return path_; }
    std::string name() const;  // the last path component

    // The item `name` inside this folder. A '/' in a name becomes ':' (as
    // the classic Mac file system shows it); "", "." and ".." give nullptr.
    FolderItemRef child(const std::string &name) const;
    FolderItemRef parent() const;  // nullptr for "/"

    bool exists() const;
    bool isFolder() const;
    int64_t length() const;  // bytes of a file; 0 when missing
    bool createAsFolder() const;
    // Deletes the file (or empty folder). False when nothing was deleted.
    bool remove() const;

    // Four-character codes; empty when unset or not supported.
    std::string macType() const;
    std::string macCreator() const;
    bool setMacType(const std::string &code) const;  // false when not kept
    bool setMacCreator(const std::string &code) const;

    // Opens the item with the desktop's default application: showURL with
    // its file: URL. Headless runs only record it (see rb/operator.h).
    bool launch(bool activate = true) const;

private:
    std::string path_;
};

// The user's preferences folder: $TAVRIN_PREFS_DIR if set, else
// $XDG_CONFIG_HOME/tavrin or ~/.config/tavrin; created when missing.
FolderItemRef preferencesFolder();
// A base folder of the user's: `xdg` (the value of XDG_CONFIG_HOME or
// XDG_DATA_HOME, nullptr when unset) when it is an absolute path, else
// `underHome` in the home folder ($HOME, else the password file's).
std::string userBaseFolder(const char *xdg, const char *underHome);

class BinaryStream;
using BinaryStreamRef = std::unique_ptr<BinaryStream>;

// Atomic saves of many files made durable together, with one sync for all of
// them instead of one each. A stream made by createAtomic with a batch writes
// its temporary file and, closed without errors, starts writing its bytes
// back to the disk and joins the batch; its file is not touched yet.
// commit() then, in this order:
//   1. syncs every temporary file (cheap by then: its bytes are mostly on
//      the disk already), so each one's bytes and codes are on the disk;
//   2. renames each synced temporary file onto its file (a batch that keeps
//      existing files puts none where a file already is: that save fails);
//   3. syncs each folder once, so the names are on the disk too.
// A file therefore never shows partial or empty, even after a crash or a
// power loss, and what commit() reports as saved is on the disk, name and
// all. A save that fails at any step leaves its file as it was.
class DurableBatch {
public:
    // What a save does to a file already under its name.
    enum class Existing { Replace, Keep };

    explicit DurableBatch(Existing existing = Existing::Replace) : existing_(existing) {}
    ~DurableBatch();  // drops the temporary files of saves not committed
    DurableBatch(const DurableBatch &) = delete;
    DurableBatch &operator=(const DurableBatch &) = delete;

    // How many saves wait for commit().
    size_t size() const { return pending_.size(); }
    // Room for `saves` saves, so that joining takes no memory.
    void reserve(size_t saves) { pending_.reserve(saves); }
    // Makes every waiting save durable and puts it in place; for each save,
    // in the order they joined, whether it is now on the disk under its
    // name. `between` runs after each file's sync (a cooperative thread
    // yields there); if it throws, it runs no more, every save is still put
    // in place, and then what it threw goes on.
    std::vector<bool> commit(const std::function<void()> &between = {});

private:
    friend class BinaryStream;
    struct Pending {
        std::string temp, target;
    };
    std::vector<Pending> pending_;
    Existing existing_;
};

class BinaryStream {
public:
    // Creates `file`, replacing an existing file; `fileType` is the
    // framework's file-type name ("text", "TIFF", ...), which gives the Mac
    // file type. nullptr when it cannot be created.
    static BinaryStreamRef create(const FolderItem &file, const std::string &fileType);
    // As create, but the bytes go to a temporary file in the same folder
    // that replaces `file` only when close() succeeds, and only once they
    // are on the disk; close() returns once the file is on the disk under
    // its name. A failed or discarded save leaves the earlier file as it
    // was. With a batch, close() only writes the temporary file and the
    // batch's commit() puts it in place (the batch must outlive the stream).
    // errno says why it cannot be created (EISDIR: a folder has the name).
    static BinaryStreamRef createAtomic(const FolderItem &file, const std::string &fileType,
                                        DurableBatch *batch = nullptr);
    // createAtomic's temporary file is hidden beside its file and named
    // after it: "." + name + a random suffix. How many bytes longer than the
    // file's own name that is.
    static size_t temporaryNameExtra();
    // Whether `name` is the name of such a temporary file, of a file whose
    // name ends in `ending`.
    static bool isTemporaryName(std::string_view name, std::string_view ending = {});
    // Opens an existing file for reading only; nullptr when it cannot.
    static BinaryStreamRef openRead(const FolderItem &file);
    // Opens an existing file for reading, and for writing too when
    // `writable`; the position starts at 0. nullptr when it cannot.
    static BinaryStreamRef open(const FolderItem &file, bool writable);

    ~BinaryStream();  // closes (and commits an atomic save without errors)
    BinaryStream(const BinaryStream &) = delete;
    BinaryStream &operator=(const BinaryStream &) = delete;

    bool littleEndian = false;

    uint8_t readByte();
    int16_t readShort();
    std::string readBytes(size_t n);  // shorter at the end of the file
    bool eof() const { return eof_; }

    void writeByte(uint8_t v);
    void writeShort(int16_t v);
    void writeBytes(std::string_view bytes);
    // The Mac codes of the file being written (an atomic save's temporary
    // file, which takes them to its name); false when not kept.
    bool setMacType(const std::string &code);
    bool setMacCreator(const std::string &code);

    int64_t length() const;
    int64_t position() const;
    void setPosition(int64_t pos);
    // Cuts or zero-extends the file; false for a read-only stream or a
    // failure. The position stays where it was.
    bool setLength(int64_t length);

    // Closes the stream; false when a write failed (an atomic save then
    // leaves the earlier file in place). Further calls do nothing.
    bool close();
    // Drops an atomic save without touching the target file.
    void discard();
    bool writeError() const { return writeError_; }

private:
    BinaryStream(std::FILE *f, bool writable, std::string target, std::string temp, DurableBatch *batch = nullptr);
    // An atomic save's last steps once the bytes are flushed: false when
    // they failed (the temporary file is then gone).
    bool finishAtomic();
    std::FILE *f_;
    bool writable_;
    bool eof_ = false, writeError_ = false;
    bool reading_ = false;       // the last transfer was a read (a write must seek first)
    std::string target_, temp_;  // temp_ is set for atomic saves
    DurableBatch *batch_ = nullptr;
};

}  // namespace rb
