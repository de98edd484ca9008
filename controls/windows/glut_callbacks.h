// controls/windows/glut_callbacks.h - the GLUT callbacks shared by every control window.
#pragma once

// Each finds its ControlWindow from the current GLUT window (WindowManager::findWindow), does
// nothing for a window that is not a control window, forwards the event to the window, and
// last lets the window manager re-check whether idle work is pending. Tests drive a window by
// making it current and calling these, as GLUT would.
void onDisplay();
void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
void onSpecial(int key, int x, int y);
// Updates the hover state at (0, 0) before the button event, as every press and release does.
void onMouse(int button, int state, int x, int y);
void onMotion(int x, int y);
void onPassiveMotion(int x, int y);
void onEntry(int state);
void onVisibility(int state);
