// tests/io/cloud_writer_test.cpp - binary PLY output read back: positions and the intensity and
// class properties.
#include "io/cloud_writer.h"

#include "tests/io/io_test_support.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string writeScratchPly(const PointCloud& cloud, const std::string& name) {
    const std::string path = scratchDir() + std::to_string(getpid()) + "-" + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return "";
    const bool written = writeBinaryPly(cloud, out);
    return std::fclose(out) == 0 && written ? path : "";
}

std::string headerOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line, header;
    while (std::getline(in, line) && line != "end_header")
        header += line + "\n";
    return header;
}

} // namespace

// A classified tile with 8-bit intensities, a 1.4 tile with 16-bit ones, and clouds with only
// one of the two or neither: each comes back with what it had and no more.
TEST(PlyOutput, IntensityAndClassComeBackAsProperties) {
    for (const char* file : {"lidar/pdal_mvk-thin.las", "formats/laspy_test1_4.las",
                             "formats/pcl_office1_keypoints.pcd", "camera_cube.txt"}) {
        SCOPED_TRACE(file);
        LoadedCloud source;
        loadFile(testData(file), source);
        ASSERT_GT(source.cloud.count, 0);
        const std::string path = writeScratchPly(source.cloud, "attributes.ply");
        ASSERT_NE(path, "");
        const PointAttributes& a = source.cloud.attributes;
        const std::string header = headerOf(path);
        EXPECT_EQ(header.find("property ushort intensity\n") != std::string::npos,
                  a.has(kIntensity));
        EXPECT_EQ(header.find("property uchar classification\n") != std::string::npos,
                  a.has(kClassification));

        LoadedCloud again;
        loadFile(path, again);
        ASSERT_EQ(again.cloud.count, source.cloud.count);
        const PointAttributes& b = again.cloud.attributes;
        EXPECT_EQ(b.present, a.present & (kIntensity | kClassification));
        EXPECT_EQ(b.intensity, a.intensity);
        EXPECT_EQ(b.classification, a.classification);
        // Within a float step at the tile's 2.5 km half-width: the positions are where they were.
        for (int32_t i = 0; i < source.cloud.count; i += 61)
            for (int axis = 0; axis < 3; ++axis)
                ASSERT_NEAR(again.file(i, axis), source.file(i, axis), 2.5e-4) << i;
    }
}
