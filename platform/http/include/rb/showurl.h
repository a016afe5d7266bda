// Opens a URL in the desktop's preferred application (ShowURL), and the
// one place that starts a helper program and reaps it.
#pragma once

#include <functional>
#include <string>

namespace rb {

// Starts `xdg-open <url>` without a shell and without waiting for it; the
// child is reaped in the background. Refuses (returns false) a URL that does
// not start with a scheme ("http:", "mailto:", ...) or holds control bytes,
// so nothing can pass for an option or a second argument.
bool showURL(const std::string &url);

// While set, showURL hands accepted URLs to this function instead of
// starting a program (tests, headless runs). Pass nullptr to restore.
void setShowURLHandler(std::function<void(const std::string &)> handler);

// Runs `program target` without a shell and without waiting; the child is
// reaped in the background. False when it could not be started. Targets
// that start with '-' are refused.
bool spawnOpener(const std::string &program, const std::string &target);

// A file: URL for an absolute path, with every byte outside the unreserved
// set and '/' percent-encoded.
std::string fileURL(const std::string &path);

}  // namespace rb
