// Serial ports of the host runtime.
//
// The port list holds, in this order:
//   1. the entries of the environment variable TAVRIN_SERIAL_PORTS
//      ("name=path:name=path..."; an entry without "=" is named after the
//      last part of its path), so a simulated deck can be index 0;
//   2. the machine's serial devices that exist: /dev/ttyS* (only those with
//      a real UART behind them), /dev/ttyUSB*, /dev/ttyACM* and
//      /dev/serial/by-id/*, each group sorted by name;
//   3. ports added at run time with SerialPorts::add.
// The list is built on first use; indices stay stable until rescan().
//
// A SerialPort is write-only as the deck link uses it: 38400 baud, 8 data
// bits, odd parity, 1 stop bit, no handshake, DTR off, raw bytes. It is
// opened non-blocking, so a port without a reader or carrier never hangs
// the caller; what cannot be written at once is dropped and reported.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rb {

struct SerialPorts {
    static int count();
    // Name and device path of port i; empty when i is out of range.
    static std::string name(int i);
    static std::string path(int i);
    // Adds a port (or points an existing name at a new path); returns its index.
    static int add(const std::string &name, const std::string &path);
    // Builds the list again from the environment and /dev; added ports are kept.
    static void rescan();
};

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Index into SerialPorts; takes effect at the next open().
    void setIndex(int index) { index_ = index; }
    int index() const { return index_; }

    // Closes any open descriptor, then opens port index() with the deck's line
    // settings. False (and lastError() set) when the index is out of range,
    // the device cannot be opened or is not a terminal.
    bool open();
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Writes the bytes as they are (no text conversion) without blocking.
    // Returns how many were written; the rest is dropped and lastError() says
    // why (EAGAIN: output buffer full, EIO: device gone, EBADF: not open).
    std::size_t write(std::string_view bytes);

    int fd() const { return fd_; }
    // errno of the last failed open or short write; 0 after a success.
    int lastError() const { return lastError_; }

private:
    int index_ = 0;
    int fd_ = -1;
    int lastError_ = 0;
};

}  // namespace rb
