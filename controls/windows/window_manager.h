// controls/windows/window_manager.h - the toolkit's one global owner of control windows.
#pragma once

#include "controls/core/control_node.h"

class ControlWindow;

using IdleCallback = void (*)();

// Owns every ControlWindow, finds the window a GLUT callback belongs to, remembers which window
// holds the keyboard focus and runs the idle pass. There is exactly one: windowManager.
class WindowManager {
public:
    // A top-level control window; the previously current GLUT window is current again after.
    ControlWindow* createWindow(const char* title, int flags, int x, int y);
    // A subwindow docked in the GLUT window parentWindowId; flags always gain WINDOW_SUBWINDOW.
    ControlWindow* createSubwindow(int parentWindowId, int flags);
    ControlWindow* findWindow(int windowId) const;
    void setIdleCallback(IdleCallback callback);

    // Registers the idle handler with GLUT only while there is idle work (an application idle
    // function, or a focused control whose needsIdle() is non-zero), so an idle program sleeps.
    void updateIdleRegistration();

    IdleCallback userIdleCallback = nullptr;
    ControlNode windows;
    ControlWindow* activeWindow = nullptr;
    int windowCounter = 1;
    int idleRegistered = 0;
};

extern WindowManager windowManager;

// The toolkit's GLUT idle handler: each window's idleActiveControl, then the application's.
void dispatchIdle();
