// tests/io/fast_paths_test.cpp - the binary decoders' loops for common layouts against their
// general loops: the same points from the same values laid out two ways, whole and cut short,
// large enough to be split over threads, with holes and with coordinates that need a shift.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Enough points for the decoders to split them over two threads.
constexpr int kCount = 300000;

struct Source {
    double xyz[3];
    uint8_t rgb[3];
};

// Positions near `origin` on a lattice that floats hold exactly; a NaN x every `holeEvery`.
std::vector<Source> sources(double origin, int holeEvery = 0) {
    std::vector<Source> out(kCount);
    for (int i = 0; i < kCount; ++i) {
        Source& s = out[i];
        s.xyz[0] = origin + (i % 1000) * 0.25;
        s.xyz[1] = -origin + (i / 1000) * 0.5;
        s.xyz[2] = (i % 7) * 0.125;
        if (holeEvery && i % holeEvery == 3)
            s.xyz[0] = NAN;
        s.rgb[0] = static_cast<uint8_t>(i), s.rgb[1] = static_cast<uint8_t>(i * 7);
        s.rgb[2] = static_cast<uint8_t>(255 - i % 256);
    }
    return out;
}

// A binary PLY of the points: positions of the given type ("float" or "double", or "mixed" for
// float x and y with a double z), colours as uchar or int (both scaled by 255) or none.
std::string plyFile(const std::vector<Source>& points, const char* position, const char* colour,
                    bool big) {
    const bool mixed = std::strcmp(position, "mixed") == 0;
    const char* type = mixed ? "float" : position;
    std::string bytes = std::string("ply\nformat ") +
                        (big ? "binary_big_endian" : "binary_little_endian") +
                        " 1.0\nelement vertex " + std::to_string(points.size()) + "\n";
    bytes += std::string("property ") + type + " x\nproperty " + type + " y\nproperty " +
             (mixed ? "double" : type) + " z\n";
    const bool coloured = std::strcmp(colour, "none") != 0;
    if (coloured)
        for (const char* name : {"red", "green", "blue"})
            bytes += std::string("property ") + colour + " " + name + "\n";
    bytes += "end_header\n";
    for (const Source& s : points) {
        for (int a = 0; a < 3; ++a) {
            if (std::strcmp(position, "double") == 0 || (mixed && a == 2))
                append<double>(bytes, s.xyz[a], big);
            else
                append<float>(bytes, static_cast<float>(s.xyz[a]), big);
        }
        for (int c = 0; c < 3 && coloured; ++c) {
            if (std::strcmp(colour, "uchar") == 0)
                append<uint8_t>(bytes, s.rgb[c]);
            else
                append<int32_t>(bytes, s.rgb[c], big);
        }
    }
    return bytes;
}

void expectSamePoints(const LoadedCloud& fast, const LoadedCloud& general) {
    ASSERT_EQ(fast.result.status, ReadStatus::Read) << fast.result.message;
    ASSERT_EQ(general.result.status, ReadStatus::Read) << general.result.message;
    EXPECT_EQ(fast.result.message, general.result.message);
    ASSERT_EQ(fast.cloud.count, general.cloud.count);
    EXPECT_EQ(fast.cloud.dropped, general.cloud.dropped);
    EXPECT_EQ(fast.cloud.shifted, general.cloud.shifted);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(fast.cloud.shift[axis], general.cloud.shift[axis]);
    int32_t differ = 0;
    for (int32_t i = 0; i < fast.cloud.count; ++i)
        differ +=
            std::memcmp(&fast.cloud.points[i], &general.cloud.points[i], sizeof(PointRecord)) != 0;
    EXPECT_EQ(differ, 0);
}

// The bytes cut inside the record that follows `records` whole ones.
std::string cut(const std::string& bytes, size_t header, size_t stride, size_t records) {
    return bytes.substr(0, header + stride * records + stride / 2);
}

} // namespace

// Each row: a layout with a loop of its own beside one that goes through the general loop,
// the same values in both; every point must come out bit for bit the same.
TEST(BinaryFastPaths, CommonPlyLayoutsGiveWhatTheGeneralLoopGives) {
    const struct {
        const char* name;
        const char* position;
        const char* colour;
        const char* generalPosition;
        const char* generalColour;
        double origin;
        int holeEvery;
        bool big;
    } cases[] = {
        {"float uchar", "float", "uchar", "float", "int", 0.0, 0, false},
        {"float uchar, shifted", "float", "uchar", "float", "int", 5000.0, 0, false},
        {"float uchar, holes", "float", "uchar", "float", "int", 0.0, 1000, false},
        {"float uchar, big-endian", "float", "uchar", "float", "int", 0.0, 0, true},
        {"double uchar, georeferenced", "double", "uchar", "double", "int", 500000.0, 0, false},
        {"float, no colour", "float", "none", "mixed", "none", 0.0, 0, false},
        {"double, no colour", "double", "none", "double", "int", 2000.0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Source> points = sources(c.origin, c.holeEvery);
        const std::string fastBytes = plyFile(points, c.position, c.colour, c.big);
        const std::string generalBytes = plyFile(points, c.generalPosition, c.generalColour, c.big);
        LoadedCloud fast, general;
        loadFile(scratchFile("fast.ply", fastBytes), fast);
        loadFile(scratchFile("general.ply", generalBytes), general);
        if (std::strcmp(c.colour, "none") == 0 && std::strcmp(c.generalColour, "none") != 0) {
            // Colours differ by design here (ramp against RGB): compare the positions only.
            ASSERT_EQ(fast.cloud.count, general.cloud.count);
            for (int32_t i = 0; i < fast.cloud.count; i += 997)
                EXPECT_EQ(
                    std::memcmp(&fast.cloud.points[i], &general.cloud.points[i], 3 * sizeof(float)),
                    0);
            continue;
        }
        expectSamePoints(fast, general);
        EXPECT_EQ(fast.cloud.count, c.holeEvery ? kCount - kCount / c.holeEvery : kCount);
        // A point read back against the values written.
        const int i = 123457;
        EXPECT_DOUBLE_EQ(fast.file(i - (c.holeEvery ? i / c.holeEvery + 1 : 0), 0),
                         points[i].xyz[0]);

        // Cut inside a record: the whole records before it, from both loops alike.
        const size_t fastStride = fastBytes.size() - fastBytes.find("end_header\n") - 11;
        const size_t generalStride = generalBytes.size() - generalBytes.find("end_header\n") - 11;
        const size_t records = kCount / 3 * 2 + 1;
        LoadedCloud fastCut, generalCut;
        loadFile(scratchFile("fast_cut.ply", cut(fastBytes, fastBytes.find("end_header\n") + 11,
                                                 fastStride / kCount, records)),
                 fastCut);
        loadFile(
            scratchFile("general_cut.ply", cut(generalBytes, generalBytes.find("end_header\n") + 11,
                                               generalStride / kCount, records)),
            generalCut);
        expectSamePoints(fastCut, generalCut);
        EXPECT_EQ(fastCut.result.expected, kCount);
        EXPECT_EQ(fastCut.cloud.count + fastCut.cloud.dropped, static_cast<int32_t>(records));
    }
}

namespace {

// A binary PCD of the points: float or double positions, the colour packed as rgb of the given
// TYPE (F, U or I: the word's bits whatever the type) with the given alpha byte.
std::string pcdFile(const std::vector<Source>& points, bool doubles, char colourType,
                    uint8_t alpha) {
    const int size = doubles ? 8 : 4;
    const char* name = colourType == 'U' ? "rgb" : "rgba";
    std::string bytes = "# .PCD v0.7\nVERSION 0.7\nFIELDS x y z " + std::string(name) + "\nSIZE " +
                        std::to_string(size) + " " + std::to_string(size) + " " +
                        std::to_string(size) + " 4\nTYPE F F F " + colourType +
                        "\nCOUNT 1 1 1 1\nWIDTH " + std::to_string(points.size()) +
                        "\nHEIGHT 1\nPOINTS " + std::to_string(points.size()) + "\nDATA binary\n";
    for (const Source& s : points) {
        for (int a = 0; a < 3; ++a)
            doubles ? append<double>(bytes, s.xyz[a])
                    : append<float>(bytes, static_cast<float>(s.xyz[a]));
        append<uint32_t>(bytes, uint32_t(alpha) << 24 | uint32_t(s.rgb[0]) << 16 |
                                    uint32_t(s.rgb[1]) << 8 | s.rgb[2]);
    }
    return bytes;
}

} // namespace

// Float positions have their own loop; doubles go through the general one. A packed colour is
// its word's bits whether the field says F, U or I, alpha 255 (a NaN as a float, a negative
// int) included.
TEST(BinaryFastPaths, PcdFloatLoopAndPackedColoursOfEveryType) {
    for (const double origin : {0.0, 3000.0}) {
        for (const int holes : {0, 500}) {
            SCOPED_TRACE("origin " + std::to_string(origin) + ", holes " + std::to_string(holes));
            const std::vector<Source> points = sources(origin, holes);
            LoadedCloud fast, general, asFloat, asInt;
            loadFile(scratchFile("fast.pcd", pcdFile(points, false, 'U', 0)), fast);
            loadFile(scratchFile("general.pcd", pcdFile(points, true, 'U', 0)), general);
            loadFile(scratchFile("float.pcd", pcdFile(points, false, 'F', 255)), asFloat);
            loadFile(scratchFile("int.pcd", pcdFile(points, false, 'I', 255)), asInt);
            expectSamePoints(fast, general);
            expectSamePoints(fast, asFloat);
            expectSamePoints(fast, asInt);
            EXPECT_EQ(fast.cloud.dropped, holes ? kCount / holes : 0);
            // The first point is a hole in none of them: its colour read back.
            EXPECT_FLOAT_EQ(asInt.cloud.points[2].r, 2 / 255.0f);
            EXPECT_FLOAT_EQ(asInt.cloud.points[2].g, 14 / 255.0f);
            EXPECT_FLOAT_EQ(asInt.cloud.points[2].b, 253 / 255.0f);

            const std::string bytes = pcdFile(points, false, 'U', 0);
            const size_t header = bytes.size() - 16 * static_cast<size_t>(kCount);
            LoadedCloud fastCut, generalCut;
            loadFile(scratchFile("fast_cut.pcd", cut(bytes, header, 16, 200001)), fastCut);
            const std::string doubles = pcdFile(points, true, 'U', 0);
            loadFile(scratchFile("general_cut.pcd",
                                 cut(doubles, doubles.size() - 28 * size_t(kCount), 28, 200001)),
                     generalCut);
            expectSamePoints(fastCut, generalCut);
            EXPECT_EQ(fastCut.cloud.count + fastCut.cloud.dropped, 200001);
            EXPECT_NE(fastCut.result.message.find("ends after 200001 points"), std::string::npos);
        }
    }
}

namespace {

// A LAS 1.2 file of point format 2 (RGB), scale 0.01: record i at (i, -i, i % 9) hundredths
// from the offset, its red i % 256, with the one 16-bit value given at record `wideAt`.
std::string lasFile(int count, int wideAt, double offset) {
    std::string bytes(227, '\0');
    std::memcpy(&bytes[0], "LASF", 4);
    bytes[24] = 1, bytes[25] = 2;
    auto put = [&bytes](size_t at, auto value) { std::memcpy(&bytes[at], &value, sizeof value); };
    put(94, uint16_t(227));
    put(96, uint32_t(227));
    bytes[104] = 2;
    put(105, uint16_t(26));
    put(107, uint32_t(count));
    for (int axis = 0; axis < 3; ++axis) {
        put(131 + 8 * axis, 0.01);
        put(155 + 8 * axis, offset);
        put(179 + 16 * axis, offset + count * 0.01);
        put(187 + 16 * axis, offset - count * 0.01);
    }
    for (int i = 0; i < count; ++i) {
        append<int32_t>(bytes, i), append<int32_t>(bytes, -i), append<int32_t>(bytes, i % 9);
        bytes.append(8, '\0');
        append<uint16_t>(bytes, static_cast<uint16_t>(i == wideAt ? 4096 : i % 256));
        append<uint16_t>(bytes, 0), append<uint16_t>(bytes, 255);
    }
    return bytes;
}

} // namespace

// The colour depth is one decision for the file even when the records are decoded in parts:
// a single value above 255 anywhere makes every colour 16-bit.
TEST(BinaryFastPaths, LasColourDepthIsDecidedOverEveryPart) {
    const struct {
        int wideAt;
        float scale;
    } cases[] = {{-1, 1 / 255.0f}, {0, 1 / 65535.0f}, {kCount - 1, 1 / 65535.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE("wide at " + std::to_string(c.wideAt));
        LoadedCloud loaded;
        loadFile(scratchFile("depth.las", lasFile(kCount, c.wideAt, 400000.0)), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        ASSERT_EQ(loaded.cloud.count, kCount);
        EXPECT_TRUE(loaded.cloud.shifted);
        EXPECT_EQ(loaded.cloud.precision[2], 0.01); // the step the file's integers keep
        for (const int i : {1, kCount / 2 + 1, kCount - 2}) {
            EXPECT_EQ(loaded.cloud.points[i].r, static_cast<float>(i % 256) * c.scale);
            EXPECT_EQ(loaded.cloud.points[i].b, 255 * c.scale);
            EXPECT_NEAR(loaded.file(i, 0), 400000.0 + i * 0.01, 1e-3);
            EXPECT_NEAR(loaded.file(i, 1), 400000.0 - i * 0.01, 1e-3);
        }
    }
}
