// tests/core/live_variables_test.cpp - the first read of a bound variable, later write-backs with
// a redisplay of the main window, and callbacks run with the main window current.
#include "tests/windows/toolkit_fixture.h"

#include <GL/freeglut.h>

#include <cstring>

namespace {

// Records what the class's own setters receive during the first read.
class Bound : public Control {
public:
    void draw(int, int) override {}
    void setIntValue(int value) override {
        setterCalls++;
        Control::setIntValue(value);
    }
    void setText(const char* value) override { copyText(text, value); }
    int setterCalls = 0;
};

int callbackUserId = 0;
int callbackWindow = 0;
void recordCallback(int userId) {
    callbackUserId = userId;
    callbackWindow = glutGetWindow();
}

} // namespace

class LiveVariable : public ToolkitTest {
  protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        window = makeWindow();
        window->setMainWindow(mainWindow);
        control = new Bound;
        window->attachControl(window->root, control);
        ASSERT_TRUE(show(window));
    }
    int mainRedisplays() {
        settle(window);
        return mainDisplays;
    }
    ControlWindow* window = nullptr;
    Bound* control = nullptr;
};

TEST_F(LiveVariable, FirstReadWritesNothingLaterChangesWriteAndRedisplayMain) {
    int variable = 5;
    control->liveKind = LIVE_INT;
    control->bindVariable(&variable);
    control->setIntValue(9); // not read yet: the variable keeps its value
    EXPECT_EQ(variable, 5);
    const int before = mainRedisplays();
    variable = 7;
    control->syncFromLive();
    EXPECT_EQ(control->setterCalls, 2);
    EXPECT_EQ(control->intValue, 7);
    EXPECT_EQ(mainRedisplays(), before);
    control->setIntValue(3);
    EXPECT_EQ(variable, 3);
    EXPECT_EQ(mainRedisplays(), before + 1);
    int other = 0;
    control->bindVariable(&other); // a new variable receives the value at once
    EXPECT_EQ(other, 3);
    window->setMainWindow(-1);
    control->setIntValue(4);
    EXPECT_EQ(other, 4);
    EXPECT_EQ(mainRedisplays(), before + 2);
}

TEST_F(LiveVariable, FloatAndFloatArrayRoundTrip) {
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
    EXPECT_EQ(values[2], 6);
    EXPECT_EQ(values[3], 99); // only floatArraySize elements
    float out[3] = {};
    array.getFloatArray(out);
    EXPECT_EQ(out[1], 5);
    array.setFloatArray(nullptr);
    array.getFloatArray(nullptr);
}

TEST_F(LiveVariable, TextVariableAlwaysReceives300Bytes) {
    char variable[310];
    memset(variable, '#', sizeof variable);
    strcpy(variable, "start");
    control->liveKind = LIVE_TEXT;
    control->bindVariable(variable);
    control->syncFromLive();
    EXPECT_STREQ(control->text, "start");
    copyText(control->text, "new");
    control->syncToLive(1);
    EXPECT_STREQ(variable, "new");
    for (int i = 3; i < 300; ++i)
        ASSERT_EQ(variable[i], '\0') << i;
    EXPECT_EQ(variable[300], '#');
}

TEST_F(LiveVariable, CallbackRunsInMainWindowAndRestoresThePrevious) {
    control->callback = recordCallback;
    control->userId = 42;
    glutSetWindow(window->windowId);
    control->runCallback();
    EXPECT_EQ(callbackUserId, 42);
    EXPECT_EQ(callbackWindow, mainWindow);
    EXPECT_EQ(glutGetWindow(), window->windowId);

    window->setMainWindow(-1); // no main window: the callback runs where it is called
    control->runCallback();
    EXPECT_EQ(callbackWindow, window->windowId);
    control->callback = nullptr;
    control->runCallback();
    EXPECT_EQ(glutGetWindow(), window->windowId);
}
