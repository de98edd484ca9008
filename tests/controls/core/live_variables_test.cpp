// tests/controls/core/live_variables_test.cpp - the first read of a bound variable, later
// write-backs with a redisplay of the main window, and callbacks run with the main window current.
#include "tests/controls/toolkit_fixture.h"

#include <GL/freeglut.h>

#include <cstring>

namespace {

class Bound : public Control {
public:
    void draw(int, int) override {}
    void setIntValue(int value) override {
        ++setterCalls;
        Control::setIntValue(value);
    }
    void setText(const char* value) override { copyText(text, value); }
    int setterCalls = 0;
};

int callbackUserId = 0, callbackWindow = 0;

} // namespace

class LiveVariable : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = makeWindow();
        window->setMainWindow(mainWindow);
        window->attachControl(window->root, control);
        ASSERT_TRUE(show(window));
    }
    // Serves the pending redisplays, then counts the main window's displays so far.
    int mainDisplaysSoFar() {
        serveRedisplays(window);
        return mainDisplays;
    }
    ControlWindow* window = nullptr;
    Bound* control = new Bound;
};

TEST_F(LiveVariable, FirstReadWritesNothingLaterChangesWriteAndRedisplayMain) {
    int variable = 5;
    control->liveKind = LIVE_INT;
    control->bindVariable(&variable);
    control->setIntValue(9); // bound but never read: nothing is written
    EXPECT_EQ(variable, 5);
    const int before = mainDisplaysSoFar();
    variable = 7;
    control->syncFromLive();
    EXPECT_EQ(control->setterCalls, 2); // the class's own setter
    EXPECT_EQ(control->intValue, 7);
    EXPECT_EQ(mainDisplaysSoFar(), before);
    control->setIntValue(3);
    EXPECT_EQ(variable, 3);
    EXPECT_EQ(mainDisplaysSoFar(), before + 1);
    int other = 0;
    control->bindVariable(&other);
    EXPECT_EQ(other, 3);
    window->setMainWindow(-1);
    control->setIntValue(4);
    EXPECT_EQ(other, 4);
    EXPECT_EQ(mainDisplaysSoFar(), before + 2); // only bindVariable's
}

TEST_F(LiveVariable, FloatTextAndArrayVariables) {
    float value = 2.5f;
    control->liveKind = LIVE_FLOAT;
    control->bindVariable(&value);
    control->syncFromLive();
    EXPECT_EQ(control->floatValue, 2.5f);
    control->setFloatValue(-1.0f);
    EXPECT_EQ(value, -1.0f);

    Bound array;
    float values[4] = {1, 2, 3, 99};
    array.liveKind = LIVE_FLOAT_ARRAY;
    array.floatArraySize = 3;
    array.bindVariable(values);
    array.syncFromLive();
    const float next[3] = {4, 5, 6};
    array.setFloatArray(next);
    EXPECT_TRUE(values[2] == 6 && values[3] == 99);

    char text[310];
    memset(text, '#', sizeof text);
    strcpy(text, "start");
    Bound label;
    label.liveKind = LIVE_TEXT;
    label.bindVariable(text);
    label.syncFromLive();
    EXPECT_STREQ(label.text, "start");
    copyText(label.text, "new");
    label.syncToLive(0);
    EXPECT_STREQ(text, "new");
    EXPECT_EQ(std::string(text + 3, 297), std::string(297, '\0')); // always 300 bytes
    EXPECT_EQ(text[300], '#');
}

TEST_F(LiveVariable, CallbackRunsInMainWindowAndRestoresThePrevious) {
    control->callback = [](int id) {
        callbackUserId = id;
        callbackWindow = glutGetWindow();
    };
    control->userId = 42;
    glutSetWindow(window->windowId);
    control->runCallback();
    EXPECT_EQ(callbackUserId, 42);
    EXPECT_EQ(callbackWindow, mainWindow);
    EXPECT_EQ(glutGetWindow(), window->windowId);
    window->setMainWindow(-1); // no main window: the callback runs where it was called
    control->runCallback();
    EXPECT_EQ(callbackWindow, window->windowId);
}

// Before it is attached a control has no window to refresh or redisplay: it still writes its
// variable, and its callback runs in whichever window is current.
TEST_F(LiveVariable, DetachedControlWritesItsVariableAndCallsBackWhereItIsCalled) {
    Bound detached;
    int value = 3;
    detached.liveKind = LIVE_INT;
    detached.bindVariable(&value);
    detached.syncFromLive();
    const int before = mainDisplaysSoFar();
    detached.setIntValue(5);
    detached.setName("detached");
    EXPECT_EQ(value, 5);
    EXPECT_EQ(mainDisplaysSoFar(), before);

    detached.callback = [](int id) {
        callbackUserId = id;
        callbackWindow = glutGetWindow();
    };
    detached.userId = 7;
    glutSetWindow(window->windowId);
    detached.runCallback();
    EXPECT_EQ(callbackUserId, 7);
    EXPECT_EQ(callbackWindow, window->windowId);
    EXPECT_EQ(glutGetWindow(), window->windowId);
}
