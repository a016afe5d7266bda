// Folder items, binary streams and the preferences folder.
#include "files/durable.h"

#include <rb/files.h>
#include <rb/showurl.h>
#include <rb/ui.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace rb {

namespace {

// Joins `base` and `rel` and folds "." and ".." without touching the disk.
std::string normalise(const std::string &in) {
    std::string out;
    size_t i = 0;
    while (i < in.size()) {
        size_t j = in.find('/', i);
        if (j == std::string::npos) j = in.size();
        std::string part = in.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            size_t cut = out.rfind('/');
            out.erase(cut == std::string::npos ? 0 : cut);
            continue;
        }
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

std::string getXattr(const std::string &path, const char *name) {
    char buf[64];
    ssize_t n = ::getxattr(path.c_str(), name, buf, sizeof buf);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

bool setXattr(const std::string &path, const char *name, const std::string &code) {
    if (code.empty()) return ::removexattr(path.c_str(), name) == 0;
    return ::setxattr(path.c_str(), name, code.data(), code.size(), 0) == 0;
}

// The Mac file type that a framework file-type name stands for.
std::string macTypeFor(const std::string &fileType) {
    if (fileType == "text" || fileType == "application/text") return "TEXT";
    if (fileType.size() == 4) return fileType;
    return {};
}

mode_t currentUmask() {
    // Reading the mask through umask() would change it for other threads.
    if (std::FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 022;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
        std::fclose(f);
        return mode_t(mask);
    }
    return 022;
}

}  // namespace

// ---- FolderItem --------------------------------------------------------------------

FolderItem::FolderItem(const std::string &path) {
    std::string p = path;
    if (p.empty() || p[0] != '/') {
        char cwd[PATH_MAX];
        std::string base = ::getcwd(cwd, sizeof cwd) ? cwd : "/";
        p = base + "/" + p;
    }
    path_ = normalise(p);
}

std::string FolderItem::name() const {
    size_t cut = path_.rfind('/');
    return path_.substr(cut + 1);
}

FolderItemRef FolderItem::child(const std::string &name) const {
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) return nullptr;
    std::string n = name;
    for (char &c : n)
        if (c == '/') c = ':';
    return make(path_ == "/" ? "/" + n : path_ + "/" + n);
}

FolderItemRef FolderItem::parent() const {
    if (path_ == "/") return nullptr;
    size_t cut = path_.rfind('/');
    return make(cut == 0 ? "/" : path_.substr(0, cut));
}

bool FolderItem::exists() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0;
}

bool FolderItem::isFolder() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FolderItem::length() const {
    struct stat st;
    return ::stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? int64_t(st.st_size) : 0;
}

bool FolderItem::createAsFolder() const { return ::mkdir(path_.c_str(), 0777) == 0 || (errno == EEXIST && isFolder()); }

bool FolderItem::remove() const { return isFolder() ? ::rmdir(path_.c_str()) == 0 : ::unlink(path_.c_str()) == 0; }

std::string FolderItem::macType() const { return getXattr(path_, "user.mac.type"); }
std::string FolderItem::macCreator() const { return getXattr(path_, "user.mac.creator"); }
bool FolderItem::setMacType(const std::string &code) const { return setXattr(path_, "user.mac.type", code); }
bool FolderItem::setMacCreator(const std::string &code) const { return setXattr(path_, "user.mac.creator", code); }

bool FolderItem::launch(bool /*activate*/) const {
    if (!exists()) return false;
    showURL(fileURL(path_));  // the same opener; headless runs only record it
    return true;
}

std::string userBaseFolder(const char *xdg, const char *underHome) {
    if (xdg && *xdg == '/') return xdg;
    const char *home = std::getenv("HOME");
    if (!home || !*home) {
        struct passwd *pw = ::getpwuid(::getuid());
        home = pw ? pw->pw_dir : "/tmp";
    }
    return std::string(home) + "/" + underHome;
}

FolderItemRef preferencesFolder() {
    std::string dir;
    if (const char *p = std::getenv("TAVRIN_PREFS_DIR"); p && *p) dir = p;
    else dir = userBaseFolder(std::getenv("XDG_CONFIG_HOME"), ".config") + "/tavrin";
    auto folder = FolderItem::make(dir);
    // Create each missing level; a failure leaves a folder item whose
    // children simply do not exist.
    std::string path;
    for (size_t i = 1; i <= folder->absolutePath().size(); ++i) {
        const std::string &full = folder->absolutePath();
        if (i == full.size() || full[i] == '/') {
            path = full.substr(0, i);
            ::mkdir(path.c_str(), 0700);
        }
    }
    return folder;
}

// ---- BinaryStream ----------------------------------------------------------------

BinaryStream::BinaryStream(std::FILE *f, bool writable, std::string target, std::string temp, DurableBatch *batch)
    : f_(f), writable_(writable), target_(std::move(target)), temp_(std::move(temp)), batch_(batch) {}

BinaryStream::~BinaryStream() { close(); }

BinaryStreamRef BinaryStream::create(const FolderItem &file, const std::string &fileType) {
    if (file.isFolder()) return nullptr;
    std::FILE *f = std::fopen(file.absolutePath().c_str(), "w+b");
    if (!f) return nullptr;
    file.setMacType(macTypeFor(fileType));
    return BinaryStreamRef(new BinaryStream(f, true, file.absolutePath(), {}));
}

namespace {

// What follows a temporary file's "." + name; mkstemp fills in the Xs.
constexpr std::string_view kTemporarySuffix = ".tmp-XXXXXX";

}  // namespace

size_t BinaryStream::temporaryNameExtra() { return 1 + kTemporarySuffix.size(); }

bool BinaryStream::isTemporaryName(std::string_view name, std::string_view ending) {
    // "." + a name of one byte or more that ends in `ending` + the suffix,
    // its Xs filled in.
    const std::string_view stem = kTemporarySuffix.substr(0, kTemporarySuffix.find('X'));
    if (name.size() < temporaryNameExtra() + std::max<size_t>(ending.size(), 1) || name[0] != '.') return false;
    std::string_view own = name.substr(1, name.size() - temporaryNameExtra());
    return name.substr(name.size() - kTemporarySuffix.size()).starts_with(stem) && own.ends_with(ending);
}

BinaryStreamRef BinaryStream::createAtomic(const FolderItem &file, const std::string &fileType, DurableBatch *batch) {
    if (file.isFolder()) {
        errno = EISDIR;  // what the rename over it would say
        return nullptr;
    }
    auto dir = file.parent();
    if (!dir) return nullptr;
    std::string temp = dir->absolutePath() + (dir->absolutePath() == "/" ? "" : "/") + "." + file.name() +
                       std::string(kTemporarySuffix);
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return nullptr;
    ::fchmod(fd, 0666 & ~currentUmask());
    std::FILE *f = ::fdopen(fd, "w+b");
    if (!f) {
        ::close(fd);
        ::unlink(temp.c_str());
        return nullptr;
    }
    setXattr(temp, "user.mac.type", macTypeFor(fileType));
    return BinaryStreamRef(new BinaryStream(f, true, file.absolutePath(), temp, batch));
}

BinaryStreamRef BinaryStream::openRead(const FolderItem &file) {
    if (file.isFolder()) return nullptr;
    std::FILE *f = std::fopen(file.absolutePath().c_str(), "rb");
    if (!f) return nullptr;
    return BinaryStreamRef(new BinaryStream(f, false, file.absolutePath(), {}));
}

BinaryStreamRef BinaryStream::open(const FolderItem &file, bool writable) {
    if (!writable) return openRead(file);
    if (file.isFolder()) return nullptr;
    std::FILE *f = std::fopen(file.absolutePath().c_str(), "r+b");
    if (!f) return nullptr;
    return BinaryStreamRef(new BinaryStream(f, true, file.absolutePath(), {}));
}

bool BinaryStream::setLength(int64_t length) {
    if (!f_ || !writable_ || length < 0) return false;
    std::fflush(f_);
    return ::ftruncate(::fileno(f_), off_t(length)) == 0;
}

uint8_t BinaryStream::readByte() {
    if (!f_) return eof_ = true, 0;
    reading_ = true;
    int c = std::fgetc(f_);
    if (c == EOF) return eof_ = true, 0;
    return uint8_t(c);
}

int16_t BinaryStream::readShort() {
    if (!f_) return eof_ = true, 0;
    reading_ = true;
    unsigned char b[2];
    if (std::fread(b, 1, 2, f_) != 2) return eof_ = true, 0;
    return littleEndian ? int16_t(b[0] | b[1] << 8) : int16_t(b[0] << 8 | b[1]);
}

std::string BinaryStream::readBytes(size_t n) {
    std::string out;
    if (!f_) return eof_ = true, out;
    reading_ = true;
    int64_t left = length() - position();
    size_t want = left < 0 ? 0 : std::min<uint64_t>(n, uint64_t(left));
    out.resize(want);
    size_t got = want ? std::fread(out.data(), 1, want, f_) : 0;
    out.resize(got);
    if (got < n) eof_ = true;
    return out;
}

void BinaryStream::writeByte(uint8_t v) { writeBytes(std::string_view(reinterpret_cast<char *>(&v), 1)); }

void BinaryStream::writeShort(int16_t v) {
    uint16_t u = uint16_t(v);
    char b[2];
    if (littleEndian) {
        b[0] = char(u & 0xff), b[1] = char(u >> 8);
    } else {
        b[0] = char(u >> 8), b[1] = char(u & 0xff);
    }
    writeBytes(std::string_view(b, 2));
}

void BinaryStream::writeBytes(std::string_view bytes) {
    if (!f_ || !writable_) {
        writeError_ = true;
        return;
    }
    if (reading_) {
        std::fseek(f_, 0, SEEK_CUR);  // switching from reading to writing
        reading_ = false;
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) writeError_ = true;
}

bool BinaryStream::setMacType(const std::string &code) {
    return f_ && writable_ && setXattr(temp_.empty() ? target_ : temp_, "user.mac.type", code);
}

bool BinaryStream::setMacCreator(const std::string &code) {
    return f_ && writable_ && setXattr(temp_.empty() ? target_ : temp_, "user.mac.creator", code);
}

int64_t BinaryStream::length() const {
    if (!f_) return 0;
    if (writable_) std::fflush(f_);
    struct stat st;
    return ::fstat(::fileno(f_), &st) == 0 ? int64_t(st.st_size) : 0;
}

int64_t BinaryStream::position() const { return f_ ? int64_t(std::ftell(f_)) : 0; }

void BinaryStream::setPosition(int64_t pos) {
    if (!f_) return;
    if (pos < 0) pos = 0;
    std::fseek(f_, long(pos), SEEK_SET);
    eof_ = pos >= length() && !writable_;
}

bool BinaryStream::close() {
    if (!f_) return !writeError_;
    if (writable_ && std::fflush(f_) != 0) writeError_ = true;
    if (!temp_.empty()) return finishAtomic();
    if (std::fclose(f_) != 0) writeError_ = true;
    f_ = nullptr;
    return !writeError_;
}

// The temporary file's bytes go to the disk before its name replaces the
// file's, and the folder is synced after: a crash leaves the earlier file or
// the whole new one, never part of it. In a batch, the write-back only
// starts here, and the batch's commit() does the rest for all its files.
bool BinaryStream::finishAtomic() {
    const int fd = ::fileno(f_);
    if (!writeError_) {
        if (batch_) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);  // a head start only: errors show at commit
        else if (::fsync(fd) != 0) writeError_ = true;
    }
    if (std::fclose(f_) != 0) writeError_ = true;
    f_ = nullptr;
    std::string temp;
    temp.swap(temp_);
    if (!writeError_ && batch_) {
        try {
            batch_->pending_.push_back({std::move(temp), std::move(target_)});
            return true;
        } catch (const std::bad_alloc &) {
            writeError_ = true;
        }
    }
    if (!writeError_ && ::rename(temp.c_str(), target_.c_str()) == 0) {
        if (durable::syncFolderOf(target_)) return true;
        writeError_ = true;  // in place, but its name is not known to survive a crash
        return false;
    }
    ::unlink(temp.c_str());
    writeError_ = true;
    return false;
}

void BinaryStream::discard() {
    if (temp_.empty()) {
        close();
        return;
    }
    writeError_ = true;  // makes close() drop the temporary file
    close();
}

}  // namespace rb
