// The folder in the user's own data that takes the frames a quit could not
// save where the capture was to save them.
#pragma once

#include <ctime>
#include <string>
#include <system_error>

namespace tavrin {

// Makes a new folder for them: $XDG_DATA_HOME (only an absolute path
// counts), else $HOME/.local/share, then tavrin/ and the local date and
// time of `now`, for example /home/ann/.local/share/tavrin/2026-12-09_21-04-05.
// The folder is taken by making it: when that name is there already (an
// earlier quit's folder, or another copy of the program quitting in the
// same second), -2, -3, ... is added until one is made, so no two quits
// ever share one. Its path; when none could be made, `error` says why and
// the path is the one that could not be made.
std::string makeFramesDataFolder(std::time_t now, std::error_code &error);

}  // namespace tavrin
