// tests/io/las_writer_test.cpp - clouds written as LAS 1.4 and read back: the coordinates to
// the file's own step, every attribute, the header's box and counts against the records.
#include "io/las/las_writer.h"

#include "tests/io/io_test_support.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A LAS file's positions as its integers, scale and offset say, decoded here apart from the
// readers, with the header fields the writer is answerable for.
struct RawLas {
    int format = -1;
    uint16_t encoding = 0; // global encoding
    uint32_t legacyCount = 0;
    uint64_t count = 0;
    uint64_t byReturn[15] = {};
    double scale[3] = {}, offset[3] = {}, min[3] = {}, max[3] = {};
    std::vector<double> xyz; // three per record
};

template <class T> T at(const std::string& bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

RawLas decodeRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RawLas las;
    if (bytes.size() < 227 || bytes.compare(0, 4, "LASF") != 0)
        return las;
    las.format = static_cast<unsigned char>(bytes[104]) & 0x3F;
    las.encoding = at<uint16_t>(bytes, 6);
    const uint32_t dataOffset = at<uint32_t>(bytes, 96);
    const uint16_t stride = at<uint16_t>(bytes, 105);
    las.legacyCount = at<uint32_t>(bytes, 107);
    las.count = las.legacyCount;
    if (bytes[25] >= 4 && bytes.size() >= 375) {
        las.count = at<uint64_t>(bytes, 247);
        for (int i = 0; i < 15; ++i)
            las.byReturn[i] = at<uint64_t>(bytes, 255 + 8 * i);
    }
    for (int axis = 0; axis < 3; ++axis) {
        las.scale[axis] = at<double>(bytes, 131 + 8 * axis);
        las.offset[axis] = at<double>(bytes, 155 + 8 * axis);
        las.max[axis] = at<double>(bytes, 179 + 16 * axis);
        las.min[axis] = at<double>(bytes, 187 + 16 * axis);
    }
    for (uint64_t i = 0; i < las.count && dataOffset + (i + 1) * stride <= bytes.size(); ++i)
        for (int axis = 0; axis < 3; ++axis)
            las.xyz.push_back(at<int32_t>(bytes, dataOffset + i * stride + 4 * axis) *
                                  las.scale[axis] +
                              las.offset[axis]);
    return las;
}

// Writes the cloud to a scratch file of this name; its path, or "" when writing failed.
std::string writeScratchLas(const PointCloud& cloud, const std::string& name, int64_t& skipped) {
    const std::string path = scratchDir() + std::to_string(getpid()) + "-" + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return "";
    const bool written = writeLas(cloud, out, skipped);
    return std::fclose(out) == 0 && written ? path : "";
}

void expectSameAttributes(const PointAttributes& a, const PointAttributes& b, uint32_t which) {
    EXPECT_EQ(which & kIntensity ? a.intensity : b.intensity, b.intensity);
    EXPECT_EQ(which & kClassification ? a.classification : b.classification, b.classification);
    EXPECT_EQ(which & kReturns ? a.returns : b.returns, b.returns);
    EXPECT_EQ(which & kFlags ? a.flags : b.flags, b.flags);
    EXPECT_EQ(which & kScanAngle ? a.scanAngle : b.scanAngle, b.scanAngle);
    EXPECT_EQ(which & kUserData ? a.userData : b.userData, b.userData);
    EXPECT_EQ(which & kPointSource ? a.pointSource : b.pointSource, b.pointSource);
    EXPECT_EQ(which & kGpsTime ? a.gpsTime : b.gpsTime, b.gpsTime);
}

} // namespace

// Legacy formats with classes, colour and GPS time, and a 1.4 file: every coordinate comes back
// on the source's own grid, every attribute as read, and the header agrees with the records.
TEST(LasWriter, LasFilesComeBackWithTheirCoordinatesAndAttributes) {
    const struct {
        const char* file;
        int format;
        double within; // of the source's coordinates; 0 for its own step to a thousandth
    } rows[] = {{"lidar/pdal_mvk-thin.las", 6, 0},
                {"formats/pdal_1.2-with-color.las", 7, 0},
                // A step of about 1e-6 over 500 m: finer than the floats the cloud keeps, so
                // half their spacing at 256 (7.6e-6) and half a step come back.
                {"formats/laspy_test1_4.las", 6, 8.2e-6},
                {"formats/pdal_las_1.0_0.las", 6, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        LoadedCloud source;
        loadFile(testData(row.file), source);
        ASSERT_GT(source.cloud.count, 0);
        int64_t skipped = -1;
        const std::string path = writeScratchLas(source.cloud, "again.las", skipped);
        ASSERT_NE(path, "");
        EXPECT_EQ(skipped, 0);

        const RawLas before = decodeRaw(testData(row.file)), after = decodeRaw(path);
        EXPECT_EQ(after.format, row.format);
        ASSERT_EQ(after.count, uint64_t(source.cloud.count));
        EXPECT_EQ(after.legacyCount, 0u);
        // Seconds of the week or adjusted standard time: the GPS times mean what they meant.
        EXPECT_EQ(after.encoding & 1, before.encoding & 1);
        ASSERT_EQ(after.xyz.size(), before.xyz.size());
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(after.scale[axis], before.scale[axis]);
            double low = INFINITY, high = -INFINITY;
            for (size_t i = axis; i < after.xyz.size(); i += 3) {
                ASSERT_NEAR(after.xyz[i], before.xyz[i],
                            row.within ? row.within : before.scale[axis] * 1e-3)
                    << i / 3;
                low = std::min(low, after.xyz[i]);
                high = std::max(high, after.xyz[i]);
            }
            EXPECT_EQ(after.min[axis], low);
            EXPECT_EQ(after.max[axis], high);
        }

        LoadedCloud again;
        loadFile(path, again);
        ASSERT_EQ(again.cloud.count, source.cloud.count);
        EXPECT_EQ(again.cloud.colour, source.cloud.colour);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(again.cloud.precision[axis], source.cloud.precision[axis]);
        const PointAttributes& a = source.cloud.attributes;
        expectSameAttributes(a, again.cloud.attributes, a.present);
        uint64_t byReturn[15] = {};
        for (size_t i = 0; i < a.returns.size(); ++i) {
            const int number = PointAttributes::returnNumber(a.returns[i]);
            if (number >= 1)
                ++byReturn[number - 1];
        }
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(after.byReturn[i], byReturn[i]) << "return " << i + 1;
        for (int32_t i = 0; i < source.cloud.count; i += 97) {
            EXPECT_NEAR(again.cloud.points[i].r, source.cloud.points[i].r, 1e-6) << i;
            EXPECT_NEAR(again.cloud.points[i].b, source.cloud.points[i].b, 1e-6) << i;
        }
    }
}

// A cloud of floats has no step of its own: the one chosen keeps each coordinate within the
// floats' own spacing, and the file's colours come back.
TEST(LasWriter, FloatCloudsKeepTheirCoordinatesAndColours) {
    for (const char* file : {"formats/draco_test_pos_color.ply", "formats/assimp_float-color.ply",
                             "formats/pcl_bunny.pcd"}) {
        SCOPED_TRACE(file);
        LoadedCloud source;
        loadFile(testData(file), source);
        ASSERT_GT(source.cloud.count, 0);
        int64_t skipped = -1;
        const std::string path = writeScratchLas(source.cloud, "floats.las", skipped);
        ASSERT_NE(path, "");
        LoadedCloud again;
        loadFile(path, again);
        ASSERT_EQ(again.cloud.count, source.cloud.count);
        EXPECT_EQ(decodeRaw(path).format, source.cloud.colour == ColourKind::Rgb ? 7 : 6);
        for (int axis = 0; axis < 3; ++axis) {
            float largest = 0;
            for (int32_t i = 0; i < source.cloud.count; ++i)
                largest = std::max(largest, std::fabs((&source.cloud.points[i].x)[axis]));
            const double spacing = std::nextafter(largest, INFINITY) - largest;
            for (int32_t i = 0; i < source.cloud.count; ++i)
                ASSERT_NEAR(again.file(i, axis), source.file(i, axis), spacing) << i;
        }
        if (source.cloud.colour == ColourKind::Rgb) {
            for (int32_t i = 0; i < source.cloud.count; ++i)
                ASSERT_NEAR(again.cloud.points[i].g, source.cloud.points[i].g, 1e-6) << i;
        }
    }
}

// What only 1.4's formats hold (classes above 31, up to 15 returns, the overlap flag, fine scan
// angles), extremes of every field, and a point without a finite position, which LAS cannot
// hold: it is left out and counted, the others keep their attributes.
TEST(LasWriter, ExtendedValuesSurviveAndPositionsThatAreNotFiniteAreLeftOut) {
    PointCloud cloud;
    cloud.count = 3;
    cloud.points = allocatePoints(3);
    ASSERT_NE(cloud.points, nullptr);
    cloud.points[0] = {1.5f, -2.25f, 3.0f, 0, 0, 0};
    cloud.points[1] = {NAN, 0.0f, 0.0f, 0, 0, 0};
    cloud.points[2] = {-4.0f, 8.0f, 0.125f, 0, 0, 0};
    cloud.colour = ColourKind::None;
    PointAttributes& a = cloud.attributes;
    a.present = kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData |
                kPointSource | kGpsTime;
    a.intensity = {65535, 1, 7};
    a.classification = {40, 2, 255};
    a.returns = {PointAttributes::packReturns(9, 12), 0, PointAttributes::packReturns(15, 15)};
    a.flags = {kFlagOverlap | kFlagWithheld, 0, kFlagSynthetic | kFlagKeyPoint};
    a.scanAngle = {-30000, 0, 30000};
    a.userData = {200, 0, 1};
    a.pointSource = {65535, 0, 3};
    a.gpsTime = {1e9 + 0.5, 0, -1.25};

    int64_t skipped = -1;
    const std::string path = writeScratchLas(cloud, "extended.las", skipped);
    ASSERT_NE(path, "");
    EXPECT_EQ(skipped, 1);
    const RawLas raw = decodeRaw(path);
    EXPECT_EQ(raw.format, 6);
    EXPECT_EQ(raw.count, 2u);
    EXPECT_EQ(raw.byReturn[8], 1u);
    EXPECT_EQ(raw.byReturn[14], 1u);
    EXPECT_EQ(raw.min[2], 0.125);
    EXPECT_EQ(raw.max[0], 1.5);

    LoadedCloud again;
    loadFile(path, again);
    ASSERT_EQ(again.cloud.count, 2);
    EXPECT_EQ(again.file(1, 1), 8.0);
    PointAttributes kept = a;
    kept.moveDown(1, 2, 1);
    kept.resize(2);
    expectSameAttributes(kept, again.cloud.attributes, a.present);
    releasePoints(cloud.points);
}

// The scale: the file's own step while the coordinates fit 32 bits at it, else a power of ten
// finer than the floats' spacing at the largest coordinate.
TEST(LasWriter, ScaleKeepsTheFileStepWhileItFits) {
    PointCloud cloud;
    cloud.count = 2;
    cloud.points = allocatePoints(2);
    ASSERT_NE(cloud.points, nullptr);
    cloud.points[0] = {1000.0f, -1.0f, 0.0f, 0, 0, 0};
    cloud.points[1] = {-10.0f, 1.0f, 0.0f, 0, 0, 0};
    const double precision[3] = {0.01, 1e-12, 0.0};
    std::copy(precision, precision + 3, cloud.precision);
    double scale[3];
    lasScaleFor(cloud, scale);
    EXPECT_EQ(scale[0], 0.01);
    EXPECT_EQ(scale[1], 1e-8); // 1e-12 would need 40 bits; a float near 1 is 1.19e-7 apart
    EXPECT_EQ(scale[2], 1e-9); // all zero: the finest step offered
    releasePoints(cloud.points);
}

// A file whose offset is not a multiple of its step less the shift (here 0.003 against a
// shift of 1000 and a step of 0.01): the offset moves onto the points' grid, so that none is
// rounded half a step away.
TEST(LasWriter, OffsetFollowsTheFileGridNotTheShift) {
    PointCloud cloud;
    cloud.count = 100;
    cloud.points = allocatePoints(cloud.count);
    ASSERT_NE(cloud.points, nullptr);
    for (int64_t i = 0; i < cloud.count; ++i)
        cloud.points[i] = {float(0.003 + 0.01 * double(i)), float(0.25 * double(i)), 0.0f, 0, 0, 0};
    const double precision[3] = {0.01, 0.25, 0.001};
    std::copy(precision, precision + 3, cloud.precision);
    cloud.shifted = true;
    cloud.shift[0] = cloud.shift[1] = cloud.shift[2] = 1000.0;
    int64_t skipped = -1;
    const std::string path = writeScratchLas(cloud, "off-grid.las", skipped);
    ASSERT_FALSE(path.empty());
    const RawLas las = decodeRaw(path);
    ASSERT_EQ(las.xyz.size(), size_t(3 * cloud.count));
    EXPECT_NEAR(las.offset[0], 1000.003, 1e-9);
    EXPECT_EQ(las.offset[1], 1000.0); // already on its grid
    for (int64_t i = 0; i < cloud.count; ++i)
        ASSERT_NEAR(las.xyz[3 * i], 1000.003 + 0.01 * double(i), 1e-6) << "point " << i;
    std::remove(path.c_str());
    releasePoints(cloud.points);
}
