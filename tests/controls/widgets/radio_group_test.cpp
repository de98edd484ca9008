// tests/controls/widgets/radio_group_test.cpp - selection by click, cancelled presses, the group's
// binding and callback, numbering and looks.
#include "tests/controls/toolkit_fixture.h"

namespace {

// Pixel (6, 6) of the button image: the dot in images 3 and 15, the face in 2 and 14.
constexpr int SELECTED = 0, UNSELECTED = 255, SELECTED_DISABLED = 64, UNSELECTED_DISABLED = 192;

class RadioClick : public OneWindowTest {
protected:
    void SetUp() override {
        OneWindowTest::SetUp();
        group = window->addRadioGroup(root, &mode, 5, recordCallback);
        translate = window->addRadioButton(group, "TRANSLATE");
        rotate = window->addRadioButton(group, "ROTATE");
        below = window->addLabel(root, "below");
        settle();
    }
    int look(RadioButton* b) { return pixel(window, b->x + 6, b->y + 6).red; }

    int mode = 0;
    RadioGroup* group = nullptr;
    RadioButton* translate = nullptr;
    RadioButton* rotate = nullptr;
    Label* below = nullptr;
};

TEST_F(RadioClick, PressSelectsAtOnceReleaseWritesAndCallsBackWithGroupId) {
    EXPECT_EQ(look(translate), SELECTED);
    press(window, midX(rotate), midY(rotate));
    EXPECT_EQ(look(rotate), SELECTED);
    EXPECT_EQ(look(translate), UNSELECTED);
    EXPECT_EQ(mode, 0);
    release(window, midX(rotate), midY(rotate));
    EXPECT_EQ(mode, 1);
    expectCallbacks({5});
    EXPECT_EQ(mainRedisplays(), 1);
    EXPECT_EQ(rotate->intValue, 1);
    EXPECT_EQ(translate->intValue, 0);
}

TEST_F(RadioClick, ClickOnSelectedButtonWritesNothing) {
    mode = 42; // would be overwritten by any write
    click(translate);
    EXPECT_EQ(mode, 42);
    EXPECT_TRUE(callbacks.empty());
    EXPECT_EQ(mainRedisplays(), 0);
    EXPECT_EQ(look(translate), SELECTED);
}

TEST_F(RadioClick, DragOffRestoresSelectionAndReleaseOutsideWritesNothing) {
    press(window, midX(rotate), midY(rotate));
    drag(window, midX(below), midY(below));
    EXPECT_EQ(look(translate), SELECTED);
    EXPECT_EQ(look(rotate), UNSELECTED);
    drag(window, midX(rotate), midY(rotate));
    EXPECT_EQ(look(rotate), SELECTED);
    drag(window, midX(below), midY(below));
    release(window, midX(below), midY(below));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(group->intValue, 0);
    EXPECT_EQ(look(translate), SELECTED);
    EXPECT_TRUE(callbacks.empty());
    EXPECT_EQ(mainRedisplays(), 0);
}

TEST_F(RadioClick, ProgramSetValueWritesWithoutCallback) {
    group->setIntValue(-1);
    EXPECT_EQ(mode, -1);
    EXPECT_EQ(look(translate), UNSELECTED);
    EXPECT_EQ(look(rotate), UNSELECTED);
    EXPECT_EQ(mainRedisplays(), 1);
    group->setIntValue(-1);
    EXPECT_EQ(mainRedisplays(), 0);
    EXPECT_TRUE(callbacks.empty());
}

TEST_F(RadioClick, GroupBoundToOneSelectsSecondButton) {
    int one = 1;
    RadioGroup* other = window->addRadioGroup(root, &one, 8, nullptr);
    RadioButton* first = window->addRadioButton(other, "first");
    RadioButton* second = window->addRadioButton(other, "second");
    settle();
    EXPECT_EQ(first->userId, 0);
    EXPECT_EQ(second->userId, 1);
    EXPECT_EQ(look(second), SELECTED);
    EXPECT_EQ(look(first), UNSELECTED);
    EXPECT_EQ(mainRedisplays(), 0);
}

TEST_F(RadioClick, OnlyAGroupTakesButtons) {
    EXPECT_EQ(window->addRadioButton(root, "stray"), nullptr);
    EXPECT_EQ(window->addRadioButton(nullptr, "stray"), nullptr);
    EXPECT_EQ(group->nextNumber, 2);
}

TEST_F(RadioClick, DisabledGroupShowsGreyImagesAndNeverTakesFocus) {
    group->disable();
    EXPECT_EQ(look(translate), SELECTED_DISABLED);
    EXPECT_EQ(look(rotate), UNSELECTED_DISABLED);
    click(rotate);
    EXPECT_EQ(mode, 0);
    key(window, '\t');
    EXPECT_EQ(window->activeControl, nullptr);
}

} // namespace
