// tests/controls/widgets/label_test.cpp - label sizes and immediate text changes, separator lines.
#include "tests/controls/toolkit_fixture.h"

namespace {

class LabelText : public OneWindowTest {
protected:
    int inkIn(const Control* c) {
        return countColour(window, c->x, c->y, c->x + c->width - 1, c->y + c->height - 1, INK);
    }
};

// setText erases and draws at once, whichever window is current, and leaves that window
// current; the window is re-packed around the wider text.
TEST_F(LabelText, SetTextRedrawsAtOnceAndRepacks) {
    Label* label = window->addLabel(root, "WWWWWWWW");
    settle();
    EXPECT_GT(inkIn(label), 0);
    glutSetWindow(mainWindow);
    label->setText("");
    EXPECT_EQ(inkIn(label), 0);
    EXPECT_EQ(glutGetWindow(), mainWindow);
    label->setText("a much longer text than the label held before it");
    EXPECT_EQ(glutGetWindow(), mainWindow);
    EXPECT_GT(label->width, 100);
    EXPECT_EQ(root->width, label->width + 3 * root->xMargin);
    EXPECT_GT(inkIn(label), 0);
}

TEST_F(LabelText, SeparatorLineSpansFivePercentInsetsOfColumn) {
    Label* wide = window->addLabel(root, "a label that sets the column's width well");
    window->addSeparator(root);
    settle();
    Control* separator = wide->nextSiblingControl();
    ASSERT_NE(separator, nullptr);
    EXPECT_EQ(separator->width, 100);
    const int inner = root->width - 2 * root->xMargin;
    const int inset = inner / 20;
    const int left = separator->x + inset, right = separator->x + inner - inset - 1;
    const int grey = separator->y + 3, white = separator->y + 4;
    EXPECT_EQ(countColour(window, left, grey, right, grey, Rgb{128, 128, 128}) +
                  countColour(window, left, grey, right, grey, Rgb{127, 127, 127}),
              right - left + 1);
    EXPECT_EQ(countColour(window, left, white, right, white, WHITE), right - left + 1);
    EXPECT_EQ(pixel(window, left - 1, grey), BACKGROUND);
    EXPECT_EQ(pixel(window, right + 2, grey), BACKGROUND);
}

} // namespace
