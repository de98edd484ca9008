// tests/windows/toolkit_fixture.h - GLUT under the test's X server, a plain main window that
// counts its redisplays, control windows made by the real window manager, front-buffer reads.
#pragma once

#include "controls/widgets/panel.h"
#include "controls/windows/control_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <utility>
#include <vector>

struct Rgb {
    int red, green, blue;
    bool operator==(const Rgb& o) const {
        return red == o.red && green == o.green && blue == o.blue;
    }
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);
// Within one step per channel: OpenGL turns 0.5 into 127 or 128, glColor3b(0) into 1.
bool nearColour(const Rgb& a, const Rgb& b);

constexpr Rgb BACKGROUND{200, 200, 200}, WHITE{255, 255, 255}, BLACK{0, 0, 0}, GREY{128, 128, 128},
    RED{255, 0, 0};

// Pumps GLUT events until done() holds or five seconds have passed; returns done().
bool pumpEventsUntil(const std::function<bool()>& done);

// Makes the nth allocation with new (std::nothrow) from now on fail (1 = the next one).
void failNothrowAllocation(int nth);

// Makes a GLUT window current for its lifetime, then the previous one again.
struct InWindow {
    explicit InWindow(int id);
    ~InWindow();
    int previous;
};

// A leaf of a fixed size that paints its whole rectangle in one colour and counts its draws.
class Swatch : public Control {
public:
    Swatch(int w, int h, Rgb colour);
    void draw(int, int) override;
    Rgb colour;
    int draws = 0;
};

// Each test gets a fresh main window; the control windows it makes are closed afterwards.
// All windows stay inside a screen area of the process's own (see claimScreenSlot).
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A top-level control window at (x, y) of the screen area; its displays and reshapes
    // are recorded.
    ControlWindow* makeWindow(const char* title = "Controls", int x = 0, int y = 0);
    // A new Swatch under parent (the root when null).
    Swatch* addSwatch(ControlWindow* window, Control* parent, int w, int h, Rgb colour = RED);
    // Waits until GLUT has displayed the window at its content size, then displays it once
    // more, so that its front buffer holds the whole tree.
    bool show(ControlWindow* window);
    // Posts a redisplay of the window and waits for it; GLUT serves all pending redisplays
    // in one pass, so those posted before have been served too.
    void settle(ControlWindow* window);
    static std::pair<int, int> windowSize(int id);
    // Front-buffer pixels in window coordinates, rows top first.
    std::vector<std::vector<Rgb>> readRect(ControlWindow* window, int x, int y, int w, int h);
    Rgb pixel(ControlWindow* window, int x, int y) { return readRect(window, x, y, 1, 1)[0][0]; }

    int mainWindow = 0;
    std::pair<int, int> mainPosition{380, 290}, mainSize{100, 100};

public:
    static int slotX, slotY;
    static int mainDisplays;
    static std::map<int, int> displays;                              // by window id
    static std::map<int, std::vector<std::pair<int, int>>> reshapes; // sizes reported
};
