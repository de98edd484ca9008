// tests/viewer/frame_scheduler_test.cpp - what the graphics window draws while a button is held
// and at rest: a spread subset of a large cloud, then the whole cloud, and small clouds whole.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/point_subset.h"
#include "viewer/scene.h"
#include "viewer/screenshot.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

Image frontImage() {
    return readBackBuffer(400, 400);
}

class FrameScheduling : public GraphicsWindowTest {
protected:
    // A block of points 200 x 100 x 20 in record order along x, then y, then z, with colours
    // that are 8-bit values (which every rounding keeps): the first records of the file all lie
    // in one slab, so a subset of them would show it alone.
    void openBlock(PointPath path) {
        const int nx = 200, ny = 100, nz = 20;
        viewer.pointSet.points = allocatePoints(int64_t(nx) * ny * nz);
        int32_t count = 0;
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x)
                    viewer.pointSet.points[count++] = {float(x),          float(y) * 0.7f,
                                                       float(z),          float(x % 256) / 255.0f,
                                                       float(y) / 255.0f, float(z * 12) / 255.0f};
        viewer.pointSet.count = count;
        viewer.pointSet.computeBounds();
        // The subset and the whole cloud of records: without the octree a large cloud gets.
        viewer.lodSettings.buildOctree = false;
        openWindow();
        viewer.frameScheduler.renderer.setLargeFramePath(path);
        // A budget far below the cloud on any machine: subsets and passes whatever the speed.
        viewer.frameScheduler.frameSeconds = 1e-9;
    }

    bool waitForWholeFrame() {
        return pumpUntil([] {
            return !viewer.frameScheduler.wholeFramePending() &&
                   viewer.frameScheduler.lastFrame().full;
        });
    }

    // The image of every point drawn by one GL_POINTS call, under the same view.
    Image allPointsImage() {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), &viewer.pointSet.points->x);
        glColorPointer(3, GL_FLOAT, sizeof(PointRecord), &viewer.pointSet.points->r);
        glDrawArrays(GL_POINTS, 0, viewer.pointSet.count);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
        glFinish();
        return frontImage();
    }
};

} // namespace

TEST(PointSubsetSample, AscendingSpreadAndTheSameEachTime) {
    PointSubset subset;
    for (const auto& [count, size] :
         {std::pair<int64_t, int64_t>{1000000, 16384}, {100003, 99999}, {17, 5}, {5, 5}}) {
        subset.sample(count, size);
        ASSERT_EQ(subset.size(), size);
        const std::vector<uint32_t> first(subset.indices(), subset.indices() + size);
        EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
        EXPECT_EQ(std::adjacent_find(first.begin(), first.end()), first.end()) << "no repeats";
        // One record from each stratum: the first near the start, the last near the end.
        EXPECT_LT(first.front(), count / size + 1);
        EXPECT_GE(first.back(), count - count / size - 1);
        subset.sample(count, size - 1);
        subset.sample(count, size);
        EXPECT_TRUE(std::equal(first.begin(), first.end(), subset.indices())) << count;
    }
}

TEST(PointSubsetSample, SizesKeepToSteps) {
    EXPECT_EQ(subsetSizeFor(0), 16384);
    EXPECT_EQ(subsetSizeFor(16384), 16384);
    EXPECT_EQ(subsetSizeFor(32768), 32768);
    // Budgets a few per cent apart share a size.
    EXPECT_EQ(subsetSizeFor(1000000), subsetSizeFor(1030000));
    EXPECT_LE(subsetSizeFor(1000000), 1000000);
    EXPECT_GT(subsetSizeFor(1000000), 800000);
}

// During the drag the subset's box is the cloud's box; after the release the whole cloud is
// drawn, pixel for pixel what one GL_POINTS draw of every point gives. Both paths.
TEST_F(FrameScheduling, DragShowsSpreadSubsetAndReleaseTheWholeCloud) {
    for (PointPath path : {PointPath::Gl, PointPath::Software}) {
        SCOPED_TRACE(path == PointPath::Gl ? "GL" : "software");
        openBlock(path);
        ASSERT_TRUE(waitForWholeFrame()) << "the whole cloud at start-up";
        const Image atRest = frontImage();

        graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 200);
        graphicsMotion(202, 200);
        const int64_t serial = viewer.frameScheduler.lastFrame().serial;
        ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
        const FrameRecord& dragged = viewer.frameScheduler.lastFrame();
        EXPECT_FALSE(dragged.full);
        EXPECT_LT(dragged.points, viewer.pointSet.count / 10);
        const PointSubset& subset = viewer.frameScheduler.subset();
        float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
        for (int64_t i = 0; i < subset.size(); ++i) {
            const PointRecord& p = viewer.pointSet.points[subset.indices()[i]];
            const float xyz[3] = {p.x, p.y, p.z};
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], xyz[axis]);
                high[axis] = std::max(high[axis], xyz[axis]);
            }
        }
        const float cloudLow[3] = {viewer.pointSet.nearCorner[0], viewer.pointSet.nearCorner[1],
                                   viewer.pointSet.farCorner[2]};
        const float cloudHigh[3] = {viewer.pointSet.farCorner[0], viewer.pointSet.farCorner[1],
                                    viewer.pointSet.nearCorner[2]};
        for (int axis = 0; axis < 3; ++axis) {
            const float margin = (cloudHigh[axis] - cloudLow[axis]) * 0.05f;
            EXPECT_NEAR(low[axis], cloudLow[axis], margin) << axis;
            EXPECT_NEAR(high[axis], cloudHigh[axis], margin) << axis;
        }
        // Held still, no whole frame comes.
        for (int i = 0; i < 20; ++i)
            glutMainLoopEvent();
        EXPECT_FALSE(viewer.frameScheduler.lastFrame().full);

        graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 202, 200);
        ASSERT_TRUE(waitForWholeFrame()) << "the whole cloud after the release";
        const Image released = frontImage();
        EXPECT_TRUE(released == allPointsImage());
        EXPECT_FALSE(released == atRest) << "the drag moved the cloud";
        TearDown();
    }
}

// The first frame may take a few frames' time: a cloud the budget puts within that is drawn
// whole at once, pixel for pixel as one draw of every point, with no subset before it; one
// beyond it shows the subset first, as every later frame does.
TEST_F(FrameScheduling, FirstFrameWithinAFewFramesIsWholeAtOnce) {
    openBlock(PointPath::Software);
    ASSERT_TRUE(waitForWholeFrame());
    // The block's 400000 points at an assumed 1e-8 s are 4 ms, with 2 ms besides: beyond one
    // frame of 3 ms, within six of them, and beyond six of 0.5 ms.
    for (const auto& [seconds, whole] : {std::pair<double, bool>{0.003, true}, {0.0005, false}}) {
        SCOPED_TRACE(seconds);
        viewer.frameScheduler = FrameScheduler{};
        viewer.frameScheduler.renderer.setLargeFramePath(PointPath::Software);
        for (int kind = 0; kind < DrawBudget::kKinds; ++kind)
            viewer.frameScheduler.budget.assume(kind, 1e-8);
        viewer.frameScheduler.frameSeconds = seconds;
        redraw();
        EXPECT_EQ(viewer.frameScheduler.lastFrame().serial, 1);
        EXPECT_EQ(viewer.frameScheduler.lastFrame().full, whole);
        EXPECT_EQ(viewer.frameScheduler.wholeFramePending(), !whole);
        if (whole) {
            EXPECT_TRUE(frontImage() == allPointsImage());
        }
        ASSERT_TRUE(waitForWholeFrame());
    }
}

// A press while the whole frame is being drawn in passes gives it up: the next frame is the
// subset, and no whole frame follows while the button is held.
TEST_F(FrameScheduling, PressDuringAWholeFrameGivesItUp) {
    openBlock(PointPath::Software);
    ASSERT_TRUE(waitForWholeFrame());
    redraw();
    ASSERT_TRUE(viewer.frameScheduler.wholeFramePending());
    const int64_t serial = viewer.frameScheduler.lastFrame().serial;
    graphicsMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 200, 200);
    EXPECT_FALSE(viewer.frameScheduler.wholeFramePending());
    graphicsMotion(200, 204);
    ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
    EXPECT_FALSE(viewer.frameScheduler.lastFrame().full);
    for (int i = 0; i < 20; ++i)
        glutMainLoopEvent();
    EXPECT_EQ(viewer.frameScheduler.lastFrame().serial, serial + 1);
    graphicsMouse(GLUT_RIGHT_BUTTON, GLUT_UP, 200, 204);
    EXPECT_TRUE(waitForWholeFrame());
}

// Points the last drag frame drew may go (an octree's build ends, a shown list is made anew):
// the release's frame at rest then comes through a redisplay of what is there now, not from the
// drag frame's content.
TEST_F(FrameScheduling, ReleaseAfterACancelRedrawsRatherThanDrawingWhatWent) {
    openBlock(PointPath::Software);
    ASSERT_TRUE(waitForWholeFrame());
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 200);
    graphicsMotion(203, 200);
    const int64_t serial = viewer.frameScheduler.lastFrame().serial;
    ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
    ASSERT_FALSE(viewer.frameScheduler.lastFrame().full);
    viewer.frameScheduler.cancel();
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 203, 200);
    EXPECT_FALSE(viewer.frameScheduler.wholeFramePending());
    ASSERT_TRUE(waitForWholeFrame());
    EXPECT_TRUE(frontImage() == allPointsImage());
}

// A cloud within the budget is whole in every frame: pressing and dragging by nothing shows
// exactly the picture at rest.
TEST_F(FrameScheduling, SmallCloudDrawsTheSamePixelsWhileDragging) {
    open("render_corners.txt");
    redraw();
    const Image atRest = frontImage();
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    graphicsMotion(100, 100);
    const int64_t serial = viewer.frameScheduler.lastFrame().serial;
    ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
    EXPECT_TRUE(viewer.frameScheduler.lastFrame().full);
    EXPECT_TRUE(frontImage() == atRest);
    const int before = displays;
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 100, 100);
    for (int i = 0; i < 10; ++i)
        glutMainLoopEvent();
    EXPECT_EQ(displays, before) << "the release asks for nothing more";
}
