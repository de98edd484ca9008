// controls/core/layout.cpp - column layout: pack stacks children top to bottom in columns and
// sizes containers around them; align then moves each control sideways in its column.
#include "controls/core/control.h"

namespace {

// Vertical gap between siblings, and the extra space above and below a nested panel.
constexpr int GAP = 3;
constexpr int COLUMN_WIDTH = 2;
constexpr int EMPTY_WIDTH = 100;
constexpr int EMPTY_HEIGHT = 13;

} // namespace

void Control::pack(int left, int top) {
    // A class may adjust its size and margins before they are read (a titled panel's margin).
    updateSize();
    const int xm = xMargin;
    const int tm = topMargin;
    const int bm = bottomMargin;
    x = left;
    y = top;

    int cx = left + xm;
    int cy = top + tm;
    const int colTop = top + tm;
    int colStart = left + xm;
    int maxW = 0;
    int maxY = 0;
    Control* column = nullptr;

    for (Control* child = firstChildControl(); child != nullptr;) {
        if (child->type == CONTROL_PANEL)
            cy += GAP;
        if (child->type == CONTROL_COLUMN) {
            // A column break is placed, not packed, and starts the next column at the top.
            child->x = cx + maxW + xm;
            child->y = colTop;
            child->height = cy - colTop;
            child->width = COLUMN_WIDTH;
            colStart = child->x;
            cx = child->x + xm;
            cy = colTop;
            maxW = 0;
            column = child;
            child = child->nextSiblingControl();
            continue;
        }
        child->pack(cx, cy);
        if (child->type == CONTROL_PANEL)
            cy += GAP;
        cy += child->height;
        if (child->width > maxW) {
            maxW = child->width;
            if (column != nullptr)
                column->width = maxW + xm;
        }
        if (cy > maxY) {
            maxY = cy;
            if (column != nullptr)
                column->height = cy - colTop;
        }
        child = child->nextSiblingControl();
        if (child != nullptr)
            cy += GAP;
    }

    if (isContainer == 0)
        return;
    if (firstChild != nullptr) {
        width = 2 * xm + (colStart - left) + maxW;
        height = maxY - top + bm;
    } else {
        width = EMPTY_WIDTH;
        height = EMPTY_HEIGHT;
    }
    // Second chance after the fit: a panel widens itself to its title.
    updateSize();
    for (Control* child = firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        if (child->type == CONTROL_COLUMN)
            child->height = height - bm - tm;
}

void Control::align() {
    const int oldX = x;
    if (parent == nullptr)
        return;
    int left = 0;
    int columnWidth = 0;
    int margin = 0;
    columnBounds(&left, &columnWidth, &margin);
    if (type == CONTROL_COLUMN)
        return;
    switch (alignment) {
        case ALIGN_LEFT:
            x = left + margin;
            break;
        case ALIGN_RIGHT:
            x = left + columnWidth - width - margin;
            break;
        case ALIGN_CENTER:
            x = left + (columnWidth - width) / 2;
            break;
        default:
            break;
    }
    // Columns are not aligned themselves; they travel with their container. The other
    // children are aligned next by the pre-order walk, against the container's new place.
    if (isContainer != 0) {
        const int shift = x - oldX;
        for (Control* child = firstChildControl(); child != nullptr;
             child = child->nextSiblingControl())
            if (child->type == CONTROL_COLUMN)
                child->x += shift;
    }
}

void Control::columnBounds(int* left, int* columnWidth, int* margin) const {
    const Control* owner = parentControl();
    if (owner == nullptr)
        return;
    for (const Control* k = previousSiblingControl(); k != nullptr;
         k = k->previousSiblingControl()) {
        if (k->type == CONTROL_COLUMN) {
            *left = k->x;
            *columnWidth = k->width;
            *margin = k->xMargin;
            return;
        }
    }
    for (const Control* k = nextSiblingControl(); k != nullptr; k = k->nextSiblingControl()) {
        if (k->type == CONTROL_COLUMN) {
            *left = owner->x;
            *columnWidth = k->x - owner->x;
            *margin = k->xMargin;
            return;
        }
    }
    *left = owner->x;
    *columnWidth = owner->width;
    *margin = owner->xMargin;
}
