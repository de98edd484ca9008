// tests/viewer/level_of_detail_test.cpp - a large cloud in memory through its octree: built after
// the first frame while the sample shows, then frames of nodes; at rest the same lit pixels as
// every point to within a percent, on real and generated clouds, from several views.
#include "tests/viewer/viewer_fixture.h"

#include "tests/support/scratch_dir.h"
#include "viewer/camera.h"
#include "viewer/level_of_detail.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

bool lit(const Image& image, size_t pixel) {
    return image[pixel * 3] || image[pixel * 3 + 1] || image[pixel * 3 + 2];
}

// Pixels lit in one image and not the other, over those lit by every point.
struct Coverage {
    size_t lit = 0, differing = 0;
    double share() const { return lit ? double(differing) / double(lit) : 0.0; }
};
Coverage compare(const Image& all, const Image& some) {
    Coverage coverage;
    for (size_t p = 0; p < all.size() / 3; ++p) {
        coverage.lit += lit(all, p);
        coverage.differing += lit(all, p) != lit(some, p);
    }
    return coverage;
}

class LevelOfDetail : public GraphicsWindowTest {
protected:
    // Small nodes, so that clouds of a few hundred thousand points have deep trees, and a frame
    // budget below any cloud, so that every cloud gets its octree.
    void openLarge(const std::string& file, uint32_t nodePoints = 4096) {
        viewer.lodSettings.octree.nodePoints = nodePoints;
        // No point is drawn black, which would not count as lit.
        viewer.displaySettings.colourMode = ColourMode::Height;
        open(file);
        startOctree();
    }
    void startOctree() {
        viewer.frameScheduler.frameSeconds = 1e-9;
        redraw();
        ASSERT_TRUE(viewer.cloudOctree) << "a cloud beyond the budget gets an octree";
        ASSERT_TRUE(waitForRest());
        ASSERT_EQ(viewer.cloudOctree->state(), CloudOctree::State::Ready);
        // The frame at rest seen may be the sample's, finished just before the tree was taken.
        const int64_t serial = viewer.frameScheduler.lastFrame().serial;
        redraw();
        ASSERT_TRUE(waitForRest(serial));
    }
    // Until the octree is there and a frame at rest of it, later than frame `after`, is on
    // screen.
    bool waitForRest(int64_t after = 0) {
        return pumpUntil(
            [after] {
                const FrameRecord& last = viewer.frameScheduler.lastFrame();
                return levelOfDetail() && !viewer.frameScheduler.wholeFramePending() && last.full &&
                       last.serial > after;
            },
            std::chrono::seconds(60));
    }
    // Every record drawn by one GL_POINTS call through the view of the frame on screen, in
    // white: which pixels points light, whatever their colours.
    Image allPoints() {
        glClear(GL_COLOR_BUFFER_BIT);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, sizeof(PointRecord), &viewer.pointSet.points->x);
        glColor3f(1.0f, 1.0f, 1.0f);
        glDrawArrays(GL_POINTS, 0, viewer.pointSet.count);
        glDisableClientState(GL_VERTEX_ARRAY);
        glFinish();
        return backImage();
    }
    // The view changed: its frame at rest against every point.
    Coverage atRest(const char* what) {
        viewer.showAxis = 0;
        redraw();
        EXPECT_TRUE(waitForRest()) << what;
        const Image lod = backImage();
        const int64_t drawn = viewer.frameScheduler.lastFrame().points;
        const Image all = allPoints();
        const Coverage coverage = compare(all, lod);
        std::printf("    %-8s %6zu lit, %5zu differ (%.2f %%), %lld of %d points\n", what,
                    coverage.lit, coverage.differing, 100.0 * coverage.share(),
                    static_cast<long long>(drawn), static_cast<int>(viewer.pointSet.count));
        return coverage;
    }
    // The start view, a zoom onto a corner and a side view, each within a percent.
    void expectCoverage() {
        EXPECT_LE(atRest("start").share(), 0.01);
        zoomAt(viewer.viewState, viewer.pointSet, 140, 170, 12);
        EXPECT_LE(atRest("zoomed").share(), 0.01);
        showStandardView(viewer.viewState, viewer.pointSet, StandardView::Front);
        EXPECT_LE(atRest("front").share(), 0.01);
    }
};

std::string realFile(const char* name) {
    const std::string folder = POINTILLIST_REAL_DATA_DIR;
    return folder.empty() ? std::string() : folder + "/" + name;
}

} // namespace

TEST_F(LevelOfDetail, RealCloudsAtRestLightThePixelsOfEveryPoint) {
    if (realFile("x").empty())
        GTEST_SKIP() << "the real point files beside the repository are not there";
    for (const char* name : {"pcl_office1.txt", "pdal_autzen_trim.txt", "open3d_fragment.txt",
                             "pcl_five_people.txt"}) {
        SCOPED_TRACE(name);
        std::printf("  %s\n", name);
        openLarge(realFile(name));
        expectCoverage();
        TearDown();
    }
}

TEST_F(LevelOfDetail, GeneratedCloudAtRestLightsThePixelsOfEveryPoint) {
    const std::string path = scratchDir() + "lod-planet.txt";
    ASSERT_EQ(runProgram({GENERATE_CLOUD_EXE, "600000", path}).status, 0);
    std::printf("  generated planet\n");
    openLarge(path, 1024);
    expectCoverage();
}

// Far more points than pixels: the frame at rest draws a fraction of them and still lights what
// they all light.
TEST_F(LevelOfDetail, DenseSurfaceAtRestDrawsAFractionOfItsPoints) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const int count = 1500000;
    viewer.pointSet.points = allocatePoints(count);
    for (int i = 0; i < count; ++i) {
        const float x = unit(random) * 100.0f, y = unit(random) * 100.0f;
        viewer.pointSet.points[i] = {x,
                                     y,
                                     10.0f * std::sin(x * 0.05f) * std::cos(y * 0.07f),
                                     unit(random),
                                     unit(random),
                                     unit(random)};
    }
    viewer.pointSet.count = count;
    viewer.pointSet.computeBounds();
    viewer.displaySettings.colourMode = ColourMode::Height;
    openWindow();
    startOctree();
    const Coverage start = atRest("start");
    EXPECT_LE(start.share(), 0.01);
    EXPECT_LT(viewer.frameScheduler.lastFrame().points, count / 3);
    showStandardView(viewer.viewState, viewer.pointSet, StandardView::Left);
    EXPECT_LE(atRest("left").share(), 0.01);
}

// The first frame of a large cloud is drawn from its records as before; the octree follows, and
// with it frames of nodes: while a button is held within the frame's budget, at rest every node
// the view wants, the same picture each time.
TEST_F(LevelOfDetail, DragDrawsWithinTheBudgetAndRestDrawsTheSamePictureEachTime) {
    open("render_corners.txt");
    redraw();
    EXPECT_FALSE(viewer.cloudOctree) << "a cloud within the budget gets no octree";
    TearDown();
    if (realFile("x").empty())
        GTEST_SKIP() << "the real point files beside the repository are not there";
    viewer.lodSettings.octree.nodePoints = 2048;
    open(realFile("pcl_office1.txt"));
    startOctree();
    const Image first = backImage();
    redraw();
    ASSERT_TRUE(waitForRest());
    EXPECT_TRUE(backImage() == first) << "the picture at rest does not change";

    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 200, 200);
    // Beyond a double-click's reach, so that pressing again to drag back marks no point.
    graphicsMotion(208, 200);
    const int64_t serial = viewer.frameScheduler.lastFrame().serial;
    ASSERT_TRUE(pumpUntil([&] { return viewer.frameScheduler.lastFrame().serial > serial; }));
    const FrameRecord dragged = viewer.frameScheduler.lastFrame();
    EXPECT_FALSE(dragged.full);
    EXPECT_LE(dragged.points, viewer.frameScheduler.frameBudget(false) + 2048);
    for (int i = 0; i < 20; ++i)
        glutMainLoopEvent();
    EXPECT_EQ(viewer.frameScheduler.lastFrame().serial, dragged.serial) << "nothing more held";
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 208, 200);
    ASSERT_TRUE(waitForRest(dragged.serial));
    EXPECT_GT(viewer.frameScheduler.lastFrame().points, dragged.points);
    // Back where it was: the same picture at rest.
    const int64_t moved = viewer.frameScheduler.lastFrame().serial;
    mouseDrag(GLUT_LEFT_BUTTON, {{208, 200}, {200, 200}});
    ASSERT_TRUE(waitForRest(moved));
    EXPECT_TRUE(backImage() == first);
}
