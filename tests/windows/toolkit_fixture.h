// tests/windows/toolkit_fixture.h - shared set-up of the toolkit tests: GLUT under the test's X
// server, a plain "main" window that counts its redisplays, control windows made through the
// real window manager, and reading back their front buffers.
#pragma once

#include "controls/core/control.h"
#include "controls/widgets/panel.h"
#include "controls/windows/control_window.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

struct Rgb {
    int red, green, blue;
    bool operator==(const Rgb& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};
std::ostream& operator<<(std::ostream& out, const Rgb& colour);

// Within one step of rounding per channel: OpenGL turns 0.5 into 127 or 128.
bool nearColour(const Rgb& a, const Rgb& b, int tolerance = 1);

constexpr Rgb BACKGROUND{200, 200, 200};
constexpr Rgb WHITE{255, 255, 255};
constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb GREY{128, 128, 128};

// The screen area in which one test process places its windows: 480 x 390 pixels.
struct ScreenSlot {
    int x = 0, y = 0;
};

// Initialises GLUT once per process, with a fake argv.
void initGlutOnce();

// Pumps GLUT events until done() holds or five seconds have passed; returns done().
bool pumpEventsUntil(const std::function<bool()>& done);

// A leaf of a fixed size that paints its whole rectangle in one colour and counts its draws.
class Swatch : public Control {
public:
    Swatch(int w, int h, Rgb colour);
    void draw(int, int) override;
    Rgb colour;
    int draws = 0;
};

// Fresh main window and control windows for each test; everything is closed afterwards.
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A top-level control window at a position within this process's screen slot, counted by
    // displays and reshapes.
    ControlWindow* makeWindow(const char* title = "Controls", int x = 0, int y = 0);
    // A subwindow of the main window, docked by flags.
    ControlWindow* makeSubwindow(int flags);
    // Attaches a new Swatch under parent (the root when null).
    Swatch* addSwatch(ControlWindow* window, Control* parent, int w, int h,
                      Rgb colour = Rgb{255, 0, 0});

    // Waits until the window has been displayed by GLUT at its content size, then displays it
    // once more synchronously so that its front buffer holds the whole tree.
    bool show(ControlWindow* window);
    // Posts a redisplay of the window and pumps until it has been served; GLUT serves every
    // pending redisplay in the same pass, so any posted before it have been served too.
    void settle(ControlWindow* window);
    // The window's size as GLUT reports it.
    int windowWidth(int windowId);
    int windowHeight(int windowId);
    // Pixels of the window's front buffer in window coordinates (origin top-left).
    Rgb pixel(ControlWindow* window, int x, int y);
    std::vector<std::vector<Rgb>> readRect(ControlWindow* window, int x, int y, int w, int h);

    int mainWindow = 0;
    // Where the main window goes in the slot, and its size: out of the control windows' way.
    std::pair<int, int> mainPosition{380, 290};
    std::pair<int, int> mainSize{100, 100};

public:
    static ScreenSlot slot;
    // Display callbacks seen: of the main window, and of each control window by GLUT id;
    // the sizes that reshape callbacks of control windows reported.
    static void countMainDisplay();
    static int mainDisplays;
    static std::map<int, int> displays;
    static std::map<int, std::vector<std::pair<int, int>>> reshapes;
};

// Makes the nth allocation with new (std::nothrow) from now on fail (1 = the next one).
void failNothrowAllocation(int nth);
