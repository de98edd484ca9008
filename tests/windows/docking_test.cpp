// tests/windows/docking_test.cpp - subwindows docked along an edge of the main window: their
// stretched size and where they are placed.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

namespace {

// Position of a subwindow in its parent; GLUT reports it relative to the parent.
std::pair<int, int> positionOf(int child) {
    const int previous = glutGetWindow();
    glutSetWindow(child);
    const std::pair<int, int> at{glutGet(GLUT_WINDOW_X), glutGet(GLUT_WINDOW_Y)};
    glutSetWindow(previous);
    return at;
}

} // namespace

class Docking : public ToolkitTest {
  protected:
    Docking() {
        mainPosition = {0, 0};
        mainSize = {400, 300};
    }
    // A docked subwindow whose packed root is w x h (one leaf inside the 6-pixel margins).
    ControlWindow* docked(int flags, int w, int h) {
        ControlWindow* window = makeSubwindow(flags);
        addSwatch(window, nullptr, w - 18, h - 12);
        return window;
    }
    // Where the window ends up: polls until it is at (x, y) or time runs out.
    std::pair<int, int> placedAt(ControlWindow* window, int x, int y) {
        pumpEventsUntil([&] { return positionOf(window->windowId) == std::make_pair(x, y); });
        return positionOf(window->windowId);
    }
};

TEST_F(Docking, LeftSubwindowsStackInCreationOrderBelowTopOnes) {
    for (bool topFirst : {true, false}) {
        ControlWindow* top = topFirst ? docked(WINDOW_DOCK_TOP, 60, 30) : nullptr;
        ControlWindow* a = docked(WINDOW_DOCK_LEFT, 80, 40);
        ControlWindow* b = docked(WINDOW_DOCK_LEFT, 70, 40);
        if (!topFirst)
            top = docked(WINDOW_DOCK_TOP, 60, 30);
        a->placeSubwindow();
        b->placeSubwindow();
        SCOPED_TRACE(topFirst ? "top made first" : "top made last");
        EXPECT_EQ(placedAt(a, 0, 30), std::make_pair(0, 30));
        EXPECT_EQ(placedAt(b, 80, 30), std::make_pair(80, 30));
        EXPECT_EQ(a->contentHeight, 300); // stretched to the parent's height
        EXPECT_EQ(top->contentWidth, 400);
        for (ControlWindow* w : {top, a, b})
            w->close();
        ASSERT_TRUE(pumpEventsUntil([] { return windowManager.windows.firstChild == nullptr; }));
        glutSetWindow(mainWindow);
        glutReshapeWindow(400, 300); // closing a subwindow nudges the parent's size
        ASSERT_TRUE(pumpEventsUntil([&] { return windowWidth(mainWindow) == 400; }));
    }
}

TEST_F(Docking, BottomSubwindowsStackUpwards) {
    ControlWindow* first = docked(WINDOW_DOCK_BOTTOM, 50, 40);
    ControlWindow* second = docked(WINDOW_DOCK_BOTTOM, 50, 50);
    EXPECT_EQ(placedAt(first, 0, 260), std::make_pair(0, 260));
    EXPECT_EQ(placedAt(second, 0, 210), std::make_pair(0, 210));
    EXPECT_EQ(second->contentWidth, 400);
}

TEST_F(Docking, StretchingNeverShrinksAndPlacementNeverGoesNegative) {
    ControlWindow* wideRight = docked(WINDOW_DOCK_RIGHT, 500, 40);
    EXPECT_EQ(placedAt(wideRight, 0, 0), std::make_pair(0, 0)); // 400 - 500 < 0
    ControlWindow* wideTop = docked(WINDOW_DOCK_TOP, 450, 40);
    EXPECT_EQ(wideTop->contentWidth, 450);
    EXPECT_EQ(wideRight->contentHeight, 300);
    ControlWindow* narrowRight = docked(WINDOW_DOCK_RIGHT, 100, 40);
    // 400 - 100 - 500 < 0; below the top subwindow
    EXPECT_EQ(placedAt(narrowRight, 0, 40), std::make_pair(0, 40));
    const int id = narrowRight->windowId;
    EXPECT_TRUE(pumpEventsUntil([&] { return windowWidth(id) == 100; }));
}

TEST_F(Docking, ClosingASubwindowLeavesTheParentCurrent) {
    ControlWindow* window = docked(WINDOW_DOCK_LEFT, 80, 40);
    ASSERT_TRUE(show(window));
    glutSetWindow(window->windowId);
    window->closeWindow();
    EXPECT_EQ(glutGetWindow(), mainWindow);
    EXPECT_EQ(windowManager.windows.firstChild, nullptr);
}
