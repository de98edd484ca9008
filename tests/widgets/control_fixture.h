// tests/widgets/control_fixture.h - GLUT once per process, a graphics window, fresh control
// windows per test, events delivered the way GLUT delivers them, and front-buffer pixels.
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

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

#include <GL/freeglut.h>
#include <GL/glx.h>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
inline const Rgb BLACK{0, 0, 0}, WHITE{255, 255, 255}, BACKGROUND{200, 200, 200};
// Captions are drawn with glColor3b(0, 0, 0), which OpenGL maps to 1/255, not to 0.
inline const Rgb INK{1, 1, 1};

// What the callbacks of the controls under test received, and which window was current.
struct CallbackRecord {
    int userId;
    int currentWindow;
};
inline std::vector<CallbackRecord> callbacks;
inline void recordCallback(int userId) {
    callbacks.push_back({userId, glutGetWindow()});
}

// Slots of 480 x 390 pixels away from the top-left corner, where the viewer's and the toolkit
// tests' windows go.
inline const std::vector<ScreenSlot> CONTROL_SLOTS = {
    {640, 420}, {1120, 420}, {640, 810}, {1120, 810}};

inline ::testing::Environment* const glutShutdown =
    ::testing::AddGlobalTestEnvironment(new GlutShutdown);

class ControlFixture : public ::testing::Test {
protected:
    static inline int mainWindow = 0;
    static inline int mainDisplays = 0;
    static inline ScreenSlot slot;

    static void SetUpTestSuite() {
        if (mainWindow > 0)
            return;
        slot = claimScreenSlot("controls", CONTROL_SLOTS);
        ASSERT_TRUE(initGlutHoldingServer("controls-test"));
        glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
        glutInitWindowPosition(slot.x + 400, slot.y);
        glutInitWindowSize(60, 60);
        mainWindow = glutCreateWindow("graphics");
        glutDisplayFunc([] {
            ++mainDisplays;
            glClear(GL_COLOR_BUFFER_BIT);
            glutSwapBuffers();
        });
    }

    void SetUp() override {
        callbacks.clear();
        window = openWindow(0, 0);
        root = window->root;
    }

    // Closes through the window's own display, called as GLUT would call it.
    void TearDown() override {
        for (ControlWindow* w : opened) {
            w->close();
            glutSetWindow(w->windowId);
            onDisplay();
        }
        EXPECT_EQ(windowManager.windows.firstChild, nullptr);
        glutSetWindow(mainWindow);
        glutMainLoopEvent();
    }

    // A control window at (x, y) within this process's screen slot.
    ControlWindow* openWindow(int x, int y) {
        ControlWindow* w = windowManager.createWindow("controls", 0, slot.x + x, slot.y + y);
        w->setMainWindow(mainWindow);
        opened.push_back(w);
        return w;
    }

    // Pumps GLUT until the X server has nothing more for us and every window has the size of
    // its content and has been displayed at it.
    void settle() {
        glutSetWindow(mainWindow);
        Display* display = glXGetCurrentDisplay();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            glutMainLoopEvent();
            XSync(display, False);
            if (XPending(display) == 0 && sizesMatch() && mainDisplays > 0)
                break;
        }
        ASSERT_TRUE(sizesMatch());
        ASSERT_GT(mainDisplays, 0);
        glutMainLoopEvent();
        glutSetWindow(mainWindow);
    }

    // Runs the posted redisplays; returns how many times the graphics window was displayed.
    int mainRedisplays() {
        int before = mainDisplays;
        glutMainLoopEvent();
        return mainDisplays - before;
    }

    // The callbacks ran with these user ids, in this order, each with the graphics window current.
    void expectCallbacks(const std::vector<int>& ids) {
        ASSERT_EQ(callbacks.size(), ids.size());
        for (size_t i = 0; i < ids.size(); ++i) {
            EXPECT_EQ(callbacks[i].userId, ids[i]);
            EXPECT_EQ(callbacks[i].currentWindow, mainWindow);
        }
    }

    // --- Events, through the toolkit's GLUT callbacks with the window current ---
    static void mouse(ControlWindow* w, int button, int state, int x, int y) {
        glutSetWindow(w->windowId);
        onMouse(button, state, x, y);
    }
    static void press(ControlWindow* w, int x, int y) { mouse(w, 0, GLUT_DOWN, x, y); }
    static void release(ControlWindow* w, int x, int y) { mouse(w, 0, GLUT_UP, x, y); }
    static void drag(ControlWindow* w, int x, int y) {
        glutSetWindow(w->windowId);
        onMotion(x, y);
    }
    // glutGetModifiers answers only inside GLUT's own input callbacks, so the modifier bits
    // are handed to the window directly.
    static void key(ControlWindow* w, unsigned char k, int modifiers = 0) {
        glutSetWindow(w->windowId);
        w->keyboardEvent(k, 0, 0, modifiers);
    }
    static int midX(const Control* c) { return c->x + c->width / 2; }
    static int midY(const Control* c) { return c->y + c->height / 2; }
    static void click(Control* c) {
        press(c->window, midX(c), midY(c));
        release(c->window, midX(c), midY(c));
    }

    // --- Looks, read back from the front buffer (GL rows run bottom-up) ---
    static Rgb pixel(ControlWindow* w, int x, int y) {
        int previous = glutGetWindow();
        glutSetWindow(w->windowId);
        unsigned char p[3] = {};
        glReadBuffer(GL_FRONT);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, glutGet(GLUT_WINDOW_HEIGHT) - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
        glutSetWindow(previous);
        return {p[0], p[1], p[2]};
    }
    static int countColour(ControlWindow* w, int x0, int y0, int x1, int y1, Rgb colour) {
        int previous = glutGetWindow();
        glutSetWindow(w->windowId);
        int width = x1 - x0 + 1, height = y1 - y0 + 1;
        std::vector<unsigned char> p(static_cast<size_t>(width * height * 3));
        glReadBuffer(GL_FRONT);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x0, glutGet(GLUT_WINDOW_HEIGHT) - 1 - y1, width, height, GL_RGB,
                     GL_UNSIGNED_BYTE, p.data());
        glutSetWindow(previous);
        int n = 0;
        for (size_t i = 0; i < p.size(); i += 3)
            n += Rgb{p[i], p[i + 1], p[i + 2]} == colour ? 1 : 0;
        return n;
    }
    // Black pixels on the top edge of a dotted focus frame starting at (x0, y) in the window.
    static int dotsOnLine(ControlWindow* w, int x0, int x1, int y) {
        return countColour(w, x0, y, x1, y, BLACK);
    }

    ControlWindow* window = nullptr;
    Panel* root = nullptr;
    std::vector<ControlWindow*> opened;

private:
    bool sizesMatch() {
        for (ControlWindow* w : opened) {
            glutSetWindow(w->windowId);
            if (glutGet(GLUT_WINDOW_WIDTH) != w->root->width ||
                glutGet(GLUT_WINDOW_HEIGHT) != w->root->height)
                return false;
        }
        return true;
    }
};
