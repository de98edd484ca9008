// tests/io/octree/octree_builder_test.cpp - the octree built in place: every point in exactly one
// node and inside its cube, nodes within their size, samples one point per cell, attributes moved
// with their records, the same tree from any number of threads, and piles, empty and non-finite
// clouds.
#include "io/octree/octree_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <tuple>
#include <vector>

namespace {

// A cloud with a bit of everything a scan has: a dense sloping surface, a thin scatter through
// the volume, a pile of one position, and a few records with no finite position. Each record's
// attributes name it: gpsTime its index, intensity and classification parts of it.
struct TestCloud {
    std::vector<PointRecord> records;
    PointAttributes attributes;
};

TestCloud makeCloud(int surface, int scatter, int pile, int nonFinite, unsigned seed = 7) {
    TestCloud cloud;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < surface; ++i) {
        const float x = unit(random) * 100.0f, y = unit(random) * 60.0f;
        cloud.records.push_back(
            {x, y, 0.2f * x + 3.0f * std::sin(y * 0.3f), unit(random), unit(random), unit(random)});
    }
    for (int i = 0; i < scatter; ++i)
        cloud.records.push_back(
            {unit(random) * 100.0f, unit(random) * 60.0f, unit(random) * 40.0f - 10.0f, 1, 1, 1});
    for (int i = 0; i < pile; ++i)
        cloud.records.push_back({33.0f, 21.0f, 4.0f, 0.5f, 0.5f, 0.5f});
    for (int i = 0; i < nonFinite; ++i)
        cloud.records.push_back({NAN, 1.0f, INFINITY, 0, 0, 0});
    // Shuffled, so the order of the file says nothing about where a point lies.
    std::shuffle(cloud.records.begin(), cloud.records.end(), random);
    const size_t count = cloud.records.size();
    cloud.attributes.present = kIntensity | kClassification | kGpsTime;
    for (size_t i = 0; i < count; ++i) {
        cloud.attributes.intensity.push_back(static_cast<uint16_t>(i & 0xffff));
        cloud.attributes.classification.push_back(static_cast<uint8_t>(i % 251));
        cloud.attributes.gpsTime.push_back(static_cast<double>(i));
    }
    return cloud;
}

bool sameRecord(const PointRecord& a, const PointRecord& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Checks the table's structure, every placed point against its node's cube, and each record
// against the original its attributes name. Returns the number of points the nodes hold.
int64_t checkTree(const Octree& tree, const TestCloud& built,
                  const std::vector<PointRecord>& original, const OctreeOptions& options) {
    const std::vector<PointRecord>& records = built.records;
    const int64_t count = static_cast<int64_t>(records.size());
    EXPECT_FALSE(tree.nodes.empty());
    EXPECT_EQ(tree.nodes[0].key, CopcKey());
    EXPECT_EQ(tree.nodes[0].first, 0);
    EXPECT_EQ(tree.nodes[0].subtreeEnd, tree.placed);

    // Attributes still describe their records, and every original record is there once.
    std::vector<bool> seen(original.size(), false);
    for (int64_t i = 0; i < count; ++i) {
        const size_t from = static_cast<size_t>(built.attributes.gpsTime[size_t(i)]);
        EXPECT_FALSE(seen[from]) << "record " << from << " twice";
        seen[from] = true;
        EXPECT_TRUE(sameRecord(records[size_t(i)], original[from])) << i;
        EXPECT_EQ(built.attributes.intensity[size_t(i)], from & 0xffff);
        EXPECT_EQ(built.attributes.classification[size_t(i)], from % 251);
        EXPECT_EQ(finitePosition(records[size_t(i)]), i < tree.placed) << i;
    }

    int64_t held = 0;
    for (size_t n = 0; n < tree.nodes.size(); ++n) {
        const OctreeNode& node = tree.nodes[n];
        SCOPED_TRACE(node.key.text());
        held += node.count;
        EXPECT_LE(node.first + node.count, node.subtreeEnd);
        if (node.key.level < options.deepest) {
            EXPECT_LE(node.count, options.nodePoints);
        }
        // The children's runs follow the node's own points, in child order, end to end.
        int64_t at = node.first + node.count;
        int32_t child = node.firstChild;
        for (int c = 0; c < 8; ++c) {
            if (!(node.childMask & (1u << c)))
                continue;
            const OctreeNode& below = tree.nodes[size_t(child++)];
            EXPECT_EQ(below.key, node.key.child(c));
            EXPECT_EQ(below.first, at);
            EXPECT_GT(below.subtreeEnd, below.first) << "a child without points";
            at = below.subtreeEnd;
        }
        EXPECT_EQ(at, node.subtreeEnd);
        if (node.leaf()) {
            EXPECT_EQ(node.first + node.count, node.subtreeEnd);
        }

        // Inside the cube; and a node that passes points down holds one per cell of its grid.
        const OctreeCube cube = tree.cube(node.key);
        const double slack = tree.root.edge * 1e-12;
        const int cells = static_cast<int>(std::lround(cube.edge / node.spacing));
        std::set<std::tuple<int, int, int>> occupied;
        for (int64_t i = node.first; i < node.first + node.count; ++i) {
            const double v[3] = {records[size_t(i)].x, records[size_t(i)].y, records[size_t(i)].z};
            int cell[3];
            for (int axis = 0; axis < 3; ++axis) {
                EXPECT_GE(v[axis], cube.low[axis] - slack) << i;
                EXPECT_LE(v[axis], cube.low[axis] + cube.edge + slack) << i;
                cell[axis] = std::clamp(
                    static_cast<int>((v[axis] - cube.low[axis]) / cube.edge * cells), 0, cells - 1);
            }
            if (!node.leaf()) {
                EXPECT_TRUE(occupied.insert({cell[0], cell[1], cell[2]}).second)
                    << "two points in one cell of " << cells;
            }
        }
    }
    EXPECT_EQ(held, tree.placed);
    return held;
}

TestCloud copyOf(const TestCloud& cloud) {
    return cloud;
}

} // namespace

TEST(OctreeBuild, EveryPointInOneNodeInsideItsCubeWithItsAttributes) {
    TestCloud cloud = makeCloud(60000, 4000, 3000, 5);
    const std::vector<PointRecord> original = cloud.records;
    OctreeOptions options;
    options.threads = 2;
    options.nodePoints = 2000;
    options.grid = 32;
    options.deepest = 12;
    Octree tree;
    ASSERT_TRUE(buildOctree(cloud.records.data(), int64_t(cloud.records.size()), &cloud.attributes,
                            options, tree));
    EXPECT_EQ(tree.placed, int64_t(cloud.records.size()) - 5);
    EXPECT_GT(tree.depth(), 2);
    checkTree(tree, cloud, original, options);
    // Some node's cells fill too many of its finest grid, and it samples a coarser one.
    EXPECT_TRUE(std::any_of(tree.nodes.begin(), tree.nodes.end(), [&](const OctreeNode& node) {
        return !node.leaf() && tree.cube(node.key).edge / node.spacing < options.grid - 0.5;
    }));
    // The pile of one position goes down to the deepest level, which keeps the rest of it.
    EXPECT_EQ(tree.depth(), options.deepest);
    // The root cube: the box's lowest corner, its largest extent.
    EXPECT_NEAR(tree.root.edge, 100.0, 0.01);
}

// The same cloud gives the same records in the same order and the same table, whatever the
// number of threads.
TEST(OctreeBuild, TheSameTreeFromAnyNumberOfThreads) {
    const TestCloud cloud = makeCloud(150000, 20000, 500, 3, 11);
    std::vector<TestCloud> built;
    std::vector<Octree> trees;
    for (int threads : {1, 2, 3}) {
        TestCloud copy = copyOf(cloud);
        OctreeOptions options;
        options.threads = threads;
        options.nodePoints = 5000;
        Octree tree;
        ASSERT_TRUE(buildOctree(copy.records.data(), int64_t(copy.records.size()), &copy.attributes,
                                options, tree));
        built.push_back(std::move(copy));
        trees.push_back(std::move(tree));
    }
    for (size_t t = 1; t < trees.size(); ++t) {
        ASSERT_EQ(trees[t].nodes.size(), trees[0].nodes.size());
        EXPECT_EQ(std::memcmp(built[t].records.data(), built[0].records.data(),
                              built[0].records.size() * sizeof(PointRecord)),
                  0);
        EXPECT_EQ(built[t].attributes.gpsTime, built[0].attributes.gpsTime);
        for (size_t n = 0; n < trees[0].nodes.size(); ++n) {
            const OctreeNode& a = trees[0].nodes[n];
            const OctreeNode& b = trees[t].nodes[n];
            EXPECT_TRUE(a.key == b.key && a.first == b.first && a.count == b.count &&
                        a.subtreeEnd == b.subtreeEnd && a.spacing == b.spacing &&
                        a.childMask == b.childMask && a.firstChild == b.firstChild)
                << n;
        }
    }
}

// With the usual options a surface's root is a sample of a few tens of thousands of points
// spread over all of it, and the nodes below stay within the limit.
TEST(OctreeBuild, RootIsAnEvenSampleOfTheWholeSurface) {
    TestCloud cloud = makeCloud(600000, 0, 0, 0, 3);
    const std::vector<PointRecord> original = cloud.records;
    OctreeOptions options;
    options.threads = 2;
    Octree tree;
    OctreeBuildStats stats;
    ASSERT_TRUE(buildOctree(cloud.records.data(), int64_t(cloud.records.size()), &cloud.attributes,
                            options, tree, &stats));
    checkTree(tree, cloud, original, options);
    const OctreeNode& root = tree.nodes[0];
    EXPECT_GT(root.count, 5000u);
    EXPECT_LE(root.count, options.nodePoints);
    // Ten by six squares of ten units: each holds its share of the root's sample, give or take.
    int squares[10][6] = {};
    for (uint32_t i = 0; i < root.count; ++i) {
        const PointRecord& p = cloud.records[i];
        ++squares[std::min(9, int(p.x / 10))][std::min(5, int(p.y / 10))];
    }
    const double share = root.count / 60.0;
    for (auto& column : squares)
        for (int inSquare : column)
            EXPECT_NEAR(inSquare, share, share * 0.3);
    // What the build held besides the records: well within a tenth of their memory.
    EXPECT_LT(stats.temporaryBytes, cloud.records.size() * sizeof(PointRecord) / 10);
}

TEST(OctreeBuild, EmptySinglePointAndNothingFinite) {
    for (const auto& [finite, nonFinite] : {std::pair{0, 0}, std::pair{1, 0}, std::pair{0, 4}}) {
        SCOPED_TRACE(std::to_string(finite) + " finite, " + std::to_string(nonFinite) + " not");
        TestCloud cloud = makeCloud(finite, 0, 0, nonFinite);
        const std::vector<PointRecord> original = cloud.records;
        OctreeOptions options;
        Octree tree;
        ASSERT_TRUE(buildOctree(cloud.records.data(), int64_t(cloud.records.size()),
                                &cloud.attributes, options, tree));
        ASSERT_EQ(tree.nodes.size(), 1u);
        EXPECT_EQ(tree.placed, finite);
        EXPECT_GT(tree.root.edge, 0.0);
        checkTree(tree, cloud, original, options);
    }
}

// A build given up leaves every record there with its attributes, and no table.
TEST(OctreeBuild, CancelledBuildKeepsEveryRecord) {
    TestCloud cloud = makeCloud(50000, 0, 0, 0);
    const std::vector<PointRecord> original = cloud.records;
    std::atomic<bool> cancel{true};
    OctreeOptions options;
    options.nodePoints = 1000;
    options.cancel = &cancel;
    Octree tree;
    EXPECT_FALSE(buildOctree(cloud.records.data(), int64_t(cloud.records.size()), &cloud.attributes,
                             options, tree));
    EXPECT_TRUE(tree.nodes.empty());
    std::vector<bool> seen(original.size(), false);
    for (size_t i = 0; i < cloud.records.size(); ++i) {
        const size_t from = static_cast<size_t>(cloud.attributes.gpsTime[i]);
        EXPECT_TRUE(sameRecord(cloud.records[i], original[from]));
        EXPECT_FALSE(seen[from]);
        seen[from] = true;
    }
}
