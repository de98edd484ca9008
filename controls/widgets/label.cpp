// controls/widgets/label.cpp - labels, separators, and their creation.
#include "controls/widgets/label.h"

#include "controls/core/immediate_drawing.h"
#include "controls/windows/control_window.h"

#include <new>

#include <GL/gl.h>

// --- Label ---

Label::Label() {
    type = CONTROL_LABEL;
    height = 13;
    name[0] = '\0';
    canActivate = 0;
}

// Grows to the text but never below the 100-pixel default.
void Label::updateSize() {
    if (window == nullptr)
        return;
    int needed = textWidth(name);
    if (width < needed)
        width = needed;
}

void Label::drawBackground() {
    if (window == nullptr || hidden != 0)
        return;
    applyBackgroundColour();
    glDisable(GL_CULL_FACE);
    glBegin(GL_TRIANGLES);
    glVertex2i(0, 0);
    glVertex2i(width, 0);
    glVertex2i(width, height);
    glVertex2i(0, 0);
    glVertex2i(width, height);
    glVertex2i(0, height);
    glEnd();
}

void Label::drawContent() {
    if (window == nullptr || hidden != 0)
        return;
    drawBackground();
    drawName(0, 9);
}

void Label::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    drawContent();
}

// The old text is erased where the label is now; setName may then re-pack the window and move
// or widen the label, so the new text is drawn at the position after that.
void Label::setText(const char* newText) {
    if (window != nullptr) {
        const ImmediateDrawing drawing(*this);
        drawBackground();
    }
    setName(newText);
    if (window != nullptr && hidden == 0) {
        const ImmediateDrawing drawing(*this);
        drawContent();
    }
}

// --- Separator ---

Separator::Separator() {
    type = CONTROL_SEPARATOR;
    width = 100;
    height = 8;
    canActivate = 0;
}

void Separator::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    int inner = width;
    if (parent != nullptr) {
        int columnLeft = 0;
        int columnWidth = width;
        int margin = 0;
        columnBounds(&columnLeft, &columnWidth, &margin);
        inner = columnWidth - 2 * margin;
    }
    // 5 % of the inner width, truncated toward zero.
    int inset = inner / 20;
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    glColor3f(0.5f, 0.5f, 0.5f);
    glVertex2i(inset, 3);
    glVertex2i(inner - inset, 3);
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex2i(inset, 4);
    glVertex2i(inner - inset, 4);
    glEnd();
}

// --- Creation ---

Label* ControlWindow::addLabel(Control* parent, const char* text) {
    if (parent == nullptr)
        return nullptr;
    Label* label = new (std::nothrow) Label;
    if (label == nullptr)
        return nullptr;
    label->setName(text);
    attachControl(parent, label);
    return label;
}

void ControlWindow::addSeparator(Control* parent) {
    if (parent == nullptr)
        return;
    Separator* separator = new (std::nothrow) Separator;
    if (separator == nullptr)
        return;
    attachControl(parent, separator);
}
