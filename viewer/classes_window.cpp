// viewer/classes_window.cpp - composes the classes window out of the widget toolkit.
#include "viewer/classes_window.h"

#include "controls/core/column.h"
#include "controls/widgets/button.h"
#include "controls/widgets/checkbox.h"
#include "controls/widgets/panel.h"
#include "controls/windows/control_window.h"
#include "controls/windows/window_manager.h"
#include "io/classification.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

template <typename T> T* require(T* created, const char* what) {
    if (created == nullptr) {
        std::fprintf(stderr, "pointillist: cannot create the %s\n", what);
        std::exit(1);
    }
    return created;
}

// The right edge on the screen of a GLUT window width pixels wide (as GLUT has it when 0);
// glutGet answers for the current window only.
int rightEdge(int window, int width = 0) {
    const CurrentWindow current(window);
    return glutGet(GLUT_WINDOW_X) + (width > 0 ? width : glutGet(GLUT_WINDOW_WIDTH));
}

// The controls after it go in a new column to its right.
void addColumnBreak(ControlWindow* window, Control* parent) {
    // Column has no creation operation of its own in the window.
    window->attachControl(parent, require(new (std::nothrow) Column, "column break"));
}

// Every check box under control shows its switch again.
void showSwitches(Control* control) {
    if (control->type == CONTROL_CHECKBOX)
        control->syncFromLive();
    for (Control* child = control->firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        showSwitches(child);
}

} // namespace

void classesCallback(int32_t userId) {
    PointVisibility& visibility = viewer.pointSet.visibility;
    if (userId == ID_ALL_CLASSES || userId == ID_NO_CLASSES) {
        for (int code = 0; code < 256; ++code)
            if (visibility.classCounts()[code] > 0)
                visibility.classShown[code] = userId == ID_ALL_CLASSES;
        if (ControlWindow* window = windowManager.findWindow(viewer.classesWindow))
            showSwitches(window->root);
    }
    // A check box has asked for the redisplay already; the buttons after their callback.
    visibility.changed();
}

ControlWindow* buildClassesWindow(int mainWindowId, const ControlWindow* beside) {
    // The control window may not have its packed size yet, but knows it.
    int x = rightEdge(mainWindowId);
    if (beside != nullptr)
        x = std::max(x, rightEdge(beside->windowId, beside->contentWidth));
    ControlWindow* window =
        require(windowManager.createWindow("Pointillist Classes", 0, x + CONTROL_WINDOW_GAP,
                                           GRAPHICS_WINDOW_Y),
                "classes window");
    Panel* panel = require(window->addPanel("Classes", BORDER_ETCHED), "\"Classes\" panel");

    PointVisibility& visibility = viewer.pointSet.visibility;
    int inColumn = 0;
    for (int code = 0; code < 256; ++code) {
        const int64_t count = visibility.classCounts()[code];
        if (count == 0)
            continue;
        if (inColumn == kClassesPerColumn) {
            addColumnBreak(window, panel);
            inColumn = 0;
        }
        char label[128];
        // A streamed file's counts are estimated from its root node.
        std::snprintf(label, sizeof label, "%d %s (%s%lld)", code, className(code).c_str(),
                      visibility.estimated(code) ? "~" : "", static_cast<long long>(count));
        require(window->addCheckbox(panel, label, &visibility.classShown[code],
                                    ID_FIRST_CLASS + code, classesCallback),
                "class check box");
        ++inColumn;
    }
    // Under the last column, as the control window stacks its buttons.
    window->addSeparator(panel);
    require(window->addButton(panel, "all", ID_ALL_CLASSES, classesCallback), "\"all\" button");
    require(window->addButton(panel, "none", ID_NO_CLASSES, classesCallback), "\"none\" button");

    window->setMainWindow(mainWindowId);
    viewer.classesWindow = window->windowId;
    return window;
}
