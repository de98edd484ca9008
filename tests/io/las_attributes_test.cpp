// tests/io/las_attributes_test.cpp - the attributes of LAS, LAZ and octree files: a few points
// of each point format against values decoded from the records by an independent reader.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Sample {
    int index;
    int intensity, classification, returnNumber, returns, flags, scanAngle, userData, source;
    double gpsTime; // 0 for formats without it
};

struct LasRow {
    const char* file;
    bool gps;
    std::vector<Sample> samples;
};

// Legacy scan angles are whole degrees; the column keeps them in 0.006 degree steps (-11 degrees
// is -1833).
// clang-format off
const LasRow kRows[] = {
    {"formats/pdal_las_1.0_0.las", false, {{0, 0, 2, 2, 0, 0, -2167, 0, 0, 0}}},
    {"formats/laspy_simple1_1.las", true, {
        {1, 18, 1, 1, 2, 0, -1833, 128, 7326, 245381.45279923646},
        {1064, 116, 1, 1, 1, 0, 1500, 124, 7334, 249773.20172406783}}},
    {"formats/lazperf_point-color.las", false, {{1, 18, 1, 1, 2, 0, -1833, 128, 7326, 0}}},
    {"formats/lazperf_point-color.las.laz", false, {{1, 18, 1, 1, 2, 0, -1833, 128, 7326, 0}}},
    {"formats/pdal_1.2-with-color.las", true, {
        {7, 207, 1, 1, 1, 0, -1500, 128, 7326, 245384.82365646525}}},
    {"formats/laspy_test1_4.las", true, {
        {999, 36, 2, 1, 1, 8, 2504, 0, 202, 83177420.60104504}}},
    {"lidar/pdal_mvk-thin.las", true, {
        {0, 71, 12, 1, 1, 0, -3167, 175, 2004, 339486.8416735852},
        {7, 40, 4, 1, 1, 0, -1500, 187, 2003, 338835.11121022986}}},
};
// Point format 8 with every field varied: classes above 31, returns above 7, all four flags.
const std::vector<Sample> kFormat8 = {
    {0, 19607, 243, 12, 1, 8, 3691, 89, 29713, 0.27554124211046377},
    {1, 52375, 227, 10, 10, 8, 3689, 89, 64549, 1.10217259648306},
    {7, 428, 62, 4, 0, 2, 5626, 216, 3141, 1.4386047361099761e-262},
    {1023, 19775, 142, 1, 2, 11, -5019, 150, 43896, -7.909586015810054e-100},
};
// clang-format on

void expectSample(const PointAttributes& a, const Sample& s, const std::string& where) {
    const size_t i = static_cast<size_t>(s.index);
    SCOPED_TRACE(where + " point " + std::to_string(s.index));
    EXPECT_EQ(a.intensity[i], s.intensity);
    EXPECT_EQ(a.classification[i], s.classification);
    EXPECT_EQ(PointAttributes::returnNumber(a.returns[i]), s.returnNumber);
    EXPECT_EQ(PointAttributes::numberOfReturns(a.returns[i]), s.returns);
    EXPECT_EQ(a.flags[i], s.flags);
    EXPECT_EQ(a.scanAngle[i], s.scanAngle);
    EXPECT_EQ(a.userData[i], s.userData);
    EXPECT_EQ(a.pointSource[i], s.source);
    if (s.gpsTime != 0) {
        EXPECT_EQ(a.gpsTime[i], s.gpsTime);
    }
}

void expectColumnsOf(const LoadedCloud& loaded, bool gps, const std::string& where) {
    const PointAttributes& a = loaded.cloud.attributes;
    const uint32_t all =
        kIntensity | kClassification | kReturns | kFlags | kScanAngle | kUserData | kPointSource;
    EXPECT_EQ(a.present, all | (gps ? kGpsTime : 0u)) << where;
    const size_t n = static_cast<size_t>(loaded.cloud.count);
    for (size_t size :
         {a.intensity.size(), a.classification.size(), a.returns.size(), a.flags.size(),
          a.scanAngle.size(), a.userData.size(), a.pointSource.size()})
        EXPECT_EQ(size, n) << where;
    EXPECT_EQ(a.gpsTime.size(), gps ? n : 0u) << where;
}

// A LAS file of one record of the point format, each field set apart from its neighbours: the
// scan direction and edge bits (and the scanner channel) set too, which the columns leave out.
std::string oneRecordFile(int format) {
    const uint16_t recordBytes[11] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    const int minor = format >= 6 ? 4 : format >= 4 ? 3 : 2;
    const uint16_t header = minor == 4 ? 375 : minor == 3 ? 235 : 227;
    std::string bytes(header + recordBytes[format], '\0');
    std::memcpy(&bytes[0], "LASF", 4);
    bytes[24] = 1, bytes[25] = static_cast<char>(minor);
    put<uint16_t>(bytes, 94, header);
    put<uint32_t>(bytes, 96, header);
    bytes[104] = static_cast<char>(format);
    put<uint16_t>(bytes, 105, recordBytes[format]);
    put<uint32_t>(bytes, 107, format >= 6 ? 0u : 1u);
    for (int axis = 0; axis < 3; ++axis)
        put<double>(bytes, 131 + 8 * axis, 0.01);
    if (minor == 4)
        put<uint64_t>(bytes, 247, 1);
    const size_t r = header;
    put<uint16_t>(bytes, r + 12, 1234);
    if (format < 6) {
        bytes[r + 14] = static_cast<char>(3 | 5 << 3 | 0xC0); // return 3 of 5
        bytes[r + 15] = static_cast<char>(17 | 0x20 | 0x80);  // synthetic, withheld
        bytes[r + 16] = static_cast<char>(-30);               // degrees
        bytes[r + 17] = 77;
        put<uint16_t>(bytes, r + 18, 4321);
        if (format == 1 || format >= 3)
            put<double>(bytes, r + 20, 123.5);
    } else {
        bytes[r + 14] = static_cast<char>(13 | 15 << 4);       // return 13 of 15
        bytes[r + 15] = static_cast<char>(0x02 | 0x08 | 0xF0); // key-point, overlap; channel 3
        bytes[r + 16] = static_cast<char>(200);
        bytes[r + 17] = 77;
        put<int16_t>(bytes, r + 18, -15000);
        put<uint16_t>(bytes, r + 20, 4321);
        put<double>(bytes, r + 22, 123.5);
    }
    return bytes;
}

} // namespace

TEST(LasAttributes, EveryPointFormatLaysOutItsOwn) {
    const Sample legacy = {0, 1234, 17, 3, 5, kFlagSynthetic | kFlagWithheld, -5000, 77, 4321, 0};
    const Sample extended = {0,      1234, 200,  13,   15, kFlagKeyPoint | kFlagOverlap,
                             -15000, 77,   4321, 123.5};
    for (int format = 0; format <= 10; ++format) {
        const std::string name = "format" + std::to_string(format) + ".las";
        LoadedCloud loaded;
        loadFile(scratchFile(name, oneRecordFile(format)), loaded);
        ASSERT_EQ(loaded.cloud.count, 1) << name;
        const bool timed = format == 1 || format >= 3;
        expectColumnsOf(loaded, timed, name);
        Sample expected = format >= 6 ? extended : legacy;
        expected.gpsTime = timed ? 123.5 : 0;
        expectSample(loaded.cloud.attributes, expected, name);
    }
}

TEST(LasAttributes, EachPointFormatKeepsItsFields) {
    for (const LasRow& row : kRows) {
        LoadedCloud loaded;
        loadFile(testData(row.file), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << row.file;
        expectColumnsOf(loaded, row.gps, row.file);
        for (const Sample& s : row.samples)
            expectSample(loaded.cloud.attributes, s, row.file);
    }
}

TEST(LasAttributes, ExtendedFormatReadAlikeUncompressedAndCompressed) {
    for (const char* file : {"formats/loadersgl_pdrf8-1.4.las", "laz/loadersgl_pdrf8-1.4.laz"}) {
        LoadedCloud loaded;
        loadFile(testData(file), loaded);
        ASSERT_EQ(loaded.cloud.count, 1024) << file;
        expectColumnsOf(loaded, true, file);
        for (const Sample& s : kFormat8)
            expectSample(loaded.cloud.attributes, s, file);
    }
}

// The octree file holds the points of its LAS twin in another order: the same attributes, once
// sorted by time.
TEST(LasAttributes, OctreeFileKeepsItsTwinsAttributes) {
    using Key = std::tuple<double, int, int, int, int, int>;
    auto keys = [](const PointAttributes& a) {
        std::vector<Key> out;
        for (size_t i = 0; i < a.intensity.size(); ++i)
            out.emplace_back(a.gpsTime[i], a.intensity[i], a.classification[i], a.returns[i],
                             a.userData[i], a.pointSource[i]);
        std::sort(out.begin(), out.end());
        return out;
    };
    LoadedCloud octree, twin;
    loadFile(testData("copc/laspy_simple.copc.laz"), octree);
    loadFile(testData("formats/laspy_simple1_1.las"), twin);
    ASSERT_EQ(octree.cloud.count, 1065);
    expectColumnsOf(octree, true, "octree");
    EXPECT_TRUE(keys(octree.cloud.attributes) == keys(twin.cloud.attributes));
}
