// Reading the application's own small files (preferences, grabber settings)
// without trusting what is found at their paths.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tavrin {

// The bytes of the file at `path`, or nothing: only a regular file is read
// (a FIFO, device or folder is left alone, without blocking on it), and a
// file of more than `cap` bytes is garbage, not something to load.
std::optional<std::string> readSmallFile(const std::string &path, size_t cap);

}  // namespace tavrin
