// tests/io/copc/copc_node_cache_test.cpp - nodes decoded on the workers as they are wanted, held
// within the memory budget (the least recently drawn let go first), damaged ones lost alone.
#include "io/copc/copc_node_cache.h"
#include "tests/io/copc/copc_test_files.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

std::vector<CopcNode> level(CopcNodeCache& cache, const CopcKey& parent) {
    return cache.file().hierarchy().children(parent);
}

// Until the workers are idle, taking in what they decoded as drawn at serial.
size_t collectAll(CopcNodeCache& cache, int64_t serial, std::vector<std::string>& damage) {
    size_t arrived = 0;
    while (cache.busy()) {
        cache.waitForArrival();
        arrived += cache.collect(serial, damage);
        std::this_thread::yield();
    }
    return arrived;
}

} // namespace

TEST(CopcNodeCache, WantedNodesArriveAndTheLeastRecentlyDrawnGoFirst) {
    const std::string path = writeScratchFile("cache-full.copc.laz", makeOctreeFile(fullOctree(2)));
    std::string error;
    // Room for ten points with their attributes and what the user keeps beside them: the root
    // and the eight nodes of level 1 fit, and one more.
    const std::unique_ptr<CopcNodeCache> cache =
        CopcNodeCache::open(path, 10 * (CopcNodeCache::pointBytes(7) + 5), 2, error, 5);
    ASSERT_TRUE(cache) << error;
    EXPECT_EQ(cache->budgetPoints(), 10);
    ASSERT_TRUE(cache->find(CopcKey{})) << "the root is decoded at once";
    EXPECT_EQ(cache->heldPoints(), 1);

    std::vector<std::string> damage;
    const std::vector<CopcNode> first = level(*cache, CopcKey{});
    ASSERT_EQ(first.size(), 8u);
    cache->want(first, 1);
    EXPECT_EQ(collectAll(*cache, 1, damage), 8u);
    EXPECT_TRUE(damage.empty());
    EXPECT_EQ(cache->heldPoints(), 9);
    // Node 1-1-0-0's point, at its centre, with the level's colour.
    const CachedNode* node = cache->find({1, 1, 0, 0});
    ASSERT_TRUE(node);
    ASSERT_EQ(node->points.size(), 1u);
    EXPECT_FLOAT_EQ(node->points[0].x, 75.0f);
    EXPECT_FLOAT_EQ(node->points[0].y, 25.0f);
    EXPECT_FLOAT_EQ(node->points[0].r, 2000.0f / 65535.0f);
    // Its attributes beside it, a column each of the format's.
    EXPECT_EQ(node->attributes.present, kIntensity | kClassification | kReturns | kFlags |
                                            kScanAngle | kUserData | kPointSource | kGpsTime);
    EXPECT_EQ(node->attributes.classification.size(), 1u);
    EXPECT_EQ(node->attributes.gpsTime.size(), 1u);

    // Wanting again what is held decodes nothing.
    cache->want(first, 1);
    EXPECT_FALSE(cache->busy());

    // 1-1-0-0 was drawn again, later than the rest of level 1; the root never since.
    cache->find({1, 1, 0, 0})->lastDrawn = 2;
    cache->want(level(*cache, {1, 0, 0, 0}), 3);
    EXPECT_EQ(collectAll(*cache, 3, damage), 8u);
    EXPECT_LE(cache->heldPoints(), 10);
    EXPECT_FALSE(cache->find(CopcKey{})) << "the least recently drawn goes first";
    EXPECT_TRUE(cache->find({1, 1, 0, 0})) << "drawn later than the others of its level";
    for (const CopcNode& child : level(*cache, {1, 0, 0, 0}))
        EXPECT_TRUE(cache->find(child.key)) << child.key.text() << " arrived for this frame";
}

TEST(CopcNodeCache, DamagedNodesAreLostWithOneLineEachAndTheRestArrive) {
    std::vector<uint8_t> bytes = makeOctreeFile(fullOctree(1));
    const uint64_t page = rootPageOffset(bytes), pageSize = rootPageSize(bytes);
    // One chunk claims two points, another lies beyond the end of the file.
    const size_t twice = findEntry(bytes, page, pageSize, {1, 0, 1, 0});
    const size_t beyond = findEntry(bytes, page, pageSize, {1, 1, 1, 1});
    ASSERT_TRUE(twice && beyond);
    uint64_t offset = 0;
    std::memcpy(&offset, &bytes[twice + 16], 8);
    int32_t size = 0;
    std::memcpy(&size, &bytes[twice + 24], 4);
    setEntry(bytes, twice, offset, size, 2);
    setEntry(bytes, beyond, bytes.size() + 100, 40, 1);
    const std::string path = writeScratchFile("cache-damaged.copc.laz", bytes);

    std::string error;
    const std::unique_ptr<CopcNodeCache> cache = CopcNodeCache::open(path, 1 << 20, 2, error);
    ASSERT_TRUE(cache) << error;
    std::vector<std::string> damage = cache->file().hierarchy().takeDamage();
    const std::vector<CopcNode> children = level(*cache, CopcKey{});
    for (const std::string& line : cache->file().hierarchy().takeDamage())
        damage.push_back(line);
    cache->want(children, 1);
    collectAll(*cache, 1, damage);
    // Wanted again, the lost node is not decoded again nor reported twice.
    cache->want(children, 2);
    collectAll(*cache, 2, damage);

    ASSERT_EQ(damage.size(), 2u);
    EXPECT_NE(damage[0].find("1-1-1-1"), std::string::npos) << damage[0];
    EXPECT_NE(damage[1].find("1-0-1-0"), std::string::npos) << damage[1];
    EXPECT_TRUE(cache->lost({1, 0, 1, 0}));
    EXPECT_FALSE(cache->find({1, 0, 1, 0}));
    EXPECT_FALSE(cache->find({1, 1, 1, 1}));
    EXPECT_EQ(cache->heldPoints(), 7) << "the root and six good nodes";
}

TEST(CopcNodeCache, FilesThatAreNoOctreeAreRefusedWithTheirReason) {
    std::string error;
    EXPECT_FALSE(CopcNodeCache::open(scratchDir() + "absent.copc.laz", 1 << 20, 1, error));
    EXPECT_FALSE(error.empty());
    std::vector<uint8_t> bytes = makeOctreeFile(fullOctree(0));
    bytes[377] = 'x'; // the info record's user id
    error.clear();
    EXPECT_FALSE(
        CopcNodeCache::open(writeScratchFile("cache-plain.laz", bytes), 1 << 20, 1, error));
    EXPECT_FALSE(error.empty());
}

// With fetching workers, more chunks are read at once than there are decoders, and what is in
// flight is counted; once the reads come back every node arrives, none read twice.
TEST(CopcNodeCache, FetchersKeepSeveralReadsInFlightAndCountThem) {
    const std::vector<uint8_t> bytes = makeOctreeFile(fullOctree(2));
    auto* gated = new GatedSource(bytes);
    std::string error;
    const std::unique_ptr<CopcNodeCache> cache =
        CopcNodeCache::open(std::unique_ptr<ByteSource>(gated), 1 << 20, 1, 4, error);
    ASSERT_TRUE(cache) << error;
    EXPECT_EQ(cache->fetching().nodes, 0);

    const int readsBefore = gated->reads();
    gated->setShut(true);
    const std::vector<CopcNode> first = level(*cache, CopcKey{});
    cache->want(first, 1);
    EXPECT_EQ(gated->waitForWaiting(4), 4) << "one decoder, four reads on the wire";
    const FetchProgress progress = cache->fetching();
    EXPECT_EQ(progress.nodes, 4);
    int64_t firstFour = 0;
    for (size_t i = 0; i < 4; ++i)
        firstFour += first[i].bytes;
    EXPECT_EQ(progress.bytes, firstFour) << "the most wanted go first";
    EXPECT_TRUE(cache->busy());

    gated->setShut(false);
    std::vector<std::string> damage;
    EXPECT_EQ(collectAll(*cache, 1, damage), 8u);
    EXPECT_TRUE(damage.empty());
    EXPECT_EQ(cache->fetching().nodes, 0);
    EXPECT_EQ(cache->fetching().bytes, 0);
    EXPECT_EQ(gated->reads() - readsBefore, 8) << "each chunk read once";
}
