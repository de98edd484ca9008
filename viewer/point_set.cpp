// viewer/point_set.cpp - loading the point set, its bounds, view distance and drawing.
#include "viewer/point_set.h"

#include "viewer/scene.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

PointSet pointSet;

void PointSet::load(const char* path) {
    PointReadResult result = readPointFileScanf(path);
    switch (result.outcome) {
        case ReadOutcome::CannotOpen:
            std::printf("ERROR: unable to open file %s!\n", path);
            std::exit(1);
        case ReadOutcome::CannotAllocate:
            std::printf("Not Enough memory to allocate the point the structure\n");
            std::exit(1);
        case ReadOutcome::Read:
            break;
    }
    points = result.points;
    count = result.count;
    computeBounds();
}

void PointSet::computeBounds() {
    // Bounds start empty rather than at a fixed range so that the box is exactly that of the
    // points wherever they lie; the sums are doubles because float sums stop moving on large
    // clouds. A NaN or infinite position would make the box and the camera matrices NaN and
    // blank the whole view, so such points are left out of both.
    const float inf = std::numeric_limits<float>::infinity();
    float low[3] = {inf, inf, inf};
    float high[3] = {-inf, -inf, -inf};
    double sum[3] = {0.0, 0.0, 0.0};
    int64_t used = 0;
    for (int32_t i = 0; i < count; ++i) {
        const float position[3] = {points[i].x, points[i].y, points[i].z};
        if (!std::isfinite(position[0]) || !std::isfinite(position[1]) ||
            !std::isfinite(position[2]))
            continue;
        for (int axis = 0; axis < 3; ++axis) {
            sum[axis] += position[axis];
            low[axis] = std::min(low[axis], position[axis]);
            high[axis] = std::max(high[axis], position[axis]);
        }
        ++used;
    }
    if (used == 0) {
        std::fill(low, low + 3, 0.0f);
        std::fill(high, high + 3, 0.0f);
    }

    nearCorner[0] = low[0];
    nearCorner[1] = low[1];
    nearCorner[2] = high[2];
    farCorner[0] = high[0];
    farCorner[1] = high[1];
    farCorner[2] = low[2];
    for (int axis = 0; axis < 3; ++axis)
        centroid[axis] = used ? static_cast<float>(sum[axis] / static_cast<double>(used)) : 0.0f;
}

void PointSet::computeViewDistance(float fieldOfViewX) {
    double extent = static_cast<double>(farCorner[0]) - nearCorner[0];
    // With no x extent the distance would be 0 and the box's front face would sit on the eye,
    // in front of the near plane: frame the cloud by its other extents instead.
    if (extent == 0.0) {
        const double ySize = static_cast<double>(farCorner[1]) - nearCorner[1];
        const double zSize = static_cast<double>(nearCorner[2]) - farCorner[2];
        extent = std::max(ySize, zSize);
    }
    if (extent == 0.0)
        extent = 1.0;
    viewDistance =
        static_cast<float>(extent * 0.5 / std::tan(fieldOfViewX * 0.008726646255) * 1.1);
}

void PointSet::buildDisplayList() {
    displayList = glGenLists(1);
    glNewList(displayList, GL_COMPILE);
    glBegin(GL_POINTS);
    for (int32_t i = 0; i < count; ++i) {
        glColor3fv(&points[i].r);
        glVertex3fv(&points[i].x);
    }
    glEnd();
    glEndList();
}

void PointSet::drawAxes() const {
    const double length = static_cast<double>(viewDistance) * 0.15;
    float ends[3][3];
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < 3; ++i)
            ends[axis][i] = static_cast<float>(centroid[i] + (i == axis ? length : 0.0));

    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3fv(centroid);
    glVertex3fv(ends[0]);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3fv(centroid);
    glVertex3fv(ends[1]);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3fv(centroid);
    glVertex3fv(ends[2]);
    glEnd();
}

void PointSet::drawScene() const {
    // Without a depth buffer later drawing covers earlier: the points cover the axes.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (showAxis)
        drawAxes();
    glCallList(displayList);
    glutSwapBuffers();
}
