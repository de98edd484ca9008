// tests/e2e/x11_session.cpp - window, command and screenshot helpers for end-to-end tests.
#include "tests/e2e/x11_session.h"

#include "tests/support/polling.h"
#include "tests/support/program.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

ColourPixels pixelsOf(const Screenshot& shot, Rgb colour) {
    ColourPixels pixels;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.isColour(x, y, colour)) {
                ++pixels.count;
                pixels.meanX += x;
                pixels.meanY += y;
                pixels.minX = std::min(pixels.minX, x);
                pixels.maxX = std::max(pixels.maxX, x);
                pixels.minY = std::min(pixels.minY, y);
                pixels.maxY = std::max(pixels.maxY, y);
            }
    if (pixels.count) {
        pixels.meanX /= pixels.count;
        pixels.meanY /= pixels.count;
    }
    return pixels;
}

int Screenshot::differingPixels(const Screenshot& other) const {
    if (width != other.width || height != other.height)
        return width * height;
    int count = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] != other.rgb[i] || rgb[i + 1] != other.rgb[i + 1] ||
            rgb[i + 2] != other.rgb[i + 2])
            ++count;
    }
    return count;
}

bool Screenshot::savePpm(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
    return bool(out);
}

std::string runCommand(const std::string& command, int* status) {
    Process shell({"/bin/sh", "-c", command});
    const int ended = shell.wait(std::chrono::seconds(30));
    if (status != nullptr)
        *status = ended;
    return shell.standardOutput();
}

// --- XWindow ---

XWindow XWindow::find(const std::string& title) {
    // By title alone: freeglut sets no _NET_WM_PID, so a search by process would match any
    // window. These tests run one at a time, so the only windows with these titles are theirs.
    XWindow window;
    std::string command = "xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null";
    pollUntil([&] {
        std::istringstream ids(runCommand(command));
        unsigned long id = 0;
        if (ids >> id)
            window.id_ = id;
        return window.id_ != 0;
    });
    return window;
}

void XWindow::geometry(int* x, int* y, int* width, int* height) const {
    std::istringstream shell(
        runCommand("xdotool getwindowgeometry --shell " + std::to_string(id_)));
    std::string line;
    while (std::getline(shell, line)) {
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        int value = std::atoi(line.c_str() + equals + 1);
        if (key == "X" && x)
            *x = value;
        if (key == "Y" && y)
            *y = value;
        if (key == "WIDTH" && width)
            *width = value;
        if (key == "HEIGHT" && height)
            *height = value;
    }
}

void XWindow::move(int x, int y) const {
    runCommand("xdotool windowmove " + std::to_string(id_) + " " + std::to_string(x) + " " +
               std::to_string(y));
}

void XWindow::resize(int width, int height) const {
    runCommand("xdotool windowsize " + std::to_string(id_) + " " + std::to_string(width) + " " +
               std::to_string(height));
}

static std::string moveTo(unsigned long id, int x, int y) {
    return " mousemove --window " + std::to_string(id) + " " + std::to_string(x) + " " +
           std::to_string(y);
}

void XWindow::click(int x, int y) const {
    runCommand("xdotool" + moveTo(id_, x, y) + " click 1");
}

void XWindow::drag(int button, int fromX, int fromY, int toX, int toY) const {
    // Several small steps, as a hand would move, so every step is a motion event.
    std::string command =
        "xdotool" + moveTo(id_, fromX, fromY) + " mousedown " + std::to_string(button);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i)
        command +=
            moveTo(id_, fromX + (toX - fromX) * i / steps, fromY + (toY - fromY) * i / steps);
    command += " mouseup " + std::to_string(button);
    runCommand(command);
}

void XWindow::doubleClick(int x, int y) const {
    runCommand("xdotool" + moveTo(id_, x, y) + " click --repeat 2 --delay 60 1");
}

void XWindow::wheel(int x, int y, int notches) const {
    runCommand("xdotool" + moveTo(id_, x, y) + " click --repeat " +
               std::to_string(std::abs(notches)) + " --delay 30 " + (notches > 0 ? "4" : "5"));
}

void XWindow::key(const std::string& keys, int pointerX, int pointerY) const {
    runCommand("xdotool" + moveTo(id_, pointerX, pointerY) + " key " + keys);
}

Screenshot XWindow::capture() const {
    Screenshot shot;
    // import asks for a click when the window has gone, so it runs under a time limit; and it
    // writes 16-bit samples unless told otherwise.
    std::string ppm = runCommand("timeout 10 import -window " + std::to_string(id_) +
                                 " -depth 8 ppm:- 2>/dev/null");
    std::istringstream in(ppm);
    std::string magic;
    int maxValue = 0;
    if (!(in >> magic >> shot.width >> shot.height >> maxValue) || magic != "P6")
        return {};
    in.get();
    shot.rgb.resize(size_t(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), std::streamsize(shot.rgb.size()));
    if (!in)
        return {};
    return shot;
}

std::string keepScreenshot(const Screenshot& shot, const std::string& name) {
    const std::string base = std::string(POINTILLIST_ARTEFACTS_DIR) + "/" + name;
    shot.savePpm(base + ".ppm");
    // PNG for people; the PPM stays when ImageMagick cannot convert.
    int status = -1;
    runCommand("convert '" + base + ".ppm' '" + base + ".png' && rm -f '" + base + ".ppm'",
               &status);
    return status == 0 ? base + ".png" : base + ".ppm";
}
