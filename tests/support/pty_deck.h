// A pseudo-terminal standing in for an RS-422 deck: the program opens its
// slave side (`path`) as a serial port, and the test reads what it wrote
// from the master side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class PtyDeck {
public:
    PtyDeck();
    ~PtyDeck();
    PtyDeck(const PtyDeck &) = delete;
    PtyDeck &operator=(const PtyDeck &) = delete;

    // The device the program opens.
    const std::string &path() const { return path_; }
    // The bytes written since the last read (nothing waits).
    std::string read();
    // The same read as the 9-pin parser's log lines, kept in `log` too; a
    // frame with a bad checksum or length adds one to `bad`.
    std::vector<std::string> commands();

    std::vector<std::string> log;
    uint64_t bad = 0;

private:
    int master_ = -1;
    std::string path_;
};
