// controls/windows/docking.cpp - subwindows docked along an edge of their parent: stretched
// along that edge and stacked outwards after the subwindows made before them.
#include "controls/windows/control_window.h"

#include "controls/widgets/panel.h"
#include "controls/windows/window_manager.h"

#include <GL/glut.h>

namespace {

bool has(int flags, int bit) {
    return (flags & bit) != 0;
}

int larger(int a, int b) {
    return a > b ? a : b;
}

struct WindowSize {
    int width, height;
};

// glutGet answers for the current window only.
WindowSize sizeOf(int window) {
    const CurrentWindow current(window);
    return {glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

} // namespace

void ControlWindow::stretchToHost() {
    const WindowSize host = sizeOf(hostWindowId);

    // The first dock bit in this order decides.
    if (has(flags, WINDOW_DOCK_TOP))
        root->width = larger(root->width, host.width);
    else if (has(flags, WINDOW_DOCK_LEFT))
        root->height = larger(root->height, host.height);
    else if (has(flags, WINDOW_DOCK_BOTTOM))
        root->width = larger(root->width, host.width);
    else if (has(flags, WINDOW_DOCK_RIGHT))
        root->height = larger(root->height, host.height);
}

void ControlWindow::placeSubwindow() {
    if (!has(flags, WINDOW_SUBWINDOW))
        return;
    // glutPositionWindow below moves the current window.
    const CurrentWindow current(windowId);
    const WindowSize parentSize = sizeOf(glutGet(GLUT_WINDOW_PARENT));

    int x = 0;
    int y = 0;
    if (has(flags, WINDOW_DOCK_RIGHT)) {
        x = parentSize.width - contentWidth;
    } else if (has(flags, WINDOW_DOCK_BOTTOM) && !has(flags, WINDOW_DOCK_LEFT)) {
        y = parentSize.height - contentHeight;
    }

    const int sideBits = WINDOW_DOCK_LEFT | WINDOW_DOCK_BOTTOM | WINDOW_DOCK_RIGHT;
    for (ControlNode* node = windowManager.windows.firstChild; node != nullptr;
         node = node->nextSibling) {
        const ControlWindow* other = static_cast<const ControlWindow*>(node);
        if (!has(other->flags, WINDOW_SUBWINDOW) || other->parentWindowId != parentWindowId)
            continue;
        // Left and right subwindows start below every top-only subwindow of the parent,
        // whenever it was made.
        const bool topOnly = has(other->flags, WINDOW_DOCK_TOP) && (other->flags & sideBits) == 0;
        if (topOnly && (has(flags, WINDOW_DOCK_LEFT) || has(flags, WINDOW_DOCK_RIGHT)))
            y += other->contentHeight;
        if (other == this || other->serial >= serial)
            continue;
        // Earlier subwindows on the same edge push this one outwards.
        const int shared = flags & other->flags;
        if (has(shared, WINDOW_DOCK_LEFT))
            x += other->contentWidth;
        else if (has(shared, WINDOW_DOCK_TOP))
            y += other->contentHeight;
        else if (has(shared, WINDOW_DOCK_BOTTOM))
            y -= other->contentHeight;
        else if (has(shared, WINDOW_DOCK_RIGHT))
            x -= other->contentWidth;
    }
    if (x < 0)
        x = 0;
    if (y < 0)
        y = 0;
    glutPositionWindow(x, y);
}
