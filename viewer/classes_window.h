// viewer/classes_window.h - the "Pointillist Classes" window: which classes are drawn.
#pragma once

#include <cstdint>

class ControlWindow;

// User ids of the classes window's controls: its buttons, and each check box the first plus its
// class code.
constexpr int32_t ID_ALL_CLASSES = 1;
constexpr int32_t ID_NO_CLASSES = 2;
constexpr int32_t ID_FIRST_CLASS = 100;

// The controls' callback: a check box has written its switch, so the records drawn change; the
// buttons turn every class present on or off and the check boxes follow.
void classesCallback(int32_t userId);

// Opens the classes window for viewer.pointSet's classes, right of the graphics window
// mainWindowId and of beside (the control window) so that it covers neither: a "Classes" panel
// with one check box per class present, "CODE NAME (COUNT)", bound to whether the class is
// drawn, in columns of at most kClassesPerColumn, then "all" and "none" under the last column.
// Records its GLUT id in viewer.classesWindow. Ends the process with status 1 and a one-line
// message when the toolkit cannot create a part of it.
constexpr int kClassesPerColumn = 20;
ControlWindow* buildClassesWindow(int mainWindowId, const ControlWindow* beside);
