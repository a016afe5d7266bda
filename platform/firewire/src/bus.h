// The start-up choice of the bus under the I/O registry (fw/FWBus.h).
// Internal to libfirewire.
#pragma once

namespace fw::bus {

// Makes the choice when it has not been made: the registry's first use.
void ensure();
// The simulated bus becomes the bus, empty (fwsim_reset fills it); a Linux
// bus stops, its units leaving without messages.
void use_sim();

}  // namespace fw::bus
