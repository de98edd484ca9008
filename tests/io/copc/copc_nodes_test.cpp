// tests/io/copc/copc_nodes_test.cpp - nodes decoded one by one against the file read whole:
// every node its entry's count, inside its cube; all nodes together the plain LAZ read's
// records and points; the same from several threads at once; colour and intensity.
#include "io/copc/copc_file.h"
#include "io/copc/copc_node_decoder.h"
#include "io/copc/copc_points.h"
#include "io/copc/copc_reader.h"
#include "io/las/laz_reader.h"
#include "io/laz/laz_file.h"
#include "tests/io/copc/copc_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

const char* kSamples[] = {"laspy_simple.copc.laz", "laspy_simple_with_page.copc.laz",
                          "lasrs_autzen.copc.laz"};

std::vector<CopcNode> nodesWithPoints(CopcFile& file) {
    file.hierarchy().loadAll();
    std::vector<CopcNode> nodes = file.hierarchy().nodes();
    nodes.erase(
        std::remove_if(nodes.begin(), nodes.end(), [](const CopcNode& n) { return n.points == 0; }),
        nodes.end());
    return nodes;
}

// Records as strings, sorted: a multiset that ignores the order of the nodes.
std::vector<std::string> sortedRecords(const uint8_t* records, uint64_t count, uint32_t length) {
    std::vector<std::string> all;
    for (uint64_t i = 0; i < count; ++i)
        all.emplace_back(reinterpret_cast<const char*>(records + i * length), length);
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace

TEST(CopcNodes, EachDecodesToItsCountInsideItsCube) {
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = copcTestFile(name);
        std::string error;
        const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
        ASSERT_TRUE(file) << error;
        const LasLayout& las = file->las();
        CopcNodeDecoder decoder(*file, LazFields::All);
        for (const CopcNode& node : nodesWithPoints(*file)) {
            SCOPED_TRACE(node.key.text());
            const uint8_t* records = decoder.decodeRecords(node, error);
            ASSERT_TRUE(records) << error;
            const CopcCube cube = file->cube(node.key);
            for (uint32_t i = 0; i < node.points; ++i) {
                const uint8_t* record = records + i * las.recordLength;
                for (int axis = 0; axis < 3; ++axis) {
                    int32_t stored;
                    std::memcpy(&stored, record + 4 * axis, 4);
                    const double v = stored * las.scale[axis] + las.offset[axis];
                    const double slack = las.scale[axis];
                    ASSERT_GE(v, cube.low[axis] - slack) << "point " << i;
                    ASSERT_LE(v, cube.high[axis] + slack) << "point " << i;
                }
            }
        }
    }
}

TEST(CopcNodes, TogetherTheyHoldThePlainLazRecords) {
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = copcTestFile(name);
        LazFileInfo info;
        ASSERT_EQ(readLazFileInfo(bytes.data(), bytes.size(), info), "");
        std::vector<uint8_t> whole(info.pointCount * info.recordLength);
        const LazDecodeResult plain =
            decodeLazFileInto(bytes.data(), bytes.size(), info, LazFields::All, 2, whole.data());
        ASSERT_EQ(plain.decoded, info.pointCount);

        std::string error;
        const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
        ASSERT_TRUE(file) << error;
        std::vector<uint8_t> joined;
        CopcNodeDecoder decoder(*file, LazFields::All);
        for (const CopcNode& node : nodesWithPoints(*file)) {
            const uint8_t* records = decoder.decodeRecords(node, error);
            ASSERT_TRUE(records) << error;
            joined.insert(joined.end(), records, records + node.points * info.recordLength);
        }
        ASSERT_EQ(joined.size(), whole.size());
        EXPECT_EQ(sortedRecords(joined.data(), info.pointCount, info.recordLength),
                  sortedRecords(whole.data(), info.pointCount, info.recordLength));
    }
}

// The loader's whole read through the index gives the plain read's points, shift and colours;
// nodes converted one by one against the shift chosen up front give them too.
TEST(CopcNodes, WholeReadAndNodeByNodeMatchThePlainRead) {
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = copcTestFile(name);
        ReadResult plain = readWhole(readLaz, bytes);
        ReadResult octree = readWhole(readCopc, bytes);
        ASSERT_EQ(octree.status, ReadStatus::Read);
        EXPECT_EQ(octree.message, "");
        EXPECT_EQ(octree.count, plain.count);
        EXPECT_EQ(octree.expected, plain.expected);
        EXPECT_EQ(octree.format, "LAZ 1.4, point format 7");
        EXPECT_EQ(octree.colour, ColourKind::Rgb);
        EXPECT_TRUE(octree.shifted);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(octree.shift[axis], plain.shift[axis]);
        // In the same order too: nodes are read in file order.
        EXPECT_TRUE(std::equal(octree.points, octree.points + octree.count, plain.points,
                               plain.points + plain.count, samePoint));
        const std::vector<PointRecord> expected = sortedPoints(plain);

        std::string error;
        const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
        ASSERT_TRUE(file) << error;
        double shift[3];
        EXPECT_TRUE(chooseCopcShift(*file, shift));
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(shift[axis], plain.shift[axis]);
        const CopcPointConverter converter(*file, shift);
        CopcNodeDecoder decoder(*file, LazFields::Viewer);
        ReadResult nodes;
        std::vector<PointRecord> points(size_t(plain.count));
        nodes.points = points.data();
        for (const CopcNode& node : nodesWithPoints(*file)) {
            ASSERT_TRUE(decoder.decodePoints(node, converter, points.data() + nodes.count, error))
                << error;
            nodes.count += node.points;
        }
        // The whole read rounds each position twice (against a provisional shift, then moved to
        // the settled one); converting against the settled shift rounds once: within a float
        // step of the stored values, colours exact.
        const std::vector<PointRecord> converted = sortedPoints(nodes);
        ASSERT_EQ(converted.size(), expected.size());
        for (size_t i = 0; i < converted.size(); ++i) {
            const PointRecord &a = converted[i], &b = expected[i];
            ASSERT_NEAR(a.x, b.x, 1e-3) << i;
            ASSERT_NEAR(a.y, b.y, 1e-3) << i;
            ASSERT_NEAR(a.z, b.z, 1e-3) << i;
            ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << i;
        }
        releasePoints(plain.points);
        releasePoints(octree.points);
    }
}

// Workers that each keep a decoder, taking nodes in turns from one list, give what one thread
// gives; the colour decision is made once, whichever thread asks first.
TEST(CopcNodes, DecodeFromSeveralThreadsAtOnce) {
    const std::vector<uint8_t> bytes = copcTestFile("laspy_simple_with_page.copc.laz");
    std::string error;
    const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
    ASSERT_TRUE(file) << error;
    const double shift[3] = {637000, 851000, 400};
    const std::vector<CopcNode> nodes = nodesWithPoints(*file);
    std::vector<std::vector<PointRecord>> alone(nodes.size());
    {
        CopcNodeDecoder decoder(*file, LazFields::Viewer);
        const CopcPointConverter converter(*file, shift);
        for (size_t i = 0; i < nodes.size(); ++i) {
            alone[i].resize(nodes[i].points);
            ASSERT_TRUE(decoder.decodePoints(nodes[i], converter, alone[i].data(), error));
        }
    }
    for (int round = 0; round < 5; ++round) {
        const std::unique_ptr<CopcFile> fresh = openCopcBytes(bytes, error);
        ASSERT_TRUE(fresh) << error;
        std::vector<std::vector<PointRecord>> shared(nodes.size());
        std::atomic<size_t> next{0};
        std::atomic<int> failures{0};
        auto work = [&] {
            CopcNodeDecoder decoder(*fresh, LazFields::Viewer);
            const CopcPointConverter converter(*fresh, shift);
            std::string why;
            for (size_t i = next++; i < nodes.size(); i = next++) {
                CopcNode node;
                // Finding reads the child page on whichever thread comes first.
                if (!fresh->hierarchy().find(nodes[i].key, node)) {
                    ++failures;
                    continue;
                }
                shared[i].resize(node.points);
                if (!decoder.decodePoints(node, converter, shared[i].data(), why))
                    ++failures;
            }
        };
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back(work);
        for (std::thread& t : threads)
            t.join();
        EXPECT_EQ(failures.load(), 0);
        for (size_t i = 0; i < nodes.size(); ++i)
            ASSERT_TRUE(std::equal(shared[i].begin(), shared[i].end(), alone[i].begin(),
                                   alone[i].end(), samePoint))
                << nodes[i].key.text();
    }
}

// Point format 6 has no colour: the raw intensity is left for the loader to scale. Colours are
// judged 16-bit or 8-bit once, from the root, so a deeper node with larger values is still
// scaled as 8-bit like its neighbours.
TEST(CopcNodes, IntensityForFormatSixAndOneColourDecisionFromTheRoot) {
    const CopcKey root, child{1, 1, 1, 1};
    MadeOctree grey;
    grey.pointFormat = 6;
    grey.nodes = {{root, {5000, 5000, 5000}, 1234}, {child, {9000, 9000, 9000}, 77}};
    grey.pages = {{root, {root, child}, {}}};
    const std::vector<uint8_t> greyBytes = makeOctreeFile(grey);
    std::string error;
    const std::unique_ptr<CopcFile> greyFile = openCopcBytes(greyBytes, error);
    ASSERT_TRUE(greyFile) << error;
    const double none[3] = {0, 0, 0};
    const CopcPointConverter greyPoints(*greyFile, none);
    EXPECT_EQ(greyPoints.colour(), ColourKind::Intensity);
    CopcNodeDecoder greyDecoder(*greyFile, LazFields::Viewer);
    CopcNode node;
    PointRecord p;
    ASSERT_TRUE(greyFile->hierarchy().find(child, node));
    ASSERT_TRUE(greyDecoder.decodePoints(node, greyPoints, &p, error)) << error;
    EXPECT_EQ(p.x, 90.0f);
    EXPECT_EQ(p.r, 77.0f);
    EXPECT_EQ(p.b, 77.0f);
    ReadResult whole = readWhole(readCopc, greyBytes);
    EXPECT_EQ(whole.count, 2);
    EXPECT_EQ(whole.colour, ColourKind::Intensity);
    releasePoints(whole.points);

    struct Row {
        uint16_t rootRed, childRed;
        float childScaled;
    };
    const Row rows[] = {{200, 4000, 4000 / 255.0f}, {20000, 100, 100 / 65535.0f}};
    for (const Row& row : rows) {
        MadeOctree colour;
        colour.nodes = {{root, {5000, 5000, 5000}, 0, {row.rootRed, 0, 0}},
                        {child, {9000, 9000, 9000}, 0, {row.childRed, 0, 0}}};
        colour.pages = {{root, {root, child}, {}}};
        const std::vector<uint8_t> bytes = makeOctreeFile(colour);
        const std::unique_ptr<CopcFile> file = openCopcBytes(bytes, error);
        ASSERT_TRUE(file) << error;
        // Asking for the child first changes nothing.
        const CopcPointConverter points(*file, none);
        CopcNodeDecoder decoder(*file, LazFields::Viewer);
        ASSERT_TRUE(file->hierarchy().find(child, node));
        ASSERT_TRUE(decoder.decodePoints(node, points, &p, error)) << error;
        EXPECT_EQ(points.colour(), ColourKind::Rgb);
        EXPECT_FLOAT_EQ(p.r, row.childScaled) << row.rootRed;
    }
}
