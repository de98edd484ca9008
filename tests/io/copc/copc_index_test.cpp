// tests/io/copc/copc_index_test.cpp - keys, cubes, and the index of the sample files and of
// files made here: its nodes, depth and pages, pages read only when a walk needs them, in any
// order in the file, and once however many threads need them.
#include "io/copc/copc_file.h"
#include "tests/io/copc/copc_test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

TEST(CopcKeys, ChildrenParentsCoverageAndValidity) {
    const CopcKey key{1, 0, 1, 0};
    EXPECT_EQ(key.child(0), (CopcKey{2, 0, 2, 0}));
    EXPECT_EQ(key.child(7), (CopcKey{2, 1, 3, 1}));
    EXPECT_EQ(key.child(2), (CopcKey{2, 0, 3, 0}));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(key.child(i).parent(), key);
        EXPECT_TRUE(key.covers(key.child(i).child(7 - i)));
    }
    EXPECT_TRUE(key.covers(key));
    EXPECT_FALSE(key.covers(CopcKey{2, 2, 2, 0}));
    EXPECT_FALSE(key.child(0).covers(key));
    EXPECT_EQ(CopcKey().parent(), CopcKey());
    EXPECT_EQ(key.text(), "1-0-1-0");

    struct Row {
        CopcKey key;
        bool valid;
    };
    const Row rows[] = {{{0, 0, 0, 0}, true},   {{3, 7, 0, 7}, true},   {{3, 8, 0, 0}, false},
                        {{2, 0, -1, 0}, false}, {{-1, 0, 0, 0}, false}, {{30, 0, 0, 0}, true},
                        {{31, 0, 0, 0}, false}, {{1, 0, 0, 2}, false}};
    for (const Row& row : rows)
        EXPECT_EQ(row.key.valid(), row.valid) << row.key.text();
}

TEST(CopcIndex, SampleFilesHoldTheirNodesDepthsAndPages) {
    struct Row {
        const char* file;
        size_t nodes;
        int depth;
        size_t pages;
        uint64_t points;
        double spacing;
    };
    const Row rows[] = {
        {"laspy_simple.copc.laz", 65, 3, 1, 1065, 36.2166},
        {"laspy_simple_with_page.copc.laz", 65, 3, 2, 1065, 36.2166},
        {"lasrs_autzen.copc.laz", 1, 0, 1, 107, 30.6713},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        const std::vector<uint8_t> bytes = copcTestFile(row.file);
        std::string error;
        const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
        ASSERT_TRUE(file) << error;
        EXPECT_EQ(file->las().pointFormat, 7);
        EXPECT_EQ(file->las().declared, row.points);
        EXPECT_NEAR(file->info().spacing, row.spacing, 1e-4);
        file->hierarchy().loadAll();
        const CopcHierarchySummary summary = file->hierarchy().summary();
        EXPECT_EQ(summary.nodes, row.nodes);
        EXPECT_EQ(summary.depth, row.depth);
        EXPECT_EQ(summary.pagesRead, row.pages);
        EXPECT_EQ(summary.pagesLost, 0u);
        EXPECT_EQ(summary.pagesPending, 0u);
        EXPECT_EQ(summary.points, row.points);
        EXPECT_TRUE(file->hierarchy().takeDamage().empty());

        // The root cube holds the header's box (its corner on the box's, up to rounding).
        const CopcCube root = file->cube(CopcKey());
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_LE(root.low[axis], file->las().low[axis] + 1e-9);
            EXPECT_GE(root.high[axis], file->las().high[axis]);
        }
    }
}

TEST(CopcIndex, ChildPageIsReadOnlyWhenANodeBelowItIsWanted) {
    const std::vector<uint8_t> paged = copcTestFile("laspy_simple_with_page.copc.laz");
    const std::vector<uint8_t> single = copcTestFile("laspy_simple.copc.laz");
    std::string error;
    const std::unique_ptr<CopcFile> file = openCopcBytes(paged, error);
    const std::unique_ptr<CopcFile> reference = openCopcBytes(single, error);
    ASSERT_TRUE(file && reference) << error;
    CopcHierarchy& index = file->hierarchy();
    EXPECT_EQ(index.summary().pagesPending, 1u);

    // Nodes of the root page, and a key no page can hold, leave the child page alone.
    CopcNode node;
    EXPECT_TRUE(index.find(CopcKey{1, 0, 0, 0}, node));
    EXPECT_EQ(node.points, 19u);
    EXPECT_FALSE(index.find(CopcKey{3, 7, 7, 7}, node));
    EXPECT_FALSE(index.find(CopcKey{3, 9, 0, 0}, node));
    EXPECT_EQ(index.summary().pagesPending, 1u);

    // A node below the pointer's key brings the page in.
    EXPECT_TRUE(index.find(CopcKey{3, 1, 1, 0}, node));
    EXPECT_EQ(node.points, 18u);
    EXPECT_EQ(index.summary().pagesPending, 0u);
    EXPECT_EQ(index.summary().pagesRead, 2u);
    EXPECT_EQ(index.children(CopcKey{2, 0, 0, 0}).size(), 4u);

    // Read whole, both indexes name the same chunks.
    index.loadAll();
    reference->hierarchy().loadAll();
    const std::vector<CopcNode> a = index.nodes(), b = reference->hierarchy().nodes();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].key, b[i].key);
        EXPECT_EQ(a[i].offset, b[i].offset);
        EXPECT_EQ(a[i].bytes, b[i].bytes);
        EXPECT_EQ(a[i].points, b[i].points);
    }
}

// A walk that must not wait learns which page its children need and reads nothing. While
// another thread reads the page the children still wait for it, not taken for none, and a find
// below it waits for that read rather than reading again.
TEST(CopcIndex, ChildrenWaitForAPageBeingReadElsewhere) {
    const CopcKey paged{2, 0, 0, 0};
    const std::vector<uint8_t> bytes = makeOctreeFile(pagedOctree(3, paged));
    uint64_t offset = 0, size = 0;
    ASSERT_TRUE(childPagePlace(bytes, paged, offset, size));
    GatedSource* gated = new GatedSource(bytes);
    std::string error;
    const std::unique_ptr<CopcFile> file =
        CopcFile::open(std::unique_ptr<ByteSource>(gated), error);
    ASSERT_TRUE(file) << error;
    gated->setRange(int64_t(offset), int64_t(offset + size));
    CopcHierarchy& index = file->hierarchy();

    std::vector<CopcNode> children;
    std::vector<CopcKey> pages;
    EXPECT_TRUE(index.childrenRead(CopcKey{}, children, pages));
    EXPECT_EQ(children.size(), 8u);
    EXPECT_FALSE(index.childrenRead({1, 0, 0, 0}, children, pages));
    EXPECT_EQ(pages, std::vector<CopcKey>{paged});
    EXPECT_EQ(gated->rangeReads(), 0);

    gated->setShut(true);
    std::thread reader([&] { index.readPage(paged); });
    EXPECT_EQ(gated->waitForWaiting(1), 1);
    EXPECT_FALSE(index.childrenRead({1, 0, 0, 0}, children, pages)) << "the page is to come";
    EXPECT_EQ(pages, std::vector<CopcKey>{paged});
    bool found = false;
    CopcNode node;
    std::thread finder([&] { found = index.find({3, 1, 1, 1}, node); });
    gated->setShut(false);
    reader.join();
    finder.join();
    EXPECT_TRUE(found);
    EXPECT_EQ(gated->rangeReads(), 1) << "read once";
    EXPECT_TRUE(index.childrenRead({1, 0, 0, 0}, children, pages));
    EXPECT_EQ(children.size(), 8u);
    EXPECT_EQ(index.summary().pagesRead, 2u);
    EXPECT_TRUE(index.takeDamage().empty());
}

TEST(CopcIndex, CubesSplitTheRootCubeAndSpacingHalvesPerLevel) {
    MadeOctree made;
    made.centre[0] = 10, made.centre[1] = 20, made.centre[2] = 30;
    made.halfSize = 8;
    made.spacing = 3;
    made.nodes = {{CopcKey(), {1000, 2000, 3000}}};
    made.pages = {{CopcKey(), {CopcKey()}, {}}};
    const std::vector<uint8_t> bytes = makeOctreeFile(made);
    std::string error;
    const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
    ASSERT_TRUE(file) << error;
    const CopcCube root = file->cube(CopcKey());
    EXPECT_EQ(root.low[0], 2);
    EXPECT_EQ(root.high[2], 38);
    const CopcCube deep = file->cube(CopcKey{2, 3, 0, 1});
    EXPECT_EQ(deep.low[0], 2 + 3 * 4);
    EXPECT_EQ(deep.high[0], 2 + 4 * 4);
    EXPECT_EQ(deep.low[1], 12);
    EXPECT_EQ(deep.low[2], 22 + 4);
    EXPECT_EQ(file->spacing(0), 3);
    EXPECT_EQ(file->spacing(2), 0.75);
}

// Pages stored before their parents, a page under a page, empty nodes leading on, and records
// the reader doesn't know before the compression record.
TEST(CopcIndex, PagesAreFoundWhereverTheyLie) {
    MadeOctree made;
    made.otherRecords = true;
    const CopcKey root, a{1, 0, 0, 0}, b{2, 1, 1, 1}, c{3, 2, 3, 2}, d{1, 1, 1, 1};
    made.nodes = {{c, {3000, 4000, 3000}},
                  {root, {5000, 5000, 5000}},
                  {a, {100, 200, 300}, 0, {}, true},
                  {b, {3000, 3000, 3000}},
                  {d, {9000, 9000, 9000}}};
    // Stored: b's page (named from a's), a's page, then the root page last.
    made.pages = {{b, {b, c}, {}}, {a, {a}, {b}}, {root, {root, d}, {a}}};
    const std::vector<uint8_t> bytes = makeOctreeFile(made);
    std::string error;
    const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
    ASSERT_TRUE(file) << error;
    CopcNode node;
    ASSERT_TRUE(file->hierarchy().find(c, node));
    EXPECT_EQ(node.points, 1u);
    EXPECT_EQ(file->hierarchy().summary().pagesRead, 3u);
    ASSERT_TRUE(file->hierarchy().find(a, node));
    EXPECT_EQ(node.points, 0u);
    const CopcHierarchySummary summary = file->hierarchy().summary();
    EXPECT_EQ(summary.nodes, 4u);
    EXPECT_EQ(summary.depth, 3);
    EXPECT_EQ(summary.points, 4u);
    EXPECT_TRUE(file->hierarchy().takeDamage().empty());
}
