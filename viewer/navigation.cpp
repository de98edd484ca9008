// viewer/navigation.cpp - drags, double-clicks and the wheel turned into camera moves.
#include "viewer/navigation.h"

#include <GL/freeglut.h>

#include <cstdlib>

namespace {

// A second press counts as a double-click within this time and distance of a click.
constexpr int DOUBLE_CLICK_MS = 400;
constexpr int DOUBLE_CLICK_PIXELS = 4;

bool nearClick(const PointerState& pointer, int x, int y) {
    return std::abs(x - pointer.clickX) <= DOUBLE_CLICK_PIXELS &&
           std::abs(y - pointer.clickY) <= DOUBLE_CLICK_PIXELS;
}

} // namespace

void mouseButton(PointerState& pointer, ViewState& view, const PointSet& set,
                 const std::vector<PointSegment>& pickable, int button, int state, int x, int y) {
    pointer.lastMouseX = x;
    pointer.lastMouseY = y;
    pointer.dragMode = DRAG_XY;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
        const int pressTime = glutGet(GLUT_ELAPSED_TIME);
        const bool twice = pointer.clicked && pressTime - pointer.pressTime <= DOUBLE_CLICK_MS &&
                           nearClick(pointer, x, y);
        pointer.clickX = x;
        pointer.clickY = y;
        pointer.pressTime = pressTime;
        pointer.dragged = pointer.clicked = false;
        // A third press starts afresh rather than making a second double-click.
        pointer.pressed = !twice;
        if (twice)
            pickPivot(view, set, pickable, x, y);
        glutPostRedisplay();
    } else if (button == GLUT_LEFT_BUTTON && state == GLUT_UP) {
        pointer.clicked = pointer.pressed && !pointer.dragged;
        pointer.pressed = false;
    } else if (button == GLUT_RIGHT_BUTTON && state == GLUT_DOWN) {
        pointer.dragMode = DRAG_Z;
        pointer.clicked = pointer.pressed = false;
    }
}

void mouseMotion(PointerState& pointer, ViewState& view, const PointSet& set, int x, int y) {
    if (!nearClick(pointer, x, y))
        pointer.dragged = true;
    const int dx = x - pointer.lastMouseX;
    const int dy = y - pointer.lastMouseY;
    // Window y grows downwards, so dy is passed as is to move the cloud with the pointer.
    if (pointer.dragMode == DRAG_Z)
        updateCamera(view, set, 0.0f, 0.0f, static_cast<float>(-dy));
    else
        updateCamera(view, set, static_cast<float>(-dx), static_cast<float>(dy), 0.0f);
    pointer.lastMouseX = x;
    pointer.lastMouseY = y;
    glutPostRedisplay();
}

void mouseWheel(ViewState& view, const PointSet& set, int direction, int x, int y) {
    zoomAt(view, set, x, y, direction > 0 ? 1 : -1);
    glutPostRedisplay();
}
