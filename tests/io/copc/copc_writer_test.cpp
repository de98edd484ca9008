// tests/io/copc/copc_writer_test.cpp - clouds written as octree and plain LAZ files: checked whole,
// read back point for point through the readers, every attribute kept; the check itself against
// damaged copies; the scale and offset chosen for the points.
#include "io/copc/copc_check.h"
#include "io/copc/copc_cloud_writer.h"
#include "io/copc/copc_reader.h"
#include "io/copc/copc_writer.h"
#include "io/las/las14_records.h"
#include "io/las/laz_cloud_writer.h"
#include "io/las/laz_reader.h"
#include "io/laz/compression_record.h"
#include "io/laz/laz_file.h"
#include "tests/io/copc/copc_test_files.h"

#include "io/byte_order.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// A cloud of its own records, released with it.
struct OwnedCloud {
    PointCloud cloud;
    explicit OwnedCloud(int32_t count) {
        cloud.points = allocatePoints(count);
        cloud.count = count;
    }
    ~OwnedCloud() { releasePoints(cloud.points); }
    OwnedCloud(const OwnedCloud&) = delete;
    OwnedCloud& operator=(const OwnedCloud&) = delete;
};

// A hilly surface with scattered points above it, on a 0.01 grid, with 8-bit colours and every
// attribute column when asked.
void fillTerrain(PointCloud& cloud, bool rgb, bool attributes, uint32_t seed = 7) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> cm(0, 20000);
    for (int32_t i = 0; i < cloud.count; ++i) {
        const int x = cm(random), y = cm(random) / 2;
        int z = int(300 * std::sin(x * 1e-3) * std::cos(y * 2e-3)) + 1000;
        if (i % 5 == 0)
            z += cm(random) / 10;
        PointRecord& p = cloud.points[i];
        p.x = float(x * 0.01), p.y = float(y * 0.01), p.z = float(z * 0.01);
        p.r = rgb ? float(i % 256) / 255.0f : 1.0f;
        p.g = rgb ? float((i / 7) % 256) / 255.0f : 1.0f;
        p.b = rgb ? float(z % 256) / 255.0f : 1.0f;
    }
    cloud.colour = rgb ? ColourKind::Rgb : ColourKind::Intensity;
    if (!attributes)
        return;
    PointAttributes& a = cloud.attributes;
    a.present = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                kPointSource | kGpsTime;
    const size_t n = size_t(cloud.count);
    a.intensity.resize(n), a.classification.resize(n), a.returns.resize(n), a.flags.resize(n);
    a.scanAngle.resize(n), a.userData.resize(n), a.pointSource.resize(n), a.gpsTime.resize(n);
    for (size_t i = 0; i < n; ++i) {
        a.intensity[i] = uint16_t(random());
        a.classification[i] = uint8_t(random() % 256);
        a.returns[i] = PointAttributes::packReturns(1 + int(i % 15), 15);
        a.flags[i] = uint8_t(random() % 16);
        a.scanAngle[i] = int16_t(int(random() % 30001) - 15000);
        a.userData[i] = uint8_t(random());
        a.pointSource[i] = uint16_t(random());
        a.gpsTime[i] = 4.0e8 + double(random() % 100000) * 1e-4;
    }
}

// Small nodes and pages, so that a few thousand points make a deep tree over several pages.
CopcCloudOptions smallNodes() {
    CopcCloudOptions options;
    options.threads = 2;
    options.nodePoints = 600;
    options.grid = 16;
    options.paging.onePage = 8;
    options.paging.levels = 2;
    options.paging.fewest = 2;
    return options;
}

bool writeCopc(PointCloud& cloud, std::vector<uint8_t>& bytes, const CopcCloudOptions& options,
               CloudWriteReport* report = nullptr) {
    bytes.clear();
    return writeCopcCloud(cloud, lazMemorySink(bytes), options, report);
}

std::string problemsOf(const CopcCheckResult& check) {
    std::string all;
    for (const std::string& line : check.problems)
        all += line + "\n";
    return all;
}

// The file's records in its order, decoded as plain LAZ.
std::vector<uint8_t> plainRecords(const std::vector<uint8_t>& file, LazFileInfo& info) {
    EXPECT_EQ(readLazFileInfo(file.data(), file.size(), info), "");
    std::vector<uint8_t> records(size_t(info.pointCount) * info.recordLength);
    const LazDecodeResult decoded =
        decodeLazFileInto(file.data(), file.size(), info, LazFields::All, 2, records.data());
    EXPECT_EQ(decoded.message(), "");
    return records;
}

double headerDouble(const std::vector<uint8_t>& file, size_t at) {
    return loadLittle<double>(&file[at]);
}

// The read gives the cloud's records in its order (the writers reorder the cloud into the
// file's order), colours to within the 16-bit rounding of 8-bit ones.
void expectSamePoints(const ReadResult& read, const PointCloud& cloud, int64_t count) {
    ASSERT_EQ(read.count, count) << read.message;
    for (int64_t i = 0; i < count; ++i) {
        const PointRecord& p = read.points[i];
        const PointRecord& q = cloud.points[i];
        ASSERT_TRUE(p.x == q.x && p.y == q.y && p.z == q.z)
            << "point " << i << ": " << p.x << " " << p.y << " " << p.z << " against " << q.x << " "
            << q.y << " " << q.z;
        if (cloud.colour == ColourKind::Rgb) {
            ASSERT_TRUE(std::fabs(p.r - q.r) < 1e-6f && std::fabs(p.b - q.b) < 1e-6f) << i;
        }
    }
}

} // namespace

// --- Octree files ---

TEST(CopcWriting, CloudsOfEveryShapePassTheCheckAndReadBackPointForPoint) {
    struct Row {
        const char* name;
        int32_t count;
        bool rgb;
        int format;
    };
    for (const Row& row : {Row{"coloured", 20000, true, 7}, Row{"uncoloured", 5000, false, 6},
                           Row{"one point", 1, true, 7}}) {
        SCOPED_TRACE(row.name);
        OwnedCloud owned(row.count);
        PointCloud& cloud = owned.cloud;
        fillTerrain(cloud, row.rgb, false);
        std::vector<uint8_t> file;
        CloudWriteReport report;
        ASSERT_TRUE(writeCopc(cloud, file, smallNodes(), &report));
        EXPECT_EQ(report.points, uint64_t(row.count));
        EXPECT_EQ(report.bytes, file.size());

        const CopcCheckResult check = checkCopcFile(file.data(), file.size(), 2);
        EXPECT_TRUE(check.passed()) << problemsOf(check);
        EXPECT_EQ(check.points, uint64_t(row.count));
        EXPECT_EQ(file[104], uint8_t(row.format | 0x80));
        if (row.count > 10000) {
            EXPECT_GE(check.depth, 2);
            EXPECT_GT(check.pages, 1u);
        }
        // The header's box is the points' exactly, on the 0.01 grid they came on.
        EXPECT_DOUBLE_EQ(headerDouble(file, 131), 0.01);

        for (ReadFunction read : {&readCopc, &readLaz}) {
            ReadResult result = readWhole(read, file);
            expectSamePoints(result, cloud, row.count);
            releasePoints(result.points);
        }
    }
}

TEST(CopcWriting, NodesStayWithinTheirSizeAndSpacingHalvesPerLevel) {
    OwnedCloud owned(30000);
    fillTerrain(owned.cloud, true, false);
    CopcCloudOptions options = smallNodes();
    options.paging = CopcPaging();
    std::vector<uint8_t> file;
    ASSERT_TRUE(writeCopc(owned.cloud, file, options));
    std::string error;
    std::unique_ptr<CopcFile> copc = openCopcBytes(file, error);
    ASSERT_TRUE(copc) << error;
    copc->hierarchy().loadAll();
    int deepest = 0;
    for (const CopcNode& node : copc->hierarchy().nodes())
        deepest = std::max(deepest, node.key.level);
    for (const CopcNode& node : copc->hierarchy().nodes())
        if (node.key.level < deepest) {
            EXPECT_LE(node.points, options.nodePoints) << node.key.text();
        }
    const double edge = 2.0 * copc->info().halfSize;
    EXPECT_DOUBLE_EQ(copc->info().spacing, edge / options.grid);
    EXPECT_DOUBLE_EQ(copc->spacing(3), copc->info().spacing / 8);
}

TEST(CopcWriting, KeepsEveryAttributeOfEveryPoint) {
    OwnedCloud owned(8000);
    PointCloud& cloud = owned.cloud;
    fillTerrain(cloud, true, true);
    // The times are adjusted standard time, as the header's global encoding must say.
    cloud.attributes.gpsStandardTime = true;
    std::vector<uint8_t> file;
    ASSERT_TRUE(writeCopc(cloud, file, smallNodes()));
    EXPECT_TRUE(checkCopcFile(file.data(), file.size(), 2).passed());
    EXPECT_EQ(loadLittle<uint16_t>(&file[6]) & 1, 1);

    LazFileInfo info;
    const std::vector<uint8_t> records = plainRecords(file, info);
    ASSERT_EQ(info.pointCount, uint64_t(cloud.count));
    const PointAttributes& a = cloud.attributes;
    double gpsLow = 1e300, gpsHigh = -1e300;
    size_t descents = 0; // where the GPS time goes back: only from one node to the next
    for (size_t i = 0; i < size_t(cloud.count); ++i) {
        const uint8_t* r = &records[i * info.recordLength];
        descents += i > 0 && a.gpsTime[i] < a.gpsTime[i - 1];
        ASSERT_EQ(loadLittle<uint16_t>(r + 12), a.intensity[i]) << i;
        ASSERT_EQ(r[14], a.returns[i]) << i;
        ASSERT_EQ(r[15] & 15, a.flags[i]) << i;
        ASSERT_EQ(r[16], a.classification[i]) << i;
        ASSERT_EQ(r[17], a.userData[i]) << i;
        ASSERT_EQ(loadLittle<int16_t>(r + 18), a.scanAngle[i]) << i;
        ASSERT_EQ(loadLittle<uint16_t>(r + 20), a.pointSource[i]) << i;
        ASSERT_EQ(loadLittle<double>(r + 22), a.gpsTime[i]) << i;
        gpsLow = std::min(gpsLow, a.gpsTime[i]);
        gpsHigh = std::max(gpsHigh, a.gpsTime[i]);
    }
    EXPECT_LT(descents, checkCopcFile(file.data(), file.size(), 1).nodes);
    // The info record's GPS range and the header's counts by return are the points'.
    EXPECT_EQ(headerDouble(file, 485), gpsLow);
    EXPECT_EQ(headerDouble(file, 493), gpsHigh);
    for (int n = 1; n <= 15; ++n) {
        const uint64_t expected = uint64_t(cloud.count / 15 + (n <= cloud.count % 15 ? 1 : 0));
        EXPECT_EQ(loadLittle<uint64_t>(&file[255 + 8 * (n - 1)]), expected) << n;
    }
}

TEST(CopcWriting, PointsWithoutAPositionAreLeftOutAndPilesStayInTheirCube) {
    // A pile of one position deep below, beside ordinary points and a NaN.
    OwnedCloud owned(3000);
    PointCloud& cloud = owned.cloud;
    fillTerrain(cloud, false, true);
    for (int32_t i = 1000; i < 2500; ++i)
        cloud.points[i] = cloud.points[999];
    cloud.points[5].x = std::numeric_limits<float>::quiet_NaN();
    cloud.points[2900].z = std::numeric_limits<float>::infinity();
    std::vector<uint8_t> file;
    CloudWriteReport report;
    ASSERT_TRUE(writeCopc(cloud, file, smallNodes(), &report));
    EXPECT_EQ(report.leftOut, 2);
    const CopcCheckResult check = checkCopcFile(file.data(), file.size(), 2);
    EXPECT_TRUE(check.passed()) << problemsOf(check);
    EXPECT_EQ(check.points, 2998u);

    // Every point at one place: a cube of no size would give no spacing.
    OwnedCloud same(500);
    fillTerrain(same.cloud, true, false);
    for (int32_t i = 0; i < same.cloud.count; ++i)
        same.cloud.points[i] = same.cloud.points[0];
    ASSERT_TRUE(writeCopc(same.cloud, file, smallNodes()));
    const CopcCheckResult pile = checkCopcFile(file.data(), file.size(), 2);
    EXPECT_TRUE(pile.passed()) << problemsOf(pile);
    EXPECT_EQ(pile.points, 500u);
}

TEST(CopcWriting, NoPointsMakeAValidFileOfAnEmptyRoot) {
    PointCloud cloud;
    std::vector<uint8_t> file;
    ASSERT_TRUE(writeCopc(cloud, file, smallNodes()));
    std::string error;
    std::unique_ptr<CopcFile> copc = openCopcBytes(file, error);
    ASSERT_TRUE(copc) << error;
    EXPECT_EQ(copc->las().declared, 0u);
    ReadResult read = readWhole(&readCopc, file);
    EXPECT_EQ(read.count, 0);
    releasePoints(read.points);
}

TEST(CopcIndex, PagesReachEveryNodeAndRefuseBadKeys) {
    // Nodes only at level 3: their ancestors get entries of no points.
    std::vector<CopcEntry> nodes;
    for (int i = 0; i < 8; ++i)
        nodes.push_back(CopcEntry{CopcKey{3, i, 7 - i, i / 2}, 1000u + 10u * uint64_t(i), 10, 5});
    uint64_t rootSize = 0;
    const std::vector<uint8_t> one = encodeCopcPages(nodes, 0, CopcPaging(), rootSize);
    EXPECT_EQ(rootSize, one.size());
    int empty = 0, withPoints = 0;
    for (size_t at = 0; at < one.size(); at += 32) {
        const int32_t points = loadLittle<int32_t>(&one[at + 28]);
        (points == 0 ? empty : withPoints) += 1;
        if (points == 0) {
            EXPECT_EQ(loadLittle<uint64_t>(&one[at + 16]), 0u);
        }
    }
    EXPECT_EQ(withPoints, 8);
    EXPECT_EQ(empty, 1 + 2 + 4); // the root, and the distinct parents at levels 1 and 2

    nodes.push_back(nodes[3]);
    EXPECT_TRUE(encodeCopcPages(nodes, 0, CopcPaging(), rootSize).empty());
    nodes.pop_back();
    nodes.push_back(CopcEntry{CopcKey{1, 2, 0, 0}, 0, 1, 1});
    EXPECT_TRUE(encodeCopcPages(nodes, 0, CopcPaging(), rootSize).empty());
}

TEST(CopcCheck, FindsWhatAWriterCanGetWrong) {
    OwnedCloud owned(4000);
    fillTerrain(owned.cloud, true, true);
    std::vector<uint8_t> good;
    ASSERT_TRUE(writeCopc(owned.cloud, good, smallNodes()));
    ASSERT_TRUE(checkCopcFile(good.data(), good.size(), 2).passed());

    struct Damage {
        const char* name;
        void (*apply)(std::vector<uint8_t>& file);
        const char* found;
    };
    const Damage damages[] = {
        {"header box", [](std::vector<uint8_t>& f) { storeLittle(&f[179], 1e6); }, "x range"},
        {"legacy count", [](std::vector<uint8_t>& f) { storeLittle(&f[107], uint32_t(5)); },
         "legacy point count"},
        {"header count",
         [](std::vector<uint8_t>& f) { storeLittle(&f[247], loadLittle<uint64_t>(&f[247]) + 1); },
         "the header says"},
        {"cube moved",
         [](std::vector<uint8_t>& f) { storeLittle(&f[429], loadLittle<double>(&f[429]) + 3.0); },
         "outside its cube"},
        {"index count",
         [](std::vector<uint8_t>& f) {
             const size_t at = findEntry(f, rootPageOffset(f), rootPageSize(f), CopcKey());
             storeLittle(&f[at + 28], loadLittle<int32_t>(&f[at + 28]) - 1);
         },
         "chunk"},
        {"reserved word", [](std::vector<uint8_t>& f) { f[520] = 1; }, "reserved"},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        std::vector<uint8_t> file = good;
        damage.apply(file);
        const CopcCheckResult check = checkCopcFile(file.data(), file.size(), 2);
        EXPECT_NE(problemsOf(check).find(damage.found), std::string::npos) << problemsOf(check);
    }
}

// --- Plain files and the records' frame ---

TEST(LazWriting, ReadsBackPointForPointWithItsChunksFull) {
    OwnedCloud owned(int32_t(kLazDefaultChunkSize) * 2 + 77);
    PointCloud& cloud = owned.cloud;
    fillTerrain(cloud, true, true);
    cloud.points[10].y = std::numeric_limits<float>::quiet_NaN();
    std::vector<uint8_t> file;
    CloudWriteReport report;
    ASSERT_TRUE(writeLazCloud(cloud, lazMemorySink(file), 2, &report));
    EXPECT_EQ(report.leftOut, 1);
    EXPECT_EQ(report.chunks, 3u);
    EXPECT_EQ(file[104], uint8_t(7 | 0x80));
    ReadResult read = readWhole(&readLaz, file);
    expectSamePoints(read, cloud, cloud.count - 1);
    EXPECT_FALSE(read.attributes.gpsStandardTime) << "seconds of the week, as the cloud had";
    releasePoints(read.points);
    // The file reads as plain LAZ only: it is no octree file.
    std::string error;
    EXPECT_FALSE(openCopcBytes(file, error));
}

TEST(Las14Frame, KeepsTheFilesGridWhereverItsOffsetWas) {
    // A survey's coordinates on a millimetre grid through 0.0005, stored shifted by a whole
    // number: the file's scale holds them only with the offset moved onto the grid.
    OwnedCloud owned(2000);
    PointCloud& cloud = owned.cloud;
    cloud.shifted = true;
    const double shift[3] = {512000.0, 4100000.0, 120.0};
    std::copy(shift, shift + 3, cloud.shift);
    std::fill(cloud.precision, cloud.precision + 3, 0.001);
    cloud.colour = ColourKind::Intensity;
    std::mt19937 random(3);
    std::vector<double> file(size_t(cloud.count) * 3);
    for (int32_t i = 0; i < cloud.count; ++i)
        for (int axis = 0; axis < 3; ++axis) {
            const double value = shift[axis] + 0.0005 + 0.001 * int(random() % 400000) - 200.0;
            file[size_t(i) * 3 + size_t(axis)] = value;
            (&cloud.points[i].x)[axis] = float(value - shift[axis]);
        }
    const Las14Frame frame = chooseLas14Frame(cloud);
    EXPECT_EQ(frame.scale[0], 0.001);
    std::vector<uint8_t> records(size_t(cloud.count) * frame.recordLength);
    Las14Tally tally;
    makeLas14Records(cloud, frame, 0, cloud.count, records.data(), tally);
    for (int32_t i = 0; i < cloud.count; ++i)
        for (int axis = 0; axis < 3; ++axis) {
            const int32_t stored = loadLittle<int32_t>(&records[size_t(i) * 30 + 4 * axis]);
            ASSERT_NEAR(stored * frame.scale[axis] + frame.offset[axis],
                        file[size_t(i) * 3 + size_t(axis)], 1e-6)
                << i;
        }

    // Points off the file's grid (moved since they were read) fall back to a grid they lie on.
    cloud.points[0].x += 0.0004f;
    EXPECT_LT(chooseLas14Frame(cloud).scale[0], 0.001);
}
