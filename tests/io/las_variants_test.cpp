// tests/io/las_variants_test.cpp - LAS files the real ones miss, written here byte by byte: every
// point format of every version, colour depths, unfilled colour fields, header boxes in other
// units than the points, and unreadable headers.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct LasPoint {
    int32_t x, y, z;
    uint16_t intensity, r, g, b;
};

// A LAS file of the given version and point format whose records carry `extra` bytes more than
// the format's own; `declared` overrides the count in the header when not negative.
std::string lasFile(int minor, int format, const std::vector<LasPoint>& points, int extra = 0,
                    int64_t declared = -1, double scale = 0.01, double offset = 0.0) {
    const uint16_t recordBytes[11] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    const int rgbAt[11] = {-1, -1, 20, 28, -1, 28, -1, 30, 30, -1, 30};
    const uint16_t headerSize = minor >= 4 ? 375 : minor == 3 ? 235 : 227;
    std::string bytes(headerSize, '\0');
    std::memcpy(&bytes[0], "LASF", 4);
    bytes[24] = 1;
    bytes[25] = static_cast<char>(minor);
    put<uint16_t>(bytes, 94, headerSize);
    put<uint32_t>(bytes, 96, headerSize);
    bytes[104] = static_cast<char>(format);
    const uint16_t length = static_cast<uint16_t>(recordBytes[format] + extra);
    put<uint16_t>(bytes, 105, length);
    const uint64_t count = declared >= 0 ? static_cast<uint64_t>(declared) : points.size();
    put<uint32_t>(bytes, 107, format >= 6 ? 0u : static_cast<uint32_t>(count));
    for (int axis = 0; axis < 3; ++axis) {
        put<double>(bytes, 131 + 8 * axis, scale);
        put<double>(bytes, 155 + 8 * axis, offset);
    }
    if (minor >= 4)
        put<uint64_t>(bytes, 247, count);
    for (const LasPoint& p : points) {
        std::string record(length, '\0');
        put<int32_t>(record, 0, p.x);
        put<int32_t>(record, 4, p.y);
        put<int32_t>(record, 8, p.z);
        put<uint16_t>(record, 12, p.intensity);
        if (rgbAt[format] >= 0) {
            put<uint16_t>(record, rgbAt[format], p.r);
            put<uint16_t>(record, rgbAt[format] + 2, p.g);
            put<uint16_t>(record, rgbAt[format] + 4, p.b);
        }
        bytes += record;
    }
    return bytes;
}

const std::vector<LasPoint> kLasPoints = {
    {100, 200, 300, 10, 65535, 0, 0},
    {-100, 250, 350, 30, 0, 65535, 0},
    {150, -50, 400, 20, 0, 0, 32768},
};

} // namespace

// Every point format of every version that has it: scale applied, the box, and RGB from the
// formats with colour, grey from intensity in the others.
TEST(LasVariants, EveryPointFormatGivesPositionsAndItsColour) {
    for (int format = 0; format <= 10; ++format) {
        SCOPED_TRACE("point format " + std::to_string(format));
        const int minor = format >= 6 ? 4 : format >= 4 ? 3 : 2;
        LoadedCloud loaded;
        loadFile(scratchFile("las_format.las", lasFile(minor, format, kLasPoints, format % 3)),
                 loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        const PointCloud& cloud = loaded.cloud;
        ASSERT_EQ(cloud.count, 3);
        EXPECT_FLOAT_EQ(cloud.nearCorner[0], -1.0f);
        EXPECT_FLOAT_EQ(cloud.farCorner[1], 2.5f);
        EXPECT_FLOAT_EQ(cloud.nearCorner[2], 4.0f);
        EXPECT_FLOAT_EQ(cloud.points[1].x, -1.0f);
        const bool rgb =
            format == 2 || format == 3 || format == 5 || format == 7 || format == 8 || format == 10;
        EXPECT_EQ(cloud.colour, rgb ? ColourKind::Rgb : ColourKind::Intensity);
        if (rgb) {
            EXPECT_FLOAT_EQ(cloud.points[0].r, 1.0f);
            EXPECT_FLOAT_EQ(cloud.points[1].g, 1.0f);
            EXPECT_NEAR(cloud.points[2].b, 32768 / 65535.0f, 1e-6f);
        } else {
            // Intensities 10, 30, 20 scaled over their range.
            EXPECT_FLOAT_EQ(cloud.points[0].r, 0.0f);
            EXPECT_FLOAT_EQ(cloud.points[1].g, 1.0f);
            EXPECT_FLOAT_EQ(cloud.points[2].b, 0.5f);
        }
        EXPECT_EQ(cloud.formatDescription,
                  "LAS 1." + std::to_string(minor) + ", point format " + std::to_string(format));
    }
}

TEST(LasVariants, ColourDepthCountsAndShortFiles) {
    // No colour above 255: 8-bit values in 16-bit fields.
    {
        LoadedCloud loaded;
        loadFile(scratchFile("las8.las", lasFile(2, 3, {{0, 0, 0, 0, 255, 51, 0}})), loaded);
        ASSERT_EQ(loaded.cloud.count, 1);
        EXPECT_FLOAT_EQ(loaded.cloud.points[0].r, 1.0f);
        EXPECT_FLOAT_EQ(loaded.cloud.points[0].g, 0.2f);
    }
    // Declared 5, three records present: the three are kept and the shortfall said.
    {
        LoadedCloud loaded;
        loadFile(scratchFile("las_short.las", lasFile(2, 1, kLasPoints, 0, 5)), loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Read);
        EXPECT_EQ(loaded.cloud.count, 3);
        EXPECT_EQ(loaded.result.expected, 5);
        EXPECT_FALSE(loaded.result.message.empty());
    }
    // A record cut in the middle does not count.
    {
        std::string bytes = lasFile(4, 6, kLasPoints);
        bytes.resize(bytes.size() - 5);
        LoadedCloud loaded;
        loadFile(scratchFile("las_cut.las", bytes), loaded);
        EXPECT_EQ(loaded.cloud.count, 2);
    }
    // Georeferenced: offsets near 500,000 / 5,000,000 keep centimetres through the shift.
    {
        LoadedCloud loaded;
        loadFile(scratchFile("las_geo.las", lasFile(2, 0, kLasPoints, 0, -1, 0.01, 5000000.0)),
                 loaded);
        ASSERT_EQ(loaded.cloud.count, 3);
        EXPECT_TRUE(loaded.cloud.shifted);
        EXPECT_DOUBLE_EQ(loaded.file(1, 0), 4999999.0);
        EXPECT_NEAR(loaded.file(2, 1), 4999999.5, 1e-6);
    }
}

// Colour fields a writer never filled show the intensity instead, or the height when that is
// zero too; a file with any colour keeps it.
TEST(LasVariants, ColourFieldsZeroInEveryRecordCountAsNoColour) {
    const struct {
        std::vector<LasPoint> points;
        ColourKind colour;
        const char* note;
    } cases[] = {
        {{{0, 0, 0, 10, 0, 0, 0}, {100, 0, 50, 30, 0, 0, 0}, {0, 100, 100, 20, 0, 0, 0}},
         ColourKind::Intensity,
         "RGB fields all zero"},
        {{{0, 0, 0, 0, 0, 0, 0}, {100, 0, 50, 0, 0, 0, 0}, {0, 100, 100, 0, 0, 0, 0}},
         ColourKind::None,
         "RGB fields all zero"},
        {{{0, 0, 0, 10, 0, 0, 0}, {100, 0, 50, 30, 0, 0, 0}, {0, 100, 100, 20, 0, 0, 1}},
         ColourKind::Rgb,
         ""},
    };
    for (const auto& c : cases) {
        for (int format : {2, 3, 7, 8}) {
            SCOPED_TRACE(std::string(c.note) + " in point format " + std::to_string(format));
            LoadedCloud loaded;
            loadFile(scratchFile("las_black.las", lasFile(format >= 6 ? 4 : 2, format, c.points)),
                     loaded);
            ASSERT_EQ(loaded.cloud.count, 3);
            EXPECT_EQ(loaded.cloud.colour, c.colour);
            EXPECT_EQ(loaded.cloud.colourNote, c.note);
            const PointRecord* p = loaded.cloud.points;
            if (c.colour == ColourKind::Intensity) {
                // 10, 30, 20 over their range.
                EXPECT_FLOAT_EQ(p[0].r, 0.0f);
                EXPECT_FLOAT_EQ(p[1].g, 1.0f);
                EXPECT_FLOAT_EQ(p[2].b, 0.5f);
            } else if (c.colour == ColourKind::None) {
                // The ramp: blue at the bottom, green half way, red at the top.
                EXPECT_EQ((std::vector<float>{p[0].r, p[0].g, p[0].b}),
                          (std::vector<float>{0, 0, 1}));
                EXPECT_EQ((std::vector<float>{p[1].r, p[1].g, p[1].b}),
                          (std::vector<float>{0, 1, 0}));
                EXPECT_EQ((std::vector<float>{p[2].r, p[2].g, p[2].b}),
                          (std::vector<float>{1, 0, 0}));
            } else {
                EXPECT_FLOAT_EQ(p[2].b, 1.0f / 255.0f);
            }
        }
    }
}

// A header box in other units than the points (raw integers, as one real file has) must not
// choose the shift: every point keeps the file's precision, and the box comes from the points.
TEST(LasVariants, AHeaderBoxThatDisagreesCostsNoPrecision) {
    const std::vector<LasPoint> points = {
        {12345, 67890, 1000, 0, 0, 0, 0},
        {22345, 77890, 2000, 0, 0, 0, 0},
        {-5000, 1234, 1500, 0, 0, 0, 0},
    };
    const double offset[3] = {500000.0, 5000000.0, 0.0};
    std::string bytes = lasFile(2, 1, points, 0, -1, 0.001, 0.0);
    const double low[3] = {-5000, 1234, 1000}, high[3] = {22345, 77890, 2000};
    for (int axis = 0; axis < 3; ++axis) {
        put<double>(bytes, 155 + 8 * axis, offset[axis]);
        put<double>(bytes, 179 + 16 * axis, high[axis]);
        put<double>(bytes, 187 + 16 * axis, low[axis]);
    }
    LoadedCloud loaded;
    loadFile(scratchFile("las_raw_box.las", bytes), loaded);
    ASSERT_EQ(loaded.cloud.count, 3);
    for (int i = 0; i < 3; ++i) {
        const int32_t raw[3] = {points[i].x, points[i].y, points[i].z};
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(loaded.file(i, axis), raw[axis] * 0.001 + offset[axis], 0.0005)
                << "point " << i << " axis " << axis;
    }
    EXPECT_NEAR(loaded.cloud.nearCorner[0] + loaded.cloud.shift[0], 499995.0, 0.0005);
    EXPECT_EQ(loaded.cloud.warnings,
              std::vector<std::string>{"header box differs from the points"});
    // The same file with its true box: no warning.
    for (int axis = 0; axis < 3; ++axis) {
        put<double>(bytes, 179 + 16 * axis, high[axis] * 0.001 + offset[axis]);
        put<double>(bytes, 187 + 16 * axis, low[axis] * 0.001 + offset[axis]);
    }
    LoadedCloud right;
    loadFile(scratchFile("las_true_box.las", bytes), right);
    EXPECT_TRUE(right.cloud.warnings.empty());
    EXPECT_NEAR(right.file(1, 1), 5000077.890, 0.0005);
}

TEST(LasVariants, UnreadableHeadersAreRefusedWithOneLine) {
    std::string shortRecord = lasFile(2, 3, kLasPoints);
    put<uint16_t>(shortRecord, 105, 20);
    std::string compressed = lasFile(2, 3, kLasPoints);
    compressed[104] = static_cast<char>(3 | 0x80);
    std::string version = lasFile(2, 0, kLasPoints);
    version[24] = 2;
    std::string format = lasFile(4, 6, kLasPoints);
    format[104] = 11;
    const struct {
        std::string bytes;
        const char* says;
    } cases[] = {
        {shortRecord, "point record length 20 is shorter"},
        {compressed, "LAZ file"},
        {version, "version 2.2"},
        {format, "point format 11"},
        {lasFile(2, 0, kLasPoints).substr(0, 100), "cut short"},
    };
    for (const auto& c : cases) {
        LoadedCloud loaded;
        loadFile(scratchFile("las_bad.las", c.bytes), loaded);
        EXPECT_EQ(loaded.result.status, ReadStatus::Refused) << c.says;
        EXPECT_NE(loaded.result.message.find(c.says), std::string::npos) << loaded.result.message;
        EXPECT_NE(loaded.result.message.find("las_bad.las"), std::string::npos);
    }
}
