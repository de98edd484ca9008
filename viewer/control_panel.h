// viewer/control_panel.h - the viewer's control window.
#pragma once

// Opens the control window beside the graphics window mainWindowId: the "Camera" panel with
// the navigation mode, the axis switch, the legends, "Reset View" and "Quit". Ends the process
// with status 1 and a one-line message when the toolkit cannot create a part of it.
void buildControlPanel(int mainWindowId);
