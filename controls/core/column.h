// controls/core/column.h - a column break among the children of a container.
#pragma once

#include "controls/core/control.h"

// The children after a Column form a new column to its right. Layout places it (2 pixels
// wide, as tall as the column beside it) instead of packing it; it never takes the focus and
// hit testing passes over it.
class Column : public Control {
public:
    Column();
    // Draws a vertical groove down the column break.
    void draw(int, int) override;
};
