// tests/reader/start_up_test.cpp - the viewer's overlapped start-up (windows opened while the body
// is parsed) against the plain load, the places a load runs, and the progress line on a terminal.
#include "io/cloud_load.h"
#include "io/load_progress.h"
#include "io/point_cloud.h"
#include "tests/support/gl_test_support.h"
#include "tests/support/pseudo_terminal.h"
#include "viewer/scene.h"
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

// A shell of points with colours that change along it; 24 numbers a line of varied length.
std::string cloudText(int count) {
    std::string text = "# points = " + std::to_string(count) + "\n";
    char line[160];
    for (int i = 0; i < count; ++i) {
        const double a = i * 0.0137, b = i * 0.000731;
        std::snprintf(line, sizeof line, "%.3f %.2f %.4f %.3f %.3f %.3f\n",
                      100 * std::cos(a) * std::sin(b), 100 * std::sin(a) * std::sin(b),
                      100 * std::cos(b), 0.5 + 0.5 * std::cos(a), 0.5 + 0.5 * std::sin(b),
                      (i % 1000) / 1000.0);
        text += line;
    }
    return text;
}

std::vector<unsigned char> backBuffer() {
    std::vector<unsigned char> pixels(400 * 400 * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 400, 400, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<unsigned char> drawList(GLuint list) {
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(list);
    glFinish();
    return backBuffer();
}

// The viewer's frame of the whole cloud, however many passes it takes.
std::vector<unsigned char> drawWholeFrame() {
    displayScene();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (viewer.frameScheduler.wholeFramePending() && std::chrono::steady_clock::now() < deadline)
        glutMainLoopEvent();
    EXPECT_TRUE(viewer.frameScheduler.lastFrame().full);
    return backBuffer();
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
}

// Quiet for the first half second and where the stream is no terminal; on a terminal one line,
// rewritten in place, never a line feed, erased at the end. Time is the test's own clock.
TEST(LoadProgressLine, ShownOnATerminalAfterHalfASecondThenErased) {
    PseudoTerminal terminal;
    ASSERT_NE(terminal.stream, nullptr);
    FILE* plain = std::tmpfile();
    ASSERT_NE(plain, nullptr);

    LoadProgress::Clock::time_point now{};
    const LoadProgress::Now clock = [&now] { return now; };
    LoadProgress onTerminal(terminal.stream, clock), onFile(plain, clock);
    onTerminal.start();
    onFile.start();
    ReadProgress progress;
    progress.bytesTotal = 1000;
    progress.bytesRead = 100;
    progress.pointsRead = 10;
    now += std::chrono::milliseconds(499);
    onTerminal.update(progress);
    now += std::chrono::milliseconds(101);
    progress.bytesRead = 500;
    progress.pointsRead = 3000000;
    onTerminal.update(progress);
    onFile.update(progress);
    onTerminal.finish();
    onFile.finish();
    const std::string shown = terminal.closeAndRead();
    EXPECT_EQ(shown.rfind("\rLoading points:  50%, 5.0 million points/s", 0), 0u) << shown;
    EXPECT_NE(shown.find(" million points/s\r"), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos);
    const size_t erase = shown.find('\r', 1);
    ASSERT_NE(erase, std::string::npos);
    EXPECT_EQ(shown.substr(erase), "\r" + std::string(erase - 1, ' ') + "\r");
    EXPECT_EQ(std::ftell(plain), 0L);
    std::fclose(plain);
}

// Wherever the reader runs, the cloud is the same: the records, and the box and centroid
// summed as the records become final equal one pass over them. waitForRecords says whether
// the cloud has that many records, early for the first ones.
TEST(CloudLoadPlaces, EveryPlaceGivesTheSameCloud) {
    // Large enough for the reader to split the body between two threads.
    const int count = 400000;
    const std::string text = cloudText(count);
    char path[] = "/tmp/pointillist-places-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(file);
    PointCloud reference;
    loadCloudOrExit(path, reference);
    ASSERT_EQ(reference.count, count);
    PointCloud onePass = reference;
    onePass.computeBounds();

    for (CloudLoad::Place place : {CloudLoad::Place::Here, CloudLoad::Place::WorkerOneCore,
                                   CloudLoad::Place::WorkerEveryCore}) {
        SCOPED_TRACE(static_cast<int>(place));
        CloudLoad load;
        load.begin(path, place);
        ASSERT_FALSE(load.refused());
        EXPECT_TRUE(load.waitForRecords(1));
        PointCloud cloud;
        load.finish(cloud);
        EXPECT_TRUE(load.waitForRecords(count));
        EXPECT_FALSE(load.waitForRecords(count + 1));
        ASSERT_EQ(cloud.count, count);
        EXPECT_EQ(0, std::memcmp(cloud.points, reference.points,
                                 sizeof(PointRecord) * static_cast<size_t>(count)));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(cloud.nearCorner[axis], onePass.nearCorner[axis]);
            EXPECT_EQ(cloud.farCorner[axis], onePass.farCorner[axis]);
            EXPECT_EQ(cloud.centroid[axis], onePass.centroid[axis]);
        }
        releasePoints(cloud.points);
    }
    unlink(path);
    releasePoints(reference.points);
}

// Runs added one after another give the box and centroid of one pass, non-finite positions
// left out of both; nothing added gives zeros.
TEST(CloudLoadPlaces, BoundsSummedInRunsEqualOnePass) {
    std::vector<PointRecord> points;
    for (int i = 0; i < 1000; ++i)
        points.push_back({1000.1f + float(i % 7) * 0.3f, -0.1f * float(i), float(i % 13), 1, 1, 1});
    points[10].x = std::nanf("");
    points[500].z = INFINITY;
    PointCloud whole;
    whole.points = points.data();
    whole.count = static_cast<int32_t>(points.size());
    whole.computeBounds();
    PointCloud runs = whole;
    BoundsSum sum;
    for (const auto& [from, to] :
         {std::pair<int64_t, int64_t>{0, 1}, {1, 11}, {11, 11}, {11, 1000}})
        sum.add(points.data(), from, to);
    sum.applyTo(runs);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(runs.nearCorner[axis], whole.nearCorner[axis]);
        EXPECT_EQ(runs.farCorner[axis], whole.farCorner[axis]);
        EXPECT_EQ(runs.centroid[axis], whole.centroid[axis]);
    }
    EXPECT_EQ(whole.nearCorner[0], 1000.1f);
    EXPECT_EQ(whole.nearCorner[2], 12.0f);
    PointCloud none;
    BoundsSum().applyTo(none);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(none.nearCorner[axis] + none.farCorner[axis] + none.centroid[axis], 0.0f);
}
