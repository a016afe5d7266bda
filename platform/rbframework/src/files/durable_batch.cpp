// Durable batches: many atomic saves put on the disk with one sync of each
// temporary file (cheap once its write-back has run), one rename each and
// one sync of each folder, instead of a full sync per file.
#include "files/durable.h"

#include <rb/files.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <unistd.h>

namespace rb {

namespace durable {

namespace {

bool syncPath(const std::string &path, int flags) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

}  // namespace

std::string folderOf(const std::string &path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
}

bool syncFile(const std::string &path) { return syncPath(path, O_NOFOLLOW); }

bool putInPlace(const std::string &temp, const std::string &target, bool replace) {
    if (replace) return ::rename(temp.c_str(), target.c_str()) == 0;
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // A file system that cannot rename so: a second name, which link() never
    // puts over a file, then the temporary name goes.
    if (::link(temp.c_str(), target.c_str()) != 0) return false;
    ::unlink(temp.c_str());
    return true;
}

bool syncFolderOf(const std::string &path) {
    if (syncPath(folderOf(path), O_DIRECTORY)) return true;
    // Some file systems sync their folders with their files and refuse it.
    return errno == EINVAL || errno == ENOTSUP;
}

}  // namespace durable

DurableBatch::~DurableBatch() {
    for (const Pending &p : pending_) ::unlink(p.temp.c_str());
}

std::vector<bool> DurableBatch::commit(const std::function<void()> &between) {
    // A `between` that throws (a thread told to stop) is not run again, and
    // what it threw goes on once every save is in place: nothing written is
    // dropped half way.
    std::exception_ptr thrown;
    auto pause = [&] {
        if (!between || thrown) return;
        try {
            between();
        } catch (...) {
            thrown = std::current_exception();
        }
    };
    std::vector<bool> saved(pending_.size(), false);
    for (size_t i = 0; i < pending_.size(); ++i) {
        saved[i] = durable::syncFile(pending_[i].temp);
        pause();
    }
    for (size_t i = 0; i < pending_.size(); ++i) {
        const Pending &p = pending_[i];
        if (saved[i] && !durable::putInPlace(p.temp, p.target, existing_ == Existing::Replace)) saved[i] = false;
        if (!saved[i]) ::unlink(p.temp.c_str());
    }
    // Each folder once (a pass writes into one; Grab Now and tests may mix).
    std::vector<bool> folderDone(pending_.size(), false);
    for (size_t i = 0; i < pending_.size(); ++i) {
        if (!saved[i] || folderDone[i]) continue;
        const bool synced = durable::syncFolderOf(pending_[i].target);
        const std::string folder = durable::folderOf(pending_[i].target);
        for (size_t j = i; j < pending_.size(); ++j) {
            if (!saved[j] || folderDone[j] || durable::folderOf(pending_[j].target) != folder) continue;
            folderDone[j] = true;
            saved[j] = synced;  // in place, but not known to survive a crash: not saved
        }
    }
    pending_.clear();
    if (thrown) std::rethrow_exception(thrown);
    return saved;
}

}  // namespace rb
