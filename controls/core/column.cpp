// controls/core/column.cpp - the column break: a vertical groove between two columns.
#include "controls/core/column.h"

#include <GL/glut.h>

Column::Column() {
    type = CONTROL_COLUMN;
    canActivate = 0;
    name[0] = '\0';
}

void Column::draw(int, int) {
    if (window == nullptr || hidden != 0)
        return;
    const CurrentWindow current = selectWindow();
    // A grey line with a white one to its right reads as a groove, like an etched frame.
    glLineWidth(1);
    glBegin(GL_LINES);
    glColor3f(0.5f, 0.5f, 0.5f);
    glVertex2i(0, 0);
    glVertex2i(0, height);
    glColor3f(1, 1, 1);
    glVertex2i(1, 0);
    glVertex2i(1, height);
    glEnd();
}
