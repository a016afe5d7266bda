#include "smallfile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrin {

std::optional<std::string> readSmallFile(const std::string &path, size_t cap) {
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat st {};
    std::optional<std::string> out;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= cap) {
        // The file may grow while it is read: read up to one byte past the
        // cap to tell.
        std::string bytes(size_t(st.st_size) + 1, '\0');
        size_t got = 0;
        while (got <= cap) {
            if (got == bytes.size()) bytes.resize(std::min(cap + 1, bytes.size() * 2));
            ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        if (got <= cap) {
            bytes.resize(got);
            out = std::move(bytes);
        }
    }
    ::close(fd);
    return out;
}

}  // namespace tavrin
