// Which FireWire bus stands under the I/O registry.
//
// The choice is made once, on the registry's first use:
//   - TAVRIN_FIREWIRE=sim: the simulated bus (fw/FWSim.h);
//   - TAVRIN_FIREWIRE=linux: Linux's FireWire stack (fw/FWLinux.h), even
//     when it finds no port (then there is no unit, and the note says why);
//   - otherwise the Linux bus when /dev/fw* exists and libraw1394 finds a
//     port, else the simulated bus.
// A FireWire device file this process may not open is named in the note,
// with the fix.
#pragma once

extern "C" {

enum FwBusKind { FWBUS_SIM = 0, FWBUS_LINUX = 1 };

// The bus in use (choosing it first, when not chosen yet).
FwBusKind fw_bus_kind();
// A line for the operator about the choice (no permission on a device file,
// no port found), or 0 when there is nothing to say. Valid until the next
// choice.
const char *fw_bus_note();

}  // extern "C"
