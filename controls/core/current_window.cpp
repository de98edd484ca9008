// controls/core/current_window.cpp - the current-window scope.
#include "controls/core/current_window.h"

#include <GL/glut.h>

CurrentWindow::CurrentWindow() : previous_(glutGetWindow()) {}

CurrentWindow::CurrentWindow(int window) : CurrentWindow() {
    if (window > 0)
        glutSetWindow(window);
}

CurrentWindow::CurrentWindow(CurrentWindow&& other) noexcept : previous_(other.previous_) {
    other.previous_ = 0;
}

void postRedisplayOf(int window) {
    const CurrentWindow current(window);
    glutPostRedisplay();
}

// glutSetWindow returns at once for the window that is current already.
CurrentWindow::~CurrentWindow() {
    if (previous_ > 0)
        glutSetWindow(previous_);
}
