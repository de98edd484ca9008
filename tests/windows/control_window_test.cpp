// tests/windows/control_window_test.cpp - a control window keeps its packed size, draws upright,
// and leaves the previously current GLUT window current.
#include "tests/windows/toolkit_fixture.h"

#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

#include <functional>
#include <string>

using ControlWindowTest = ToolkitTest;

TEST_F(ControlWindowTest, StartsAt100By100ThenTakesItsPackedSize) {
    ControlWindow* window = makeWindow();
    EXPECT_EQ(windowWidth(window->windowId), 100);
    EXPECT_EQ(windowHeight(window->windowId), 100);
    const int id = window->windowId;
    EXPECT_TRUE(pumpEventsUntil([&] { return windowHeight(id) == 13; })); // the empty root
    addSwatch(window, nullptr, 200, 50);
    EXPECT_EQ(window->contentWidth, 218);
    EXPECT_EQ(window->contentHeight, 62);
    EXPECT_TRUE(show(window));
}

TEST_F(ControlWindowTest, SnapsBackWhenResizedFromOutside) {
    ControlWindow* window = makeWindow();
    addSwatch(window, nullptr, 80, 20);
    ASSERT_TRUE(show(window));
    const int id = window->windowId;
    glutSetWindow(id);
    glutReshapeWindow(300, 250);
    auto sawOtherSize = [&] {
        for (auto size : reshapes[id])
            if (size == std::make_pair(300, 250))
                return true;
        return false;
    };
    EXPECT_TRUE(pumpEventsUntil(
        [&] { return sawOtherSize() && windowWidth(id) == 98 && windowHeight(id) == 32; }));
}

TEST_F(ControlWindowTest, DisplayAtAnotherSizeDrawsOnlyBackgroundAndAsksForContentSize) {
    ControlWindow* window = makeWindow();
    Swatch* swatch = addSwatch(window, nullptr, 80, 20);
    ASSERT_TRUE(show(window));
    const int draws = swatch->draws;
    window->root->width = 150; // as if the content had grown without a refresh
    glutSetWindow(window->windowId);
    onDisplay();
    EXPECT_EQ(swatch->draws, draws);
    EXPECT_EQ(pixel(window, 10, 10), BACKGROUND);
    const int id = window->windowId;
    EXPECT_TRUE(pumpEventsUntil(
        [&] { return !reshapes[id].empty() && reshapes[id].back() == std::make_pair(150, 32); }));
}

TEST_F(ControlWindowTest, TreeIsDrawnUpright) {
    ControlWindow* window = makeWindow();
    addSwatch(window, nullptr, 20, 10, Rgb{255, 0, 0});
    addSwatch(window, nullptr, 20, 10, Rgb{0, 255, 0});
    ASSERT_TRUE(show(window));
    const auto rows = readRect(window, 0, 0, window->contentWidth, window->contentHeight);
    EXPECT_EQ(rows[5][6], BACKGROUND);
    EXPECT_EQ(rows[6][6], (Rgb{255, 0, 0})); // first child at the top
    EXPECT_EQ(rows[15][25], (Rgb{255, 0, 0}));
    EXPECT_EQ(rows[19][6], (Rgb{0, 255, 0})); // second child 3 pixels below it
    EXPECT_EQ(rows[18][6], BACKGROUND);
}

TEST_F(ControlWindowTest, OperationsLeaveThePreviousWindowCurrent) {
    ControlWindow* window = makeWindow();
    window->setMainWindow(mainWindow);
    Swatch* swatch = addSwatch(window, nullptr, 20, 10);
    ControlWindow* docked = makeSubwindow(WINDOW_DOCK_TOP);
    const struct {
        const char* name;
        std::function<void()> run;
    } operations[] = {
        {"createWindow", [&] { makeWindow("second", 300, 0); }},
        {"createSubwindow", [&] { makeSubwindow(WINDOW_DOCK_LEFT); }},
        {"addPanel", [&] { window->addPanel("Panel", BORDER_ETCHED); }},
        {"setName", [&] { swatch->setName("renamed"); }},
        {"refresh of a subwindow", [&] { docked->refresh(); }},
        {"postMainRedisplay", [&] { window->postMainRedisplay(); }},
        {"redraw", [&] { swatch->redraw(); }},
        {"runCallback", [&] { swatch->runCallback(); }},
        {"close", [&] { makeWindow("closing", 300, 200)->close(); }},
    };
    ASSERT_TRUE(show(window));
    for (const auto& operation : operations) {
        glutSetWindow(mainWindow);
        operation.run();
        EXPECT_EQ(glutGetWindow(), mainWindow) << operation.name;
    }
}

TEST_F(ControlWindowTest, NewWindowStaysCurrentWhenNoneWasCurrent) {
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
    const int scratch = glutCreateWindow("scratch");
    glutDestroyWindow(scratch);
    ASSERT_TRUE(pumpEventsUntil([] { return glutGetWindow() == 0; }));
    ControlWindow* window = makeWindow();
    EXPECT_EQ(glutGetWindow(), window->windowId);
}

TEST_F(ControlWindowTest, PositionIsGivenOnlyWhenNotBothNegativeAndSettingsStayInForce) {
    const int x = slot.x + 30, y = slot.y + 40;
    const struct { int x, y, wantX, wantY; } cases[] = {{x, y, x, y}, {-1, -1, x, y}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        ControlWindow* window = windowManager.createWindow("placed", 0, c.x, c.y);
        glutSetWindow(window->windowId);
        EXPECT_TRUE(pumpEventsUntil([&] {
            return glutGet(GLUT_WINDOW_X) == c.wantX && glutGet(GLUT_WINDOW_Y) == c.wantY;
        }));
    }
    // A plain window made afterwards inherits the toolkit's size and display mode.
    const int plain = glutCreateWindow("plain");
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 100);
    EXPECT_EQ(glutGet(GLUT_WINDOW_DOUBLEBUFFER), 0);
    glutDestroyWindow(plain);
}

TEST_F(ControlWindowTest, PostMainRedisplayNeedsAValidMainWindow) {
    ControlWindow* window = makeWindow();
    ASSERT_TRUE(show(window));
    for (int id : {-1, 0, mainWindow}) {
        const int before = mainDisplays;
        window->setMainWindow(id);
        window->postMainRedisplay();
        settle(window);
        EXPECT_EQ(mainDisplays - before, id == mainWindow ? 1 : 0) << "main window " << id;
    }
}

TEST_F(ControlWindowTest, FrontBufferSelectionIsUndone) {
    ControlWindow* window = makeWindow();
    glutSetWindow(mainWindow);
    glDrawBuffer(GL_BACK);
    const int saved = window->useFrontBuffer();
    GLint now = 0;
    glGetIntegerv(GL_DRAW_BUFFER, &now);
    EXPECT_EQ(now, GL_FRONT);
    window->restoreDrawBuffer(saved);
    glGetIntegerv(GL_DRAW_BUFFER, &now);
    EXPECT_EQ(now, GL_BACK);
}

TEST_F(ControlWindowTest, ClosingRemovesTheWindowAndItsFocus) {
    ControlWindow* kept = makeWindow("kept");
    ControlWindow* closing = makeWindow("closing", 300, 0);
    Swatch* focused = addSwatch(closing, nullptr, 20, 10);
    closing->setMainWindow(mainWindow);
    ASSERT_TRUE(show(closing));
    closing->setActiveControl(focused, ACTIVATE_BY_MOUSE);
    ASSERT_EQ(windowManager.activeWindow, closing);
    const int id = closing->windowId;
    closing->close();
    EXPECT_TRUE(pumpEventsUntil([&] { return windowManager.findWindow(id) == nullptr; }));
    EXPECT_EQ(windowManager.activeWindow, nullptr);
    EXPECT_EQ(windowManager.windows.firstChild, kept);
    EXPECT_EQ(windowManager.windows.lastChild, kept);
}
