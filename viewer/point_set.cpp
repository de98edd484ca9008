// viewer/point_set.cpp - loading the point set, its bounds, view distance and drawing.
#include "viewer/point_set.h"

#include "viewer/fast_reader.h"
#include "viewer/load_progress.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>
#include <thread>

#include <pthread.h>

PointSet pointSet;

namespace {

// While the body is still being parsed, the list is compiled in chunks of at least this many
// records, as they become final.
constexpr int64_t kCompileChunk = 65536;

// The load between beginLoad and finishLoad: its reader, and the thread parsing the body.
struct PendingLoad {
    FastReader* reader = nullptr;
    pthread_t thread{};
    bool threaded = false;
    std::atomic<bool> parsed{false};
};
PendingLoad pending;
LoadProgress progress;

void* readBody(void*) {
    pending.reader->readBody();
    pending.parsed.store(true, std::memory_order_release);
    return nullptr;
}

void openOrExit(const char* path, bool split) {
    FastReadOptions options;
    if (!split)
        options.splitBytes = INT64_MAX;
    options.progress = [](const ReadProgress& read) { progress.update(read); };
    pending.reader = new (std::nothrow) FastReader(options);
    progress.start();
    switch (pending.reader ? pending.reader->open(path) : ReadOutcome::CannotAllocate) {
        case ReadOutcome::CannotOpen:
            std::printf("ERROR: unable to open file %s!\n", path);
            std::exit(1);
        case ReadOutcome::CannotAllocate:
            std::printf("Not Enough memory to allocate the point the structure\n");
            std::exit(1);
        case ReadOutcome::Read:
            break;
    }
}

} // namespace

void PointSet::load(const char* path) {
    openOrExit(path, true);
    finishLoad();
}

void PointSet::beginLoad(const char* path) {
    // The body gets one thread: the calling thread compiles the list meanwhile.
    openOrExit(path, false);
    pending.parsed.store(false);
    // Without a thread the body is read by finishLoad instead.
    pending.threaded = pthread_create(&pending.thread, nullptr, readBody, nullptr) == 0;
}

void PointSet::finishLoad() {
    if (!pending.reader)
        return;
    if (pending.threaded)
        pthread_join(pending.thread, nullptr);
    else
        pending.reader->readBody();
    progress.finish();
    const PointReadResult result = pending.reader->take();
    delete pending.reader;
    pending.reader = nullptr;
    pending.threaded = false;
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
    viewDistance = static_cast<float>(extent * 0.5 / std::tan(fieldOfViewX * 0.008726646255) * 1.1);
}

void PointSet::buildDisplayList() {
    // Client arrays are not part of a list: glDrawArrays copies the records into it while it
    // is compiled, and the array state is put back as it was right after.
    const PointRecord* records = pending.reader ? pending.reader->records() : points;
    displayList = glGenLists(1);
    glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), reinterpret_cast<const float*>(records));
    glColorPointer(3, GL_FLOAT, sizeof(PointRecord), reinterpret_cast<const float*>(records) + 3);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glNewList(displayList, GL_COMPILE);
    // Compiling overlaps the parse of a pending body; draws of consecutive ranges draw the same
    // points in the same order as one draw of them all.
    int64_t compiled = 0;
    while (pending.threaded) {
        const bool parsed = pending.parsed.load(std::memory_order_acquire);
        const int64_t ready = pending.reader->recordsReady();
        if (ready - compiled >= kCompileChunk) {
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
    if (count > compiled)
        glDrawArrays(GL_POINTS, static_cast<GLint>(compiled),
                     static_cast<GLsizei>(count - compiled));
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
