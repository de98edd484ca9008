// controls/widgets/button.h - push button that runs a callback when clicked.
#pragma once

#include "controls/widgets/pressable_control.h"

// A raised box with a centred label. Held down it looks sunk while the pointer is over it; a
// release over it runs the callback and then asks the main window to redisplay. It holds no
// application variable.
class Button : public PressableControl {
public:
    Button();
    // Also sets intValue to 1 until the release.
    int mouseDown(int x, int y) override;
    void updateSize() override;
    void draw(int, int) override;
    void showPress(int inside) override;
    void endPress(int inside) override;

    // The face inside the raised edges with the label, shifted by a pixel when pressed, and
    // the focus frame.
    void drawFace(int pressed);
    // The sunk look and the raised look, drawn at once into the front buffer.
    void showPressed();
    void showReleased();
};
