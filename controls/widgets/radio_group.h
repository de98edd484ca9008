// controls/widgets/radio_group.h - a choice of one among radio buttons, bound to an int.
#pragma once

#include "controls/widgets/pressable_control.h"

#include <cstdint>

// An invisible container whose intValue is the number of the selected RadioButton among its
// children (-1: none). It owns the binding to the application: live variable, userId and
// callback. Its buttons are numbered 0, 1, 2, ... in the order they are added.
class RadioGroup : public Control {
public:
    RadioGroup();
    // Selects, redraws at once and writes the variable; runs no callback. Does nothing at all
    // when the value is the current one.
    void setIntValue(int value) override;
    void draw(int, int) override;

    // Changes the selection without drawing or notifying anybody.
    void selectButton(int value);
    // Draws every button's image and focus frame: at once into the front buffer when immediate
    // is 1, else within a draw pass whose origin is the group's corner.
    void redrawButtons(int immediate);

    int32_t nextNumber = 0;
};

// One choice of a RadioGroup: an image and a label. userId is its number in the group. A press
// selects it at once; a release over it writes the group's variable and runs the group's
// callback if the selection changed, a release elsewhere restores the selection.
class RadioButton : public PressableControl {
public:
    RadioButton();
    void updateSize() override;
    void draw(int, int) override;
    // The group's value; -1 without a group.
    int valueBeforePress() override;
    void showPress(int inside) override;
    void endPress(int inside) override;

    // The image for intValue (the selected flag) and the focus frame, without the label; and
    // the same drawn at once into the front buffer, outside the display pass.
    void drawRadioState();
    void showRadioState();

    int32_t textOffset = 18;
    RadioGroup* group = nullptr;
};
