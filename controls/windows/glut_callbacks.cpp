// controls/windows/glut_callbacks.cpp - the nine GLUT callbacks of control windows.
#include "controls/windows/glut_callbacks.h"

#include "controls/windows/control_window.h"
#include "controls/windows/window_manager.h"

#include <GL/glut.h>

namespace {

ControlWindow* currentControlWindow() {
    return windowManager.findWindow(glutGetWindow());
}

} // namespace

// Every callback ends with updateIdleRegistration: an event may have moved the focus to or
// from a control that wants idle time, and the check is a short walk of the window list.

void onDisplay() {
    if (ControlWindow* window = currentControlWindow())
        window->display(); // may close and free the window
    windowManager.updateIdleRegistration();
}

void onReshape(int width, int height) {
    if (ControlWindow* window = currentControlWindow())
        window->reshape(width, height);
    windowManager.updateIdleRegistration();
}

void onKeyboard(unsigned char key, int x, int y) {
    if (ControlWindow* window = currentControlWindow())
        window->keyboardEvent(key, x, y);
    windowManager.updateIdleRegistration();
}

void onSpecial(int key, int x, int y) {
    if (ControlWindow* window = currentControlWindow())
        window->specialEvent(key, x, y);
    windowManager.updateIdleRegistration();
}

void onMouse(int button, int state, int x, int y) {
    if (ControlWindow* window = currentControlWindow()) {
        window->updateHover(0, 0);
        window->mouseEvent(button, state, x, y);
    }
    windowManager.updateIdleRegistration();
}

void onMotion(int x, int y) {
    if (ControlWindow* window = currentControlWindow())
        window->motionEvent(x, y);
    windowManager.updateIdleRegistration();
}

void onPassiveMotion(int x, int y) {
    if (ControlWindow* window = currentControlWindow())
        window->updateHover(x, y);
    windowManager.updateIdleRegistration();
}

void onEntry(int state) {
    if (ControlWindow* window = currentControlWindow())
        window->entryEvent(state);
    windowManager.updateIdleRegistration();
}

void onVisibility(int state) {
    if (ControlWindow* window = currentControlWindow())
        window->visibilityEvent(state);
    windowManager.updateIdleRegistration();
}

void ControlWindow::registerCallbacks() {
    glutDisplayFunc(onDisplay);
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onKeyboard);
    glutSpecialFunc(onSpecial);
    glutMouseFunc(onMouse);
    glutMotionFunc(onMotion);
    glutPassiveMotionFunc(onPassiveMotion);
    glutEntryFunc(onEntry);
    glutVisibilityFunc(onVisibility);
}
