#include "rb/serial.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace rb {
namespace {

struct Entry {
    std::string name;
    std::string path;
};

std::mutex listMutex;
bool scanned = false;
std::vector<Entry> ports;  // environment and devices
std::vector<Entry> added;  // SerialPorts::add

std::string lastPart(const std::string &path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void addEnvironmentPorts(std::vector<Entry> &out) {
    const char *env = std::getenv("TAVRIN_SERIAL_PORTS");
    if (!env) return;
    std::string_view rest(env);
    while (!rest.empty()) {
        auto colon = rest.find(':');
        std::string item(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (item.empty()) continue;
        auto eq = item.find('=');
        if (eq == std::string::npos) {
            out.push_back({lastPart(item), item});
        } else if (eq + 1 < item.size()) {
            std::string name = item.substr(0, eq);
            std::string path = item.substr(eq + 1);
            out.push_back({name.empty() ? lastPart(path) : name, path});
        }
    }
}

// /dev/ttyS0..31 exist whether or not a UART is fitted; the placeholders of
// the 8250 driver sit on the "platform" bus, real ports on pnp, pci, ...
bool realUart(const std::string &name) {
    std::error_code ec;
    fs::path subsystem = fs::read_symlink("/sys/class/tty/" + name + "/device/subsystem", ec);
    return !ec && subsystem.filename() != "platform";
}

void addDevices(std::vector<Entry> &out) {
    std::error_code ec;
    // Shorter names first, so ttyS2 comes before ttyS10.
    auto byNumber = [](const Entry &a, const Entry &b) {
        return a.name.size() != b.name.size() ? a.name.size() < b.name.size() : a.name < b.name;
    };
    for (const char *prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
        std::vector<Entry> group;
        for (fs::directory_iterator it("/dev", ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (name.rfind(prefix, 0) != 0 || name.size() == std::string_view(prefix).size()) continue;
            if (name.find_first_not_of("0123456789", std::string_view(prefix).size()) != std::string::npos) continue;
            if (std::string_view(prefix) == "ttyS" && !realUart(name)) continue;
            group.push_back({name, it->path().string()});
        }
        std::sort(group.begin(), group.end(), byNumber);
        out.insert(out.end(), group.begin(), group.end());
    }
    std::vector<Entry> byId;
    for (fs::directory_iterator it("/dev/serial/by-id", ec), end; !ec && it != end; it.increment(ec))
        byId.push_back({it->path().filename().string(), it->path().string()});
    std::sort(byId.begin(), byId.end(), [](const Entry &a, const Entry &b) { return a.name < b.name; });
    out.insert(out.end(), byId.begin(), byId.end());
}

void scanLocked() {
    ports.clear();
    addEnvironmentPorts(ports);
    addDevices(ports);
    scanned = true;
}

const Entry *entryLocked(int i) {
    if (!scanned) scanLocked();
    if (i < 0) return nullptr;
    auto index = static_cast<std::size_t>(i);
    if (index < ports.size()) return &ports[index];
    index -= ports.size();
    return index < added.size() ? &added[index] : nullptr;
}

}  // namespace

int SerialPorts::count() {
    std::lock_guard lock(listMutex);
    if (!scanned) scanLocked();
    return static_cast<int>(ports.size() + added.size());
}

std::string SerialPorts::name(int i) {
    std::lock_guard lock(listMutex);
    const Entry *e = entryLocked(i);
    return e ? e->name : std::string();
}

std::string SerialPorts::path(int i) {
    std::lock_guard lock(listMutex);
    const Entry *e = entryLocked(i);
    return e ? e->path : std::string();
}

int SerialPorts::add(const std::string &name, const std::string &path) {
    std::lock_guard lock(listMutex);
    if (!scanned) scanLocked();
    for (std::size_t i = 0; i < ports.size(); ++i)
        if (ports[i].name == name) {
            ports[i].path = path;
            return static_cast<int>(i);
        }
    for (std::size_t i = 0; i < added.size(); ++i)
        if (added[i].name == name) {
            added[i].path = path;
            return static_cast<int>(ports.size() + i);
        }
    added.push_back({name, path});
    return static_cast<int>(ports.size() + added.size() - 1);
}

void SerialPorts::rescan() {
    std::lock_guard lock(listMutex);
    scanLocked();
}

SerialPort::~SerialPort() { close(); }

void SerialPort::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SerialPort::open() {
    close();
    std::string device = SerialPorts::path(index_);
    if (device.empty()) {
        lastError_ = ENODEV;
        return false;
    }
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        lastError_ = errno;  // ENOTTY for anything that is not a terminal
        ::close(fd);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | PARENB | PARODD | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    int rc = tcsetattr(fd, TCSANOW, &tio);
    if (rc != 0 && errno == EINVAL) {
        // Some pseudo-terminals refuse parity (they have no line to carry it);
        // the bytes still go out unchanged.
        termios plain = tio;
        plain.c_cflag &= ~(PARENB | PARODD);
        rc = tcsetattr(fd, TCSANOW, &plain);
    }
    if (rc != 0) {
        lastError_ = errno;
        ::close(fd);
        return false;
    }
    // Not every terminal has modem lines (a pseudo-terminal has none).
    int dtr = TIOCM_DTR;
    (void)ioctl(fd, TIOCMBIC, &dtr);
    fd_ = fd;
    lastError_ = 0;
    return true;
}

std::size_t SerialPort::write(std::string_view bytes) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return 0;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            lastError_ = n < 0 ? errno : EAGAIN;
            return done;
        }
    }
    lastError_ = 0;
    return done;
}

}  // namespace rb
