// tests/support/pseudo_terminal.h - a terminal for output that shows itself differently on one
// (the load progress line): the code under test writes to `stream`, the test reads back what
// reached the screen.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            stream = std::fopen(ptsname(master_), "w");
    }
    ~PseudoTerminal() {
        closeStream();
        if (master_ >= 0)
            close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Closes the stream and gives back everything written to it.
    std::string closeAndRead() {
        closeStream();
        std::string shown;
        char buffer[4096];
        fcntl(master_, F_SETFL, O_NONBLOCK);
        for (ssize_t got; (got = read(master_, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, static_cast<size_t>(got));
        return shown;
    }

    FILE* stream = nullptr; // null when no terminal could be had

private:
    void closeStream() {
        if (stream)
            std::fclose(stream);
        stream = nullptr;
    }

    int master_ = -1;
};
