// viewer/control_panel.cpp - composes the control window out of the widget toolkit.
#include "viewer/control_panel.h"

#include "controls/widgets/button.h"
#include "controls/widgets/checkbox.h"
#include "controls/widgets/label.h"
#include "controls/widgets/panel.h"
#include "controls/widgets/radio_group.h"
#include "controls/windows/control_window.h"
#include "controls/windows/window_manager.h"
#include "viewer/point_marks.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <stdlib.h>

namespace {

// The toolkit hands back nullptr when it cannot allocate; the panel is useless without any
// of its parts, so the viewer stops with a message naming the part.
template <typename T> T* require(T* created, const char* what) {
    if (created == nullptr) {
        std::fprintf(stderr, "pointillist: cannot create the %s\n", what);
        std::exit(1);
    }
    return created;
}

} // namespace

void controlCallback(int32_t userId) {
    // The radio group and the check box have already written their live variables and asked
    // for a redisplay by the time they call back.
    if (userId == ID_RESET_VIEW) {
        resetView(viewer.viewState, viewer.pointSet);
        clearMark();
    }
}

ControlWindow* buildControlPanel(int mainWindowId) {
    // Just right of the graphics window, top edges level, so that no window manager is needed
    // to keep the controls off the picture.
    glutSetWindow(mainWindowId);
    const int x = GRAPHICS_WINDOW_X + glutGet(GLUT_WINDOW_WIDTH) + CONTROL_WINDOW_GAP;
    ControlWindow* window =
        require(windowManager.createWindow("Pointillist Controls", 0, x, GRAPHICS_WINDOW_Y),
                "control window");
    Panel* camera = require(window->addPanel("Camera", BORDER_ETCHED), "\"Camera\" panel");

    RadioGroup* mode = require(window->addRadioGroup(camera, &viewer.viewState.navigationMode,
                                                     ID_NAVIGATION_MODE, controlCallback),
                               "navigation mode radio group");
    require(window->addRadioButton(mode, "TRANSLATE"), "\"TRANSLATE\" radio button");
    require(window->addRadioButton(mode, "ROTATE"), "\"ROTATE\" radio button");
    mode->setIntValue(MODE_TRANSLATE);
    window->addSeparator(camera);

    viewer.showAxis = 1;
    require(
        window->addCheckbox(camera, "show axis", &viewer.showAxis, ID_SHOW_AXIS, controlCallback),
        "\"show axis\" check box");
    require(window->addLabel(camera, "X: Red"), "\"X: Red\" label");
    require(window->addLabel(camera, "Y: Green"), "\"Y: Green\" label");
    require(window->addLabel(camera, "Z: Blue"), "\"Z: Blue\" label");
    window->addSeparator(camera);

    require(window->addLabel(camera, "Left  button: XY"), "\"Left  button: XY\" label");
    require(window->addLabel(camera, "Right button: Z"), "\"Right button: Z\" label");
    window->addSeparator(camera);

    require(window->addButton(camera, "Reset View", ID_RESET_VIEW, controlCallback),
            "\"Reset View\" button");
    require(window->addButton(camera, "Quit", ID_QUIT, exit), "\"Quit\" button");

    window->setMainWindow(mainWindowId);
    windowManager.setIdleCallback(nullptr);
    return window;
}
