// tests/viewer/point_set_test.cpp - reading point files into the point set, its box, centroid
// and view distance.
#include "tests/viewer/viewer_fixture.h"

#include "viewer/point_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The view distance per unit of extent with the 60-degree field of view: 0.5 / tan 30° × 1.1.
constexpr double DISTANCE_PER_EXTENT = 0.952627944;

class LoadedSet : public ::testing::Test {
protected:
    void TearDown() override { releasePoints(set.points); }
    void load(const char* file) { set.load(dataPath(file).c_str()); }
    void expectBox(float minX, float minY, float minZ, float maxX, float maxY, float maxZ) {
        EXPECT_EQ(set.nearCorner[0], minX);
        EXPECT_EQ(set.nearCorner[1], minY);
        EXPECT_EQ(set.nearCorner[2], maxZ);
        EXPECT_EQ(set.farCorner[0], maxX);
        EXPECT_EQ(set.farCorner[1], maxY);
        EXPECT_EQ(set.farCorner[2], minZ);
    }
    PointSet set;
};

} // namespace

TEST_F(LoadedSet, HeaderFormsAndBodyLayouts) {
    struct Case {
        const char* file;
        int count;
        PointRecord last;
    };
    const Case cases[] = {
        {"header_blank_line.txt", 0, {}},
        {"header_capital_p.txt", 0, {}},
        {"header_leading_blank.txt", 0, {}},
        {"count_zero.txt", 0, {}},
        {"header_no_blanks.txt", 2, {4, 5, 6, 0, 1, 0}},
        {"header_wide_blanks.txt", 3, {7, 8, 9, 0, 0, 1}},
        {"record_split.txt", 2, {4, 5, 6, 0, 1, 0}},
        {"all_one_line.txt", 3, {7, 8, 9, 0, 0, 1}},
        {"surplus.txt", 2, {4, 5, 6, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        set = PointSet{};
        load(c.file);
        ASSERT_EQ(set.count, c.count);
        if (c.count > 0) {
            const PointRecord& p = set.points[c.count - 1];
            EXPECT_EQ((std::vector<float>{p.x, p.y, p.z, p.r, p.g, p.b}),
                      (std::vector<float>{c.last.x, c.last.y, c.last.z, c.last.r, c.last.g,
                                          c.last.b}));
            EXPECT_EQ(set.points[0].x, 1.0f);
        }
        releasePoints(set.points);
        set.points = nullptr;
    }
}

TEST_F(LoadedSet, EmptySetHasZeroBoxAndCentroid) {
    load("header_capital_p.txt");
    expectBox(0, 0, 0, 0, 0, 0);
    EXPECT_EQ((std::vector<float>{set.centroid[0], set.centroid[1], set.centroid[2]}),
              (std::vector<float>{0, 0, 0}));
}

TEST_F(LoadedSet, StopsAtEndOfFileWithoutPhantomPoints) {
    load("truncated.txt");
    EXPECT_EQ(set.count, 2);
    expectBox(5, 6, 7, 6, 7, 8);
}

TEST_F(LoadedSet, StopsAtMalformedRecordEvenWhereScanningCouldResume) {
    load("malformed.txt");
    EXPECT_EQ(set.count, 1);
    expectBox(5, 6, 7, 5, 6, 7);
    EXPECT_EQ(set.centroid[0], 5.0f);
}

TEST_F(LoadedSet, BoxIsExactFarFromOrigin) {
    load("far_away.txt");
    expectBox(500000, -3000, 2000, 500010, -2000, 3000);
    EXPECT_EQ(set.centroid[0], 500005.0f);
}

TEST_F(LoadedSet, NonFinitePositionsStayOutOfBoxAndCentroid) {
    load("non_finite.txt");
    EXPECT_EQ(set.count, 4);
    expectBox(1, 1, 1, 3, 3, 3);
    EXPECT_EQ(set.centroid[1], 2.0f);
}

TEST_F(LoadedSet, CentroidKeepsPrecisionOnLargeClouds) {
    // A float running sum of a million values of 1000.1 drifts far from the mean.
    set.count = 1000000;
    set.points = allocatePoints(set.count);
    ASSERT_NE(set.points, nullptr);
    for (int32_t i = 0; i < set.count; ++i)
        set.points[i] = {1000.1f, -0.1f, (i % 2) ? 2.0f : 4.0f, 1, 1, 1};
    set.computeBounds();
    EXPECT_EQ(set.centroid[0], 1000.1f);
    EXPECT_EQ(set.centroid[1], -0.1f);
    EXPECT_EQ(set.centroid[2], 3.0f);
}

TEST_F(LoadedSet, ViewDistanceFramesLargestUsableExtent) {
    struct Case {
        const char* file;
        double extent;
    };
    const Case cases[] = {
        {"camera_cube.txt", 20},  // x extent
        {"yz_plane.txt", 6},      // no x extent: the larger of y (4) and z (6)
        {"single_point.txt", 1},  // a single position
        {"count_zero.txt", 1},    // no points at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        set = PointSet{};
        load(c.file);
        set.computeViewDistance(60.0f);
        EXPECT_NEAR(set.viewDistance, c.extent * DISTANCE_PER_EXTENT, 1e-5 * c.extent);
        releasePoints(set.points);
        set.points = nullptr;
    }
}

TEST(AllocatePoints, RefusesNegativeAndUnaddressableCounts) {
    EXPECT_EQ(allocatePoints(-1), nullptr);
    EXPECT_EQ(allocatePoints(INT64_MAX / 8), nullptr);
    PointRecord* none = allocatePoints(0);
    EXPECT_NE(none, nullptr);
    releasePoints(none);
}

TEST(ReadPointFileScanf, ReportsUnopenableAndUnallocatableFiles) {
    EXPECT_EQ(readPointFileScanf("/nonexistent/cloud.txt").outcome, ReadOutcome::CannotOpen);
    EXPECT_EQ(readPointFileScanf(dataPath("count_negative.txt").c_str()).outcome,
              ReadOutcome::CannotAllocate);
    EXPECT_EQ(readPointFileScanf(dataPath("count_beyond_32_bits.txt").c_str()).outcome,
              ReadOutcome::CannotAllocate);
}
