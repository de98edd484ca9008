// controls/core/control_host.cpp - the answers of a bare GLUT window, and redisplaying the
// main window.
#include "controls/core/control_host.h"

#include "controls/core/current_window.h"

#include <GL/glut.h>

namespace {

const unsigned char LIGHT_GREY[3] = {200, 200, 200};

} // namespace

int ControlHost::glutWindow() const {
    return 0;
}

int ControlHost::mainWindow() const {
    return 0;
}

void* ControlHost::textFont() const {
    return GLUT_BITMAP_HELVETICA_12;
}

const unsigned char* ControlHost::background() const {
    return LIGHT_GREY;
}

void ControlHost::refresh() {}

Control* ControlHost::focusedControl() const {
    return nullptr;
}

void ControlHost::clearActiveControl() {}

void ControlHost::postMainRedisplay() {
    if (mainWindow() > 0)
        postRedisplayOf(mainWindow());
}
