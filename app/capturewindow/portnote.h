// What the main window says when the RS-422 deck's serial port cannot be
// opened, with the fix where there is one.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// The status line's text for port `index` of the serial-port list, named
// `name` at `path` (both empty when the list has no such port), whose open
// failed with errno `err`; `group` is the group owning the device file
// (empty when unknown).
std::string serialPortNote(int32_t index, const std::string &name, const std::string &path, int err,
                           const std::string &group);

// The name of the group that owns a file; empty when it cannot be told.
std::string fileGroup(const std::string &path);

}  // namespace tavrin
