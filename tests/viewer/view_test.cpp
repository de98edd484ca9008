// tests/viewer/view_test.cpp - the view's matrices composed as GL composes them, and the planes
// of its volume.
#include "viewer/matrices.h"
#include "viewer/view.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void transform(const double m[16], const double p[4], double out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row] * p[3];
}

// An eye 10 units in front of the origin, looking along -z through a 90-degree perspective,
// planes at 1 and 100: a point (x, y, z) is in view where |x|, |y| <= 10 - z.
View tenUnitsBack() {
    View view;
    identityMatrix(view.modelview);
    translateMatrix(view.modelview, 0, 0, -10);
    identityMatrix(view.projection);
    perspectiveMatrix(view.projection, 90.0, 1.0, 1.0, 100.0);
    view.viewport[2] = view.viewport[3] = 100;
    return view;
}

} // namespace

// A quarter turn about each axis takes the next axis to the one after it (x to y about z), and
// operations apply to points in the reverse of their call order, as GL's do.
TEST(Matrices, TurnsAreAnticlockwiseAndComposeInCallOrder) {
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        double m[16];
        identityMatrix(m);
        rotateMatrix(m, 90.0, axis);
        double from[4] = {0, 0, 0, 1}, to[4];
        from[(axis + 1) % 3] = 1.0;
        transform(m, from, to);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(to[k], k == (axis + 2) % 3 ? 1.0 : 0.0, 1e-15) << k;
    }
    double m[16];
    identityMatrix(m);
    translateMatrix(m, 1, 0, 0);
    rotateMatrix(m, 90.0, 2);
    const double p[4] = {1, 0, 0, 1};
    double q[4];
    transform(m, p, q);
    EXPECT_NEAR(q[0], 1.0, 1e-15);
    EXPECT_NEAR(q[1], 1.0, 1e-15);
}

// Each plane is crossed where GL clips: a point outside the volume is behind exactly the planes
// it lies beyond.
TEST(ViewVolume, ClipPlanesHoldWhatGlKeeps) {
    enum { None = -1, Left, Right, Bottom, Top, Near, Far };
    const struct {
        double p[3];
        int beyond;
    } cases[] = {
        {{0, 0, 0}, None},     {{9.9, -9.9, 0}, None},  {{-10.1, 0, 0}, Left},
        {{10.1, 0, 0}, Right}, {{0, -10.1, 0}, Bottom}, {{0, 10.1, 0}, Top},
        {{0, 0, 9.5}, Near},   {{0, 0, 10}, Near},      {{0, 0, -95}, Far},
    };
    const View view = tenUnitsBack();
    double planes[6][4], clip[16];
    view.clipPlanes(planes);
    view.combined(clip);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.beyond);
        for (int plane = 0; plane < 6; ++plane) {
            const double* e = planes[plane];
            const double side = e[0] * c.p[0] + e[1] * c.p[1] + e[2] * c.p[2] + e[3];
            EXPECT_EQ(side < 0, plane == c.beyond) << plane;
        }
        // The same through the combined matrix: inside is -w <= x, y, z <= w.
        const double p[4] = {c.p[0], c.p[1], c.p[2], 1};
        double q[4];
        transform(clip, p, q);
        const bool inside =
            std::abs(q[0]) <= q[3] && std::abs(q[1]) <= q[3] && std::abs(q[2]) <= q[3];
        EXPECT_EQ(inside, c.beyond == None);
    }
    double eye[3];
    const double origin[3] = {0, 0, 0};
    view.toEye(origin, eye);
    EXPECT_EQ(eye[2], -10.0);
}
