// tests/io/attributes_test.cpp - intensity and class in the formats that store them as plain
// numbers (PLY, PCD, column text, PTS), written here byte by byte: one row per variant, each with
// a record dropped for its position so that the entries must stay beside their points.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The four records every file holds; the second has no finite position and is dropped.
constexpr float kX[4] = {0.0f, NAN, 1.0f, 2.0f};

std::string plyBinaryFixed() {
    std::string bytes = "ply\nformat binary_little_endian 1.0\nelement vertex 4\n"
                        "property float x\nproperty float y\nproperty float z\n"
                        "property ushort intensity\nproperty uchar classification\nend_header\n";
    const uint16_t intensity[4] = {1000, 2000, 3000, 65535};
    const uint8_t classes[4] = {2, 9, 6, 18};
    for (int i = 0; i < 4; ++i) {
        append(bytes, kX[i]), append(bytes, 0.0f), append(bytes, 0.0f);
        append(bytes, intensity[i]), append(bytes, classes[i]);
    }
    return bytes;
}

// Big-endian, with a list inside the vertex element: read record by record.
std::string plyBinaryWithList() {
    std::string bytes = "ply\nformat binary_big_endian 1.0\nelement vertex 4\n"
                        "property float x\nproperty float y\nproperty float z\n"
                        "property list uchar int extra\nproperty int intensity\n"
                        "property uchar class\nend_header\n";
    for (int i = 0; i < 4; ++i) {
        append(bytes, kX[i], true), append(bytes, 0.0f, true), append(bytes, 0.0f, true);
        append(bytes, static_cast<uint8_t>(i));
        for (int k = 0; k < i; ++k)
            append(bytes, int32_t(k), true);
        append(bytes, int32_t(100 * (i + 1)), true), append(bytes, static_cast<uint8_t>(i + 1));
    }
    return bytes;
}

std::string pcdBinary(bool compressed) {
    std::string bytes = "VERSION .7\nFIELDS x y z intensity label\nSIZE 4 4 4 4 4\n"
                        "TYPE F F F F U\nCOUNT 1 1 1 1 1\nWIDTH 4\nHEIGHT 1\nPOINTS 4\n";
    const float intensity[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    const uint32_t labels[4] = {2, 3, 4, 5};
    std::string body;
    if (!compressed) {
        for (int i = 0; i < 4; ++i) {
            append(body, kX[i]), append(body, 0.0f), append(body, 0.0f);
            append(body, intensity[i]), append(body, labels[i]);
        }
        return bytes + "DATA binary\n" + body;
    }
    for (int i = 0; i < 4; ++i)
        append(body, kX[i]);
    for (int i = 0; i < 8; ++i)
        append(body, 0.0f);
    for (float v : intensity)
        append(body, v);
    for (uint32_t v : labels)
        append(body, v);
    // LZF literal runs of up to 32 bytes: a length byte (count - 1), then the bytes.
    std::string lzf;
    for (size_t at = 0; at < body.size(); at += 32) {
        const size_t n = std::min<size_t>(32, body.size() - at);
        lzf += static_cast<char>(n - 1);
        lzf += body.substr(at, n);
    }
    std::string sizes;
    append(sizes, static_cast<uint32_t>(lzf.size())), append(sizes, static_cast<uint32_t>(80));
    return bytes + "DATA binary_compressed\n" + sizes + lzf;
}

struct AttributeRow {
    const char* name;
    std::string bytes;
    uint32_t present;
    std::vector<int> intensity; // of the three points kept
    std::vector<int> classes;
};

} // namespace

// Whole intensities within 0..65535 stay as they are, fractions of 0..1 are scaled to 16 bits,
// others mapped from their range; class values saturate at 255.
TEST(FormatAttributes, IntensityAndClassStayBesideTheirPoints) {
    const AttributeRow rows[] = {
        {"ascii.ply",
         "ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
         "property float z\nproperty float scalar_Intensity\n"
         "property float scalar_Classification\nend_header\n"
         "0 0 0 0.5 2\nnan 0 0 0.25 7\n1 0 0 1 6\n2 0 0 0 300\n",
         kIntensity | kClassification,
         {32768, 65535, 0},
         {2, 6, 255}},
        {"fixed.ply",
         plyBinaryFixed(),
         kIntensity | kClassification,
         {1000, 3000, 65535},
         {2, 6, 18}},
        {"lists.ply",
         plyBinaryWithList(),
         kIntensity | kClassification,
         {100, 300, 400},
         {1, 3, 4}},
        {"ascii.pcd",
         "FIELDS x y z intensity label\nSIZE 4 4 4 4 4\nTYPE F F F F U\nCOUNT 1 1 1 1 1\n"
         "WIDTH 4\nHEIGHT 1\nPOINTS 4\nDATA ascii\n"
         "0 0 0 1.5 5\nnan 0 0 99 1\n1 0 0 3.5 2\n2 0 0 5.5 1000\n",
         kIntensity | kClassification,
         {0, 32768, 65535},
         {5, 2, 255}},
        {"binary.pcd",
         pcdBinary(false),
         kIntensity | kClassification,
         {16384, 49151, 65535},
         {2, 4, 5}},
        {"compressed.pcd",
         pcdBinary(true),
         kIntensity | kClassification,
         {16384, 49151, 65535},
         {2, 4, 5}},
        {"named.txt",
         "x y z intensity classification\n0 0 0 12 2\nnan 0 0 13 3\n1 0 0 14 5\n2 0 0 15 6\n",
         kIntensity | kClassification,
         {12, 14, 15},
         {2, 5, 6}},
        {"classes.csv",
         "X,Y,Z,Classification\n0,0,0,2\nnan,0,0,3\n1,0,0,9\n2,0,0,17\n",
         kClassification,
         {},
         {2, 9, 17}},
        {"scanner.pts",
         "4\n0 0 0 -2048 1 2 3\nnan 0 0 5 1 2 3\n1 0 0 0 1 2 3\n2 0 0 2047 1 2 3\n",
         kIntensity,
         {0, 32776, 65535},
         {}},
    };
    for (const AttributeRow& row : rows) {
        SCOPED_TRACE(row.name);
        LoadedCloud loaded;
        loadFile(scratchFile(row.name, row.bytes), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        ASSERT_EQ(loaded.cloud.count, 3);
        EXPECT_EQ(loaded.cloud.dropped, 1);
        const PointAttributes& a = loaded.cloud.attributes;
        EXPECT_EQ(a.present, row.present);
        EXPECT_EQ(std::vector<int>(a.intensity.begin(), a.intensity.end()), row.intensity);
        EXPECT_EQ(std::vector<int>(a.classification.begin(), a.classification.end()), row.classes);
        EXPECT_TRUE(a.returns.empty() && a.gpsTime.empty());
        // The points kept are the first, third and fourth, in order.
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(loaded.file(i, 0), i) << i;
    }
}

TEST(FormatAttributes, FilesWithoutThemHaveNoColumns) {
    for (const char* file : {"formats/draco_test_pos_color.ply", "formats/pcl_colored_cloud.pcd",
                             "formats/trimesh_points_agisoft.xyz", "camera_cube.txt"}) {
        LoadedCloud loaded;
        loadFile(testData(file), loaded);
        EXPECT_EQ(loaded.cloud.attributes.present, 0u) << file;
        EXPECT_EQ(loaded.cloud.attributes.bytesPerPoint(), 0u) << file;
        EXPECT_TRUE(loaded.cloud.attributes.intensity.empty()) << file;
    }
}
