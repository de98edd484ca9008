// viewer/view.cpp - the view's derived matrices and its loading into GL.
#include "viewer/view.h"

#include "viewer/matrices.h"

#include <GL/gl.h>

void View::combined(double clip[16]) const {
    multiplyMatrices(projection, modelview, clip);
}

void View::clipPlanes(double planes[6][4]) const {
    // -w <= x, y, z <= w in clip coordinates: the fourth row plus or minus each of the others.
    double m[16];
    combined(m);
    for (int plane = 0; plane < 6; ++plane) {
        const int row = plane / 2;
        const double sign = plane % 2 == 0 ? 1.0 : -1.0;
        for (int column = 0; column < 4; ++column)
            planes[plane][column] = m[column * 4 + 3] + sign * m[column * 4 + row];
    }
}

void View::toEye(const double scene[3], double eye[3]) const {
    for (int row = 0; row < 3; ++row)
        eye[row] = modelview[12 + row] + modelview[row] * scene[0] + modelview[4 + row] * scene[1] +
                   modelview[8 + row] * scene[2];
}

void View::load() const {
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    // GL keeps the matrices in float: the CPU raster rounds its copy alike.
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelview);
}
