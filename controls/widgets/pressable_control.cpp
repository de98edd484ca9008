// controls/widgets/pressable_control.cpp - following one press from mouseDown to mouseUp.
#include "controls/widgets/pressable_control.h"

int PressableControl::valueBeforePress() {
    return intValue;
}

int PressableControl::mouseDown(int, int) {
    savedValue = valueBeforePress();
    pointerInside = 1;
    showPress(1);
    return 0;
}

// Draws only when the pointer crosses the control's edge, not at every motion.
int PressableControl::mouseHeld(int, int, int inside) {
    const int now = inside != 0 ? 1 : 0;
    if (now != pointerInside)
        showPress(now);
    pointerInside = now;
    return 0;
}

int PressableControl::mouseUp(int, int, int inside) {
    endPress(inside != 0 ? 1 : 0);
    return 0;
}
