// tests/e2e/x11_session.h - drives a real program from outside, as a person would: windows
// found by title, mouse and keys sent with xdotool, screenshots taken with ImageMagick.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// An RGB screenshot of one window.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool empty() const { return rgb.empty(); }
    const unsigned char* at(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
    bool isColour(int x, int y, int r, int g, int b) const;
    // Pixels that differ between two screenshots of the same size.
    int differingPixels(const Screenshot& other) const;
    bool savePpm(const std::string& path) const;
};

// Where the pixels of one colour lie: how many, their mean position and their bounds (min above
// max when there are none).
struct ColourPixels {
    int count = 0, minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    double meanX = 0, meanY = 0;
};
ColourPixels pixelsOf(const Screenshot& shot, int r, int g, int b);

// Runs a shell command and returns its standard output.
std::string runCommand(const std::string& command, int* status = nullptr);

// Polls until done() is true or the limit passes; returns done()'s last answer.
bool pollUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(15));

// A child process with its standard output and error captured to files.
class Process {
public:
    // Starts in workingDirectory when one is given.
    Process(const std::string& executable, const std::vector<std::string>& arguments,
            const std::string& workingDirectory = "");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool running();
    // Waits for the process to end within the limit; returns its exit status or -1.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(15));
    std::string standardOutput() const;
    std::string standardError() const;
    // Reads its CPU time (user + system) from /proc, in seconds.
    double cpuSeconds() const;

private:
    int pid_ = -1;
    int status_ = -1;
    bool ended_ = false;
    std::string dir_;
    std::string outPath_;
    std::string errPath_;
};

// One X window, driven with xdotool.
class XWindow {
public:
    // Waits for a visible window whose title is exactly title; id 0 when none appears.
    static XWindow find(const std::string& title);

    bool valid() const { return id_ != 0; }
    unsigned long id() const { return id_; }

    void geometry(int* x, int* y, int* width, int* height) const;
    void move(int x, int y) const;
    void resize(int width, int height) const;
    void click(int x, int y) const;
    void drag(int button, int fromX, int fromY, int toX, int toY) const;
    void doubleClick(int x, int y) const;
    // Turns the wheel at (x, y): positive notches forward (button 4), negative backward.
    void wheel(int x, int y, int notches) const;
    // Moves the pointer over the window (the keyboard follows the pointer) and types keys
    // such as "Tab", "shift+Tab" or "space".
    void key(const std::string& keys, int pointerX = 1, int pointerY = 1) const;
    Screenshot capture() const;

private:
    unsigned long id_ = 0;
};

// Keeps a screenshot for the CTest run's artefacts and returns where it went.
std::string keepScreenshot(const Screenshot& shot, const std::string& name);
