// tests/viewer/scene_test.cpp - what the graphics window shows: points on their pixels in their
// colours, later points over earlier ones, and the axes from the centroid.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/point_set.h"
#include "viewer/scene.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Rgb = std::vector<int>;
const Rgb BLACK = {0, 0, 0}, RED = {255, 0, 0}, GREEN = {0, 255, 0}, BLUE = {0, 0, 255},
          WHITE = {255, 255, 255}, YELLOW = {255, 255, 0};

class SceneDrawing : public GraphicsWindowTest {
protected:
    int litPixels() {
        std::vector<unsigned char> rgb(400 * 400 * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 400, 400, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            lit += rgb[i] || rgb[i + 1] || rgb[i + 2];
        return lit;
    }

    // The colour at a fraction of the way along the axis from the centroid, in any pixel next
    // to where it projects (a thin line may round either way).
    bool axisShows(int axis, double fraction, const Rgb& colour) {
        double p[3] = {pointSet.centroid[0], pointSet.centroid[1], pointSet.centroid[2]};
        p[axis] += fraction * pointSet.viewDistance * 0.15;
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
// 400 / 2.2 pixels either side of the centre, on pixels 18 and 381.
TEST_F(SceneDrawing, PointsLandOnTheirPixelsInTheirColours) {
    open("render_corners.txt");
    redraw();
    EXPECT_EQ(pixel(18, 18), YELLOW); // declared last, covers the red point at the same place
    EXPECT_EQ(pixel(381, 18), GREEN);
    EXPECT_EQ(pixel(18, 381), BLUE);
    EXPECT_EQ(pixel(381, 381), WHITE);
    EXPECT_EQ(litPixels(), 4);
}

TEST_F(SceneDrawing, AxesRunFromCentroidInRedGreenBlueWhenShown) {
    open("render_corners.txt");
    showAxis = 1;
    redraw();
    const Rgb colours[] = {RED, GREEN, BLUE};
    for (int axis = 0; axis < 3; ++axis) {
        SCOPED_TRACE(axis);
        EXPECT_TRUE(axisShows(axis, 0.5, colours[axis]));
        EXPECT_TRUE(axisShows(axis, 0.9, colours[axis]));
    }
    // 0.15 x viewDistance long: nothing lit just beyond the red axis's end.
    const WindowPoint beyond = project(pointSet.centroid[0] + pointSet.viewDistance * 0.17,
                                       pointSet.centroid[1], pointSet.centroid[2]);
    EXPECT_EQ(pixel(static_cast<int>(beyond.x), static_cast<int>(beyond.y)), BLACK);

    showAxis = 0;
    redraw();
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_FALSE(axisShows(axis, 0.5, colours[axis])) << axis;
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
