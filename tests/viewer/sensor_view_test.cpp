// tests/viewer/sensor_view_test.cpp - a depth camera's cloud first seen as the camera saw it:
// the turn from the sensor's pose, and the start view, Reset View and resize that return there.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/camera.h"
#include "viewer/control_panel.h"
#include "viewer/keys.h"
#include "viewer/matrices.h"
#include "viewer/sensor_view.h"
#include "viewer/viewer_state.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using Vector = std::vector<double>;

// The eye's turn of a rotation as ViewState holds it, applied to v.
Vector turned(const float degrees[3], const Vector& v) {
    double m[16];
    identityMatrix(m);
    for (int axis = 0; axis < 3; ++axis)
        rotateMatrix(m, degrees[axis], axis);
    Vector out(3);
    for (int row = 0; row < 3; ++row)
        out[size_t(row)] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2];
    return out;
}

// v turned by the unit quaternion q (w x y z): v + 2w (u x v) + 2 u x (u x v), u = (x, y, z).
Vector rotatedBy(const double q[4], const Vector& v) {
    const double u[3] = {q[1], q[2], q[3]};
    const double t[3] = {2 * (u[1] * v[2] - u[2] * v[1]), 2 * (u[2] * v[0] - u[0] * v[2]),
                         2 * (u[0] * v[1] - u[1] * v[0])};
    return {v[0] + q[0] * t[0] + u[1] * t[2] - u[2] * t[1],
            v[1] + q[0] * t[1] + u[2] * t[0] - u[0] * t[2],
            v[2] + q[0] * t[2] + u[0] * t[1] - u[1] * t[0]};
}

void expectNear(const Vector& got, const Vector& expected, double tolerance) {
    for (size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(got[i], expected[i], tolerance) << "component " << i;
}

const Vector EYE_FORWARD = {0, 0, -1}, EYE_UP = {0, 1, 0};

// A depth camera's picture: a 3 x 2 wall 2 to 3 units in front of the sensor, with a red point at
// the sensor's top left (x -, y -) and a green one at its top right.
std::string writeWall() {
    std::vector<std::vector<double>> records;
    for (int i = 0; i <= 30; ++i)
        for (int j = 0; j <= 20; ++j)
            records.push_back({-1.5 + i * 0.1, -1.0 + j * 0.1, 2.0 + 0.03 * i, 1, 1, 1});
    records.push_back({-1.5, -1.0, 2.0, 1, 0, 0});
    records.push_back({1.5, -1.0, 2.9, 0, 1, 0});
    return writeCloud("sensor_wall.txt", records);
}

using SensorStart = GraphicsWindowTest;

} // namespace

// The sensor's forward (+z) becomes the eye's, and its -y the eye's up.
TEST(SensorView, LooksAlongTheSensorWithItsUpUp) {
    const double h = std::sqrt(0.5);
    const struct {
        double q[4];
        Vector forward, up; // the sensor's +z and -y in the file's frame
    } cases[] = {
        {{1, 0, 0, 0}, {0, 0, 1}, {0, -1, 0}},
        {{0, 1, 0, 0}, {0, 0, -1}, {0, 1, 0}},   // half a turn about x: the start view's
        {{h, 0, h, 0}, {1, 0, 0}, {0, -1, 0}},   // a quarter about y: along x, where b = 90
        {{h, 0, -h, 0}, {-1, 0, 0}, {0, -1, 0}}, // where b = -90
        {{h, 0, 0, -h}, {0, 0, 1}, {-1, 0, 0}},  // rolled about z
        {{2, 0, 0, 0}, {0, 0, 1}, {0, -1, 0}},   // not a unit: made one
        {{0, 0, 0, 0}, {0, 0, 1}, {0, -1, 0}},   // none: as the identity
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.q[0] << " " << c.q[1] << " " << c.q[2] << " " << c.q[3]);
        SensorPose pose;
        std::copy(c.q, c.q + 4, pose.rotation);
        float degrees[3];
        sensorViewRotation(pose, degrees);
        expectNear(turned(degrees, c.forward), EYE_FORWARD, 1e-6);
        expectNear(turned(degrees, c.up), EYE_UP, 1e-6);
    }
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    for (int i = 0; i < 200; ++i) {
        SensorPose pose;
        double length = 0;
        for (double& v : pose.rotation) {
            v = normal(random);
            length += v * v;
        }
        for (double& v : pose.rotation)
            v /= std::sqrt(length);
        float degrees[3];
        sensorViewRotation(pose, degrees);
        expectNear(turned(degrees, rotatedBy(pose.rotation, {0, 0, 1})), EYE_FORWARD, 1e-5);
        expectNear(turned(degrees, rotatedBy(pose.rotation, {0, -1, 0})), EYE_UP, 1e-5);
    }
}

// An organised cloud starts as the sensor saw it, the whole of it in view: the top left point at
// the top left. Reset View, 0 and a resize come back to that view; an unorganised cloud keeps
// the view along -z.
TEST_F(SensorStart, OrganisedCloudStartsAsTheSensorSawIt) {
    open(writeWall());
    const std::vector<float> plain(viewer.viewState.rotation, viewer.viewState.rotation + 3);
    EXPECT_EQ(plain, std::vector<float>(3, 0.0f));
    viewer.pointSet.organised = true;
    controlCallback(ID_RESET_VIEW);
    const View start = currentView();
    const WindowPoint red = project(-1.5, -1.0, 2.0), green = project(1.5, -1.0, 2.9);
    EXPECT_LT(red.x, 200);
    EXPECT_GT(red.y, 200);
    EXPECT_GT(green.x, 200);
    EXPECT_GT(green.y, 200);
    for (const WindowPoint& p : {red, green, project(1.5, 1.0, 2.9), project(-1.5, 1.0, 2.0)}) {
        EXPECT_GT(p.x, 0);
        EXPECT_LT(p.x, 400);
        EXPECT_GT(p.y, 0);
        EXPECT_LT(p.y, 400);
    }
    // The cloud's box fills the width with the 10 % margin, as at the start of any cloud.
    EXPECT_NEAR(project(1.5, 0, 2.0).x - project(-1.5, 0, 2.0).x, 400 / 1.1, 1e-2);

    const auto expectStartView = [&](const char* after) {
        const View now = currentView();
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(now.modelview[i], start.modelview[i], 1e-9) << after << " " << i;
    };
    viewer.viewState.navigationMode = MODE_ROTATE;
    mouseDrag(GLUT_LEFT_BUTTON, {{0, 0}, {120, 200}});
    controlCallback(ID_RESET_VIEW);
    expectStartView("Reset View");
    mouseDrag(GLUT_RIGHT_BUTTON, {{0, 0}, {0, 300}});
    graphicsKey('0', 0, 0);
    expectStartView("0");
    mouseDrag(GLUT_MIDDLE_BUTTON, {{0, 0}, {300, 0}});
    resize(420, 400);
    resize(400, 400);
    expectStartView("a resize");
}
