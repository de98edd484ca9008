// tests/widgets/checkbox_test.cpp - check box clicks, cancelled presses, space, looks, size.
#include "tests/widgets/control_fixture.h"

namespace {

// Pixel (6, 6) of the box image: the check mark in images 1 and 13, the face in 0 and 12.
constexpr int CHECKED = 0, UNCHECKED = 255, CHECKED_DISABLED = 64, UNCHECKED_DISABLED = 192;

class CheckboxClick : public ControlFixture {
protected:
    void SetUp() override {
        ControlFixture::SetUp();
        box = window->addCheckbox(root, "show axis", &value, 7, recordCallback);
        below = window->addLabel(root, "below");
        settle();
    }
    int boxPixel() { return pixel(window, box->x + 6, box->y + 6).r; }
    // A point off the check box: the label under it.
    void dragOff() { drag(window, midX(below), midY(below)); }

    int value = 0;
    Checkbox* box = nullptr;
    Label* below = nullptr;
};

TEST_F(CheckboxClick, PressShowsAtOnceReleaseCommitsThenCallsBack) {
    EXPECT_EQ(boxPixel(), UNCHECKED);
    press(window, midX(box), midY(box));
    EXPECT_EQ(boxPixel(), CHECKED);
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(callbacks.empty());
    release(window, midX(box), midY(box));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(boxPixel(), CHECKED);
    ASSERT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(callbacks[0].userId, 7);
    EXPECT_EQ(callbacks[0].currentWindow, mainWindow);
    EXPECT_EQ(glutGetWindow(), window->windowId);
    EXPECT_EQ(mainRedisplays(), 1);
}

TEST_F(CheckboxClick, DragOffShowsOldStateAndReleaseOutsideCancels) {
    press(window, midX(box), midY(box));
    dragOff();
    EXPECT_EQ(boxPixel(), UNCHECKED);
    drag(window, midX(box), midY(box));
    EXPECT_EQ(boxPixel(), CHECKED);
    dragOff();
    release(window, midX(below), midY(below));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(box->intValue, 0);
    EXPECT_EQ(boxPixel(), UNCHECKED);
    EXPECT_TRUE(callbacks.empty());
    EXPECT_EQ(mainRedisplays(), 0);
}

TEST_F(CheckboxClick, DragOffAndBackCommits) {
    press(window, midX(box), midY(box));
    dragOff();
    drag(window, box->x + 1, box->y + 1);
    release(window, box->x + 1, box->y + 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(callbacks.size(), 1u);
}

// The release is reported inside although the last motion was outside: the old value is
// committed, and the callback still runs.
TEST_F(CheckboxClick, ReleaseInsideAfterMotionOutsideCommitsOldValue) {
    press(window, midX(box), midY(box));
    dragOff();
    release(window, midX(box), midY(box));
    EXPECT_EQ(value, 0);
    EXPECT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(mainRedisplays(), 1);
}

TEST_F(CheckboxClick, SpaceOnFocusedBoxTogglesAndCallsBack) {
    key(window, '\t');
    ASSERT_EQ(window->activeControl, box);
    key(window, ' ');
    EXPECT_EQ(value, 1);
    EXPECT_EQ(boxPixel(), CHECKED);
    key(window, ' ');
    EXPECT_EQ(value, 0);
    EXPECT_EQ(callbacks.size(), 2u);
}

TEST_F(CheckboxClick, UnboundBoxTogglesAndCallsBack) {
    Checkbox* loose = window->addCheckbox(root, "loose", nullptr, 9, recordCallback);
    settle();
    click(loose);
    EXPECT_EQ(loose->intValue, 1);
    ASSERT_EQ(callbacks.size(), 1u);
    EXPECT_EQ(callbacks[0].userId, 9);
}

// Any non-zero value reads as checked, so a click must clear it rather than turn 2 into -1.
TEST_F(CheckboxClick, NonZeroValueIsClearedByAClick) {
    int two = 2;
    Checkbox* odd = window->addCheckbox(root, "odd", &two, 1, nullptr);
    settle();
    click(odd);
    EXPECT_EQ(two, 0);
    click(odd);
    EXPECT_EQ(two, 1);
}

TEST_F(CheckboxClick, DisabledBoxShowsGreyImagesAndIgnoresPresses) {
    box->disable();
    EXPECT_EQ(boxPixel(), UNCHECKED_DISABLED);
    box->setIntValue(1);
    EXPECT_EQ(boxPixel(), CHECKED_DISABLED);
    click(box);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(box->intValue, 1);
    EXPECT_TRUE(callbacks.empty());
}

TEST_F(CheckboxClick, FocusFrameIsDottedWhileFocusedAndWipedAfter) {
    int labelWidth = bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, box->name);
    int x0 = box->x + 15, x1 = box->x + 22 + labelWidth;
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y), 0);
    click(box);
    EXPECT_GE(dotsOnLine(window, x0, x1, box->y), (x1 - x0) / 2 - 1);
    EXPECT_GE(dotsOnLine(window, x0, x1, box->y + 14), (x1 - x0) / 2 - 1);
    EXPECT_LE(dotsOnLine(window, x0, x1, box->y), (x1 - x0) / 2 + 1);
    EXPECT_EQ(pixel(window, x0 - 1, box->y), BACKGROUND);
    press(window, 1, 1);
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y), 0);
    EXPECT_EQ(dotsOnLine(window, x0, x1, box->y + 14), 0);
}

TEST_F(CheckboxClick, WidthIsLabelPlusBoxEvenBelowDefault) {
    Checkbox* narrow = window->addCheckbox(root, "a", nullptr, 0, nullptr);
    EXPECT_EQ(narrow->width, 18 + bitmapTextWidth(GLUT_BITMAP_HELVETICA_12, "a") + 6);
    EXPECT_LT(narrow->width, 100);
}

} // namespace
