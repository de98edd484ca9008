// controls/windows/window_manager.cpp - the one window manager: creating and finding control
// windows, and the idle pass.
#include "controls/windows/window_manager.h"

#include "controls/windows/control_window.h"

#include <GL/glut.h>

#include <new>

// Constant-initialised: ready before any static constructor of the application runs.
WindowManager windowManager;

namespace {

// Builds a window record, or none. A window whose root panel could not be had is useless;
// it gives its serial back, since no window ever carried it.
ControlWindow* newWindow() {
    ControlWindow* window = new (std::nothrow) ControlWindow;
    if (window == nullptr)
        return nullptr;
    if (window->root == nullptr) {
        windowManager.windowCounter = window->serial;
        delete window;
        return nullptr;
    }
    return window;
}

} // namespace

ControlWindow* WindowManager::createWindow(const char* title, int windowFlags, int x, int y) {
    ControlWindow* window = newWindow();
    if (window == nullptr)
        return nullptr;
    // A subwindow needs a parent, which only createSubwindow takes.
    window->initWindow(title, windowFlags & ~WINDOW_SUBWINDOW, x, y, -1);
    linkAsLastChild(window, &windows);
    return window;
}

ControlWindow* WindowManager::createSubwindow(int parentWindowId, int windowFlags) {
    if (parentWindowId <= 0)
        return nullptr;
    ControlWindow* window = newWindow();
    if (window == nullptr)
        return nullptr;
    window->initWindow("", windowFlags | WINDOW_SUBWINDOW, -1, -1, parentWindowId);
    linkAsLastChild(window, &windows);
    return window;
}

ControlWindow* WindowManager::findWindow(int windowId) const {
    for (ControlNode* node = windows.firstChild; node != nullptr; node = node->nextSibling) {
        ControlWindow* window = static_cast<ControlWindow*>(node);
        if (window->windowId == windowId)
            return window;
    }
    return nullptr;
}

void WindowManager::setIdleCallback(IdleCallback callback) {
    userIdleCallback = callback;
    updateIdleRegistration();
}

void WindowManager::updateIdleRegistration() {
    // An idle function, even one that does nothing, keeps the GLUT main loop spinning
    // instead of sleeping until the next event; register one only while there is work.
    int needed = userIdleCallback != nullptr ? 1 : 0;
    for (ControlNode* node = windows.firstChild; node != nullptr && needed == 0;
         node = node->nextSibling) {
        Control* focused = static_cast<ControlWindow*>(node)->activeControl;
        if (focused != nullptr && focused->needsIdle() != 0)
            needed = 1;
    }
    if (needed == idleRegistered)
        return;
    glutIdleFunc(needed != 0 ? dispatchIdle : nullptr);
    idleRegistered = needed;
}

void dispatchIdle() {
    for (ControlNode* node = windowManager.windows.firstChild; node != nullptr;) {
        ControlNode* next = node->nextSibling;
        static_cast<ControlWindow*>(node)->idleActiveControl();
        node = next;
    }
    if (windowManager.userIdleCallback != nullptr)
        windowManager.userIdleCallback();
    windowManager.updateIdleRegistration();
}
