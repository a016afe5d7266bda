// The inputs of a Video4Linux device (a capture card's Composite and
// S-Video, a tuner), asked of its device node. The input is the device's,
// not an open file's: one chosen before the video starts stays chosen.
#pragma once

#include <string>
#include <vector>

namespace grab {

struct V4l2Inputs {
    std::vector<std::string> names;  // by index; empty when the node cannot say
    int current = -1;                // the input chosen now, or -1
};

V4l2Inputs v4l2Inputs(const std::string &path);
// Chooses input `index` of the device; false when it cannot.
bool selectV4l2Input(const std::string &path, int index);

// The calls on the device node, for a test to answer in place of a device.
struct V4l2Calls {
    int (*open)(const char *path, int flags);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    int (*close)(int fd);
};
// nullptr: the system's own.
void setV4l2Calls(const V4l2Calls *calls);

}  // namespace grab
