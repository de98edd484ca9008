// tests/controls/widgets/button_test.cpp - push button looks, clicks, cancels, space and focus
// frame.
#include "tests/controls/toolkit_fixture.h"

namespace {

class ButtonClick : public OneWindowTest {
protected:
    void SetUp() override {
        OneWindowTest::SetUp();
        button = window->addButton(root, "Reset View", 3, recordCallback);
        below = window->addLabel(root, "below");
        settle();
    }
    // The inner left edge: black in the sunk look, background in the raised one.
    bool looksPressed() {
        return pixel(window, button->x + 1, midY(button)) == BLACK &&
               pixel(window, button->x, midY(button)) == BLACK;
    }
    bool looksRaised() {
        return pixel(window, button->x + 1, midY(button)) == BACKGROUND &&
               pixel(window, button->x, midY(button)) == WHITE;
    }

    Button* button = nullptr;
    Label* below = nullptr;
};

TEST_F(ButtonClick, PressSinksReleaseRaisesThenCallsBackAndRedisplays) {
    EXPECT_TRUE(looksRaised());
    press(window, midX(button), midY(button));
    EXPECT_TRUE(looksPressed());
    EXPECT_EQ(button->intValue, 1);
    EXPECT_TRUE(callbacks.empty());
    release(window, midX(button), midY(button));
    EXPECT_TRUE(looksRaised());
    EXPECT_EQ(button->intValue, 0);
    expectCallbacks({3});
    EXPECT_EQ(mainRedisplays(), 1);
}

TEST_F(ButtonClick, SlidingOffRaisesBackOnSinksReleaseOutsideCancels) {
    press(window, midX(button), midY(button));
    drag(window, midX(below), midY(below));
    EXPECT_TRUE(looksRaised());
    drag(window, button->x + 2, button->y + 2);
    EXPECT_TRUE(looksPressed());
    drag(window, midX(below), midY(below));
    release(window, midX(below), midY(below));
    EXPECT_TRUE(looksRaised());
    EXPECT_EQ(button->intValue, 0);
    EXPECT_TRUE(callbacks.empty());
    EXPECT_EQ(mainRedisplays(), 0);
}

TEST_F(ButtonClick, SpaceClicksAndFocusFrameShowsInBothLooksUntilFocusLeaves) {
    const int y = button->y + 3, x0 = button->x + 3, x1 = button->x + button->width - 3;
    EXPECT_EQ(dotsOnLine(window, x0, x1, y), 0);
    key(window, '\t');
    key(window, ' ');
    expectCallbacks({3});
    const int expected = (x1 - x0) / 2;
    EXPECT_GE(dotsOnLine(window, x0, x1, y), expected - 1);
    press(window, midX(button), midY(button));
    EXPECT_GE(dotsOnLine(window, x0, x1, y), expected - 1);
    release(window, midX(button), midY(button));
    press(window, 1, 1);
    EXPECT_EQ(dotsOnLine(window, x0, x1, y), 0);
}

} // namespace
