// tests/support/program.h - a program started by a test: its standard output and error captured
// to files, its exit status or signal, and a limit on how long it may run.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// Where a program starts: in workingDirectory (this process's when empty) and, without
// display, with no DISPLAY, as on a machine without an X server.
struct StartOptions {
    std::string workingDirectory;
    bool display = true;
};

// A running program; command[0] is searched on PATH. It is killed if it is still running when
// this goes, and its captured output is removed.
class Process {
public:
    explicit Process(const std::vector<std::string>& command, const StartOptions& options = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool running();
    // Waits for the program to end within the limit; returns its exit status, or -1 when it is
    // still running or ended by a signal.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(15));
    // Ends it with SIGKILL if it is still running, and waits for that.
    void kill();
    int signal() const { return signal_; }
    // What it has written so far.
    std::string standardOutput() const;
    std::string standardError() const;
    // Its CPU time so far (user + system), from /proc, in seconds.
    double cpuSeconds() const;

private:
    int pid_ = -1;
    bool ended_ = false;
    int status_ = -1;
    int signal_ = 0;
    std::string folder_;
};

// How a program run to completion ended: status is its exit status, or -1 when it did not exit
// (killed by a signal, or stopped by the test after hanging).
struct ProcessResult {
    int status = -1;
    int signal = 0;
    bool hung = false;
    std::string out, err;
    // "exited with status 1", "killed by signal 6 (Aborted)" or "hung and was killed", with
    // the end of standard error when it did not exit: for failure messages.
    std::string ending() const;
};

// Runs a program to its end; one that runs for 20 seconds is taken to hang and killed.
ProcessResult runProgram(const std::vector<std::string>& command, bool withDisplay = true);
