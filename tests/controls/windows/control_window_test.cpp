// tests/controls/windows/control_window_test.cpp - a control window keeps its packed size, draws
// upright, and leaves the previously current GLUT window current.
#include "tests/controls/toolkit_fixture.h"

#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

#include <functional>

using ControlWindowTest = ToolkitTest;
using Size = std::pair<int, int>;

TEST_F(ControlWindowTest, StartsAt100By100ThenTakesItsPackedSize) {
    ControlWindow* window = makeWindow();
    const int id = window->windowId;
    EXPECT_EQ(windowSize(id), Size(100, 100));
    EXPECT_TRUE(pumpUntil([&] { return windowSize(id) == Size(100, 13); })); // empty root
    addSwatch(window, nullptr, 200, 50);
    EXPECT_EQ(Size(window->contentWidth, window->contentHeight), Size(218, 62));
    EXPECT_TRUE(show(window));
}

TEST_F(ControlWindowTest, SnapsBackWhenResizedFromOutside) {
    ControlWindow* window = makeWindow();
    addSwatch(window, nullptr, 80, 20);
    ASSERT_TRUE(show(window));
    const int id = window->windowId;
    glutSetWindow(id);
    glutReshapeWindow(300, 250);
    EXPECT_TRUE(pumpUntil([&] {
        const auto& seen = reshapes[id];
        return std::find(seen.begin(), seen.end(), Size(300, 250)) != seen.end() &&
               windowSize(id) == Size(98, 32);
    }));
}

TEST_F(ControlWindowTest, DisplayAtAnotherSizeDrawsOnlyBackgroundAndAsksForContentSize) {
    ControlWindow* window = makeWindow();
    Swatch* swatch = addSwatch(window, nullptr, 80, 20);
    ASSERT_TRUE(show(window));
    const int draws = swatch->draws, id = window->windowId;
    window->root->width = 150; // as if the content had grown without a refresh
    glutSetWindow(id);
    onDisplay();
    EXPECT_EQ(swatch->draws, draws);
    EXPECT_EQ(pixel(window, 10, 10), BACKGROUND);
    EXPECT_TRUE(
        pumpUntil([&] { return !reshapes[id].empty() && reshapes[id].back() == Size(150, 32); }));
}

TEST_F(ControlWindowTest, TreeIsDrawnUpright) {
    ControlWindow* window = makeWindow();
    addSwatch(window, nullptr, 20, 10, RED);
    addSwatch(window, nullptr, 20, 10, WHITE);
    ASSERT_TRUE(show(window));
    const auto rows = readRect(window, 0, 0, window->contentWidth, window->contentHeight);
    EXPECT_EQ(rows[5][6], BACKGROUND);
    EXPECT_EQ(rows[6][6], RED); // the first child at the top
    EXPECT_EQ(rows[15][25], RED);
    EXPECT_EQ(rows[18][6], BACKGROUND);
    EXPECT_EQ(rows[19][6], WHITE); // the second 3 pixels below it
}

TEST_F(ControlWindowTest, OperationsLeaveThePreviousWindowCurrent) {
    ControlWindow* window = makeWindow();
    window->setMainWindow(mainWindow);
    Swatch* swatch = addSwatch(window, nullptr, 20, 10);
    ControlWindow* docked = windowManager.createSubwindow(mainWindow, WINDOW_DOCK_TOP);
    const std::pair<const char*, std::function<void()>> operations[] = {
        {"createWindow", [&] { makeWindow("second", 300, 0); }},
        {"createSubwindow", [&] { windowManager.createSubwindow(mainWindow, WINDOW_DOCK_LEFT); }},
        {"addPanel", [&] { window->addPanel("Panel", BORDER_ETCHED); }},
        {"setName", [&] { swatch->setName("renamed"); }},
        {"refresh of a subwindow", [&] { docked->refresh(); }},
        {"postMainRedisplay", [&] { window->postMainRedisplay(); }},
        {"redraw", [&] { swatch->redraw(); }},
        {"runCallback", [&] { swatch->runCallback(); }},
        {"close", [&] { makeWindow("closing", 300, 200)->close(); }},
    };
    ASSERT_TRUE(show(window));
    for (const auto& [name, run] : operations) {
        glutSetWindow(mainWindow);
        run();
        EXPECT_EQ(glutGetWindow(), mainWindow) << name;
    }
}

TEST_F(ControlWindowTest, NewWindowStaysCurrentWhenNoneWasCurrent) {
    glutDestroyWindow(glutCreateWindow("scratch"));
    ASSERT_TRUE(pumpUntil([] { return glutGetWindow() == 0; }));
    EXPECT_EQ(glutGetWindow(), makeWindow()->windowId);
}

TEST_F(ControlWindowTest, PositionIsGivenUnlessBothNegativeAndSettingsStayInForce) {
    const int x = slot.x + 30, y = slot.y + 40;
    for (auto [askX, askY] : {Size(x, y), Size(-1, -1)}) { // the second keeps the first's
        InWindow in(windowManager.createWindow("placed", 0, askX, askY)->windowId);
        EXPECT_TRUE(pumpUntil([&] {
            return glutGet(GLUT_WINDOW_X) == x && glutGet(GLUT_WINDOW_Y) == y;
        })) << askX;
    }
    const int plain = glutCreateWindow("plain"); // the toolkit's size and display mode
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 100);
    EXPECT_EQ(glutGet(GLUT_WINDOW_DOUBLEBUFFER), 0);
    glutDestroyWindow(plain);
}

TEST_F(ControlWindowTest, ClosingRemovesTheWindowAndItsFocus) {
    ControlWindow* kept = makeWindow("kept");
    ControlWindow* closing = makeWindow("closing", 300, 0);
    Swatch* focused = addSwatch(closing, nullptr, 20, 10);
    ASSERT_TRUE(show(closing));
    closing->setActiveControl(focused, ACTIVATE_BY_MOUSE);
    ASSERT_EQ(windowManager.activeWindow, closing);
    const int id = closing->windowId;
    closing->close();
    EXPECT_TRUE(pumpUntil([&] { return windowManager.findWindow(id) == nullptr; }));
    EXPECT_EQ(windowManager.activeWindow, nullptr);
    EXPECT_TRUE(windowManager.windows.firstChild == kept &&
                windowManager.windows.lastChild == kept);
}
