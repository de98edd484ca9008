// tests/viewer/scene_test.cpp - what the graphics window shows: points on their pixels in their
// colours, later points over earlier ones, and the axes from the centroid.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/scene.h"
#include "viewer/viewer_state.h"

#include <gtest/gtest.h>

namespace {

class SceneDrawing : public GraphicsWindowTest {
protected:
    int litPixels() {
        int lit = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x)
                lit += pixel(x, y) != BLACK;
        return lit;
    }

    // Whether a pixel next to where a point a fraction of the way along an axis projects
    // (a thin line may round either way) has the colour.
    bool axisShows(int axis, double fraction, const Rgb& colour) {
        double p[3] = {viewer.pointSet.centroid[0], viewer.pointSet.centroid[1],
                       viewer.pointSet.centroid[2]};
        p[axis] += fraction * viewer.pointSet.viewDistance * 0.15;
        const WindowPoint at = project(p[0], p[1], p[2]);
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (pixel(static_cast<int>(at.x) + dx, static_cast<int>(at.y) + dy) == colour)
                    return true;
        return false;
    }
};

} // namespace

// The corners at ±10 in the z = 0 plane fill the width with a 10 % margin: x = ±10 lands
// 400 / 2.2 pixels either side of the centre, on pixels 18 and 381. The centroid is (-2, -2, 0).
TEST_F(SceneDrawing, PointsAndAxesLandOnTheirPixelsInTheirColours) {
    open("render_corners.txt");
    redraw();
    EXPECT_EQ(pixel(18, 18), YELLOW); // declared last, covers the red point at the same place
    EXPECT_EQ(pixel(381, 18), GREEN);
    EXPECT_EQ(pixel(18, 381), BLUE);
    EXPECT_EQ(pixel(381, 381), WHITE);
    EXPECT_EQ(litPixels(), 4);

    viewer.showAxis = 1;
    redraw();
    const Rgb colours[] = {RED, GREEN, BLUE};
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_TRUE(axisShows(axis, 0.5, colours[axis])) << axis;
        EXPECT_TRUE(axisShows(axis, 0.9, colours[axis])) << axis;
    }
    // 0.15 x viewDistance long: dark just beyond the end of the red axis.
    const WindowPoint beyond =
        project(viewer.pointSet.centroid[0] + viewer.pointSet.viewDistance * 0.17,
                viewer.pointSet.centroid[1], viewer.pointSet.centroid[2]);
    EXPECT_EQ(pixel(static_cast<int>(beyond.x), static_cast<int>(beyond.y)), BLACK);

    viewer.showAxis = 0;
    redraw();
    EXPECT_EQ(litPixels(), 4);
}

// With no extent at all the cloud is framed as if 1 unit wide: the point is in front of the
// near plane, on the centre pixel.
TEST_F(SceneDrawing, SinglePointIsVisibleAtCentre) {
    open("single_point.txt");
    redraw();
    EXPECT_EQ(pixel(200, 200), YELLOW);
    EXPECT_EQ(litPixels(), 1);
}
