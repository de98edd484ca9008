// controls/core/immediate_drawing.h - a scope for drawing a control at once, outside the
// display pass.
#pragma once

#include "controls/core/current_window.h"

class Control;

// For its lifetime the control's window is current with the front buffer selected, and the
// modelview origin sits at the centre of the control's top-left pixel. At the end it undoes
// that in reverse order and flushes, so the drawing reaches the screen before the event loop
// resumes. The control must have a window.
class ImmediateDrawing {
public:
    explicit ImmediateDrawing(const Control& control);
    ImmediateDrawing(const ImmediateDrawing&) = delete;
    ImmediateDrawing& operator=(const ImmediateDrawing&) = delete;
    ~ImmediateDrawing();

private:
    CurrentWindow window_;
    int savedBuffer_;
};
