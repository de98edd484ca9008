// controls/windows/input_dispatch.cpp - which control a window's mouse and keyboard events reach,
// the keyboard focus and the tab order.
#include "controls/windows/control_window.h"

#include "controls/widgets/panel.h"
#include "controls/windows/window_manager.h"

#include <GL/glut.h>

namespace {

bool isFocusable(const Control* control) {
    return control->canActivate != 0 && control->enabled != 0;
}

// All four edges count as inside.
bool contains(const Control* control, int px, int py) {
    return control->x <= px && px <= control->x + control->width && control->y <= py &&
           py <= control->y + control->height;
}

} // namespace

// --- Keyboard ---

void ControlWindow::keyboardEvent(unsigned char key, int x, int y) {
    keyboardEvent(key, x, y, glutGetModifiers());
}

void ControlWindow::keyboardEvent(unsigned char key, int, int, int modifiers) {
    if (key == '\t' && mouseButtonHeld == 0) {
        Control* target = (modifiers & GLUT_ACTIVE_SHIFT) != 0 ? previousControl(activeControl)
                                                               : nextControl(activeControl);
        clearActiveControl();
        setActiveControl(target, ACTIVATE_BY_TAB);
        return;
    }
    // Space during a mouse press would start a second press on the same control and overwrite
    // the value it saved for a cancel, so it clicks only while the button is up.
    if (key == ' ' && mouseButtonHeld == 0 && activeControl != nullptr &&
        activeControl->spaceClicks == 1) {
        // Both halves go to the same control even if the callback of the click moves the focus.
        Control* control = activeControl;
        control->mouseDown(0, 0);
        control->mouseUp(0, 0, 1);
        return;
    }
    if (activeControl != nullptr)
        activeControl->keyPressed(key, modifiers);
}

void ControlWindow::specialEvent(int key, int, int) {
    if (activeControl != nullptr)
        activeControl->specialKey(key, glutGetModifiers());
}

// --- Mouse ---

void ControlWindow::mouseEvent(int button, int state, int x, int y) {
    if (button != GLUT_LEFT_BUTTON)
        return;
    Control* hit = findControlAt(x, y);
    if (mouseButtonHeld == 1 && activeControl != nullptr && state == GLUT_UP) {
        // The press is over before the release runs: a callback that disables the control
        // must not see a press in progress and cancel the click it is part of.
        mouseButtonHeld = 0;
        activeControl->mouseUp(x, y, hit == activeControl ? 1 : 0);
        glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
        return;
    }
    if (state == GLUT_DOWN) {
        if (hit != nullptr && mouseButtonHeld == 0) {
            if (activeControl != nullptr && activeControl != hit)
                clearActiveControl();
            if (hit->enabled != 0) {
                setActiveControl(hit, ACTIVATE_BY_MOUSE);
                hit->mouseDown(x, y);
            }
        } else if (mouseButtonHeld == 0 && activeControl != nullptr) {
            // A press beside the content (a window held larger than its root) must not leave
            // the focus where it was: the drags and the release would reach a control that
            // never saw the press, which would restore a value saved at an earlier one.
            clearActiveControl();
        }
        mouseButtonHeld = 1;
        return;
    }
    if (state == GLUT_UP)
        mouseButtonHeld = 0;
}

void ControlWindow::motionEvent(int x, int y) {
    Control* hit = findControlAt(x, y);
    if (mouseButtonHeld == 1 && activeControl != nullptr)
        activeControl->mouseHeld(x, y, hit == activeControl ? 1 : 0);
}

void ControlWindow::updateHover(int x, int y) {
    Control* hit = findControlAt(x, y);
    if (hit == hoverControl)
        return;
    if (hoverControl != nullptr)
        hoverControl->mouseOver(0, x, y);
    // Over no control the old hover control has been told it was left, but stays recorded.
    if (hit != nullptr) {
        hit->mouseOver(1, x, y);
        hoverControl = hit;
    }
}

void ControlWindow::entryEvent(int) {
    glutSetCursor(GLUT_CURSOR_LEFT_ARROW);
}

void ControlWindow::visibilityEvent(int) {}

// Descends greedily and never climbs back: the first sibling that contains the point is
// searched and the others are not, so among overlapping siblings the first wins.
Control* ControlWindow::findControlAt(int x, int y) const {
    Control* best = nullptr;
    Control* current = root;
    while (current != nullptr) {
        if (current->type == CONTROL_COLUMN || !contains(current, x, y)) {
            current = current->nextSiblingControl();
        } else if (current->firstChild != nullptr) {
            best = current;
            current = current->firstChildControl();
        } else {
            return current;
        }
    }
    return best;
}

// --- Focus ---

void ControlWindow::setActiveControl(Control* control, int cause) {
    // Callers clear this window's focus first; a focus still held here by another control
    // would leave two controls drawn as focused.
    if (activeControl != nullptr && activeControl != control)
        clearActiveControl();
    ControlWindow* previous = windowManager.activeWindow;
    if (previous != nullptr && previous != this)
        previous->clearActiveControl();
    // activeWindow alone can miss a focus: a clearActiveControl in a window without one (Tab
    // starts with it) forgets which window has it. So every other window is checked as well.
    for (ControlNode* node = windowManager.windows.firstChild; node != nullptr;
         node = node->nextSibling) {
        ControlWindow* other = static_cast<ControlWindow*>(node);
        if (other != this && other->activeControl != nullptr)
            other->clearActiveControl();
    }
    if (control != nullptr && isFocusable(control)) {
        activeControl = control;
        control->activate(cause);
        control->redraw();
    } else {
        activeControl = nullptr;
    }
    windowManager.activeWindow = this;
    windowManager.updateIdleRegistration();
}

void ControlWindow::clearActiveControl() {
    if (activeControl != nullptr) {
        // Forgotten first, so nothing called below can take the same focus away twice.
        Control* control = activeControl;
        activeControl = nullptr;
        // A press on the control may still be in progress (the focus went to another window,
        // or the control was disabled): it ends as a release outside, so the control shows
        // and keeps its value from before the press instead of a value nobody committed.
        if (mouseButtonHeld == 1)
            control->mouseUp(0, 0, 0);
        const CurrentWindow current = control->selectWindow();
        control->deactivate();
        control->redraw();
    }
    windowManager.activeWindow = nullptr;
    windowManager.updateIdleRegistration();
}

// --- Tab order ---

// Pre-order successor among the focusable controls, without the root and without wrapping.
Control* ControlWindow::nextControl(Control* from) const {
    Control* top = root;
    if (top == nullptr)
        return nullptr;
    Control* current = from != nullptr ? from : top;
    for (;;) {
        Control* candidate = nullptr;
        if (current->firstChild != nullptr) {
            candidate = current->firstChildControl();
        } else if (current != top && current->nextSibling != nullptr) {
            candidate = current->nextSiblingControl();
        } else {
            for (Control* up = current->parentControl(); up != nullptr && up != top;
                 up = up->parentControl()) {
                if (up->nextSibling != nullptr) {
                    candidate = up->nextSiblingControl();
                    break;
                }
            }
            if (candidate == nullptr)
                return nullptr;
        }
        if (isFocusable(candidate))
            return candidate;
        current = candidate;
    }
}

// With no starting control: the last focusable control, or the root when there is none (which
// setActiveControl then refuses). Otherwise the focusable control just before from, or none.
Control* ControlWindow::previousControl(Control* from) const {
    if (root == nullptr)
        return nullptr;
    Control* top = root;
    if (from == nullptr) {
        Control* last = top;
        for (Control* c = nextControl(top); c != nullptr; c = nextControl(c))
            last = c;
        return last;
    }
    Control* previous = top;
    for (;;) {
        Control* c = nextControl(previous);
        if (c == nullptr)
            return nullptr;
        if (c == from)
            return previous == top ? nullptr : previous;
        previous = c;
    }
}
