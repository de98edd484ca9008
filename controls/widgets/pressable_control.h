// controls/widgets/pressable_control.h - the press, drags and release of a control that acts
// on a click.
#pragma once

#include "controls/core/control.h"

#include <cstdint>

// Base of the check box, the radio button and the button. A press shows at once what a release
// would do; dragging off the control shows the state from before the press again, dragging
// back shows the press; a release over the control completes the click, a release elsewhere
// cancels it. The press is followed here; a subclass says what each state looks like and what
// a click does.
class PressableControl : public Control {
public:
    int mouseDown(int x, int y) override;
    int mouseHeld(int x, int y, int inside) override;
    int mouseUp(int x, int y, int inside) override;

    // What a cancelled press goes back to, read at the press into savedValue; intValue unless
    // the control's value lives elsewhere.
    virtual int valueBeforePress();
    // Shows, at once, the state a release would leave: the click's with inside 1, the one from
    // before the press (savedValue) with inside 0. Called at the press and whenever the
    // pointer crosses the control's edge.
    virtual void showPress(int inside) = 0;
    // The release: with inside 1 completes the click, with 0 cancels it; either way the
    // control then shows its state.
    virtual void endPress(int inside) = 0;

    int32_t savedValue = -1;
    int32_t pointerInside = 0;
};
