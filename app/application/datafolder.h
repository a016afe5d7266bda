// The folder in the user's own data that takes the frames a quit could not
// save where the capture was to save them.
#pragma once

#include <ctime>
#include <string>

namespace tavrin {

// $XDG_DATA_HOME (only an absolute path counts), else $HOME/.local/share,
// then tavrin/ and the local date and time of `now`, for example
// /home/ann/.local/share/tavrin/2026-12-09_21-04-05; a folder of that name
// already there gets -2, -3, ... added. Not made here.
std::string framesDataFolder(std::time_t now);

}  // namespace tavrin
