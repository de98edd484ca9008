// tests/viewer/navigation_test.cpp - the wheel, the double-click pivot, framing and the
// standard views, judged by where known points land on screen.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/control_panel.h"
#include "viewer/level_of_detail.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using Point = std::vector<double>;
const std::vector<Point> cubePoints = {{10, 0, 0},  {-10, 0, 0}, {0, 10, 0},
                                       {0, -10, 0}, {0, 0, 10},  {0, 0, -10}};

std::vector<WindowPoint> projectAll(const std::vector<Point>& points) {
    std::vector<WindowPoint> seen;
    for (const Point& p : points)
        seen.push_back(project(p[0], p[1], p[2]));
    return seen;
}

void expectSamePlaces(const std::vector<WindowPoint>& a, const std::vector<WindowPoint>& b,
                      double tolerance) {
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i].x, b[i].x, tolerance) << "point " << i;
        EXPECT_NEAR(a[i].y, b[i].y, tolerance) << "point " << i;
    }
}

// Depth of a scene point in front of the eye.
double eyeDepth(const Point& p) {
    const View view = currentView();
    const double* m = view.modelview;
    return -(m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]);
}

// The scene point on the line through the middle of GLUT pixel (x, y), as deep as scene point
// q.
Point underPointer(int x, int y, const Point& q) {
    const View view = currentView();
    Point p(3);
    double depth = 0.0;
    gluProject(q[0], q[1], q[2], view.modelview, view.projection, view.viewport, &p[0], &p[1],
               &depth);
    gluUnProject(x + 0.5, view.viewport[3] - y - 0.5, depth, view.modelview, view.projection,
                 view.viewport, &p[0], &p[1], &p[2]);
    return p;
}

// GLUT's pointer position over a window point (GL window coordinates, y up).
std::pair<int, int> pointerAt(WindowPoint p, int dx = 0, int dy = 0) {
    return {static_cast<int>(p.x) + dx, 400 - 1 - static_cast<int>(p.y) + dy};
}

using Navigation = GraphicsWindowTest;
// The camera's own functions, which need no window.
using CameraNavigation = CameraTest;

} // namespace

// Whatever lies under the pointer stays there, and a notch enlarges a cloud of any size by the
// same factor; a notch back undoes it.
TEST_F(CameraNavigation, WheelZoomsTowardsThePointerAtEveryScale) {
    std::vector<double> growth;
    for (double scale : {1e-4, 1.0, 2e3}) {
        SCOPED_TRACE(scale);
        std::vector<std::vector<double>> records;
        for (const Point& p : cubePoints)
            records.push_back({p[0] * scale, p[1] * scale, p[2] * scale, 1, 1, 1});
        load(writeCloud("zoom_cube.txt", records));
        const Point wide = {10 * scale, 0, 10 * scale}, wideOpposite = {-10 * scale, 0, 10 * scale};
        for (auto [x, y] : std::vector<std::pair<int, int>>{{200, 200}, {60, 310}, {350, 40}}) {
            controlCallback(ID_RESET_VIEW);
            const double before =
                project(wide[0], 0, wide[2]).x - project(wideOpposite[0], 0, wideOpposite[2]).x;
            const std::vector<Point> onLine = {underPointer(x, y, wide),
                                               underPointer(x, y, {0, 0, -10 * scale})};
            const std::vector<WindowPoint> start = projectAll(onLine);
            const std::vector<WindowPoint> corners = projectAll(cubePoints);
            zoomAt(viewer.viewState, viewer.pointSet, x, y, 1);
            expectSamePlaces(projectAll(onLine), start, 0.02);
            const double after =
                project(wide[0], 0, wide[2]).x - project(wideOpposite[0], 0, wideOpposite[2]).x;
            EXPECT_GT(after, before * 1.05);
            growth.push_back(after / before);
            zoomAt(viewer.viewState, viewer.pointSet, x, y, 2);
            zoomAt(viewer.viewState, viewer.pointSet, x, y, -3);
            expectSamePlaces(projectAll(onLine), start, 0.02);
        }
        TearDown();
    }
    for (double g : growth)
        EXPECT_NEAR(g, growth.front(), 1e-3);
}

TEST_F(Navigation, SlowerAndFasterChangeDragsAndWheelTogether) {
    open("camera_cube.txt");
    const WindowPoint centre = project(0, 0, 10);
    changeSpeed(viewer.viewState, -2);
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {40, 0}}); // a quarter of 0.5 units a pixel: 5 units
    const WindowPoint moved = project(0, 0, 10);
    EXPECT_NEAR(moved.x - centre.x, project(5, 0, 10).x - project(0, 0, 10).x + 0.0, 1e-3);
    controlCallback(ID_RESET_VIEW);
    const double start = eyeDepth({0, 0, 0});
    zoomAt(viewer.viewState, viewer.pointSet, 200, 200, 1);
    EXPECT_NEAR(eyeDepth({0, 0, 0}), start * (1 - 0.025), 1e-3);
    changeSpeed(viewer.viewState, 3);
    controlCallback(ID_RESET_VIEW);
    zoomAt(viewer.viewState, viewer.pointSet, 200, 200, 1);
    EXPECT_NEAR(eyeDepth({0, 0, 0}), start * (1 - 0.2), 1e-3);
}

// The picture does not jump when the pivot moves; a rotate drag then keeps the picked point's
// pixel while the rest turn about it; Reset View goes back to the centroid.
TEST_F(Navigation, DoubleClickTurnsAboutThePointUnderThePointer) {
    open("camera_cube.txt");
    viewer.viewState.navigationMode = MODE_ROTATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {150, 0}, {300, 100}});
    const std::vector<WindowPoint> before = projectAll(cubePoints);
    // Two pixels off the point: still picked.
    const auto [x, y] = pointerAt(before[2], 2, -1);
    mouseClick(x, y);
    EXPECT_FALSE(viewer.viewState.pivotPicked) << "one click is not a double-click";
    mouseClick(x, y);
    ASSERT_TRUE(viewer.viewState.pivotPicked);
    EXPECT_EQ(std::vector<float>(viewer.viewState.pivot, viewer.viewState.pivot + 3),
              (std::vector<float>{0, 10, 0}));
    expectSamePlaces(projectAll(cubePoints), before, 0.01);

    mouseDrag(GLUT_MIDDLE_BUTTON, {{0, 0}, {300, 200}, {600, 500}});
    const std::vector<WindowPoint> turned = projectAll(cubePoints);
    EXPECT_NEAR(turned[2].x, before[2].x, 0.01);
    EXPECT_NEAR(turned[2].y, before[2].y, 0.01);
    EXPECT_GT(std::abs(turned[0].x - before[0].x) + std::abs(turned[0].y - before[0].y), 20.0);

    // On nothing, and a press after a drag rather than a click: the pivot stays.
    mouseClick(3, 3);
    mouseClick(3, 3);
    mouseDrag(GLUT_LEFT_BUTTON, {{x, y}, {x + 30, y}, {x, y}});
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, x, y);
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, x, y);
    EXPECT_EQ(viewer.viewState.pivot[1], 10.0f);

    controlCallback(ID_RESET_VIEW);
    EXPECT_FALSE(viewer.viewState.pivotPicked);
    EXPECT_EQ(viewer.viewState.pivot[1], viewer.pointSet.centroid[1]);
    const WindowPoint centroid = project(0, 0, 0);
    EXPECT_NEAR(centroid.x, 200, 1e-3);
    EXPECT_NEAR(centroid.y, 200, 1e-3);
}

TEST_F(Navigation, FrameBringsTheCloudBackKeepingTheTurn) {
    open("camera_cube.txt");
    const std::vector<WindowPoint> start = projectAll(cubePoints);
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {500, 300}});
    mouseDrag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, -900}});
    frameCloud(viewer.viewState, viewer.pointSet);
    expectSamePlaces(projectAll(cubePoints), start, 0.01);

    viewer.viewState.navigationMode = MODE_ROTATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {250, 300}});
    const std::vector<float> turn(viewer.viewState.rotation, viewer.viewState.rotation + 3);
    mouseDrag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, 100}});
    viewer.viewState.navigationMode = MODE_TRANSLATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {900, 0}});
    frameCloud(viewer.viewState, viewer.pointSet);
    EXPECT_EQ(std::vector<float>(viewer.viewState.rotation, viewer.viewState.rotation + 3)[0],
              turn[0]);
    for (const WindowPoint& p : projectAll(cubePoints)) {
        EXPECT_GT(p.x, 0);
        EXPECT_LT(p.x, 400);
        EXPECT_GT(p.y, 0);
        EXPECT_LT(p.y, 400);
    }
}

// z is up in the side views; the named side faces the eye.
TEST_F(CameraNavigation, StandardViewsLookAlongTheAxes) {
    load("camera_cube.txt");
    struct Case {
        StandardView view;
        Point facing, right, up;
    };
    const Case cases[] = {
        {StandardView::Front, {0, -10, 0}, {10, 0, 0}, {0, 0, 10}},
        {StandardView::Back, {0, 10, 0}, {-10, 0, 0}, {0, 0, 10}},
        {StandardView::Left, {-10, 0, 0}, {0, -10, 0}, {0, 0, 10}},
        {StandardView::Right, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}},
        {StandardView::Top, {0, 0, 10}, {10, 0, 0}, {0, 10, 0}},
        {StandardView::Bottom, {0, 0, -10}, {10, 0, 0}, {0, -10, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.view));
        showStandardView(viewer.viewState, viewer.pointSet, c.view);
        for (const Point& other : cubePoints) {
            if (other != c.facing) {
                EXPECT_LT(eyeDepth(c.facing), eyeDepth(other) - 1e-3);
            }
        }
        const WindowPoint centre = project(0, 0, 0),
                          right = project(c.right[0], c.right[1], c.right[2]),
                          up = project(c.up[0], c.up[1], c.up[2]);
        EXPECT_NEAR(centre.x, 200, 0.01);
        EXPECT_NEAR(centre.y, 200, 0.01);
        EXPECT_GT(right.x, 300);
        EXPECT_NEAR(right.y, 200, 0.01);
        EXPECT_GT(up.y, 300);
        EXPECT_NEAR(up.x, 200, 0.01);
    }
}

// In a window that isn't square the picture keeps its proportions: framing fits the box to the
// narrower side with the 10 % margin, the wheel keeps what is under the pointer there and a
// double-click picks the point drawn under it.
TEST_F(CameraNavigation, WideAndTallWindowsFrameZoomAndPickAlike) {
    load("camera_cube.txt");
    for (auto [width, height] : {std::pair{600, 300}, {300, 600}}) {
        SCOPED_TRACE(width);
        reshapeView(viewer.viewState, viewer.pointSet, width, height);
        const std::vector<WindowPoint> start = projectAll(cubePoints);
        updateCamera(viewer.viewState, viewer.pointSet, 35, -20, 60);
        frameCloud(viewer.viewState, viewer.pointSet);
        expectSamePlaces(projectAll(cubePoints), start, 0.01);

        // From the front the near face is 20 across and 20 high, z up.
        const double half = std::min(width, height) / 2.2;
        showStandardView(viewer.viewState, viewer.pointSet, StandardView::Front);
        const WindowPoint centre = project(0, -10, 0);
        EXPECT_NEAR(centre.x, width * 0.5, 0.01);
        EXPECT_NEAR(centre.y, height * 0.5, 0.01);
        EXPECT_NEAR(project(10, -10, 0).x - centre.x, half, 0.01);
        EXPECT_NEAR(project(0, -10, 10).y - centre.y, half, 0.01);

        const int x = width - 40, y = 30;
        const std::vector<Point> onLine = {underPointer(x, y, {0, 0, 10}),
                                           underPointer(x, y, {0, 10, 0})};
        const std::vector<WindowPoint> before = projectAll(onLine);
        zoomAt(viewer.viewState, viewer.pointSet, x, y, 2);
        expectSamePlaces(projectAll(onLine), before, 0.02);

        const WindowPoint right = project(10, 0, 0);
        ASSERT_TRUE(pickPivot(viewer.viewState, viewer.pointSet, pickablePoints(),
                              static_cast<int>(right.x), height - 1 - static_cast<int>(right.y)));
        EXPECT_EQ(viewer.viewState.pivot[0], 10.0f);
    }
}

// Following, a left or middle drag keeps the point under the pointer at the pivot's depth under
// the pointer, at any scale, with the pivot picked anywhere and the cloud turned; a right drag
// moves the eye by the same share of its distance to the pivot.
TEST_F(Navigation, FollowPanKeepsThePointUnderThePointerAtEveryScale) {
    const double share = 2 * std::tan(M_PI / 6) / 400; // of the pivot's depth, a pixel
    for (double scale : {1e-3, 1.0, 5e4}) {
        SCOPED_TRACE(scale);
        std::vector<std::vector<double>> records;
        for (const Point& p : cubePoints)
            records.push_back({p[0] * scale, p[1] * scale, p[2] * scale, 1, 1, 1});
        open(writeCloud("pan_cube.txt", records));
        viewer.viewState.panMode = PanMode::Follow;

        Point pivot = {0, 0, 0};
        const Point top = {0, 10 * scale, 0};
        for (int button : {GLUT_LEFT_BUTTON, GLUT_MIDDLE_BUTTON}) {
            const Point held = underPointer(100, 120, pivot);
            mouseDrag(button, {{100, 120}, {130, 100}, {180, 60}});
            const WindowPoint now = project(held[0], held[1], held[2]);
            EXPECT_NEAR(now.x, 180.5, 0.01);
            EXPECT_NEAR(now.y, 400 - 60 - 0.5, 0.01);
            // Turned, and turning about the top point from now on.
            viewer.viewState.navigationMode = MODE_ROTATE;
            mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {200, 150}});
            viewer.viewState.navigationMode = MODE_TRANSLATE;
            const float topPoint[3] = {0, static_cast<float>(top[1]), 0};
            setPivot(viewer.viewState, viewer.pointSet, topPoint);
            pivot = top;
        }

        controlCallback(ID_RESET_VIEW);
        const double before = eyeDepth({0, 0, 0});
        mouseDrag(GLUT_RIGHT_BUTTON, {{10, 10}, {10, 30}});
        EXPECT_NEAR(eyeDepth({0, 0, 0}), before * (1 - 20 * share), before * 1e-5);
        mouseDrag(GLUT_RIGHT_BUTTON, {{10, 30}, {10, 10}});
        EXPECT_NEAR(eyeDepth({0, 0, 0}), before * (1 - 20 * share) * (1 + 20 * share),
                    before * 1e-5);

        TearDown();
        window = 0;
    }
}

// The native point file keeps its fixed rate; every other format follows the pointer.
TEST_F(CameraNavigation, PanStartsFixedForPointFilesAndFollowsForOthers) {
    const std::pair<const char*, PanMode> cases[] = {
        {"camera_cube.txt", PanMode::Fixed},
        {"formats/pcl_bunny.pcd", PanMode::Follow},
        {"formats/laspy_simple1_1.las", PanMode::Follow},
        {"formats/trimesh_points_agisoft.xyz", PanMode::Follow},
    };
    for (const auto& [file, mode] : cases) {
        load(file);
        EXPECT_EQ(startPanMode(viewer.pointSet), mode) << file;
        TearDown();
    }
}
