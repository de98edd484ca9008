// viewer/point_set.cpp - loading the point set and drawing its axes.
#include "viewer/point_set.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <new>

void PointSet::load(const char* path) {
    pending.reset();
    loadCloudOrExit(path, *this);
}

void PointSet::beginLoad(const char* path) {
    pending.reset(new (std::nothrow) CloudLoad);
    if (!pending) {
        std::printf("Not Enough memory to allocate the point the structure\n");
        std::exit(1);
    }
    // The body is read on every core by a worker: the caller meanwhile mostly waits on the X
    // server as it opens the windows, then sums the box of the records read so far.
    pending->begin(path, CloudLoad::Place::WorkerEveryCore);
    pending->exitIfRefused();
}

void PointSet::finishLoad() {
    if (!pending)
        return;
    pending->finish(*this);
    pending.reset();
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
