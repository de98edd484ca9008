// controls/widgets/checkbox.h - two-state control bound to an int live variable.
#pragma once

#include "controls/widgets/pressable_control.h"

#include <cstdint>

// A box image followed by its label. A press shows the toggled value at once; a release over
// the check box commits it (intValue, live variable, main window redisplay, callback), a release
// elsewhere restores the value from before the press.
class Checkbox : public PressableControl {
public:
    Checkbox();
    void setIntValue(int value) override;
    void updateSize() override;
    void draw(int, int) override;
    void showPress(int inside) override;
    void endPress(int inside) override;

    // Redraws the box and the focus frame into the front buffer, outside the display pass.
    void showCheckState();

    int32_t textOffset = 18;
};

// The dotted frame around the label of a check box or radio button while it has the focus;
// without the focus it is drawn in the background colour, which wipes an earlier frame.
// Drawn in the control's own coordinates.
void drawFocusFrame(const Control& control, int textOffset);

// The width of a check box or radio button in its window: text offset, label, 6 pixels.
int labelledBoxWidth(const Control& control, int textOffset);
