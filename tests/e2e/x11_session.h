// tests/e2e/x11_session.h - drives a real program from outside, as a person would: windows
// found by title, mouse and keys sent with xdotool, screenshots taken with ImageMagick.
#pragma once

#include "tests/support/rgb.h"

#include <string>
#include <vector>

// An RGB screenshot of one window.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool empty() const { return rgb.empty(); }
    Rgb at(int x, int y) const {
        const unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
    bool isColour(int x, int y, Rgb colour) const { return at(x, y) == colour; }
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
ColourPixels pixelsOf(const Screenshot& shot, Rgb colour);

// Runs a shell command and returns its standard output; status gets its exit status, or -1.
std::string runCommand(const std::string& command, int* status = nullptr);

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

// Keeps a screenshot among the build's test artefacts and returns where it went.
std::string keepScreenshot(const Screenshot& shot, const std::string& name);
