// A GStreamer clock that reads the host runtime's clock, so that the video
// and the application's ticks keep one time: a clip runs as fast as the
// ticks that count its frames. The runtime's clock is the monotonic clock,
// as GStreamer's own system clock is, unless a test sets its own.
#pragma once

#include <gst/gst.h>

#include <cstdint>

namespace grab {

using MicrosecondsFn = int64_t (*)();

// A new clock (one reference for the caller) whose time is `now()`
// microseconds. It never runs backwards: a host clock set back holds it
// still until the host's time catches up.
GstClock *newHostClock(MicrosecondsFn now);

}  // namespace grab
