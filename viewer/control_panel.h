// viewer/control_panel.h - the viewer's control window.
#pragma once

#include <cstdint>

class ControlWindow;

// User ids of the viewer's controls. ID_QUIT is also the exit status: the Quit button's
// callback is exit itself, which receives the button's user id, so it must stay 0.
constexpr int32_t ID_QUIT = 0;
constexpr int32_t ID_NAVIGATION_MODE = 1;
constexpr int32_t ID_RESET_VIEW = 3;
constexpr int32_t ID_SHOW_AXIS = 13;

// The callback of the viewer's controls; only ID_RESET_VIEW has work to do.
void controlCallback(int32_t userId);

// Opens the control window just right of the graphics window mainWindowId, which must have
// opened at GRAPHICS_WINDOW_X and _Y (see scene.h): the "Camera" panel with
// the navigation mode, the axis switch, the legends, "Reset View" and "Quit". Ends the process
// with status 1 and a one-line message when the toolkit cannot create a part of it. Returns the
// window.
ControlWindow* buildControlPanel(int mainWindowId);
