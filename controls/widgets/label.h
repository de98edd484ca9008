// controls/widgets/label.h - passive controls: a line of text and an etched separator line.
#pragma once

#include "controls/core/control.h"

// One line of text (its name) on a rectangle of the window's background colour. Never takes
// the focus and never calls back; setText replaces the text and shows it at once.
class Label : public Control {
public:
    Label();
    void updateSize() override;
    void draw(int, int) override;
    void setText(const char* text) override;

    // The rectangle in the background colour, and that rectangle with the text over it.
    void drawBackground();
    void drawContent();
};

// A grey line over a white one across the column it sits in, inset by 5 % at each end. Keeps
// 100 x 8 for layout whatever width its line is drawn across.
class Separator : public Control {
public:
    Separator();
    void draw(int, int) override;
};
