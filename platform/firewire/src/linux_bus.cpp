// The Linux FireWire bus: discovery by configuration ROM, AV/C exchanges in
// quadlets, and the node list read again after every bus reset.
#include "linux_bus.h"

#include "fw/AVCFrame.h"

#include <algorithm>

namespace fw::linux1394 {

namespace {

constexpr int kMaxNodes = 63;    // node numbers 0..62
constexpr int kMaxCatchUps = 8;  // rescans in a row while resets keep coming

}  // namespace

IOReturn LinuxUnit::exchange(const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) {
    return bus ? bus->exchange(*this, command, cmdLen, response, responseLen) : kIOReturnNoDevice;
}

Bus::Bus(std::unique_ptr<Transport> transport, int ports) : transport_(std::move(transport)) {
    for (int i = 0; i < ports; ++i) {
        auto p = std::make_unique<Port>();
        p->bus = this;
        p->index = i;
        p->resets = transport_->busResets(i);
        CFFileDescriptorContext ctx{0, p.get(), nullptr, nullptr, nullptr};
        p->fd = CFFileDescriptorCreate(nullptr, transport_->fd(i), false, &Bus::readable, &ctx);
        if (p->fd) {
            p->source = CFFileDescriptorCreateRunLoopSource(nullptr, p->fd, 0);
            CFRunLoopAddSource(CFRunLoopGetMain(), p->source, kCFRunLoopDefaultMode);
            CFFileDescriptorEnableCallBacks(p->fd, kCFFileDescriptorReadCallBack);
        }
        ports_.push_back(std::move(p));
    }
    for (int i = 0; i < ports; ++i) scan(i, false);
}

Bus::~Bus() {
    for (auto &p : ports_) {
        if (p->fd) CFFileDescriptorInvalidate(p->fd);
        CFRelease(p->source);
        CFRelease(p->fd);
    }
    for (auto &[guid, unit] : units_) {
        if (!unit->gone) terminate(*unit, false);
        unit->bus = nullptr;
    }
}

void Bus::readable(CFFileDescriptorRef fd, CFOptionFlags, void *info) {
    auto *p = static_cast<Port *>(info);
    p->bus->transport_->handleEvents(p->index);
    p->bus->catchUp(p->index);
    CFFileDescriptorEnableCallBacks(fd, kCFFileDescriptorReadCallBack);
}

// Reads the node list again when the port has seen a bus reset since the
// last look (reading ROMs may meet the next reset: then again).
void Bus::catchUp(int port) {
    Port &p = *ports_[size_t(port)];
    for (int i = 0; i < kMaxCatchUps; ++i) {
        unsigned now = transport_->busResets(port);
        if (now == p.resets) return;
        p.resets = now;
        scan(port, true);
    }
}

void Bus::scan(int port, bool afterReset) {
    if (afterReset)
        for (auto &[guid, unit] : units_)
            if (unit->port == port && !unit->gone) message(*unit, kIOMessageServiceIsSuspended, nullptr);

    struct Found {
        int node;
        NodeRom rom;
    };
    std::map<uint64_t, Found> found;
    const int nodes = std::min(transport_->nodeCount(port), kMaxNodes);
    const int local = transport_->localNode(port);
    for (int node = 0; node < nodes; ++node) {
        NodeRom rom;
        if (node != local && transport_->readRom(port, node, rom) && rom.avc) found.emplace(rom.guid, Found{node, rom});
    }

    for (auto &[guid, unit] : units_) {
        if (unit->port != port || unit->gone) continue;
        auto it = found.find(guid);
        if (it == found.end()) {
            terminate(*unit, true);
            continue;
        }
        unit->node = it->second.node;
        found.erase(it);
        if (afterReset) message(*unit, kIOMessageServiceIsResumed, nullptr);
    }

    // New units in node order, so the registry lists them as the bus does.
    std::vector<std::pair<uint64_t, Found>> fresh(found.begin(), found.end());
    std::sort(fresh.begin(), fresh.end(), [](const auto &a, const auto &b) { return a.second.node < b.second.node; });
    for (auto &[guid, f] : fresh) {
        std::shared_ptr<LinuxUnit> &unit = units_[guid];
        if (unit && !unit->gone) continue;  // on another port
        if (!unit) unit = std::make_shared<LinuxUnit>();
        unit->bus = this;
        unit->guid = guid;
        unit->port = port;
        unit->node = f.node;
        unit->specId = f.rom.specId;
        unit->swVersion = f.rom.swVersion;
        unit->vendorName = f.rom.vendor;
        unit->modelName = f.rom.model;
        publish(unit);
    }
}

IOReturn Bus::exchange(LinuxUnit &unit, const UInt8 *command, UInt32 cmdLen, UInt8 *response, UInt32 *responseLen) {
    if (unit.gone) return kIOReturnNoDevice;
    // Byte 0 of the frame is the top byte of the first quadlet; the last
    // quadlet is padded with zeros.
    std::vector<uint32_t> request((cmdLen + 3) / 4, 0), answer;
    for (UInt32 i = 0; i < cmdLen; ++i) request[i / 4] |= uint32_t(command[i]) << (24 - 8 * (i % 4));
    const int port = unit.port;
    bool answered = transport_->fcp(port, unit.node, request, answer);
    catchUp(port);
    // An INTERIM that the library hands back is not the final answer.
    if (!answered || answer.empty() ||
        ((answer[0] >> 24) & avcframe::response::kMask) == avcframe::response::kInterim) {
        *responseLen = 0;
        return unit.gone ? kIOReturnNoDevice : kIOReturnTimeout;
    }
    UInt32 n = std::min<UInt32>(*responseLen, UInt32(std::min<size_t>(answer.size() * 4, 512)));
    for (UInt32 i = 0; i < n; ++i) response[i] = uint8_t(answer[i / 4] >> (24 - 8 * (i % 4)));
    *responseLen = n;
    return kIOReturnSuccess;
}

}  // namespace fw::linux1394
