// controls/widgets/button.cpp - the push button and its creation.
#include "controls/widgets/button.h"

#include "controls/core/immediate_drawing.h"
#include "controls/windows/control_window.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include <GL/gl.h>

Button::Button() {
    type = CONTROL_BUTTON;
    std::snprintf(name, sizeof name, "Button: %p", static_cast<void*>(this));
    width = 100;
    height = 20;
    alignment = ALIGN_CENTER;
    canActivate = 1;
}

int Button::mouseDown(int x, int y) {
    intValue = 1;
    return PressableControl::mouseDown(x, y);
}

void Button::showPress(int inside) {
    if (inside != 0)
        showPressed();
    else
        showReleased();
}

void Button::endPress(int inside) {
    setIntValue(0);
    showReleased();
    if (inside != 0) {
        runCallback();
        // A callback that only changes the application's state is seen at once.
        if (window != nullptr)
            window->postMainRedisplay();
    }
}

void Button::updateSize() {
    if (window == nullptr)
        return;
    int needed = textWidth(name) + 16;
    if (width < needed)
        width = needed;
}

void Button::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    window->drawRaisedBox(0, 0, width, height);
    drawFace(0);
}

void Button::drawFace(int pressed) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    int w = width;
    int h = height;
    applyBackgroundColour();
    glDisable(GL_CULL_FACE);
    fillRectangle(2, 2, w - 2, h - 2);
    int textWidth = bitmapTextWidth(window->defaultFont, name);
    int textX = std::max(w - textWidth, 0) / 2;
    int textY = 13;
    if (pressed != 0) {
        textX += 1;
        textY = 14;
    }
    drawName(textX, textY);
    if (active != 0)
        dottedRectangle(3, 3, w - 3, h - 3);
}

void Button::showPressed() {
    if (window == nullptr || hidden != 0)
        return;
    const ImmediateDrawing drawing(*this);
    drawFace(1);
    // Black over the raised edges makes the button look sunk.
    glColor3f(0.0f, 0.0f, 0.0f);
    outlineRectangle(0, 0, width, height);
    outlineRectangle(1, 1, width - 1, height - 1);
}

void Button::showReleased() {
    if (window != nullptr && hidden == 0)
        redraw();
}

Button* ControlWindow::addButton(Control* parent, const char* label, int userId,
                                 ControlCallback callback) {
    if (parent == nullptr)
        return nullptr;
    Button* button = new (std::nothrow) Button;
    if (button == nullptr)
        return nullptr;
    button->userId = userId;
    button->callback = callback;
    button->setName(label);
    attachControl(parent, button);
    return button;
}
