// tests/controls/windows/window_manager_test.cpp - serial numbers, finding windows, and the idle
// pass that is registered with GLUT only while there is idle work.
#include "tests/controls/toolkit_fixture.h"

#include "controls/windows/glut_callbacks.h"
#include "controls/windows/window_manager.h"

#include <GL/freeglut.h>

#include <string>

namespace {

std::string idleLog;

// Wants idle time while `wanted` is set; logs its idle calls with the window then current.
class IdleProbe : public Swatch {
public:
    explicit IdleProbe(char t) : Swatch(20, 10, BLACK), tag(t) {}
    int needsIdle() override { return wanted; }
    void idle() override { idleLog += tag + std::to_string(glutGetWindow()) + " "; }
    char tag;
    int wanted = 1;
};

} // namespace

using WindowManagerTest = ToolkitTest;

TEST_F(WindowManagerTest, SerialsCountUpAndFailedCreationUsesNone) {
    const int next = windowManager.windowCounter;
    EXPECT_EQ(makeWindow()->serial, next);
    for (int failing : {1, 2}) { // the window record, then its root panel
        failNothrowAllocation(failing);
        EXPECT_EQ(windowManager.createWindow("none", 0, 0, 0), nullptr);
    }
    EXPECT_EQ(makeWindow("b", 300, 0)->serial, next + 1);
}

TEST_F(WindowManagerTest, FindsEachWindowAndCallbacksIgnoreOthers) {
    ControlWindow* a = makeWindow("a");
    ControlWindow* b = makeWindow("b", 300, 0);
    EXPECT_EQ(windowManager.findWindow(a->windowId), a);
    EXPECT_EQ(windowManager.findWindow(b->windowId), b);
    EXPECT_EQ(windowManager.findWindow(mainWindow), nullptr);
    glutSetWindow(mainWindow);
    onReshape(1, 1);
    serveRedisplays(
        a); // neither that nor making windows while it was current resized the main window
    EXPECT_EQ(windowSize(mainWindow), mainSize);
}

TEST_F(WindowManagerTest, IdleIsRegisteredOnlyWhileThereIsWork) {
    ControlWindow* a = makeWindow("a");
    ControlWindow* b = makeWindow("b", 300, 0);
    IdleProbe* inA = new IdleProbe('a');
    IdleProbe* inB = new IdleProbe('b');
    a->attachControl(a->root, inA);
    b->attachControl(b->root, inB);
    EXPECT_EQ(windowManager.idleRegistered, 0);

    windowManager.setIdleCallback([] { idleLog += "first "; });
    EXPECT_EQ(windowManager.idleRegistered, 1);
    windowManager.setIdleCallback([] { idleLog += "second "; });
    glutSetWindow(mainWindow);
    dispatchIdle();
    EXPECT_EQ(idleLog, "second ");
    EXPECT_EQ(glutGetWindow(), mainWindow); // no control asked: nothing switched
    windowManager.setIdleCallback(nullptr);
    EXPECT_EQ(windowManager.idleRegistered, 0);

    // Focused controls that want idle time, visited in creation order, each in its window.
    b->activeControl = inB;
    a->activeControl = inA;
    onPassiveMotion(0, 0); // every toolkit callback checks again
    EXPECT_EQ(windowManager.idleRegistered, 1);
    idleLog.clear();
    dispatchIdle();
    EXPECT_EQ(idleLog,
              "a" + std::to_string(a->windowId) + " b" + std::to_string(b->windowId) + " ");
    EXPECT_EQ(glutGetWindow(), b->windowId);
    inA->wanted = 0;
    dispatchIdle();
    EXPECT_EQ(windowManager.idleRegistered, 1);
    b->clearActiveControl();
    onPassiveMotion(0, 0);
    EXPECT_EQ(windowManager.idleRegistered, 0);
}
