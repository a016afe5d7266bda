// The start-up choice of the bus: the simulated decks or Linux's FireWire
// stack, and the operator's note about it.
#include "bus.h"

#include "fw/FWBus.h"
#include "fw/FWLinux.h"
#include "linux_bus.h"
#include "sim.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fw::bus {
namespace {

struct State {
    bool chosen = false;
    FwBusKind kind = FWBUS_SIM;
    std::string note;
    linux1394::Bus *linuxBus = nullptr;
};

State &state() {
    static State *s = new State;  // never destroyed: the registry outlives static destructors
    return *s;
}

void stop_linux() {
    State &s = state();
    delete s.linuxBus;
    s.linuxBus = nullptr;
}

std::string group_of(const std::string &path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return "";
    std::vector<char> buf(4096);
    group g{}, *found = nullptr;
    if (getgrgid_r(st.st_gid, &g, buf.data(), buf.size(), &found) != 0 || !found) return "";
    return found->gr_name;
}

// What to do about a device file this process may not open: join its
// group, or have udev give a group of the user's access to it.
std::string permission_note(const std::string &path) {
    std::string group = group_of(path);
    std::string note = "No permission on " + path + " (FireWire): ";
    if (!group.empty() && group != "root")
        return note + "add yourself to its group " + group + " (sudo adduser $USER " + group +
               ", then log in again) or add a udev rule such as KERNEL==\"fw*\", GROUP=\"" + group +
               "\", MODE=\"0660\".";
    return note +
           "add a udev rule such as KERNEL==\"fw*\", GROUP=\"video\", MODE=\"0660\" and add yourself to "
           "the group video (sudo adduser $USER video), then log in again.";
}

struct Choice {
    FwBusKind kind = FWBUS_SIM;
    std::string note;
    int ports = 0;
};

Choice choose(const char *forced, linux1394::Transport &t) {
    const std::string force = forced ? forced : "";
    if (force == "sim") return {};
    const bool forceLinux = force == "linux";
    if (!force.empty() && !forceLinux)
        std::fprintf(stderr, "TAVRIN_FIREWIRE=%s: neither sim nor linux; choosing by the machine\n", forced);
    linux1394::DeviceFiles files = t.devices();
    if (files.count == 0 && !forceLinux) return {};  // no FireWire here
    Choice c;
    int err = t.open(c.ports);
    if (!files.blocked.empty()) c.note = permission_note(files.blocked);
    if (err == 0 && c.ports > 0) {
        c.kind = FWBUS_LINUX;
        return c;
    }
    if (c.note.empty())
        c.note = err ? std::string("FireWire: the bus cannot be opened (") + std::strerror(err) + ")."
                     : "FireWire: no FireWire port was found.";
    if (forceLinux) {
        c.kind = FWBUS_LINUX;  // as asked: no unit, rather than the simulated one
        c.note += " No deck (TAVRIN_FIREWIRE=linux).";
    } else {
        c.note += " Using the simulated deck.";
    }
    return c;
}

FwBusKind start_bus(const char *forced, std::unique_ptr<linux1394::Transport> transport) {
    State &s = state();
    stop_linux();
    sim::clear(false);
    Choice c = choose(forced, *transport);
    s.chosen = true;  // before the buses publish: they ask for the registry
    s.kind = c.kind;
    s.note = c.note;
    if (!s.note.empty()) std::fprintf(stderr, "%s\n", s.note.c_str());
    if (c.kind == FWBUS_LINUX) s.linuxBus = new linux1394::Bus(std::move(transport), c.ports);
    else sim::populate();
    return s.kind;
}

}  // namespace

void ensure() {
    if (!state().chosen) start_bus(std::getenv("TAVRIN_FIREWIRE"), linux1394::libraryTransport());
}

void use_sim() {
    State &s = state();
    stop_linux();
    s.chosen = true;
    s.kind = FWBUS_SIM;
    s.note.clear();
}

}  // namespace fw::bus

namespace fw::linux1394 {

FwBusKind restart(const char *forced, std::unique_ptr<Transport> transport) {
    return bus::start_bus(forced, std::move(transport));
}

}  // namespace fw::linux1394

extern "C" {

FwBusKind fw_bus_kind() {
    fw::bus::ensure();
    return fw::bus::state().kind;
}

const char *fw_bus_note() {
    fw::bus::ensure();
    const std::string &note = fw::bus::state().note;
    return note.empty() ? nullptr : note.c_str();
}

}  // extern "C"
