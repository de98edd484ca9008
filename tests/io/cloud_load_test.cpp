// tests/io/cloud_load_test.cpp - point files loaded into a cloud: count, box, centroid and view
// distance; the places a load runs; the box summed as records become final or taken from the
// reader; the fscanf reader's refusals.
#include "io/cloud_load.h"
#include "io/colouring.h"
#include "io/native/scanf_reader.h"
#include "io/point_cloud.h"
#include "tests/io/cloud_text.h"
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
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
        PointCloud set;
        loadCloudOrExit(testData(c.file).c_str(), set);
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
    PointCloud set;
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
        EXPECT_EQ(readPointFileScanf(testData(file).c_str()).status, ReadStatus::CannotAllocate)
            << file;
    EXPECT_EQ(allocatePoints(-1), nullptr);
    EXPECT_EQ(allocatePoints(INT64_MAX / 8), nullptr);
    PointRecord* none = allocatePoints(0);
    EXPECT_NE(none, nullptr);
    releasePoints(none);
}

// Wherever the reader runs, the cloud is the same: the records, and the box and centroid
// summed as the records become final equal one pass over them. waitForRecords says whether
// the cloud has that many records, early for the first ones.
TEST(CloudLoadPlaces, EveryPlaceGivesTheSameCloud) {
    // Large enough for the reader to split the body between two threads.
    const int count = 400000;
    const std::string text = cloudText(count);
    char path[] = "/tmp/pointillist-places-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    ASSERT_EQ(write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(file);
    PointCloud reference;
    loadCloudOrExit(path, reference);
    ASSERT_EQ(reference.count, count);
    PointCloud onePass = reference;
    onePass.computeBounds();

    for (CloudLoad::Place place : {CloudLoad::Place::Here, CloudLoad::Place::WorkerOneCore,
                                   CloudLoad::Place::WorkerEveryCore}) {
        SCOPED_TRACE(static_cast<int>(place));
        CloudLoad load;
        load.begin(path, place);
        ASSERT_FALSE(load.refused());
        EXPECT_TRUE(load.waitForRecords(1));
        PointCloud cloud;
        load.finish(cloud);
        EXPECT_TRUE(load.waitForRecords(count));
        EXPECT_FALSE(load.waitForRecords(count + 1));
        ASSERT_EQ(cloud.count, count);
        EXPECT_EQ(0, std::memcmp(cloud.points, reference.points,
                                 sizeof(PointRecord) * static_cast<size_t>(count)));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(cloud.nearCorner[axis], onePass.nearCorner[axis]);
            EXPECT_EQ(cloud.farCorner[axis], onePass.farCorner[axis]);
            EXPECT_EQ(cloud.centroid[axis], onePass.centroid[axis]);
        }
        releasePoints(cloud.points);
    }
    unlink(path);
    releasePoints(reference.points);
}

// Runs added one after another give the box and centroid of one pass, non-finite positions
// left out of both; nothing added gives zeros.
TEST(CloudLoadPlaces, BoundsSummedInRunsEqualOnePass) {
    std::vector<PointRecord> points;
    for (int i = 0; i < 1000; ++i)
        points.push_back({1000.1f + float(i % 7) * 0.3f, -0.1f * float(i), float(i % 13), 1, 1, 1});
    points[10].x = std::nanf("");
    points[500].z = INFINITY;
    PointCloud whole;
    whole.points = points.data();
    whole.count = static_cast<int32_t>(points.size());
    whole.computeBounds();
    PointCloud runs = whole;
    BoundsSum sum;
    for (const auto& [from, to] :
         {std::pair<int64_t, int64_t>{0, 1}, {1, 11}, {11, 11}, {11, 1000}})
        sum.add(points.data(), from, to);
    sum.applyTo(runs);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(runs.nearCorner[axis], whole.nearCorner[axis]);
        EXPECT_EQ(runs.farCorner[axis], whole.farCorner[axis]);
        EXPECT_EQ(runs.centroid[axis], whole.centroid[axis]);
    }
    EXPECT_EQ(whole.nearCorner[0], 1000.1f);
    EXPECT_EQ(whole.nearCorner[2], 12.0f);
    PointCloud none;
    BoundsSum().applyTo(none);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(none.nearCorner[axis] + none.farCorner[axis] + none.centroid[axis], 0.0f);
}

namespace {

std::string repeated(const std::string& line, int times) {
    std::string text;
    for (int i = 0; i < times; ++i)
        text += line;
    return text;
}

} // namespace

// The readers gather the box as they store the records, and the load takes it from them: it
// must be the box one pass over the loaded records gives, to the bit (ties of 0 and -0 included,
// and after the shift has moved the records), with the centroid summed as before. A record
// stored beyond float's range is in the reader's box but not the cloud's.
TEST(CloudLoadBounds, ReadersBoxIsTheOnePassBoxToTheBit) {
    const std::string files[] = {
        testData("formats/trimesh_points_agisoft.xyz"),
        testData("formats/pdal_autzen.pts"),
        testData("formats/assimp_float-color.ply"),
        testData("formats/happly_platonic_shelf_big_endian.ply"),
        testData("formats/assimp_issue623.ply"),
        testData("formats/pcl_bunny.pcd"),
        testData("formats/loadersgl_simple-ascii.pcd"),
        testData("formats/pdal_1.2-with-color.las"),
        testData("formats/loadersgl_pdrf8-1.4.laz"),
        testData("copc/laspy_simple_with_page.copc.laz"),
        testData("formats/e57data_ColouredCubeFloat.e57"),
        testData("formats/loadersgl_cube-vertex-colors.obj"),
        scratchFile("zeros_first_negative.xyz", "-0 1 -0\n0 -0 0\n-0 0 -0\n"),
        scratchFile("zeros_first_positive.xyz", "0 -0 0\n-0 1 -0\n0 0 -0\n"),
        scratchFile("zeros_shifted.xyz", "-0 100000000 0\n0 100000001 -0\n"),
        scratchFile("beyond_float.xyz", "1e39 0 0\n-1e39 0 0\n5 5 5\n"),
        // Read in parts over the threads, whose boxes are joined in record order.
        scratchFile("zeros_parts_negative.xyz", "-0 -0 -0\n" + repeated("0 0 0\n", 300000)),
        scratchFile("zeros_parts_positive.xyz", "0 0 0\n" + repeated("-0 -0 -0\n", 300000)),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        LoadedCloud loaded;
        loadFile(file, loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read);
        EXPECT_TRUE(loaded.result.box.has_value());
        PointCloud onePass = loaded.cloud;
        onePass.computeBounds();
        EXPECT_EQ(0, std::memcmp(loaded.cloud.nearCorner, onePass.nearCorner, sizeof(float) * 3));
        EXPECT_EQ(0, std::memcmp(loaded.cloud.farCorner, onePass.farCorner, sizeof(float) * 3));
        EXPECT_EQ(0, std::memcmp(loaded.cloud.centroid, onePass.centroid, sizeof(float) * 3));
        // The height ramp's colours are those of the ramp over the records themselves.
        if (loaded.cloud.colour == ColourKind::None) {
            std::vector<PointRecord> again(loaded.cloud.points,
                                           loaded.cloud.points + loaded.cloud.count);
            ReadResult ramp;
            ramp.points = again.data();
            ramp.count = loaded.cloud.count;
            ramp.colour = ColourKind::None;
            applyColourKind(ramp);
            EXPECT_EQ(0, std::memcmp(again.data(), loaded.cloud.points,
                                     sizeof(PointRecord) * again.size()));
        }
    }
}
