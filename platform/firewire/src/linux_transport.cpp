// The library transport: libraw1394 (handles, ports, bus resets, FCP),
// librom1394 (configuration ROMs) and libavc1394 (AV/C transactions).
#include "fw/AVCFrame.h"
#include "fw/FWLinux.h"

#include <libavc1394/avc1394.h>
#include <libavc1394/rom1394.h>
#include <libraw1394/raw1394.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace fw::linux1394 {
namespace {

using Clock = std::chrono::steady_clock;

// libavc1394 tries once more when no answer came within its wait.
constexpr int kRetries = 1;
// Our own wait (see fcp): the first answer, then the final one after an
// INTERIM (a time-code search takes as long as the tape needs).
constexpr auto kAnswerWait = std::chrono::milliseconds(500);
constexpr auto kFinalWait = std::chrono::seconds(10);

// The bus resets each handle has seen; counted by the handler below, which
// raw1394_loop_iterate calls, from our descriptor callback or from inside a
// library call. Everything here runs on the main thread.
std::map<raw1394handle_t, unsigned> &resetCounts() {
    static auto *counts = new std::map<raw1394handle_t, unsigned>;
    return *counts;
}

int onBusReset(raw1394handle_t handle, unsigned int generation) {
    raw1394_update_generation(handle, generation);
    ++resetCounts()[handle];
    return 0;
}

// The FCP response that our own wait is waiting for.
struct FcpWait {
    int node = -1;
    bool answered = false;
    std::vector<uint8_t> bytes;
};
FcpWait *gWait = nullptr;

int onFcp(raw1394handle_t, nodeid_t nodeid, int response, size_t length, unsigned char *data) {
    if (gWait && response && length > 0 && (nodeid & 0x3F) == gWait->node) {
        gWait->bytes.assign(data, data + std::min<size_t>(length, 512));
        gWait->answered = true;
    }
    return 0;
}

std::vector<uint32_t> quadlets(const std::vector<uint8_t> &bytes) {
    std::vector<uint32_t> q((bytes.size() + 3) / 4, 0);
    for (size_t i = 0; i < bytes.size(); ++i) q[i / 4] |= uint32_t(bytes[i]) << (24 - 8 * (i % 4));
    return q;
}

class LibraryTransport : public Transport {
public:
    explicit LibraryTransport(std::string dir) : dir_(std::move(dir)) {}
    ~LibraryTransport() override {
        for (raw1394handle_t h : handles_) {
            resetCounts().erase(h);
            raw1394_destroy_handle(h);
        }
    }

    DeviceFiles devices() override {
        DeviceFiles files;
        DIR *d = opendir(dir_.c_str());
        if (!d) return files;
        std::vector<std::string> names;
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 2 && n.compare(0, 2, "fw") == 0 &&
                std::all_of(n.begin() + 2, n.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string &n : names) {
            ++files.count;
            std::string path = dir_ + "/" + n;
            int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
            if (fd >= 0) close(fd);
            else if ((errno == EACCES || errno == EPERM) && files.blocked.empty()) files.blocked = path;
        }
        return files;
    }

    int open(int &ports) override {
        ports = 0;
        errno = 0;
        raw1394handle_t probe = raw1394_new_handle();
        if (!probe) return errno ? errno : ENODEV;
        int n = raw1394_get_port_info(probe, nullptr, 0);
        int err = n < 0 ? (errno ? errno : EIO) : 0;
        raw1394_destroy_handle(probe);
        if (err) return err;
        for (int p = 0; p < n; ++p) {
            raw1394handle_t h = raw1394_new_handle_on_port(p);
            if (!h) continue;
            raw1394_set_bus_reset_handler(h, onBusReset);
            resetCounts()[h] = 0;
            handles_.push_back(h);
        }
        ports = int(handles_.size());
        return 0;
    }

    int nodeCount(int port) override { return raw1394_get_nodecount(handles_[size_t(port)]); }
    int localNode(int port) override { return raw1394_get_local_id(handles_[size_t(port)]) & 0x3F; }

    bool readRom(int port, int node, NodeRom &rom) override {
        raw1394handle_t h = handles_[size_t(port)];
        rom1394_directory dir{};
        if (rom1394_get_directory(h, nodeid_t(node), &dir) < 0) return false;
        rom.avc = rom1394_get_node_type(&dir) == ROM1394_NODE_TYPE_AVC;
        rom.guid = rom1394_get_guid(h, nodeid_t(node));
        rom.specId = dir.unit_spec_id;
        rom.swVersion = dir.unit_sw_version;
        if (dir.nr_textual_leafs > 0 && dir.textual_leafs[0]) rom.vendor = dir.textual_leafs[0];
        if (dir.nr_textual_leafs > 1 && dir.textual_leafs[1]) rom.model = dir.textual_leafs[1];
        rom1394_free_directory(&dir);
        return true;
    }

    // One quadlet: avc1394_transaction. Longer STATUS and INQUIRY frames:
    // avc1394_transaction_block2. Longer CONTROL and NOTIFY frames, which
    // may be answered INTERIM first: the library sends them and we wait for
    // the final answer ourselves, because block2 reads through a null
    // pointer when nothing arrives within 200 ms of an INTERIM.
    bool fcp(int port, int node, const std::vector<uint32_t> &request, std::vector<uint32_t> &response) override {
        raw1394handle_t h = handles_[size_t(port)];
        response.clear();
        if (request.empty()) return false;
        std::vector<quadlet_t> q(request.begin(), request.end());  // the library may swap them in place
        if (q.size() == 1) {
            quadlet_t r = avc1394_transaction(h, nodeid_t(node), q[0], kRetries);
            if (r == quadlet_t(-1)) return false;
            response.push_back(r);
            return true;
        }
        const uint8_t ctype = uint8_t(q[0] >> 24) & 0x0F;
        if (ctype == avcframe::ctype::kStatus || ctype == avcframe::ctype::kSpecificInquiry ||
            ctype == avcframe::ctype::kGeneralInquiry) {
            unsigned int n = 0;
            quadlet_t *r = avc1394_transaction_block2(h, nodeid_t(node), q.data(), int(q.size()), &n, kRetries);
            if (r) response.assign(r, r + std::min(n, 128u));
            avc1394_transaction_block_close(h);  // frees the library's answer buffer
            return !response.empty();
        }
        return sendAndWait(h, node, q, response);
    }

    int fd(int port) override { return raw1394_get_fd(handles_[size_t(port)]); }
    void handleEvents(int port) override { raw1394_loop_iterate(handles_[size_t(port)]); }
    unsigned busResets(int port) override { return resetCounts()[handles_[size_t(port)]]; }

private:
    bool sendAndWait(raw1394handle_t h, int node, std::vector<quadlet_t> &q, std::vector<uint32_t> &response) {
        FcpWait wait;
        wait.node = node;
        gWait = &wait;
        raw1394_set_fcp_handler(h, onFcp);
        bool ok = raw1394_start_fcp_listen(h) >= 0 &&
                  avc1394_send_command_block(h, nodeid_t(node), q.data(), int(q.size())) >= 0;
        auto deadline = Clock::now() + kAnswerWait;
        while (ok) {
            if (wait.answered) {
                if ((wait.bytes[0] & avcframe::response::kMask) != avcframe::response::kInterim) break;
                wait.answered = false;  // INTERIM: the final answer follows
                deadline = Clock::now() + kFinalWait;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{raw1394_get_fd(h), POLLIN, 0};
            if (poll(&p, 1, int(left) + 1) > 0 && (p.revents & POLLIN)) raw1394_loop_iterate(h);
        }
        raw1394_stop_fcp_listen(h);
        gWait = nullptr;
        if (!ok || !wait.answered) return false;
        response = quadlets(wait.bytes);
        return true;
    }

    std::string dir_;
    std::vector<raw1394handle_t> handles_;
};

}  // namespace

std::unique_ptr<Transport> libraryTransport(const std::string &deviceDir) {
    return std::make_unique<LibraryTransport>(deviceDir);
}

}  // namespace fw::linux1394
