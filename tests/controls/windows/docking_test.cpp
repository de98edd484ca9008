// tests/controls/windows/docking_test.cpp - subwindows docked along an edge of the main window:
// their stretched size and where they are placed.
#include "tests/controls/toolkit_fixture.h"

#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

using Point = std::pair<int, int>;

class Docking : public ToolkitTest {
protected:
    Docking() {
        mainPosition = {0, 0};
        mainSize = {400, 300};
    }
    // A subwindow of the main window whose packed root is w x h.
    ControlWindow* docked(int flags, int w, int h) {
        ControlWindow* window = windowManager.createSubwindow(mainWindow, flags);
        addSwatch(window, nullptr, w - 18, h - 12);
        return window;
    }
    // Where the window ends up in its parent: polls until it is at `want` or time runs out.
    Point placedAt(ControlWindow* window, Point want) {
        auto position = [&] {
            InWindow in(window->windowId); // GLUT reports subwindows relative to the parent
            return Point(glutGet(GLUT_WINDOW_X), glutGet(GLUT_WINDOW_Y));
        };
        pumpUntil([&] { return position() == want; });
        return position();
    }
};

TEST_F(Docking, LeftSubwindowsStackInCreationOrderBelowTopOnes) {
    for (bool topFirst : {true, false}) {
        SCOPED_TRACE(topFirst ? "top made first" : "top made last");
        ControlWindow* top = topFirst ? docked(WINDOW_DOCK_TOP, 60, 30) : nullptr;
        ControlWindow* a = docked(WINDOW_DOCK_LEFT, 80, 40);
        ControlWindow* b = docked(WINDOW_DOCK_LEFT, 70, 40);
        if (!topFirst)
            top = docked(WINDOW_DOCK_TOP, 60, 30);
        a->placeSubwindow();
        b->placeSubwindow();
        EXPECT_EQ(placedAt(a, {0, 30}), Point(0, 30));
        EXPECT_EQ(placedAt(b, {80, 30}), Point(80, 30));
        EXPECT_EQ(a->contentHeight, 300); // stretched to the parent
        EXPECT_EQ(top->contentWidth, 400);
        for (ControlWindow* w : {top, a, b})
            w->close();
        ASSERT_TRUE(pumpUntil([] { return windowManager.windows.firstChild == nullptr; }));
        glutSetWindow(mainWindow);
        glutReshapeWindow(400, 300); // closing a subwindow nudges the parent's size
        ASSERT_TRUE(pumpUntil([&] { return windowSize(mainWindow) == mainSize; }));
    }
}

TEST_F(Docking, BottomSubwindowsStackUpwards) {
    ControlWindow* first = docked(WINDOW_DOCK_BOTTOM, 50, 40);
    ControlWindow* second = docked(WINDOW_DOCK_BOTTOM, 50, 50);
    EXPECT_EQ(placedAt(first, {0, 260}), Point(0, 260));
    EXPECT_EQ(placedAt(second, {0, 210}), Point(0, 210));
    EXPECT_EQ(second->contentWidth, 400);
}

TEST_F(Docking, StretchingNeverShrinksAndPlacementNeverGoesNegative) {
    ControlWindow* wideRight = docked(WINDOW_DOCK_RIGHT, 500, 40);
    EXPECT_EQ(placedAt(wideRight, {0, 0}), Point(0, 0)); // 400 - 500 < 0
    EXPECT_EQ(wideRight->contentHeight, 300);
    ControlWindow* wideTop = docked(WINDOW_DOCK_TOP, 450, 40);
    EXPECT_EQ(wideTop->contentWidth, 450);
    ControlWindow* narrowRight = docked(WINDOW_DOCK_RIGHT, 100, 40);
    EXPECT_EQ(placedAt(narrowRight, {0, 40}), Point(0, 40)); // 400 - 100 - 500 < 0
    EXPECT_TRUE(pumpUntil([&] { return windowSize(narrowRight->windowId).first == 100; }));
}

TEST_F(Docking, ClosingASubwindowLeavesTheParentCurrent) {
    ControlWindow* window = docked(WINDOW_DOCK_LEFT, 80, 40);
    glutSetWindow(window->windowId);
    window->closeWindow();
    EXPECT_EQ(glutGetWindow(), mainWindow);
    EXPECT_EQ(windowManager.windows.firstChild, nullptr);
}
