// tests/io/ept/ept_read_test.cpp - whole reads of made datasets: binary and compressed nodes
// give the same points, the shift is settled for far coordinates, and a damaged node or
// hierarchy file loses only its own points with one message part each.
#include "io/ept/ept_node_decoder.h"
#include "io/ept/ept_reader.h"
#include "tests/io/ept/ept_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Read {
    std::string error; // when the dataset does not open
    ReadResult result;
    MemoryFolder* folder = nullptr; // owned by the dataset, gone with it
};

Read readFiles(const EptFiles& files, int threads = 2) {
    Read read;
    auto folder = std::make_unique<MemoryFolder>(files);
    read.folder = folder.get();
    std::unique_ptr<EptDataset> dataset = EptDataset::open(std::move(folder), read.error);
    if (!dataset)
        return read;
    ReadRequest request;
    request.path = "mem/ept.json";
    request.threads = threads;
    read.result = readEptDataset(*dataset, request);
    read.folder = nullptr;
    return read;
}

std::vector<PointRecord> sorted(const ReadResult& result) {
    std::vector<PointRecord> points(result.points, result.points + result.count);
    std::sort(points.begin(), points.end(), [](const PointRecord& a, const PointRecord& b) {
        return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
    });
    return points;
}

std::vector<MadeEptPoint> madePoints(const MadeEpt& made) {
    std::vector<MadeEptPoint> all;
    for (const MadeEptNode& node : made.nodes)
        all.insert(all.end(), node.points.begin(), node.points.end());
    std::sort(all.begin(), all.end(), [](const MadeEptPoint& a, const MadeEptPoint& b) {
        return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z);
    });
    return all;
}

} // namespace

// Both node encodings of one dataset read to the points written, in file coordinates once the
// shift is added back, with 16-bit colours seen as such.
TEST(EptRead, BinaryAndCompressedNodesGiveThePointsWritten) {
    for (const double origin : {0.0, 4500000.0}) {
        for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
            SCOPED_TRACE(std::string(type == EptDataType::Binary ? "binary" : "laszip") + " at " +
                         std::to_string(origin));
            MadeEpt made = sampleEpt(type);
            made.origin = origin;
            Read read = readFiles(makeEptFiles(made));
            ASSERT_EQ(read.error, "");
            const ReadResult& r = read.result;
            EXPECT_EQ(r.status, ReadStatus::Read);
            EXPECT_EQ(r.message, "");
            EXPECT_EQ(r.count, 130);
            EXPECT_EQ(r.expected, 130);
            EXPECT_EQ(r.colour, ColourKind::Rgb);
            EXPECT_EQ(r.format,
                      type == EptDataType::Binary ? "EPT 1.0.0, binary" : "EPT 1.0.0, laszip");
            EXPECT_EQ(r.precision[0], 0.01);
            EXPECT_EQ(r.shifted, origin != 0.0);
            const std::vector<PointRecord> points = sorted(r);
            MadeEpt placed = made;
            for (MadeEptNode& node : placed.nodes)
                for (MadeEptPoint& p : node.points)
                    p.x += origin, p.y += origin, p.z += origin;
            const std::vector<MadeEptPoint> expected = madePoints(placed);
            ASSERT_EQ(points.size(), expected.size());
            for (size_t i = 0; i < points.size(); ++i) {
                EXPECT_NEAR(points[i].x + r.shift[0], expected[i].x, 1e-3);
                EXPECT_NEAR(points[i].y + r.shift[1], expected[i].y, 1e-3);
                EXPECT_NEAR(points[i].z + r.shift[2], expected[i].z, 1e-3);
                EXPECT_FLOAT_EQ(points[i].r, expected[i].rgb[0] / 65535.0f);
                EXPECT_FLOAT_EQ(points[i].b, 512 / 65535.0f);
            }
            releasePoints(r.points);
        }
    }
}

// Every attribute the nodes hold reaches its point's entry: compressed nodes from their LAS
// records, binary ones by the schema's names and types; a binary schema without them keeps the
// intensity alone.
TEST(EptRead, AttributesFollowTheirPointsInBothEncodings) {
    struct Case {
        EptDataType type;
        bool attributes;
        uint32_t present;
    };
    const uint32_t all = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                         kPointSource | kGpsTime;
    const Case cases[] = {{EptDataType::Binary, true, all},
                          {EptDataType::Laszip, true, all},
                          {EptDataType::Binary, false, kIntensity},
                          {EptDataType::Laszip, false, all & ~kGpsTime}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.type == EptDataType::Binary ? "binary" : "laszip") +
                     (c.attributes ? " with attributes" : ""));
        MadeEpt made = sampleEpt(c.type);
        made.attributes = c.attributes;
        Read read = readFiles(makeEptFiles(made), 3);
        ASSERT_EQ(read.error, "");
        const ReadResult& r = read.result;
        ASSERT_EQ(r.count, 130);
        const PointAttributes& a = r.attributes;
        EXPECT_EQ(a.present, c.present);
        // The points come node by node in key order, each node's in its file's order.
        std::vector<MadeEptNode> nodes = made.nodes;
        std::sort(nodes.begin(), nodes.end(),
                  [](const MadeEptNode& x, const MadeEptNode& y) { return x.key < y.key; });
        size_t i = 0;
        for (const MadeEptNode& node : nodes)
            for (const MadeEptPoint& p : node.points) {
                SCOPED_TRACE(node.key.text() + " point " + std::to_string(i));
                ASSERT_NEAR(r.points[i].x + r.shift[0], p.x, 1e-3);
                EXPECT_EQ(a.intensity[i], p.intensity);
                if (a.has(kClassification)) {
                    EXPECT_EQ(a.classification[i], p.classification);
                    EXPECT_EQ(a.returns[i],
                              PointAttributes::packReturns(p.returnNumber, p.numberOfReturns));
                    EXPECT_EQ(a.flags[i], p.classFlags);
                    EXPECT_EQ(a.scanAngle[i], p.scanAngle);
                    EXPECT_EQ(a.userData[i], p.userData);
                    EXPECT_EQ(a.pointSource[i], p.pointSource);
                }
                if (a.has(kGpsTime)) {
                    EXPECT_EQ(a.gpsTime[i], p.gpsTime);
                }
                ++i;
            }
        releasePoints(r.points);
    }
}

// Colours that never exceed 255 are 8-bit values in 16-bit fields, as in the LAS family; a
// schema without colour gives intensity to scale.
TEST(EptRead, NarrowColoursAndIntensity) {
    MadeEpt made = sampleEpt(EptDataType::Binary);
    for (MadeEptNode& node : made.nodes)
        for (MadeEptPoint& p : node.points)
            p.rgb[0] = p.rgb[1] = p.rgb[2] = 200;
    Read narrow = readFiles(makeEptFiles(made));
    ASSERT_EQ(narrow.error, "");
    EXPECT_FLOAT_EQ(narrow.result.points[0].r, 200 / 255.0f);
    releasePoints(narrow.result.points);

    EptFiles files = makeEptFiles(made);
    std::string json(files["ept.json"].begin(), files["ept.json"].end());
    for (const char* channel : {"Red", "Green", "Blue"})
        json.replace(json.find(channel), std::string(channel).size(), "Other");
    files["ept.json"] = textBytes(json);
    Read grey = readFiles(files);
    ASSERT_EQ(grey.error, "");
    EXPECT_EQ(grey.result.colour, ColourKind::Intensity);
    EXPECT_EQ(grey.result.count, 130);
    EXPECT_EQ(grey.result.points[0].r, grey.result.points[0].g);
    EXPECT_GE(grey.result.points[0].r, 100.0f); // raw intensity, for the loader to scale
    releasePoints(grey.result.points);
}

// Positions stored as doubles without a scale; one that is not a number is dropped and
// counted. Without colour or intensity the loader's height ramp applies.
TEST(EptRead, FloatPositionsAndNoColour) {
    EptFiles files;
    files["ept.json"] = textBytes(R"({"bounds": [0, 0, 0, 8, 8, 8], "points": 3,
        "dataType": "binary", "schema": [{"name": "X", "type": "float", "size": 8},
        {"name": "Y", "type": "float", "size": 8}, {"name": "Z", "type": "float", "size": 8},
        {"name": "Classification", "type": "unsigned", "size": 1}]})");
    files["ept-hierarchy/0-0-0-0.json"] = textBytes(R"({"0-0-0-0": 3})");
    std::vector<uint8_t> records;
    for (const double v : {1.25, 2.5, 3.75, std::nan(""), 1.0, 1.0, 7.5, 0.125, 6.0}) {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&v);
        records.insert(records.end(), bytes, bytes + 8);
        if (records.size() % 25 == 24)
            records.push_back(2); // the classification after each z
    }
    files["ept-data/0-0-0-0.bin"] = records;
    Read read = readFiles(files);
    ASSERT_EQ(read.error, "");
    const ReadResult& r = read.result;
    EXPECT_EQ(r.message, "");
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.dropped, 1);
    EXPECT_EQ(r.colour, ColourKind::None);
    EXPECT_EQ(r.precision[0], 0.0);
    ASSERT_EQ(r.count, 2);
    EXPECT_EQ(r.points[0].x, 1.25f);
    EXPECT_EQ(r.points[0].z, 3.75f);
    EXPECT_EQ(r.points[1].x, 7.5f);
    EXPECT_EQ(r.points[1].y, 0.125f);
    releasePoints(r.points);
}

// Each damaged part loses what it holds, named once; the rest reads as before.
TEST(EptRead, DamageLosesOnlyItsOwnPoints) {
    struct Case {
        const char* what;
        EptDataType type;
        void (*damage)(EptFiles& files);
        int64_t count;
        const char* message; // a part of the message
    };
    const Case cases[] = {
        {"missing node file", EptDataType::Binary,
         [](EptFiles& f) { f.erase("ept-data/1-0-0-0.bin"); }, 100,
         "node 1-0-0-0 cannot be read: mem/ept-data/1-0-0-0.bin: cannot be opened"},
        {"binary node cut short", EptDataType::Binary,
         [](EptFiles& f) { f["ept-data/2-2-2-3.bin"].pop_back(); }, 115,
         "node 2-2-2-3 holds 299 bytes, not the 15 records of 20 bytes its count says"},
        {"compressed node cut short", EptDataType::Laszip,
         [](EptFiles& f) { f["ept-data/1-0-0-0.laz"].resize(600); }, 100, "node 1-0-0-0 "},
        {"compressed node with another count", EptDataType::Laszip,
         [](EptFiles& f) { f["ept-data/2-3-3-2.laz"][247] = 21; }, 110,
         "node 2-3-3-2 holds 21 points, the hierarchy says 20"},
        {"subtree file missing", EptDataType::Binary,
         [](EptFiles& f) { f.erase("ept-hierarchy/1-1-1-1.json"); }, 70,
         "mem/ept-hierarchy/1-1-1-1.json: cannot be opened"},
        {"subtree file not JSON", EptDataType::Laszip,
         [](EptFiles& f) { f["ept-hierarchy/1-1-1-1.json"] = textBytes("{\"1-1-1-1\": 2"); }, 70,
         "mem/ept-hierarchy/1-1-1-1.json: not a JSON object of node counts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EptFiles files = makeEptFiles(sampleEpt(c.type));
        c.damage(files);
        Read read = readFiles(files);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.result.status, ReadStatus::Read);
        EXPECT_EQ(read.result.count, c.count);
        EXPECT_EQ(read.result.expected, 130);
        EXPECT_NE(read.result.message.find(c.message), std::string::npos) << read.result.message;
        // One part: no second one joined on.
        EXPECT_EQ(read.result.message.find("; node"), std::string::npos) << read.result.message;
        EXPECT_EQ(read.result.message.find("; mem/"), std::string::npos) << read.result.message;
        releasePoints(read.result.points);
    }
}

// A dataset whose description or root hierarchy file cannot be used does not open.
TEST(EptRead, UnusableDescriptionOrRootIsRefused) {
    struct Case {
        const char* from;
        const char* to;
        const char* reason;
    };
    const Case cases[] = {
        {"\"bounds\"", "\"bound\"", "no usable bounds (six finite numbers, low corner first)"},
        {"\"laszip\"", "\"zstandard\"", "its nodes are stored as zstandard, which this program"},
        {"\"json\"", "\"gzip\"", "its hierarchy is stored other than as plain JSON"},
        {"\"X\"", "\"W\"", "its schema lacks X, Y or Z"},
        {"\"points\": 130", "\"points\": -130", "no point count"},
        {"\"size\": 2", "\"size\": 3", "schema entry Intensity has no usable size"},
        {"\"Y\"", "\"X\"", "the schema names X twice"},
        {"{", "[", "not a JSON object"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        EptFiles files = makeEptFiles(sampleEpt(EptDataType::Laszip));
        std::string json(files["ept.json"].begin(), files["ept.json"].end());
        ASSERT_NE(json.find(c.from), std::string::npos);
        json.replace(json.find(c.from), std::string(c.from).size(), c.to);
        files["ept.json"] = textBytes(json);
        Read read = readFiles(files);
        EXPECT_EQ(read.error.rfind(c.reason, 0), 0u) << read.error;
    }
    EptFiles files = makeEptFiles(sampleEpt(EptDataType::Binary));
    files.erase("ept-hierarchy/0-0-0-0.json");
    EXPECT_EQ(readFiles(files).error,
              "its root hierarchy file cannot be used: mem/ept-hierarchy/0-0-0-0.json: cannot be "
              "opened (No such file or directory)");
}
