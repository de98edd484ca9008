// viewer/overlay_style.cpp - the overlays' colours and pixel space.
#include "viewer/overlay_style.h"

#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

void textColour() {
    const float c = viewer.displaySettings.background == Background::White ? 0.0f : 1.0f;
    glColor3f(c, c, c);
}

void boxColour() {
    const float c = viewer.displaySettings.background == Background::White ? 0.85f : 0.12f;
    glColor3f(c, c, c);
}

WindowPixels::WindowPixels(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0.0, width, height, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

WindowPixels::~WindowPixels() {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
