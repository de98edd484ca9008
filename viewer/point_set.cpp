// viewer/point_set.cpp - loading the point set, compiling and drawing it.
#include "viewer/point_set.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <thread>

PointSet pointSet;

namespace {

// While the body is still being read, the list is compiled in chunks of at least this many
// records, as they become final.
constexpr int64_t kCompileChunk = 65536;

void setArrays(const PointRecord* records) {
    glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), reinterpret_cast<const float*>(records));
    glColorPointer(3, GL_FLOAT, sizeof(PointRecord), reinterpret_cast<const float*>(records) + 3);
}

} // namespace

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
    // The body gets one thread: the calling thread compiles the list meanwhile.
    pending->begin(path, true);
    pending->exitIfRefused();
}

void PointSet::finishLoad() {
    if (!pending)
        return;
    pending->finish(*this);
    pending.reset();
}

void PointSet::buildDisplayList() {
    // Client arrays are not part of a list: glDrawArrays copies the records into it while it
    // is compiled, and the array state is put back as it was right after.
    displayList = glGenLists(1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glNewList(displayList, GL_COMPILE);
    // Compiling overlaps the read of a pending body; draws of consecutive ranges draw the same
    // points in the same order as one draw of them all. Readers that cannot promise final
    // records before the end give none, and the list is compiled at once after.
    int64_t compiled = 0;
    const PointRecord* arrays = nullptr;
    while (pending && pending->threaded()) {
        const bool parsed = pending->finished();
        const PointRecord* records = pending->records();
        const int64_t ready = pending->recordsReady();
        if (records && ready - compiled >= kCompileChunk) {
            if (records != arrays)
                setArrays(arrays = records);
            glDrawArrays(GL_POINTS, static_cast<GLint>(compiled),
                         static_cast<GLsizei>(ready - compiled));
            compiled = ready;
        } else if (parsed) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    finishLoad();
    if (count > compiled) {
        setArrays(points);
        glDrawArrays(GL_POINTS, static_cast<GLint>(compiled),
                     static_cast<GLsizei>(count - compiled));
    }
    glEndList();
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
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
