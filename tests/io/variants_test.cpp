// tests/io/variants_test.cpp - variants the real files miss, written here byte by byte: PLY
// encodings and types, PCD layouts, column text dialects, and files cut short.
#include "tests/io/io_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string plyHeader(const char* encoding, const std::string& body, const char* end = "\n") {
    std::string header = std::string("ply") + end + "format " + encoding + " 1.0" + end;
    size_t at = 0;
    while (at < body.size()) {
        const size_t next = body.find('\n', at);
        header += body.substr(at, next - at) + end;
        at = next + 1;
    }
    return header + "end_header" + end;
}

} // namespace

// PLY encodings and property types, with the vertex element after others and lists inside it.
TEST(PlyVariants, EncodingsTypesAndElementsAroundTheVertices) {
    // Big-endian doubles and ushort colours, after an element with a list.
    std::string big = plyHeader("binary_big_endian", "comment made here\nobj_info none\n"
                                                     "element material 1\n"
                                                     "property list uint8 int32 ids\n"
                                                     "element vertex 2\nproperty float64 x\n"
                                                     "property float64 y\nproperty float64 z\n"
                                                     "property ushort red\nproperty ushort green\n"
                                                     "property ushort blue\n");
    append<uint8_t>(big, 2);
    append<int32_t>(big, 7, true);
    append<int32_t>(big, 8, true);
    for (double v : {1.5, -2.0, 3.25})
        append<double>(big, v, true);
    for (uint16_t c : {65535, 0, 13107})
        append<uint16_t>(big, c, true);
    for (double v : {4.0, 5.0, 6.0})
        append<double>(big, v, true);
    for (uint16_t c : {0, 65535, 0})
        append<uint16_t>(big, c, true);
    // Little-endian int8 / uchar names and a list inside the vertex element.
    std::string listed = plyHeader("binary_little_endian", "element vertex 2\nproperty int8 x\n"
                                                           "property list uchar int k\n"
                                                           "property char y\nproperty int16 z\n"
                                                           "property uchar red\n"
                                                           "property uint8 green\n"
                                                           "property uchar blue\n"
                                                           "element face 0\n");
    for (int i = 0; i < 2; ++i) {
        append<int8_t>(listed, static_cast<int8_t>(-3 + i));
        append<uint8_t>(listed, static_cast<uint8_t>(i + 1));
        for (int k = 0; k <= i; ++k)
            append<int32_t>(listed, 99);
        append<int8_t>(listed, 5);
        append<int16_t>(listed, 300);
        append<uint8_t>(listed, 51), append<uint8_t>(listed, 0), append<uint8_t>(listed, 255);
    }
    // CR LF header lines, ascii, float colour and alpha.
    std::string crlf = plyHeader("ascii",
                                 "element vertex 2\nproperty float x\nproperty float y\n"
                                 "property float z\nproperty float red\n"
                                 "property float green\nproperty float blue\n"
                                 "property float alpha\n",
                                 "\r\n");
    crlf += "1 2 3 0 0.5 1 1\r\n4 5 6 1 1 1 0\r\n";
    // Gaussian splats: colour from f_dc.
    std::string splat = plyHeader("binary_little_endian", "element vertex 1\nproperty float x\n"
                                                          "property float y\nproperty float z\n"
                                                          "property float f_dc_0\n"
                                                          "property float f_dc_1\n"
                                                          "property float f_dc_2\n");
    for (float v : {0.0f, 0.0f, 0.0f, 0.0f, 10.0f, -10.0f})
        append<float>(splat, v);
    const struct {
        const char* name;
        std::string bytes;
        int count;
        float first[3], colour[3];
    } cases[] = {
        {"big.ply", big, 2, {1.5f, -2.0f, 3.25f}, {1.0f, 0.0f, 0.2f}},
        {"listed.ply", listed, 2, {-3.0f, 5.0f, 300.0f}, {0.2f, 0.0f, 1.0f}},
        {"crlf.ply", crlf, 2, {1.0f, 2.0f, 3.0f}, {0.0f, 0.5f, 1.0f}},
        {"splat.ply", splat, 1, {0.0f, 0.0f, 0.0f}, {0.5f, 1.0f, 0.0f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.bytes), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        ASSERT_EQ(loaded.cloud.count, c.count);
        // Positions in file coordinates: a shift may apply even to small clouds.
        const PointRecord& p = loaded.cloud.points[0];
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(loaded.file(0, axis), c.first[axis], 1e-5);
        EXPECT_NEAR(p.r, c.colour[0], 1e-6f);
        EXPECT_NEAR(p.g, c.colour[1], 1e-6f);
        EXPECT_NEAR(p.b, c.colour[2], 1e-6f);
        if (c.count > 1) {
            EXPECT_NEAR(loaded.file(1, 0), std::string(c.name) == "listed.ply" ? -2.0 : 4.0, 1e-5);
        }
    }
}

TEST(PlyVariants, NonFiniteVerticesDropAndShortBodiesKeepWhatIsWhole) {
    LoadedCloud holes;
    loadFile(scratchFile("holes.ply", plyHeader("ascii", "element vertex 4\nproperty float x\n"
                                                         "property float y\nproperty float z\n") +
                                          "1 1 1\nnan 2 2\n3 inf 3\n4 4 4\n"),
             holes);
    EXPECT_EQ(holes.cloud.count, 2);
    EXPECT_EQ(holes.cloud.dropped, 2);
    EXPECT_EQ(holes.cloud.colour, ColourKind::None);
    // The height ramp: lowest blue, highest red.
    EXPECT_EQ(std::vector<float>(
                  {holes.cloud.points[0].r, holes.cloud.points[0].g, holes.cloud.points[0].b}),
              std::vector<float>({0, 0, 1}));
    EXPECT_EQ(std::vector<float>(
                  {holes.cloud.points[1].r, holes.cloud.points[1].g, holes.cloud.points[1].b}),
              std::vector<float>({1, 0, 0}));

    std::string cut = plyHeader("binary_little_endian", "element vertex 3\nproperty float x\n"
                                                        "property float y\nproperty float z\n");
    for (int i = 0; i < 8; ++i)
        append<float>(cut, static_cast<float>(i));
    LoadedCloud shortBody;
    loadFile(scratchFile("cut.ply", cut), shortBody);
    EXPECT_EQ(shortBody.result.status, ReadStatus::Read);
    EXPECT_EQ(shortBody.cloud.count, 2);
    EXPECT_EQ(shortBody.result.expected, 3);

    const char* refused[] = {
        "ply\nformat binary_middle_endian 1.0\nelement vertex 1\nend_header\n",
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty float y\nend_header\n0\n",
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty float128 x\nend_header\n",
        "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\n",
    };
    for (const char* text : refused) {
        LoadedCloud bad;
        loadFile(scratchFile("bad.ply", text), bad);
        EXPECT_EQ(bad.result.status, ReadStatus::Refused) << text;
        EXPECT_EQ(bad.result.message.rfind(scratchPath("bad.ply") + ": PLY file, ", 0), 0u)
            << bad.result.message;
    }
}

TEST(PcdVariants, LayoutsPackedColoursAndOrganisedHoles) {
    // An organised 2 x 2 ascii cloud with a hole, rgb as a packed float written in decimal.
    float packed;
    const uint32_t word = 0x00FF8000;
    std::memcpy(&packed, &word, sizeof packed);
    char rgb[64];
    std::snprintf(rgb, sizeof rgb, "%.9g", packed);
    const std::string organised = std::string("# .PCD v0.7\nVERSION 0.7\nFIELDS x y z rgb\n"
                                              "SIZE 4 4 4 4\nTYPE F F F F\nCOUNT 1 1 1 1\n"
                                              "WIDTH 2\nHEIGHT 2\nVIEWPOINT 0 0 0 1 0 0 0\n"
                                              "POINTS 4\nDATA ascii\n") +
                                  "1 2 3 " + rgb + "\nnan nan nan " + rgb + "\n4 5 6 " + rgb +
                                  "\n7 8 9 " + rgb + "\n";
    // Binary without VERSION: double x, a field of COUNT 3 between, y z, rgba as a uint.
    std::string binary = "FIELDS x normal y z rgba\nSIZE 8 4 4 4 4\nTYPE F F F F U\n"
                         "COUNT 1 3 1 1 1\nWIDTH 2\nHEIGHT 1\nDATA binary\n";
    for (int i = 0; i < 2; ++i) {
        append<double>(binary, 10.0 + i);
        for (int k = 0; k < 3; ++k)
            append<float>(binary, 99.0f);
        append<float>(binary, 20.0f), append<float>(binary, 30.0f);
        append<uint32_t>(binary, 0x000000FF);
    }
    LoadedCloud a, b;
    loadFile(scratchFile("organised.pcd", organised), a);
    loadFile(scratchFile("binary.xyz", binary), b); // by content, whatever the extension
    ASSERT_EQ(a.result.status, ReadStatus::Read) << a.result.message;
    EXPECT_EQ(a.cloud.count, 3);
    EXPECT_EQ(a.cloud.dropped, 1);
    EXPECT_EQ(a.file(1, 0), 4.0);
    EXPECT_NEAR(a.cloud.points[0].r, 1.0f, 1e-6f);
    EXPECT_NEAR(a.cloud.points[0].g, 128 / 255.0f, 1e-6f);
    ASSERT_EQ(b.result.status, ReadStatus::Read) << b.result.message;
    EXPECT_EQ(b.cloud.count, 2);
    EXPECT_EQ(b.file(1, 0), 11.0);
    EXPECT_EQ(b.file(1, 1), 20.0);
    EXPECT_EQ(b.cloud.points[0].b, 1.0f);
    EXPECT_EQ(b.cloud.formatDescription, "PCD binary");
}

// Field names in any case, and colour as three fields of any type, scaled by their type.
TEST(PcdVariants, FieldNamesInAnyCaseAndColourInThreeFields) {
    std::string binary = "# .PCD v0.7\nFIELDS X Y Z R G B\nSIZE 4 4 4 2 2 2\nTYPE F F F U U U\n"
                         "COUNT 1 1 1 1 1 1\nWIDTH 1\nHEIGHT 1\nPOINTS 1\nDATA binary\n";
    append<float>(binary, 1.0f), append<float>(binary, 2.0f), append<float>(binary, 3.0f);
    append<uint16_t>(binary, 65535), append<uint16_t>(binary, 0), append<uint16_t>(binary, 13107);
    const struct {
        const char* name;
        std::string text;
        float first[6];
        ColourKind colour;
    } cases[] = {
        {"capitals.pcd",
         "# .PCD v0.7\nFIELDS X Y Z Intensity Red Green Blue\nSIZE 4 4 4 4 1 1 1\n"
         "TYPE F F F F U U U\nCOUNT 1 1 1 1 1 1 1\nWIDTH 2\nPOINTS 2\nDATA ascii\n"
         "1 2 3 0.5 255 0 51\n4 5 6 0.7 0 0 0\n",
         {1, 2, 3, 1, 0, 0.2f},
         ColourKind::Rgb},
        {"short16.pcd", binary, {1, 2, 3, 1, 0, 0.2f}, ColourKind::Rgb},
        {"fractions.pcd",
         "# .PCD v0.7\nFIELDS x y z red green blue\nSIZE 4 4 4 4 4 4\nTYPE F F F F F F\n"
         "WIDTH 1\nDATA ascii\n1 2 3 0.25 0.5 1\n",
         {1, 2, 3, 0.25f, 0.5f, 1},
         ColourKind::Rgb},
        {"grey.pcd",
         "# .PCD v0.7\nFIELDS X Y Z INTENSITY\nWIDTH 2\nDATA ascii\n1 2 3 10\n4 5 6 20\n",
         {1, 2, 3, 0, 0, 0},
         ColourKind::Intensity},
        // Two of three colour fields are no colour.
        {"partial.pcd",
         "# .PCD v0.7\nFIELDS x y z red green\nWIDTH 1\nDATA ascii\n1 2 3 255 255\n",
         {1, 2, 3, 1, 1, 1},
         ColourKind::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.text), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        const PointRecord& p = loaded.cloud.points[0];
        const double got[6] = {
            loaded.file(0, 0), loaded.file(0, 1), loaded.file(0, 2), p.r, p.g, p.b};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(got[i], c.first[i]) << "value " << i;
        for (int i = 3; i < 6 && c.colour != ColourKind::None; ++i)
            EXPECT_NEAR(got[i], c.first[i], 1e-6f) << "value " << i;
        EXPECT_EQ(loaded.cloud.colour, c.colour);
    }
}

// More than one row is a depth camera's picture, with the sensor's pose from VIEWPOINT; a
// VIEWPOINT that is not seven finite numbers leaves the identity.
TEST(PcdVariants, OrganisedRowsAndTheSensorsViewpoint) {
    const struct {
        const char* height;
        const char* viewpoint;
        bool organised;
        std::vector<double> pose; // translation, then w x y z
    } cases[] = {
        {"HEIGHT 2\n", "VIEWPOINT 1 2 3 0.5 -0.5 0.5 0.5\n", true, {1, 2, 3, 0.5, -0.5, 0.5, 0.5}},
        {"HEIGHT 2\n", "", true, {0, 0, 0, 1, 0, 0, 0}},
        {"HEIGHT 1\n", "VIEWPOINT 1 2 3 0 1 0 0\n", false, {1, 2, 3, 0, 1, 0, 0}},
        {"", "VIEWPOINT 1 2 3 0 1 0 0\n", false, {1, 2, 3, 0, 1, 0, 0}},
        {"HEIGHT 2\n", "VIEWPOINT 1 2 3 0 1 0\n", true, {0, 0, 0, 1, 0, 0, 0}},
        {"HEIGHT 2\n", "VIEWPOINT 1 2 3 0 1 0 x\n", true, {0, 0, 0, 1, 0, 0, 0}},
        {"HEIGHT 2\n", "VIEWPOINT 1 2 3 0 nan 0 0\n", true, {0, 0, 0, 1, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.height) + c.viewpoint);
        const std::string text = std::string("# .PCD v0.7\nFIELDS x y z\nWIDTH 2\n") + c.height +
                                 c.viewpoint + "DATA ascii\n1 2 3\n4 5 6\n7 8 9\n1 1 1\n";
        LoadedCloud loaded;
        loadFile(scratchFile("viewpoint.pcd", text), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        EXPECT_EQ(loaded.cloud.organised, c.organised);
        std::vector<double> pose(loaded.cloud.viewpoint.translation,
                                 loaded.cloud.viewpoint.translation + 3);
        pose.insert(pose.end(), loaded.cloud.viewpoint.rotation,
                    loaded.cloud.viewpoint.rotation + 4);
        EXPECT_EQ(pose, c.pose);
    }
}

// Column text: separators, header names in any order and case, column counts, colour scales.
TEST(ColumnTextVariants, SeparatorsHeadersAndColumnCounts) {
    const struct {
        const char* name;
        const char* text;
        int count;
        float first[6];
        ColourKind colour;
    } cases[] = {
        {"plain.xyz", "1 2 3\n4 5 6\n", 2, {1, 2, 3, 0, 0, 1}, ColourKind::None},
        {"rgb255.txt", "1\t2\t3\t255\t0\t51\n", 1, {1, 2, 3, 1, 0, 0.2f}, ColourKind::Rgb},
        {"rgb01.csv", "1,2,3,1,0,0.5\n2,2,2,0,0,0\n", 2, {1, 2, 3, 1, 0, 0.5f}, ColourKind::Rgb},
        {"named.csv",
         "Z;Y;X;Red;Green;Blue\r\n3;2;1;0;255;0\r\n",
         1,
         {1, 2, 3, 0, 1, 0},
         ColourKind::Rgb},
        {"seven.asc",
         "# made here\n1 2 3 7 0 0 255\n1 1 1 9 0 0 0\n",
         2,
         {1, 2, 3, 0, 0, 1},
         ColourKind::Rgb},
        // A last column that never changes is alpha, not blue; one that does is blue.
        {"alpha.txt",
         "1 2 3 255 0 51 255\n4 5 6 0 0 0 255\r\n\n7 8 9 1 1 1 255\n",
         3,
         {1, 2, 3, 1, 0, 0.2f},
         ColourKind::Rgb},
        {"alpha_one.csv",
         "1,2,3,1,0,0.5,1\n2,2,2,0,0,0,1\n",
         2,
         {1, 2, 3, 1, 0, 0.5f},
         ColourKind::Rgb},
        {"seven_blue.txt",
         "1 2 3 7 0 0 255\n1 1 1 9 0 0 255\n1 1 1 9 0 0 254\n",
         3,
         {1, 2, 3, 0, 0, 1},
         ColourKind::Rgb},
        {"intensity.txt",
         "x y z intensity\n1 2 3 10\n0 0 0 20\n",
         2,
         {1, 2, 3, 0, 0, 0},
         ColourKind::Intensity},
        {"cloud.pts",
         "2\n1 2 3 -100 10 20 255\n4 5 6 0 0 0 0\n",
         2,
         {1, 2, 3, 10 / 255.0f, 20 / 255.0f, 1},
         ColourKind::Rgb},
        {"bare.pts", "2\n1 2 3 -100\n4 5 6 100\n", 2, {1, 2, 3, 0, 0, 0}, ColourKind::Intensity},
        {"mesh.obj",
         "o cube\nv 1 2 3 1 0 0\nvn 0 0 1\nv 4 5 6 0 1 0\nf 1 2 1\n",
         2,
         {1, 2, 3, 1, 0, 0},
         ColourKind::Rgb},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.text), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        ASSERT_EQ(loaded.cloud.count, c.count);
        const PointRecord& p = loaded.cloud.points[0];
        const double got[6] = {
            loaded.file(0, 0), loaded.file(0, 1), loaded.file(0, 2), p.r, p.g, p.b};
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(got[i], c.first[i], 1e-6f) << "value " << i;
        EXPECT_EQ(loaded.cloud.colour, c.colour);
    }
}

TEST(ColumnTextVariants, ABadLineKeepsTheRecordsBeforeIt) {
    LoadedCloud loaded;
    loadFile(scratchFile("bad_line.xyz", "1 2 3\n4 5 6\n7 8 x\n9 9 9\n"), loaded);
    EXPECT_EQ(loaded.result.status, ReadStatus::Read);
    EXPECT_EQ(loaded.cloud.count, 2);
    EXPECT_NE(loaded.result.message.find("line 3"), std::string::npos) << loaded.result.message;
}

// Text without a count, cut inside its last record: the complete lines stay, and the cut line
// is named when it holds fewer values than the line before it; a read of nothing says so.
TEST(ColumnTextVariants, ACutLastLineIsLeftOutAndSaid) {
    const struct {
        const char* name;
        const char* text;
        int count;
        const char* message;
    } cases[] = {
        {"cut.xyz", "1 2 3 4 5 6\n7 8 9 10 11 12\n1 2 3 4", 2,
         "line 3, the last, is incomplete: 4 values where the line before has 6"},
        // Wider than the columns read: the line would have passed as a record.
        {"wide.xyz", "1 2 3 4 5 6 7 8 9\n1 2 3 4 5 6 7 8 9\n1 2 3 4 5 6 7", 2,
         "line 3, the last, is incomplete: 7 values where the line before has 9"},
        {"comment.txt", "1 2 3\n# note\n4 5\r\n\n \n", 1,
         "line 3, the last, is incomplete: 2 values where the line before has 3"},
        {"whole.xyz", "1 2 3\n4 5 6", 2, ""},
        {"ends_in_comment.xyz", "1 2 3\n4 5 6\n# 7 8", 2, ""},
        {"headed.csv", "x,y,z\n1,2", 0,
         "no point could be read: line 2, the last, is incomplete: 2 values where a record has 3"},
        {"cut.pts", "3\n1 2 3 4\n1 2 3 4\n1 2 3", 2,
         "line 4, the last, is incomplete: 3 values where the line before has 4"},
        {"cut.obj", "v 1 2 3\nvn 0 0 1\nv 4 5 6\nv 7 8", 2,
         "line 4, the last, is incomplete: 2 values where the vertex before has 3"},
        {"nothing.obj", "v 1 2", 0,
         "no point could be read: line 1, the last, is incomplete: 2 values where a vertex has 3"},
        {"faces.obj", "o shape\nf 1 2 3\n", 0, "no point could be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadedCloud loaded;
        loadFile(scratchFile(c.name, c.text), loaded);
        ASSERT_EQ(loaded.result.status, ReadStatus::Read) << loaded.result.message;
        EXPECT_EQ(loaded.cloud.count, c.count);
        EXPECT_EQ(loaded.result.message, c.message);
        if (c.count > 0) {
            EXPECT_EQ(loaded.file(0, 0), 1.0);
        }
    }
}
