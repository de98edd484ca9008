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
