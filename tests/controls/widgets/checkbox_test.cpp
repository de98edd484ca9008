// tests/controls/widgets/checkbox_test.cpp - check box clicks, cancelled presses, space and looks.
#include "tests/controls/toolkit_fixture.h"

namespace {

// Pixel (6, 6) of the box image: the check mark in images 1 and 13, the face in 0 and 12.
constexpr int CHECKED = 0, UNCHECKED = 255, CHECKED_DISABLED = 64, UNCHECKED_DISABLED = 192;

class CheckboxClick : public OneWindowTest {
protected:
    void SetUp() override {
        OneWindowTest::SetUp();
        box = window->addCheckbox(root, "show axis", &value, 7, recordCallback);
        below = window->addLabel(root, "below");
        settle();
    }
    int look() { return pixel(window, box->x + 6, box->y + 6).red; }
    void pressBox() { press(window, midX(box), midY(box)); }
    void dragOff() { drag(window, midX(below), midY(below)); }

    int value = 0;
    Checkbox* box = nullptr;
    Label* below = nullptr;
};

TEST_F(CheckboxClick, PressShowsAtOnceReleaseCommitsThenCallsBack) {
    EXPECT_EQ(look(), UNCHECKED);
    pressBox();
    EXPECT_EQ(look(), CHECKED);
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(callbacks.empty());
    release(window, midX(box), midY(box));
    EXPECT_EQ(value, 1);
    expectCallbacks({7});
    EXPECT_EQ(glutGetWindow(), window->windowId);
    EXPECT_EQ(mainRedisplays(), 1);
}

TEST_F(CheckboxClick, DragOffShowsOldStateAndReleaseOutsideCancels) {
    pressBox();
    dragOff();
    EXPECT_EQ(look(), UNCHECKED);
    drag(window, midX(box), midY(box));
    EXPECT_EQ(look(), CHECKED);
    dragOff();
    release(window, midX(below), midY(below));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(look(), UNCHECKED);
    EXPECT_TRUE(callbacks.empty());
    EXPECT_EQ(mainRedisplays(), 0);
}

TEST_F(CheckboxClick, DragOffAndBackCommits) {
    pressBox();
    dragOff();
    drag(window, box->x + 1, box->y + 1);
    release(window, box->x + 1, box->y + 1);
    EXPECT_EQ(value, 1);
    expectCallbacks({7});
}

// The release is reported inside although the last motion was outside: the old value is
// committed, and the callback still runs.
TEST_F(CheckboxClick, ReleaseInsideAfterMotionOutsideCommitsOldValue) {
    pressBox();
    dragOff();
    release(window, midX(box), midY(box));
    EXPECT_EQ(value, 0);
    expectCallbacks({7});
    EXPECT_EQ(mainRedisplays(), 1);
}

// Any non-zero value reads as checked, so a click must clear it rather than turn 2 into -1.
TEST_F(CheckboxClick, NonZeroValueIsClearedByAClick) {
    value = 2;
    box->syncFromLive();
    click(box);
    EXPECT_EQ(value, 0);
    click(box);
    EXPECT_EQ(value, 1);
}

TEST_F(CheckboxClick, DisabledBoxShowsGreyImagesAndIgnoresPresses) {
    box->disable();
    EXPECT_EQ(look(), UNCHECKED_DISABLED);
    box->setIntValue(1);
    EXPECT_EQ(look(), CHECKED_DISABLED);
    click(box);
    EXPECT_EQ(box->intValue, 1);
    EXPECT_TRUE(callbacks.empty());
}

// The frame runs from x 15 to 22 + label width and y 0 to 14, dotted only with the focus.
TEST_F(CheckboxClick, SpaceClicksFocusedBoxAndFocusFrameComesAndGoes) {
    const int x0 = box->x + 15;
    const int x1 = box->x + 22 + bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, box->name);
    const int dotted = (x1 - x0) / 2 - 1;
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y), 0);
    key(window, '\t');
    EXPECT_GE(dotsOnLine(window, x0, x1, box->y), dotted);
    EXPECT_GE(dotsOnLine(window, x0, x1, box->y + 14), dotted);
    EXPECT_EQ(pixel(window, x0 - 1, box->y), BACKGROUND);
    key(window, ' ');
    key(window, ' ');
    key(window, ' ');
    EXPECT_EQ(value, 1);
    expectCallbacks({7, 7, 7});
    press(window, 1, 1);
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y), 0);
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y + 14), 0);
}

} // namespace
