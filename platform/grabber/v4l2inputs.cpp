// Video4Linux inputs through VIDIOC_ENUMINPUT, VIDIOC_G_INPUT, VIDIOC_S_INPUT.
#include "v4l2inputs.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace grab {

namespace {

// More inputs than any card has: a device that never says it has no more
// is not asked forever.
constexpr int kMaxInputs = 64;

int systemIoctl(int fd, unsigned long request, void *arg) {
    int r;
    do r = ::ioctl(fd, request, arg);
    while (r < 0 && errno == EINTR);
    return r;
}
int systemOpen(const char *path, int flags) { return ::open(path, flags); }

const V4l2Calls kSystem{systemOpen, systemIoctl, ::close};
std::atomic<const V4l2Calls *> gCalls{&kSystem};

// The device node opened without waiting and without becoming its owner's
// controlling terminal; -1 when it cannot be.
int openNode(const V4l2Calls &c, const std::string &path) {
    if (path.empty()) return -1;
    return c.open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

}  // namespace

void setV4l2Calls(const V4l2Calls *calls) { gCalls = calls ? calls : &kSystem; }

V4l2Inputs v4l2Inputs(const std::string &path) {
    const V4l2Calls &c = *gCalls.load();
    V4l2Inputs out;
    int fd = openNode(c, path);
    if (fd < 0) return out;
    for (int i = 0; i < kMaxInputs; ++i) {
        v4l2_input input{};
        input.index = uint32_t(i);
        if (c.ioctl(fd, VIDIOC_ENUMINPUT, &input) < 0) break;
        size_t n = strnlen(reinterpret_cast<const char *>(input.name), sizeof input.name);
        std::string name(reinterpret_cast<const char *>(input.name), n);
        out.names.push_back(name.empty() ? "Input " + std::to_string(i + 1) : name);
    }
    int current = -1;
    if (!out.names.empty() && c.ioctl(fd, VIDIOC_G_INPUT, &current) == 0 && current >= 0 &&
        current < int(out.names.size()))
        out.current = current;
    c.close(fd);
    return out;
}

bool selectV4l2Input(const std::string &path, int index) {
    const V4l2Calls &c = *gCalls.load();
    if (index < 0) return false;
    int fd = openNode(c, path);
    if (fd < 0) return false;
    int chosen = index;
    bool ok = c.ioctl(fd, VIDIOC_S_INPUT, &chosen) == 0;
    c.close(fd);
    return ok;
}

}  // namespace grab
