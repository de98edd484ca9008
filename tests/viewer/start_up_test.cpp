// tests/viewer/start_up_test.cpp - the viewer's overlapped start-up (windows opened while the body
// is parsed) against the plain load.
#include "tests/io/cloud_text.h"
#include "tests/support/gl_test_support.h"
#include "viewer/scene.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::vector<unsigned char> drawList(GLuint list) {
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(list);
    glFinish();
    return readBackBuffer(400, 400);
}

// The viewer's frame of the whole cloud, however many passes it takes.
std::vector<unsigned char> drawWholeFrame() {
    displayScene();
    pumpUntil([] { return !viewer.frameScheduler.wholeFramePending(); }, std::chrono::seconds(20));
    EXPECT_TRUE(viewer.frameScheduler.lastFrame().full);
    return readBackBuffer(400, 400);
}

} // namespace

// The body comes through a pipe in pieces while the window opens. The set must equal a plain
// load of the same text, and the viewer's whole frame of it must be exactly what a list of one
// glColor3fv and glVertex3fv per point draws: no record skipped or drawn twice, the same colours.
TEST(OverlappedStartUp, WindowOpenedDuringTheLoadDrawsWhatThePerPointListDraws) {
    const std::string text = cloudText(300000);
    char path[] = "/tmp/pointillist-start-up-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(file);
    PointSet reference;
    reference.load(path);
    unlink(path);
    ASSERT_EQ(reference.count, 300000);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::thread writer([&] {
        const size_t piece = 1 << 16;
        for (size_t at = 0; at < text.size(); at += piece) {
            const size_t size = std::min(piece, text.size() - at);
            EXPECT_EQ(write(ends[1], text.data() + at, size), static_cast<ssize_t>(size));
            if (at % (piece * 16) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        close(ends[1]);
    });
    ASSERT_TRUE(initGlutHoldingServer("start_up_test"));
    viewer.pointSet.beginLoad(("/proc/self/fd/" + std::to_string(ends[0])).c_str());
    const int window = createGraphicsWindow();
    writer.join();
    close(ends[0]);

    EXPECT_EQ(viewer.pointSet.count, reference.count);
    EXPECT_EQ(0, std::memcmp(viewer.pointSet.points, reference.points,
                             sizeof(PointRecord) * static_cast<size_t>(reference.count)));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(viewer.pointSet.nearCorner[axis], reference.nearCorner[axis]);
        EXPECT_EQ(viewer.pointSet.farCorner[axis], reference.farCorner[axis]);
        EXPECT_EQ(viewer.pointSet.centroid[axis], reference.centroid[axis]);
    }

    // Mesa's first draw in a new window may differ from later draws by a step of colour here
    // and there: both are compared after one. Mesa's own GL_POINTS, since the step it takes
    // depends on how it batches the points, which the CPU raster cannot follow.
    reshapeScene(400, 400);
    viewer.frameScheduler.renderer.setLargeFramePath(PointPath::Gl);
    // Every point drawn, in the order read: no octree to reorder them.
    viewer.lodSettings.buildOctree = false;
    drawWholeFrame();
    const std::vector<unsigned char> fromArrays = drawWholeFrame();
    const GLuint perPoint = glGenLists(1);
    glNewList(perPoint, GL_COMPILE);
    glBegin(GL_POINTS);
    for (int32_t i = 0; i < reference.count; ++i) {
        glColor3fv(&reference.points[i].r);
        glVertex3fv(&reference.points[i].x);
    }
    glEnd();
    glEndList();
    const std::vector<unsigned char> fromPoints = drawList(perPoint);
    size_t lit = 0;
    for (unsigned char value : fromPoints)
        lit += value != 0;
    EXPECT_GT(lit, 10000u);
    EXPECT_TRUE(fromArrays == fromPoints);
    viewer.frameScheduler.cancel();
    glutDestroyWindow(window);
    releasePoints(reference.points);
    releasePoints(viewer.pointSet.points);
    viewer.pointSet = PointSet();
    viewer.lodSettings = LodSettings();
}
