// The executable of "System.framework". It exports nothing of its own: a
// lookup by name in it finds "printf" in the C library and
// "NewEventLoopIdleTimerUPP" in libcarbon, both of which it links.
extern "C" int fw_system_framework_marker() { return 1; }
