// tests/viewer/picking_test.cpp - which point is under the pointer: nearest on screen, within
// the radius, in the view volume, the front one of two on the same spot.
#include "viewer/picking.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// An eye at the origin looking along -z through a 90-degree perspective onto a 100 x 100
// viewport, planes at 1 and 100: a point (x, y, -d) lands at 50 + 50 x / d, 50 + 50 y / d.
View squareView() {
    const double n = 1.0, f = 100.0;
    return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
            {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -(f + n) / (f - n), -1, 0, 0, -2 * f * n / (f - n), 0},
            {0, 0, 100, 100}};
}

int64_t pick(const std::vector<PointRecord>& points, double x, double y, double radius = 5.0) {
    return nearestPointOnScreen(points.data(), static_cast<int64_t>(points.size()), squareView(), x,
                                y, radius);
}

} // namespace

TEST(Picking, NearestOnScreenWithinTheRadius) {
    const std::vector<PointRecord> points = {
        {2, 0, -10, 1, 1, 1}, // at (60, 50)
        {0, 1, -10, 1, 1, 1}, // at (50, 55)
        {0, 0, -50, 1, 1, 1}, // at (50, 50)
    };
    EXPECT_EQ(pick(points, 50, 50), 2);
    EXPECT_EQ(pick(points, 50, 54), 1);
    EXPECT_EQ(pick(points, 58, 50), 0);
    EXPECT_EQ(pick(points, 65, 50), 0) << "5 pixels away is within";
    EXPECT_EQ(pick(points, 65.5, 50), -1);
    EXPECT_EQ(pick(points, 20, 20), -1);
    EXPECT_EQ(pick({}, 50, 50), -1);
}

TEST(Picking, OnlyPointsInTheViewVolumeAndTheFrontOneWins) {
    const float nan = std::nanf("");
    const std::vector<PointRecord> points = {
        {0, 0, 10, 1, 1, 1},    // behind the eye, on the same line
        {0, 0, -0.5f, 1, 1, 1}, // before the near plane
        {0, 0, -200, 1, 1, 1},  // beyond the far plane
        {nan, 0, -5, 1, 1, 1},  {0, 0, -30, 1, 1, 1},
        {0, 0, -20, 1, 1, 1}, // same pixel, nearer the eye
        {0, 0, -40, 1, 1, 1},
    };
    EXPECT_EQ(pick(points, 50, 50), 5);
    EXPECT_EQ(pick({points.begin(), points.begin() + 4}, 50, 50), -1);
}

// Runs through a list of records (the shown ones) pick only the records the list names: a
// hidden point nearer the pointer and the eye is passed over.
TEST(Picking, RunsThroughAListPickOnlyTheRecordsNamed) {
    const std::vector<PointRecord> points = {
        {0, 0, -20, 1, 1, 1}, // at (50, 50), hidden
        {0, 0, -40, 1, 1, 1}, // at (50, 50), behind it
        {4, 0, -20, 1, 1, 1}, // at (60, 50)
    };
    const uint32_t shown[2] = {1, 2};
    PointSegment run;
    run.source.positions = &points[0].x;
    run.source.positionStride = sizeof(PointRecord);
    run.source.count = 3;
    run.indices = shown;
    run.count = 2;
    float at[3] = {};
    ASSERT_TRUE(nearestPointOnScreen(&run, 1, squareView(), 50, 50, 5.0, at));
    EXPECT_EQ(at[2], -40.0f);
    run.first = 1; // the list's second entry alone
    run.count = 1;
    EXPECT_FALSE(nearestPointOnScreen(&run, 1, squareView(), 50, 50, 5.0, at));
    ASSERT_TRUE(nearestPointOnScreen(&run, 1, squareView(), 59, 50, 5.0, at));
    EXPECT_EQ(at[0], 4.0f);
}
