// tests/controls/toolkit_fixture.h - the toolkit under the test's X server: GLUT once per
// process, a fresh main window that counts its redisplays and control windows made by the real
// window manager for each test, events delivered the way GLUT delivers them, front-buffer reads.
#pragma once

#include "controls/widgets/button.h"
#include "controls/widgets/checkbox.h"
#include "controls/widgets/label.h"
#include "controls/widgets/panel.h"
#include "controls/widgets/radio_group.h"
#include "controls/windows/control_window.h"
#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"
#include "tests/support/gl_test_support.h"
#include "tests/support/rgb.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include <GL/freeglut.h>

// A control window's background, the grey of etched lines and shadows, and the ink of captions,
// drawn with glColor3b(0, 0, 0), which OpenGL maps to 1/255, not to 0.
inline constexpr Rgb BACKGROUND{200, 200, 200}, GREY{128, 128, 128}, INK{1, 1, 1};

// Makes the nth allocation with new (std::nothrow) from now on fail (1 = the next one, 0 =
// none), so that creation operations run their failure path.
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

// What the callbacks of the controls under test received, and which window was current.
struct CallbackRecord {
    int userId;
    int currentWindow;
};
inline std::vector<CallbackRecord> callbacks;
void recordCallback(int userId);

// Each test gets a fresh main window; the control windows it makes are closed afterwards. All
// windows stay inside a screen area of the process's own (see claimScreenSlot).
class ToolkitTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // --- Windows ---
    // A top-level control window at (x, y) of the screen area; its displays and reshapes are
    // recorded.
    ControlWindow* makeWindow(const char* title = "Controls", int x = 0, int y = 0);
    // The same, with the main window as its main window, as an application's panel has.
    ControlWindow* openWindow(int x, int y);
    // A new Swatch under parent (the root when null).
    Swatch* addSwatch(ControlWindow* window, Control* parent, int w, int h, Rgb colour = RED);
    static std::pair<int, int> windowSize(int id);

    // --- Waiting for the screen ---
    // Waits until GLUT has displayed the window at its content size, then displays it once
    // more, so that its front buffer holds the whole tree.
    bool show(ControlWindow* window);
    // Waits until the X server has nothing more for us, every window made by the test has the
    // size of its content and has been displayed at it, and so has the main window; leaves the
    // main window current.
    void settle();
    // Posts a redisplay of the window and waits for it; GLUT serves all pending redisplays in
    // one pass, so those posted before have been served too.
    void serveRedisplays(ControlWindow* window);
    // Runs the posted redisplays; returns how many times the main window was displayed.
    int mainRedisplays();

    // --- Events, through the toolkit's GLUT callbacks with the window current ---
    static void mouse(ControlWindow* w, int button, int state, int x, int y);
    static void press(ControlWindow* w, int x, int y) { mouse(w, 0, GLUT_DOWN, x, y); }
    static void release(ControlWindow* w, int x, int y) { mouse(w, 0, GLUT_UP, x, y); }
    static void drag(ControlWindow* w, int x, int y);
    // glutGetModifiers answers only inside GLUT's own input callbacks, so the modifier bits
    // are handed to the window directly.
    static void key(ControlWindow* w, unsigned char k, int modifiers = 0);
    static int midX(const Control* c) { return c->x + c->width / 2; }
    static int midY(const Control* c) { return c->y + c->height / 2; }
    static void click(Control* c);

    // The callbacks ran with these user ids, in this order, each with the main window current.
    void expectCallbacks(const std::vector<int>& ids);

    // --- Looks, read back from the front buffer ---
    // Pixels in window coordinates, rows top first.
    static std::vector<std::vector<Rgb>> readRect(ControlWindow* window, int x, int y, int w,
                                                  int h);
    static Rgb pixel(ControlWindow* window, int x, int y) {
        return readRect(window, x, y, 1, 1)[0][0];
    }
    // Pixels of exactly this colour in the rectangle from (x0, y0) to (x1, y1), both included.
    static int countColour(ControlWindow* window, int x0, int y0, int x1, int y1, Rgb colour);
    // Black pixels on the top edge of a dotted focus frame starting at (x0, y) in the window.
    static int dotsOnLine(ControlWindow* window, int x0, int x1, int y) {
        return countColour(window, x0, y, x1, y, BLACK);
    }

    int mainWindow = 0;
    std::pair<int, int> mainPosition{380, 290}, mainSize{100, 100};

public:
    static ScreenSlot slot;
    static int mainDisplays;
    static std::map<int, int> displays;                              // by window id
    static std::map<int, std::vector<std::pair<int, int>>> reshapes; // sizes reported

private:
    bool sizesMatch();
    std::vector<int> madeWindows; // ids; closed ones are skipped
};

// A test that starts with one control window open, with the main window as its main window.
class OneWindowTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = openWindow(0, 0);
        root = window->root;
    }

    ControlWindow* window = nullptr;
    Panel* root = nullptr;
};
