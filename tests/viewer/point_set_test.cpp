// tests/viewer/point_set_test.cpp - reading point files into the point set: count, box,
// centroid and view distance.
#include "tests/viewer/viewer_fixture.h"

#include "io/native/scanf_reader.h"
#include "viewer/point_set.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Floats = std::vector<float>;

// What each file must load as. The box is compared exactly: a surplus record read, a phantom
// record at the origin or bounds seeded from fixed values all change it.
TEST(PointSetLoad, FilesGiveCountBoxCentroidAndViewDistance) {
    struct Case {
        const char* file;
        int count;
        Floats min, max, centroid;
        double framedExtent; // the extent that the view distance frames
    };
    const Floats zero = {0, 0, 0};
    // clang-format off
    const Case cases[] = {
        // A header that doesn't match gives an empty set, whose box and centroid are zero.
        {"header_blank_line.txt", 0, zero, zero, zero, 1},
        {"header_capital_p.txt", 0, zero, zero, zero, 1},
        {"header_leading_blank.txt", 0, zero, zero, zero, 1},
        {"count_zero.txt", 0, zero, zero, zero, 1},
        // Blanks in the header are optional; any white space separates numbers; records past
        // the declared count are not read.
        {"header_no_blanks.txt", 2, {1, 2, 3}, {4, 5, 6}, {2.5, 3.5, 4.5}, 3},
        {"header_wide_blanks.txt", 3, {1, 2, 3}, {7, 8, 9}, {4, 5, 6}, 6},
        {"record_split.txt", 2, {1, 2, 3}, {4, 5, 6}, {2.5, 3.5, 4.5}, 3},
        {"all_one_line.txt", 3, {1, 2, 3}, {7, 8, 9}, {4, 5, 6}, 6},
        {"surplus.txt", 2, {1, 2, 3}, {4, 5, 6}, {2.5, 3.5, 4.5}, 3},
        // Only complete records count, up to the first incomplete one, even where scanning
        // could resume after it.
        {"truncated.txt", 2, {5, 6, 7}, {6, 7, 8}, {5.5, 6.5, 7.5}, 1},
        {"malformed.txt", 1, {5, 6, 7}, {5, 6, 7}, {5, 6, 7}, 1},
        // The box is exact wherever the cloud lies; non-finite positions stay out of it.
        {"far_away.txt", 2, {500000, -3000, 2000}, {500010, -2000, 3000}, {500005, -2500, 2500},
         10},
        {"non_finite.txt", 4, {1, 1, 1}, {3, 3, 3}, {2, 2, 2}, 2},
        // Without x extent the larger of the y and z extents is framed, or 1 for one position.
        {"yz_plane.txt", 3, {2, 0, 0}, {2, 4, 6}, {2, 5 / 3.0f, 3}, 6},
        {"single_point.txt", 1, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        PointSet set;
        set.load(dataPath(c.file).c_str());
        set.computeViewDistance(60.0f);
        EXPECT_EQ(set.count, c.count);
        EXPECT_EQ(Floats({set.nearCorner[0], set.nearCorner[1], set.farCorner[2]}), c.min);
        EXPECT_EQ(Floats({set.farCorner[0], set.farCorner[1], set.nearCorner[2]}), c.max);
        EXPECT_EQ(Floats(set.centroid, set.centroid + 3), c.centroid);
        // 0.5 / tan 30° x 1.1 per unit of extent.
        EXPECT_NEAR(set.viewDistance, c.framedExtent * 0.952627944, 1e-6 * c.framedExtent);
        releasePoints(set.points);
    }
}

TEST(PointSetLoad, CentroidKeepsPrecisionOnLargeClouds) {
    // A float running sum of a hundred thousand values of 1000.1 drifts far from their mean.
    PointSet set;
    set.count = 100000;
    set.points = allocatePoints(set.count);
    ASSERT_NE(set.points, nullptr);
    for (int32_t i = 0; i < set.count; ++i)
        set.points[i] = {1000.1f, -0.1f, (i % 2) ? 2.0f : 4.0f, 1, 1, 1};
    set.computeBounds();
    EXPECT_EQ(Floats(set.centroid, set.centroid + 3), Floats({1000.1f, -0.1f, 3.0f}));
    releasePoints(set.points);
}

TEST(PointReader, RefusesUnopenableFilesAndUnallocatableCounts) {
    for (const char* path : {"/nonexistent/cloud.txt", "/"})
        EXPECT_EQ(readPointFileScanf(path).status, ReadStatus::CannotOpen) << path;
    for (const char* file : {"count_negative.txt", "count_beyond_32_bits.txt"})
        EXPECT_EQ(readPointFileScanf(dataPath(file).c_str()).status, ReadStatus::CannotAllocate)
            << file;
    EXPECT_EQ(allocatePoints(-1), nullptr);
    EXPECT_EQ(allocatePoints(INT64_MAX / 8), nullptr);
    PointRecord* none = allocatePoints(0);
    EXPECT_NE(none, nullptr);
    releasePoints(none);
}
