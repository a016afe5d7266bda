// A FireWire transport for the Linux bus in tests: ports with nodes whose
// AV/C units are simulated decks off the bus (fwsim_add_offbus_unit), so
// every FCP transaction is answered by the simulated unit's FCP handler the
// way libavc1394 hands answers over (INTERIM absorbed, the final answer in
// quadlets, nothing when no final answer comes). Bus resets wait on each
// port's descriptor (an eventfd) like libraw1394's, or happen inside a
// transaction. The test keeps the shared state; the bus owns the transport.
#pragma once

#include <fw/FWLinux.h>
#include <fw/FWSim.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct FakeNode {
    uint64_t guid = 0;
    int deck = 0;  // the simulated deck that answers, 0: none
    bool avc = true;
    std::string vendor = "Tavrin Test", model = "DV Deck";
};

struct FakeFireWire {
    fw::linux1394::DeviceFiles files{1, ""};
    int openError = 0;
    int local = 0;                             // the local node's number on every port
    std::vector<std::vector<FakeNode>> nodes;  // per port, by node number

    struct Sent {
        int port, node;
        std::vector<uint32_t> quadlets;
    };
    std::vector<Sent> sent;
    // When set, every FCP transaction is answered with these quadlets.
    std::optional<std::vector<uint32_t>> canned;
    // Runs inside every FCP transaction, before the answer.
    std::function<void(int port)> duringFcp;

    std::vector<int> events;  // an eventfd per port, made by open
    std::vector<unsigned> resets;
    std::vector<std::optional<std::vector<FakeNode>>> pending;

    // One port whose node 0 is the local node and nodes 1.. the decks.
    static std::shared_ptr<FakeFireWire> withDecks(std::vector<int> decks) {
        auto f = std::make_shared<FakeFireWire>();
        f->nodes.push_back(portWith(decks, 0x0800460100000100ull));
        return f;
    }
    static std::vector<FakeNode> portWith(const std::vector<int> &decks, uint64_t firstGuid) {
        std::vector<FakeNode> port{FakeNode{firstGuid - 1, 0, false, "", ""}};  // the local node
        for (size_t i = 0; i < decks.size(); ++i) port.push_back(FakeNode{firstGuid + i, decks[i]});
        return port;
    }
    ~FakeFireWire() {
        for (int fd : events) close(fd);
    }

    // A bus reset after which the port holds `after`: the event waits on the
    // port's descriptor until the bus takes it.
    void busReset(int port, std::vector<FakeNode> after) {
        pending[size_t(port)] = std::move(after);
        uint64_t one = 1;
        (void)!write(events[size_t(port)], &one, sizeof one);
    }
    // A bus reset that the library meets inside a transaction: counted at once.
    void resetNow(int port, std::vector<FakeNode> after) {
        nodes[size_t(port)] = std::move(after);
        ++resets[size_t(port)];
    }
    std::vector<uint32_t> lastSent() const { return sent.empty() ? std::vector<uint32_t>{} : sent.back().quadlets; }
};

class FakeTransport : public fw::linux1394::Transport {
public:
    explicit FakeTransport(std::shared_ptr<FakeFireWire> bus) : bus_(std::move(bus)) {}

    fw::linux1394::DeviceFiles devices() override { return bus_->files; }
    int open(int &ports) override {
        ports = 0;
        if (bus_->openError) return bus_->openError;
        for (size_t i = bus_->events.size(); i < bus_->nodes.size(); ++i) {
            bus_->events.push_back(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
            bus_->resets.push_back(0);
            bus_->pending.emplace_back();
        }
        ports = int(bus_->nodes.size());
        return 0;
    }
    int nodeCount(int port) override { return int(bus_->nodes[size_t(port)].size()); }
    int localNode(int) override { return bus_->local; }
    bool readRom(int port, int node, fw::linux1394::NodeRom &rom) override {
        const auto &list = bus_->nodes[size_t(port)];
        if (node < 0 || size_t(node) >= list.size()) return false;
        const FakeNode &n = list[size_t(node)];
        rom.avc = n.avc;
        rom.guid = n.guid;
        rom.specId = n.avc ? 0xA02D : 0;
        rom.swVersion = n.avc ? 0x10001 : 0;
        rom.vendor = n.vendor;
        rom.model = n.model;
        return true;
    }
    bool fcp(int port, int node, const std::vector<uint32_t> &request, std::vector<uint32_t> &response) override {
        bus_->sent.push_back({port, node, request});
        response.clear();
        if (bus_->duringFcp) bus_->duringFcp(port);
        if (bus_->canned) {
            response = *bus_->canned;
            return true;
        }
        const auto &list = bus_->nodes[size_t(port)];
        if (node < 0 || size_t(node) >= list.size() || !list[size_t(node)].deck) return false;
        std::vector<uint8_t> frame(request.size() * 4), answer(512);
        for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(request[i / 4] >> (24 - 8 * (i % 4)));
        int interims = 0;
        int n = fwsim_fcp(list[size_t(node)].deck, frame.data(), uint32_t(frame.size()), answer.data(),
                          uint32_t(answer.size()), &interims);
        if (n <= 0) return false;  // no final answer
        response.assign((size_t(n) + 3) / 4, 0);
        for (size_t i = 0; i < size_t(n); ++i) response[i / 4] |= uint32_t(answer[i]) << (24 - 8 * (i % 4));
        return true;
    }
    int fd(int port) override { return bus_->events[size_t(port)]; }
    void handleEvents(int port) override {
        uint64_t n = 0;
        if (read(bus_->events[size_t(port)], &n, sizeof n) != sizeof n) return;
        if (auto &after = bus_->pending[size_t(port)]) {
            bus_->nodes[size_t(port)] = std::move(*after);
            after.reset();
            ++bus_->resets[size_t(port)];
        }
    }
    unsigned busResets(int port) override { return bus_->resets[size_t(port)]; }

private:
    std::shared_ptr<FakeFireWire> bus_;
};
