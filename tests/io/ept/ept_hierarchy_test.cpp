// tests/io/ept/ept_hierarchy_test.cpp - hierarchy files read only when a walk reaches them,
// node geometry, and entries that are damage.
#include "io/ept/ept_dataset.h"
#include "tests/io/ept/ept_test_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

TEST(EptKey, ParsesOnlyPlainKeysOfTheOctree) {
    CopcKey key;
    EXPECT_TRUE(parseEptKey("3-7-0-5", key));
    EXPECT_EQ(key, (CopcKey{3, 7, 0, 5}));
    for (const char* bad : {"", "1-0-0", "1-0-0-0-0", "1-2-0-0", "-1-0-0-0", "1-+1-0-0", "1-0-0-0 ",
                            "0-0-0-0x", "31-0-0-0", "1--0-0", "9999999999-0-0-0"})
        EXPECT_FALSE(parseEptKey(bad, key)) << bad;
}

// The subtree's file is read once, when a node below it is first asked for.
TEST(EptHierarchy, SubtreeFilesAreReadWhenTheWalkReachesThem) {
    auto owned = std::make_unique<MemoryFolder>(makeEptFiles(sampleEpt(EptDataType::Binary)));
    MemoryFolder& folder = *owned;
    std::string error;
    std::unique_ptr<EptDataset> dataset = EptDataset::open(std::move(owned), error);
    ASSERT_TRUE(dataset) << error;
    EptHierarchy& hierarchy = dataset->hierarchy();
    const std::string subtree = "ept-hierarchy/1-1-1-1.json";
    EXPECT_EQ(folder.reads["ept-hierarchy/0-0-0-0.json"], 1);

    EptNode node;
    ASSERT_TRUE(hierarchy.find({1, 0, 0, 0}, node));
    EXPECT_EQ(node.points, 30u);
    EXPECT_FALSE(hierarchy.find({2, 0, 0, 0}, node));
    EXPECT_EQ(folder.reads.count(subtree), 0u);
    EXPECT_EQ(hierarchy.summary().filesPending, 1u);

    // A walk that must not wait is told the file its children need, and reads nothing.
    std::vector<EptNode> found;
    std::vector<CopcKey> files;
    EXPECT_FALSE(hierarchy.childrenRead({1, 1, 1, 1}, found, files));
    EXPECT_EQ(files, std::vector<CopcKey>(1, CopcKey{1, 1, 1, 1}));
    EXPECT_EQ(folder.reads.count(subtree), 0u);
    hierarchy.readFile({1, 1, 1, 1});
    EXPECT_TRUE(hierarchy.childrenRead({1, 1, 1, 1}, found, files));
    EXPECT_EQ(found.size(), 2u);

    ASSERT_TRUE(hierarchy.find({2, 3, 3, 2}, node));
    EXPECT_EQ(node.points, 20u);
    const std::vector<EptNode> children = hierarchy.children({1, 1, 1, 1});
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].key, (CopcKey{2, 3, 3, 2})); // child 3: upper in x and y
    EXPECT_EQ(children[1].key, (CopcKey{2, 2, 2, 3})); // child 4: upper in z
    hierarchy.loadAll();
    EXPECT_EQ(folder.reads[subtree], 1);

    const EptHierarchySummary summary = hierarchy.summary();
    EXPECT_EQ(summary.filesRead, 2u);
    EXPECT_EQ(summary.filesPending, 0u);
    EXPECT_EQ(summary.nodes, 5u);
    EXPECT_EQ(summary.depth, 2);
    EXPECT_EQ(summary.points, 130u);
    EXPECT_TRUE(hierarchy.takeDamage().empty());

    // Cubes split the root cube [0, 64)³; spacing is the edge over span, halved per level.
    const CopcCube cube = dataset->cube({2, 3, 3, 2});
    EXPECT_DOUBLE_EQ(cube.low[0], 48);
    EXPECT_DOUBLE_EQ(cube.high[2], 48);
    EXPECT_DOUBLE_EQ(dataset->spacing(2), 1);
    EXPECT_EQ(dataset->dataFile({2, 3, 3, 2}), "ept-data/2-3-3-2.bin");
}

// Bad entries are named and skipped; the good ones around them stay.
TEST(EptHierarchy, DamagedEntriesAreNamedAndSkipped) {
    EptFiles files = makeEptFiles(sampleEpt(EptDataType::Binary));
    files["ept-hierarchy/0-0-0-0.json"] =
        textBytes(R"({"0-0-0-0": 40, "1-0-0-0": 30, "1-1-1-1": -1, "x-1": 5, "1-1-0-0": -7,)"
                  R"( "1-0-1-0": "many", "1-1-0-1": -1})");
    // The subtree file sends itself elsewhere again, and lists a node outside its subtree.
    files["ept-hierarchy/1-1-1-1.json"] =
        textBytes(R"({"1-1-1-1": -1, "2-3-3-2": 20, "2-0-0-0": 9})");
    auto folder = std::make_unique<MemoryFolder>(files);
    std::string error;
    std::unique_ptr<EptDataset> dataset = EptDataset::open(std::move(folder), error);
    ASSERT_TRUE(dataset) << error;
    dataset->hierarchy().loadAll();
    const std::vector<std::string> damage = dataset->hierarchy().takeDamage();
    const std::vector<std::string> expected = {
        "mem/ept-hierarchy/0-0-0-0.json: node 1-0-1-0 has no usable count",
        "mem/ept-hierarchy/0-0-0-0.json: node 1-1-0-0 has no usable count",
        "mem/ept-hierarchy/0-0-0-0.json: \"x-1\" names no node",
        "mem/ept-hierarchy/1-1-0-1.json: cannot be opened (No such file or directory)",
        "mem/ept-hierarchy/1-1-1-1.json: node 1-1-1-1 is sent to a file twice",
        "mem/ept-hierarchy/1-1-1-1.json: node 2-0-0-0 lies outside its subtree",
    };
    EXPECT_EQ(damage, expected);
    const EptHierarchySummary summary = dataset->hierarchy().summary();
    EXPECT_EQ(summary.nodes, 3u);
    EXPECT_EQ(summary.points, 90u);
    EXPECT_EQ(summary.filesLost, 1u);
}
