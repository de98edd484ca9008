// tests/io/cloud_union_test.cpp - several clouds put together as one scene: one shift from the
// union's box, the records re-expressed against it, the columns and the table of files.
#include "io/cloud_union.h"
#include "io/colouring.h"
#include "io/octree/octree_builder.h"
#include "io/shift.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A cloud of count records at file coordinates origin + (i, 2i, 0.25 i), stored against shift,
// with the colour (i / count, 0.5, 1) and, when asked, classes and intensities.
PointCloud madeCloud(int count, const double origin[3], const double shift[3], bool attributes) {
    PointCloud cloud;
    cloud.points = allocatePoints(count);
    cloud.count = count;
    cloud.shifted = shift[0] != 0.0 || shift[1] != 0.0 || shift[2] != 0.0;
    for (int axis = 0; axis < 3; ++axis)
        cloud.shift[axis] = shift[axis];
    for (int i = 0; i < count; ++i) {
        const double file[3] = {origin[0] + i, origin[1] + 2.0 * i, origin[2] + 0.25 * i};
        cloud.points[i] = {float(file[0] - shift[0]),
                           float(file[1] - shift[1]),
                           float(file[2] - shift[2]),
                           float(i) / count,
                           0.5f,
                           1.0f};
    }
    if (attributes) {
        cloud.attributes.present = kClassification | kIntensity;
        cloud.attributes.resize(size_t(count));
        for (int i = 0; i < count; ++i) {
            cloud.attributes.classification[size_t(i)] = uint8_t(2 + i % 2);
            cloud.attributes.intensity[size_t(i)] = uint16_t(100 * (i + 1));
        }
    }
    cloud.computeBounds();
    return cloud;
}

double fileCoordinate(const PointCloud& cloud, int64_t i, int axis) {
    const PointRecord& p = cloud.points[i];
    return double(axis == 0 ? p.x : axis == 1 ? p.y : p.z) + cloud.shift[axis];
}

} // namespace

// Two far-apart files, each against its own shift: one shift for both, chosen from the union's
// box as for one file, every record at its own file coordinates again, the columns of either
// file present for all with zeros where a file had none, and each record's file known.
TEST(CloudUnion, OneShiftFromTheUnionAndEveryRecordInItsPlace) {
    const double originA[3] = {500000.0, 4000000.0, 10.0}, shiftA[3] = {500010, 4000020, 12};
    const double originB[3] = {500200.0, 4000300.0, -5.0}, shiftB[3] = {500210, 4000320, -3};
    std::vector<PointCloud> parts;
    parts.push_back(madeCloud(20, originA, shiftA, true));
    parts.push_back(madeCloud(30, originB, shiftB, false));
    parts[0].precision[0] = parts[0].precision[1] = parts[0].precision[2] = 0.01;
    parts[1].precision[0] = parts[1].precision[1] = parts[1].precision[2] = 0.001;
    parts[1].warnings.push_back("header box differs from the points");
    parts[1].dropped = 3;
    const std::vector<std::string> names = {"a.las", "b.ply"};

    PointCloud scene;
    std::string error;
    ASSERT_TRUE(combineClouds(parts, names, scene, error)) << error;
    EXPECT_EQ(parts[0].points, nullptr);

    const double low[3] = {500000.0, 4000000.0, -5.0};
    const double high[3] = {500229.0, 4000358.0, 14.75};
    double expectedShift[3];
    ASSERT_TRUE(chooseShift(low, high, expectedShift));
    EXPECT_TRUE(scene.shifted);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(scene.shift[axis], expectedShift[axis]) << axis;

    ASSERT_EQ(scene.count, 50);
    for (int i = 0; i < 50; ++i) {
        const bool inA = i < 20;
        const double* origin = inA ? originA : originB;
        const int k = inA ? i : i - 20;
        EXPECT_EQ(fileCoordinate(scene, i, 0), origin[0] + k) << i;
        EXPECT_EQ(fileCoordinate(scene, i, 1), origin[1] + 2.0 * k) << i;
        EXPECT_EQ(fileCoordinate(scene, i, 2), origin[2] + 0.25 * k) << i;
        EXPECT_EQ(scene.points[i].r, float(k) / (inA ? 20 : 30)) << i;
        EXPECT_EQ(scene.attributes.origin[size_t(i)], inA ? 0 : 1) << i;
        EXPECT_EQ(scene.recordHas(i, kClassification), inA) << i;
        EXPECT_EQ(scene.fileOf(i)->name, inA ? "a.las" : "b.ply");
    }
    EXPECT_EQ(scene.attributes.present, uint32_t(kClassification | kIntensity));
    ASSERT_EQ(scene.attributes.classification.size(), 50u);
    EXPECT_EQ(scene.attributes.classification[19], 3);
    EXPECT_EQ(scene.attributes.intensity[19], 2000);
    EXPECT_EQ(scene.attributes.classification[20], 0);
    EXPECT_EQ(scene.attributes.intensity[49], 0);

    // The table, the union box (in the shifted records) and what the files said.
    ASSERT_EQ(scene.files.size(), 2u);
    EXPECT_EQ(scene.files[1].first, 20);
    EXPECT_EQ(scene.files[1].count, 30);
    EXPECT_EQ(scene.files[0].attributes, uint32_t(kClassification | kIntensity));
    EXPECT_EQ(scene.files[1].attributes, 0u);
    EXPECT_EQ(double(scene.nearCorner[0]) + scene.shift[0], low[0]);
    EXPECT_EQ(double(scene.farCorner[1]) + scene.shift[1], high[1]);
    EXPECT_EQ(double(scene.farCorner[2]) + scene.shift[2], low[2]);
    EXPECT_EQ(double(scene.nearCorner[2]) + scene.shift[2], high[2]);
    EXPECT_EQ(scene.precision[0], 0.001);
    EXPECT_EQ(scene.dropped, 3);
    EXPECT_EQ(scene.warnings,
              std::vector<std::string>{"b.ply: header box differs from the points"});
    EXPECT_EQ(scene.formatDescription, "2 files");
    releasePoints(scene.points);
}

// Small coordinates need no shift: the records are copied as they are; a file without a
// step of its own leaves the scene without one, and an empty file takes its place in the table.
TEST(CloudUnion, SmallCoordinatesStayUnshiftedAndEmptyFilesCount) {
    const double zero[3] = {0, 0, 0}, near[3] = {-3.5, 1.0, 2.0}, far[3] = {40.0, -7.0, 0.5};
    std::vector<PointCloud> parts;
    parts.push_back(madeCloud(5, near, zero, false));
    parts.push_back(madeCloud(0, zero, zero, false));
    parts.push_back(madeCloud(7, far, zero, true));
    parts[0].precision[0] = parts[0].precision[1] = parts[0].precision[2] = 0.01;
    const PointRecord first = parts[0].points[4], last = parts[2].points[6];
    PointCloud scene;
    std::string error;
    ASSERT_TRUE(combineClouds(parts, {"a", "empty", "c"}, scene, error)) << error;
    EXPECT_FALSE(scene.shifted);
    ASSERT_EQ(scene.count, 12);
    EXPECT_EQ(std::memcmp(&scene.points[4], &first, sizeof first), 0);
    EXPECT_EQ(std::memcmp(&scene.points[11], &last, sizeof last), 0);
    ASSERT_EQ(scene.files.size(), 3u);
    EXPECT_EQ(scene.files[1].count, 0);
    EXPECT_EQ(scene.files[2].first, 5);
    EXPECT_EQ(scene.attributes.origin[5], 2);
    EXPECT_EQ(scene.precision[0], 0.0);
    EXPECT_EQ(scene.nearCorner[0], -3.5f);
    EXPECT_EQ(scene.farCorner[0], 46.0f);
    releasePoints(scene.points);
}

// The octree's build reorders the records: each one's file goes with it.
TEST(CloudUnion, OctreeBuildMovesEachRecordsFileWithIt) {
    const double zero[3] = {0, 0, 0}, left[3] = {-5000.0, 0.0, 0.0}, right[3] = {5000.0, 0, 0};
    std::vector<PointCloud> parts;
    parts.push_back(madeCloud(3000, right, zero, false));
    parts.push_back(madeCloud(3000, left, zero, true));
    PointCloud scene;
    std::string error;
    ASSERT_TRUE(combineClouds(parts, {"right", "left"}, scene, error)) << error;
    OctreeOptions options;
    options.nodePoints = 256;
    Octree octree;
    ASSERT_TRUE(buildOctree(scene.points, scene.count, &scene.attributes, options, octree));
    int moved = 0;
    for (int64_t i = 0; i < scene.count; ++i) {
        const bool fromLeft = scene.points[i].x < 0.0f;
        EXPECT_EQ(scene.fileOf(i)->name, fromLeft ? "left" : "right") << i;
        EXPECT_EQ(scene.recordHas(i, kClassification), fromLeft) << i;
        moved += (i < 3000) == fromLeft;
    }
    EXPECT_GT(moved, 0); // the build did reorder them
    releasePoints(scene.points);
}

// Files without colours are ramped together, as one file of all their points would be: two
// halves of a colourless cloud match the whole, and a coloured file between them keeps its own.
TEST(CloudUnion, FilesWithoutColoursShareOneRamp) {
    const double zero[3] = {0, 0, 0}, low[3] = {0, 0, 0}, high[3] = {0, 0, 100};
    std::vector<PointCloud> parts;
    parts.push_back(madeCloud(50, low, zero, false));
    parts.push_back(madeCloud(4, low, zero, false));
    parts.push_back(madeCloud(50, high, zero, false));
    std::vector<PointRecord> whole;
    for (size_t part : {0u, 2u}) {
        parts[part].colour = ColourKind::None;
        whole.insert(whole.end(), parts[part].points, parts[part].points + 50);
    }
    applyColourKind(whole.data(), {RecordRun{0, 100}}, ColourKind::None);
    const PointRecord coloured = parts[1].points[3];
    PointCloud scene;
    std::string error;
    ASSERT_TRUE(combineClouds(parts, {"low", "rgb", "high"}, scene, error)) << error;
    for (int i = 0; i < 100; ++i) {
        const PointRecord& got = scene.points[i < 50 ? i : i + 4];
        EXPECT_EQ(std::memcmp(&got, &whole[size_t(i)], sizeof got), 0) << i;
    }
    EXPECT_EQ(std::memcmp(&scene.points[53], &coloured, sizeof coloured), 0);
    EXPECT_EQ(scene.points[0].b, 1.0f) << "the bottom of the ramp is blue";
    EXPECT_EQ(scene.points[103].r, 1.0f) << "the top is red";
    releasePoints(scene.points);
}
