// RS-422 deck commands: Sony 9-pin command strings (hexadecimal digit pairs)
// sent as their bytes plus an additive checksum on the main window's port.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::DeckControl422 {

// The byte whose value two hexadecimal digits give (a lone digit: its value).
std::string HextoAscii(std::string_view hex);
// The command's bytes followed by their sum modulo 256. Both passes yield to
// the other cooperative threads once per pair, before anything is written.
std::string BuildCommand(std::string_view hex);

// Each builds its command, then writes it to CaptureWindow's Serial1 in one write.
void playdevice();
void stopdevice();
void fastforwarddevice();
void rewinddevice();
void playreversedevice();
// Any command string, the same way.
void senddevice(std::string_view hex);

}  // namespace tavrin::DeckControl422
