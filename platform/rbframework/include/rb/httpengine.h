// The process's HTTP engine (rb/http.h) on the runtime's main loop: sockets
// made on it deliver their pages from the loop, never inside get().
#pragma once

#include <rb/http.h>

namespace rb {

HTTPEngine &httpEngine();

}  // namespace rb
