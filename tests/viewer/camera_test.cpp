// tests/viewer/camera_test.cpp - where known points land on screen after reshapes, drags in
// both navigation modes with each button, and Reset View.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/point_set.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Path = std::vector<std::pair<int, int>>;

// Presses at the first position, moves through the rest and releases at the last, through the
// handlers GLUT calls.
void drag(int button, const Path& path) {
    mouseButton(button, GLUT_DOWN, path.front().first, path.front().second);
    for (size_t i = 1; i < path.size(); ++i)
        mouseMotion(path[i].first, path[i].second);
    mouseButton(button, GLUT_UP, path.back().first, path.back().second);
}

// The cube cloud has points at ±10 on each axis: centroid and box centre at the origin, front
// face at z = 10. The eye starts viewDistance in front of that face, looking along -z.
class CameraView : public GraphicsWindowTest {
protected:
    void SetUp() override {
        open("camera_cube.txt");
        front = pointSet.viewDistance;
        centre = front + 10.0;
    }

    // The scene point p must land where a point at `eye` relative to the eye is seen.
    void expectSeenAt(std::vector<double> p, std::vector<double> eye, int width = 400,
                      int height = 400) {
        const WindowPoint got = project(p[0], p[1], p[2]);
        const WindowPoint want = perspective(eye[0], eye[1], eye[2], width, height);
        EXPECT_NEAR(got.x, want.x, 1e-3) << "x of (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
        EXPECT_NEAR(got.y, want.y, 1e-3) << "y of (" << p[0] << ", " << p[1] << ", " << p[2] << ")";
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

TEST_F(CameraView, InitialViewFillsWidthWithTenPercentMargin) {
    EXPECT_NEAR(front, 20 * 0.952627944, 1e-4);
    const WindowPoint right = project(10, 0, 10), left = project(-10, 0, 10);
    EXPECT_NEAR(right.x - left.x, 400 / 1.1, 1e-3);
    expectInitialView();
}

TEST_F(CameraView, DragsMoveOrTurnByModeAndButton) {
    const Path rightwards = {{0, 0}, {300, 0}, {600, 0}, {900, 0}};
    const Path downwards = {{0, 0}, {5, 300}, {0, 900}};
    struct Case {
        const char* name;
        int mode;
        int button;
        Path path;
        std::vector<std::vector<double>> points, seenAt;
    };
    const std::vector<Case> cases = {
        // Translate: the cloud follows the pointer, 0.5 units per pixel; the first step is
        // measured from the press, not from the last position of an earlier drag.
        {"translate left", MODE_TRANSLATE, GLUT_LEFT_BUTTON, {{100, 100}, {110, 95}, {130, 80}},
         {{0, 0, 10}, {10, 0, 0}}, {{15, 10, -front}, {25, 10, -centre}}},
        {"translate middle", MODE_TRANSLATE, GLUT_MIDDLE_BUTTON, {{50, 50}, {80, 30}},
         {{0, 0, 10}}, {{15, 10, -front}}},
        // Right button: moving down brings the eye closer; sideways movement does nothing.
        {"translate right", MODE_TRANSLATE, GLUT_RIGHT_BUTTON, {{100, 100}, {150, 120}},
         {{10, 0, 10}, {0, 0, 0}}, {{10, 0, 10 - front}, {0, 0, 10 - centre}}},
        // Rotate: 900 pixels right turn the cloud -90 degrees about y through the centroid,
        // bringing its +x point to the front.
        {"rotate left", MODE_ROTATE, GLUT_LEFT_BUTTON, rightwards,
         {{10, 0, 0}, {0, 0, 10}}, {{0, 0, -front}, {-10, 0, -centre}}},
        // 900 pixels down turn it +90 degrees about x: the top point comes to the front.
        {"rotate middle", MODE_ROTATE, GLUT_MIDDLE_BUTTON, downwards,
         {{0, 10, 0}, {0, 0, 10}}, {{0, 0, -front}, {0, -10, -centre}}},
        // Right button down: -90 degrees about z, the +x point goes to the bottom.
        {"rotate right", MODE_ROTATE, GLUT_RIGHT_BUTTON, downwards,
         {{10, 0, 0}, {0, 10, 0}}, {{0, -10, -centre}, {10, 0, -centre}}},
        // Angles are not wrapped: -450 degrees looks like -90.
        {"rotate past a full turn", MODE_ROTATE, GLUT_LEFT_BUTTON,
         {{0, 0}, {1500, 0}, {3000, 0}, {4500, 0}}, {{10, 0, 0}}, {{0, 0, -front}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        viewState.navigationMode = c.mode;
        controlCallback(ID_RESET_VIEW);
        drag(c.button, c.path);
        for (size_t i = 0; i < c.points.size(); ++i)
            expectSeenAt(c.points[i], c.seenAt[i]);
    }
}

TEST_F(CameraView, RightClickDuringLeftDragReturnsToXY) {
    mouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
    mouseMotion(100, 120); // the cloud follows down by 10 units
    mouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 120);
    mouseMotion(100, 130); // eye 5 units closer
    mouseButton(GLUT_RIGHT_BUTTON, GLUT_UP, 100, 130);
    mouseMotion(120, 130); // left button still held: right by 10 units
    mouseButton(GLUT_LEFT_BUTTON, GLUT_UP, 120, 130);
    expectSeenAt({0, 0, 10}, {10, -10, 5 - front});
}

TEST_F(CameraView, TranslationAndRotationAccumulateUntilReset) {
    drag(GLUT_LEFT_BUTTON, {{0, 0}, {20, 0}});
    viewState.navigationMode = MODE_ROTATE;
    controlCallback(ID_NAVIGATION_MODE);
    drag(GLUT_LEFT_BUTTON, {{0, 0}, {450, 0}, {900, 0}});
    expectSeenAt({10, 0, 0}, {10, 0, -front});

    // Only Reset View has work to do in the callback.
    controlCallback(ID_SHOW_AXIS);
    expectSeenAt({10, 0, 0}, {10, 0, -front});
    controlCallback(ID_RESET_VIEW);
    expectInitialView();
}

TEST_F(CameraView, ReshapeRestoresInitialViewAndStretchesWideWindows) {
    drag(GLUT_LEFT_BUTTON, {{0, 0}, {40, 30}});
    viewState.navigationMode = MODE_ROTATE;
    drag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, 300}});
    resize(300, 300);
    expectInitialView(300, 300);
    // The aspect ratio stays 1.0: twice as wide means twice as stretched.
    resize(800, 400);
    expectInitialView(800, 400);
    // The navigation was cleared, not only the matrix: a new drag starts from zero.
    viewState.navigationMode = MODE_TRANSLATE;
    drag(GLUT_LEFT_BUTTON, {{0, 0}, {2, 0}});
    expectSeenAt({0, 0, 10}, {1, 0, -front}, 800, 400);
}

TEST_F(CameraView, LeftPressRedrawsRightPressDoesNot) {
    int before = displays;
    mouseButton(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 10);
    for (int i = 0; i < 5; ++i)
        glutMainLoopEvent();
    EXPECT_EQ(displays, before);
    expectInitialView();

    mouseButton(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_TRUE(pumpUntil([&] { return displays > before; }));
    expectInitialView();
}

// Half a turn about an axis through the centroid takes each point to where its mirror image
// through that axis was seen before the turn. The cloud's centroid (4, 4, 4) is neither the
// origin nor the box's centre (5, 5, 5).
TEST_F(CameraPivot, HalfTurnsAboutTheCentroid) {
    open("camera_lopsided.txt");
    viewState.navigationMode = MODE_ROTATE;
    struct Case {
        const char* name;
        int button;
        Path path;
        int axis;
    };
    const Case cases[] = {
        {"about x", GLUT_LEFT_BUTTON, {{0, 0}, {0, 900}, {0, 1800}}, 0},
        {"about y", GLUT_MIDDLE_BUTTON, {{0, 0}, {900, 0}, {1800, 0}}, 1},
        {"about z", GLUT_RIGHT_BUTTON, {{0, 0}, {0, 1800}}, 2},
    };
    const double points[][3] = {{10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {1, 2, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controlCallback(ID_RESET_VIEW);
        std::vector<WindowPoint> mirrors;
        for (const auto& p : points) {
            double m[3];
            for (int k = 0; k < 3; ++k)
                m[k] = k == c.axis ? p[k] : 2 * 4.0 - p[k];
            mirrors.push_back(project(m[0], m[1], m[2]));
        }
        drag(c.button, c.path);
        for (size_t i = 0; i < mirrors.size(); ++i) {
            const WindowPoint got = project(points[i][0], points[i][1], points[i][2]);
            EXPECT_NEAR(got.x, mirrors[i].x, 1e-3) << i;
            EXPECT_NEAR(got.y, mirrors[i].y, 1e-3) << i;
        }
    }
}
