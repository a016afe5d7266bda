// The runtime clock's links inside the loop's room (clock.cpp); rb/loop.h
// has what everyone reads of it.
#pragma once

#include <cstdint>
#include <functional>

namespace rb::core {

// The injected clock's way of letting time go by (runFor on the main
// thread, the platform's waits under the baton); empty on the machine's
// clock.
const std::function<void(int64_t us)> &clockPass();

}  // namespace rb::core
