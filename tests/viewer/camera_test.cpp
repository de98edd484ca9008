// tests/viewer/camera_test.cpp - where known points land on screen after reshapes, drags in
// both navigation modes with each button, and Reset View.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/control_panel.h"
#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

using Path = std::vector<std::pair<int, int>>;
using Point = std::vector<double>;

// The cube cloud has points at ±10 on each axis: centroid and box centre at the origin, front
// face at z = 10. The eye starts viewDistance in front of that face, looking along -z.
class CameraView : public GraphicsWindowTest {
protected:
    void SetUp() override {
        open("camera_cube.txt");
        front = viewer.pointSet.viewDistance;
        centre = front + 10.0;
    }

    // The scene point p must land where a point at `eye`, relative to the eye, is seen through
    // a 60-degree perspective with aspect 1.0 in a width x height window.
    void expectSeenAt(Point p, Point eye, int width = 400, int height = 400) {
        const WindowPoint got = project(p[0], p[1], p[2]);
        const double halfHeight = -eye[2] * std::tan(M_PI / 6);
        EXPECT_NEAR(got.x, width * 0.5 * (1 + eye[0] / halfHeight), 1e-3) << p[0] << p[1] << p[2];
        EXPECT_NEAR(got.y, height * 0.5 * (1 + eye[1] / halfHeight), 1e-3) << p[0] << p[1] << p[2];
    }

    void expectInitialView(int width = 400, int height = 400) {
        expectSeenAt({10, 0, 10}, {10, 0, -front}, width, height);
        expectSeenAt({0, -10, 0}, {0, -10, -centre}, width, height);
    }

    double front = 0.0;  // eye to the box's front face
    double centre = 0.0; // eye to the centroid
};

using CameraPivot = GraphicsWindowTest;

} // namespace

TEST_F(CameraView, DragsMoveOrTurnByModeAndButton) {
    const Path right900 = {{0, 0}, {300, 0}, {600, 0}, {900, 0}};
    const Path down900 = {{0, 0}, {5, 300}, {0, 900}};
    struct Case {
        const char* name;
        int mode, button;
        Path path;
        std::vector<Point> points, seenAt;
    };
    // clang-format off
    const Case cases[] = {
        // Translate: the cloud follows the pointer at 0.5 units per pixel, measured from the
        // press rather than from where an earlier drag ended.
        {"translate left", MODE_TRANSLATE, GLUT_LEFT_BUTTON, {{100, 100}, {110, 95}, {130, 80}},
         {{0, 0, 10}, {10, 0, 0}}, {{15, 10, -front}, {25, 10, -centre}}},
        {"translate middle", MODE_TRANSLATE, GLUT_MIDDLE_BUTTON, {{50, 50}, {80, 30}},
         {{0, 0, 10}}, {{15, 10, -front}}},
        // Right button: moving down brings the eye closer; sideways does nothing.
        {"translate right", MODE_TRANSLATE, GLUT_RIGHT_BUTTON, {{100, 100}, {150, 120}},
         {{10, 0, 10}, {0, 0, 0}}, {{10, 0, 10 - front}, {0, 0, 10 - centre}}},
        // Rotate about the centroid: 900 pixels right turn -90 degrees about y, bringing the
        // +x point to the front; 900 down turn +90 about x, bringing the top point forward.
        {"rotate left", MODE_ROTATE, GLUT_LEFT_BUTTON, right900, {{10, 0, 0}, {0, 0, 10}},
         {{0, 0, -front}, {-10, 0, -centre}}},
        {"rotate middle", MODE_ROTATE, GLUT_MIDDLE_BUTTON, down900, {{0, 10, 0}, {0, 0, 10}},
         {{0, 0, -front}, {0, -10, -centre}}},
        // Right button down: -90 about z, the +x point goes to the bottom.
        {"rotate right", MODE_ROTATE, GLUT_RIGHT_BUTTON, down900, {{10, 0, 0}, {0, 10, 0}},
         {{0, -10, -centre}, {10, 0, -centre}}},
        // Angles are not wrapped: -450 degrees look like -90.
        {"rotate past a turn", MODE_ROTATE, GLUT_LEFT_BUTTON, {{0, 0}, {2000, 0}, {4500, 0}},
         {{10, 0, 0}}, {{0, 0, -front}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewer.viewState.navigationMode = c.mode;
        controlCallback(ID_RESET_VIEW);
        mouseDrag(c.button, c.path);
        for (size_t i = 0; i < c.points.size(); ++i)
            expectSeenAt(c.points[i], c.seenAt[i]);
    }
}

TEST_F(CameraView, RightClickDuringLeftDragReturnsToXY) {
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    graphicsMotion(100, 120); // the cloud follows down by 10 units
    graphicsMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 120);
    graphicsMotion(100, 130); // the eye comes 5 units closer
    graphicsMouse(GLUT_RIGHT_BUTTON, GLUT_UP, 100, 130);
    graphicsMotion(120, 130); // the left button alone again: right by 10 units
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_UP, 120, 130);
    expectSeenAt({0, 0, 10}, {10, -10, 5 - front});
}

TEST_F(CameraView, TranslationAndRotationAccumulateUntilReset) {
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {20, 0}});
    viewer.viewState.navigationMode = MODE_ROTATE;
    controlCallback(ID_NAVIGATION_MODE);
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {450, 0}, {900, 0}});
    controlCallback(ID_SHOW_AXIS);
    expectSeenAt({10, 0, 0}, {10, 0, -front});
    controlCallback(ID_RESET_VIEW);
    expectInitialView();
}

TEST_F(CameraView, ReshapeRestoresInitialViewAtTheWindowsAspect) {
    // The cloud's x extent fills the width with a 10 % margin.
    EXPECT_NEAR(project(10, 0, 10).x - project(-10, 0, 10).x, 400 / 1.1, 1e-3);
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {40, 30}});
    viewer.viewState.navigationMode = MODE_ROTATE;
    mouseDrag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, 300}});
    resize(300, 300);
    expectInitialView(300, 300);
    // Wide or tall, the front face stays square on screen, its width fitting the narrower side
    // with the 10 % margin, and the centre stays in the middle.
    for (auto [width, height] : {std::pair{800, 400}, {400, 700}}) {
        SCOPED_TRACE(width);
        resize(width, height);
        const double across = project(10, 0, 10).x - project(-10, 0, 10).x;
        EXPECT_NEAR(across, std::min(width, height) / 1.1, 1e-3);
        EXPECT_NEAR(project(0, 10, 10).y - project(0, -10, 10).y, across, 1e-3);
        EXPECT_NEAR(project(0, 0, 0).x, width * 0.5, 1e-3);
        EXPECT_NEAR(project(0, 0, 0).y, height * 0.5, 1e-3);
    }
    // The navigation state was cleared too, not only the matrix: a new drag starts from zero.
    resize(800, 400);
    const WindowPoint start = project(0, 0, 10);
    viewer.viewState.navigationMode = MODE_TRANSLATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {2, 0}});
    EXPECT_NEAR(project(0, 0, 10).x - start.x, project(1, 0, 10).x - project(0, 0, 10).x, 1e-3);
    EXPECT_NEAR(project(0, 0, 10).y, start.y, 1e-3);
}

TEST_F(CameraView, LeftPressRedrawsRightPressDoesNot) {
    const int before = displays;
    graphicsMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 10);
    for (int i = 0; i < 5; ++i)
        glutMainLoopEvent();
    EXPECT_EQ(displays, before);
    graphicsMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_TRUE(pumpUntil([&] { return displays > before; }));
    expectInitialView();
}

// Half a turn about an axis through the centroid takes each point to where its mirror image
// through that axis was seen before. The centroid (4, 4, 4) is neither the origin nor the
// box's centre (5, 5, 5).
TEST_F(CameraPivot, HalfTurnsAboutTheCentroid) {
    open("camera_lopsided.txt");
    viewer.viewState.navigationMode = MODE_ROTATE;
    const struct {
        int button;
        Path path;
        int axis;
    } cases[] = {{GLUT_LEFT_BUTTON, {{0, 0}, {0, 900}, {0, 1800}}, 0},
                 {GLUT_MIDDLE_BUTTON, {{0, 0}, {1800, 0}}, 1},
                 {GLUT_RIGHT_BUTTON, {{0, 0}, {0, 1800}}, 2}};
    const Point points[] = {{10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {1, 2, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.axis);
        controlCallback(ID_RESET_VIEW);
        std::vector<WindowPoint> mirrors;
        for (const Point& p : points) {
            Point m = p;
            for (int k = 0; k < 3; ++k)
                m[k] = k == c.axis ? p[k] : 2 * 4.0 - p[k];
            mirrors.push_back(project(m[0], m[1], m[2]));
        }
        mouseDrag(c.button, c.path);
        for (size_t i = 0; i < mirrors.size(); ++i) {
            const WindowPoint got = project(points[i][0], points[i][1], points[i][2]);
            EXPECT_NEAR(got.x, mirrors[i].x, 1e-3) << i;
            EXPECT_NEAR(got.y, mirrors[i].y, 1e-3) << i;
        }
    }
}
