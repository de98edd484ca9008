// controls/core/drawing.cpp - text in GLUT bitmap fonts, captions, rectangles and the focus
// frame, the raised frame, the standard images, and drawing one control or a whole subtree
// into a control window.
#include "controls/core/drawing.h"

#include "controls/core/bitmaps.h"
#include "controls/core/control.h"
#include "controls/core/immediate_drawing.h"

#include <GL/glut.h>

namespace {

// Selects the front buffer and returns the draw buffer it replaced.
int useFrontBuffer() {
    GLint saved = GL_FRONT;
    glGetIntegerv(GL_DRAW_BUFFER, &saved);
    glDrawBuffer(GL_FRONT);
    return saved;
}

} // namespace

// --- Text ---

int bitmapTextWidth(void* font, const char* text) {
    int total = 0;
    for (const char* c = text; *c != '\0'; ++c)
        total += glutBitmapWidth(font, static_cast<unsigned char>(*c));
    return total;
}

void drawBitmapText(void* font, const char* text) {
    for (const char* c = text; *c != '\0'; ++c)
        glutBitmapCharacter(font, static_cast<unsigned char>(*c));
}

void* Control::currentFont() const {
    return font != nullptr ? font : host()->textFont();
}

int Control::textWidth(const char* s) const {
    return bitmapTextWidth(currentFont(), s);
}

void Control::drawText(const char* s) const {
    drawBitmapText(currentFont(), s);
}

void Control::applyBackgroundColour() const {
    if (window != nullptr)
        glColor3ubv(host()->background());
}

void Control::drawName(int left, int baseline) const {
    if (window == nullptr || hidden != 0)
        return;
    // The colour is set before each glRasterPos2i: OpenGL latches the raster colour there.
    if (enabled != 0) {
        applyBackgroundColour();
        glRasterPos2i(left + 1, baseline + 1);
        drawText(name);
        glColor3b(0, 0, 0);
    } else {
        glColor3f(1, 1, 1);
        glRasterPos2i(left + 1, baseline + 1);
        drawText(name);
        glColor3f(0.4f, 0.4f, 0.4f);
    }
    glRasterPos2i(left, baseline);
    drawText(name);
}

// --- Frames and images ---

void outlineRectangle(int left, int top, int right, int bottom) {
    glBegin(GL_LINE_LOOP);
    glVertex2i(left, top);
    glVertex2i(right, top);
    glVertex2i(right, bottom);
    glVertex2i(left, bottom);
    glEnd();
}

void fillRectangle(int left, int top, int right, int bottom) {
    glBegin(GL_QUADS);
    glVertex2i(left, top);
    glVertex2i(right, top);
    glVertex2i(right, bottom);
    glVertex2i(left, bottom);
    glEnd();
}

void dottedRectangle(int left, int top, int right, int bottom) {
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x5555);
    glColor3f(0, 0, 0);
    outlineRectangle(left, top, right, bottom);
    glDisable(GL_LINE_STIPPLE);
}

void drawFocusFrame(const Control& control, int textOffset) {
    if (control.window == nullptr || control.hidden != 0)
        return;
    const CurrentWindow current = control.selectWindow();
    const int left = textOffset - 3;
    const int right = textOffset + bitmapTextWidth(control.host()->textFont(), control.name) + 4;
    const int bottom = control.height + 1;
    if (control.active != 0) {
        dottedRectangle(left, 0, right, bottom);
    } else {
        control.applyBackgroundColour();
        outlineRectangle(left, 0, right, bottom);
    }
}

int labelledBoxWidth(const Control& control, int textOffset) {
    return textOffset + bitmapTextWidth(control.host()->textFont(), control.name) + 6;
}

void drawRaisedBox(const unsigned char* background, int left, int top, int w, int h) {
    const int right = left + w;
    const int bottom = top + h;
    glColor3ubv(background);
    outlineRectangle(left + 1, top + 1, right - 1, bottom - 1);
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_STRIP);
    glVertex2i(left, bottom);
    glVertex2i(left, top);
    glVertex2i(right, top);
    glEnd();
    glColor3f(0, 0, 0);
    glBegin(GL_LINE_STRIP);
    glVertex2i(right, top);
    glVertex2i(right, bottom);
    glVertex2i(left, bottom);
    glEnd();
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINE_STRIP);
    glVertex2i(right - 1, top + 1);
    glVertex2i(right - 1, bottom - 1);
    glVertex2i(left + 1, bottom - 1);
    glEnd();
}

void drawBitmap(const Bitmap& image, int left, int top) {
    if (image.bytes == nullptr)
        return;
    // The control's origin is the centre of its top-left pixel, so pixel corners lie half a
    // unit off the integer coordinates. The raster position is the bottom-left corner of the
    // picture's bottom-left pixel (under the y-down transform, below and left of it), and
    // glDrawPixels lays the stored rows upwards from there: the image covers exactly the
    // pixels left .. left + width - 1 and top .. top + height - 1, like the other primitives.
    // (Half a unit the other way would shift it one pixel right and down.)
    glRasterPos2f(left - 0.5f, top + image.height - 0.5f);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glDrawPixels(image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, image.bytes);
}

// --- Drawing a control ---

CurrentWindow Control::selectWindow() const {
    CurrentWindow current(host()->glutWindow());
    glDrawBuffer(GL_FRONT);
    return current;
}

ImmediateDrawing::ImmediateDrawing(const Control& control)
    : window_(control.selectWindow()), savedBuffer_(useFrontBuffer()) {
    // The modelview matrix left by the last display pass puts the control at its window
    // position.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(control.x + 0.5f, control.y + 0.5f, 0);
}

// The window goes back last, when window_ is destroyed after this body.
ImmediateDrawing::~ImmediateDrawing() {
    glPopMatrix();
    glDrawBuffer(static_cast<GLenum>(savedBuffer_));
    // Single-buffered drawing may sit in the driver's queue until something flushes it.
    glFlush();
}

void Control::redraw() {
    if (window == nullptr || hidden != 0)
        return;
    // Nothing is cleared: the control paints its own background.
    const ImmediateDrawing drawing(*this);
    draw(0, 0);
}

void Control::drawSubtree() {
    if (window == nullptr || hidden != 0)
        return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x + 0.5f, y + 0.5f, 0);
    draw(xMargin, topMargin);
    glPopMatrix();
    for (Control* child = firstChildControl(); child != nullptr;
         child = child->nextSiblingControl())
        child->drawSubtree();
}
