#include "capturewindow/portnote.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tavrin {

std::string serialPortNote(int32_t index, const std::string &name, const std::string &path, int err,
                           const std::string &group) {
    if (path.empty())
        return "There is no serial port number " + std::to_string(index + 1) +
               " for the RS-422 deck: choose its port in Settings > Deck Control Settings.";
    std::string note = "The serial port " + name + " (" + path + ") cannot be opened: ";
    if (err == EACCES || err == EPERM) {
        // Serial devices belong to the group dialout on Debian and Ubuntu.
        std::string g = group.empty() || group == "root" ? "dialout" : group;
        return note + std::strerror(err) + ". Add yourself to the group " + g + " (sudo adduser $USER " + g +
               "), then log in again.";
    }
    if (err == ENOTTY) return note + "it is not a serial device.";
    return note + (err ? std::strerror(err) : "unknown error") + ".";
}

std::string fileGroup(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return "";
    std::vector<char> buf(4096);
    group g{}, *found = nullptr;
    if (getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) != 0 || !found) return "";
    return found->gr_name;
}

}  // namespace tavrin
