// controls/widgets/panel.cpp - the container control: its frame and title, and the window
// operations that add panels.
#include "controls/widgets/panel.h"

#include "controls/windows/control_window.h"

#include <GL/glut.h>

#include <new>

namespace {

// Room for a title: 16 pixels beyond its text, and a deeper top margin beneath it.
constexpr int TITLE_PADDING = 16;
constexpr int TITLED_TOP_MARGIN = 14;
constexpr int PLAIN_TOP_MARGIN = 6;

} // namespace

Panel::Panel() {
    type = CONTROL_PANEL;
    width = 300;
    height = 20;
    intValue = BORDER_ETCHED;
    alignment = ALIGN_CENTER;
    isContainer = 1;
    canActivate = 0;
    name[0] = '\0';
}

void Panel::setName(const char* newName) {
    copyText(name, newName);
    updateSize();
    if (window != nullptr)
        window->refresh();
}

void Panel::updateSize() {
    if (window == nullptr)
        return;
    const int titleWidth = textWidth(name) + TITLE_PADDING;
    if (width < titleWidth)
        width = titleWidth;
    topMargin =
        (name[0] != '\0' && intValue == BORDER_ETCHED) ? TITLED_TOP_MARGIN : PLAIN_TOP_MARGIN;
}

void Panel::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    const int w = width;
    const int h = height;
    if (intValue == BORDER_RAISED) {
        glLineWidth(1);
        glColor3f(1, 1, 1);
        glBegin(GL_LINE_LOOP);
        glVertex2i(0, 0);
        glVertex2i(w, 0);
        glVertex2i(0, 0);
        glVertex2i(0, h);
        glEnd();
        glColor3f(0.5f, 0.5f, 0.5f);
        glBegin(GL_LINE_LOOP);
        glVertex2i(w, 0);
        glVertex2i(w, h);
        glVertex2i(0, h);
        glVertex2i(w, h);
        glEnd();
    } else if (intValue == BORDER_ETCHED) {
        // A titled frame starts 4 pixels down so that the title sits across its top edge.
        const int d = name[0] != '\0' ? 4 : 0;
        glLineWidth(1);
        glColor3f(1, 1, 1);
        glBegin(GL_LINE_LOOP);
        glVertex2i(0, d);
        glVertex2i(w, d);
        glVertex2i(w, h);
        glVertex2i(0, h);
        glVertex2i(1, d + 1);
        glVertex2i(w - 1, d + 1);
        glVertex2i(w - 1, h - 1);
        glVertex2i(1, h - 1);
        glEnd();
        // Grey over the white loop's top and left lines: a groove, grey then white.
        glColor3f(0.5f, 0.5f, 0.5f);
        outlineRectangle(0, d, w - 1, h - 1);
        if (name[0] != '\0') {
            const int titleWidth = textWidth(name);
            // Wipe the frame lines behind the title.
            applyBackgroundColour();
            glDisable(GL_CULL_FACE);
            fillRectangle(4, 0, titleWidth + 10, 9);
            drawName(7, 8);
        }
    }
    glLineWidth(1);
}

Panel* ControlWindow::addPanel(Control* parent, const char* panelName, int borderStyle) {
    if (parent == nullptr)
        return nullptr;
    Panel* panel = new (std::nothrow) Panel;
    if (panel == nullptr)
        return nullptr;
    panel->setName(panelName); // no window yet: only copies
    panel->userId = -1;
    panel->intValue = borderStyle;
    attachControl(parent, panel);
    return panel;
}

Panel* ControlWindow::addPanel(const char* panelName, int borderStyle) {
    return addPanel(root, panelName, borderStyle);
}
