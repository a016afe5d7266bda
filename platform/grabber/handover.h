// GStreamer hands our objects to its threads through queues and locks of its
// own (GLib's futexes) that ThreadSanitizer cannot see. Under it, these two
// tell it so: what one thread did to `object` before handedOver(object) is
// seen by a thread that calls takenOver(object). Elsewhere they are nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace grab {

#if defined(__SANITIZE_THREAD__)
inline void handedOver(void *object) { __tsan_release(object); }
inline void takenOver(void *object) { __tsan_acquire(object); }
#else
inline void handedOver(void *) {}
inline void takenOver(void *) {}
#endif

}  // namespace grab
