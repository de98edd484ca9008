// tests/io/e57/e57_real_files_test.cpp - the real E57 files against the facts in the manifest,
// computed by an independent reader.
#include "io/e57/e57_decoder.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Facts : E57PointSink {
    uint64_t count = 0;
    double low[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, high[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    double first[3] = {};
    int firstRgb[3] = {-1, -1, -1};
    void addPoint(const double xyz[3], const uint8_t* rgb, float) override {
        if (count++ == 0)
            for (int i = 0; i < 3; ++i)
                first[i] = xyz[i], firstRgb[i] = rgb ? rgb[i] : -1;
        for (int i = 0; i < 3; ++i)
            low[i] = std::min(low[i], xyz[i]), high[i] = std::max(high[i], xyz[i]);
    }
};

struct RealFile {
    const char* path; // under the shared formats folder; the cube also lives in tests/data
    uint64_t points;
    double low[3], high[3], first[3];
    int firstRgb[3];
};

// clang-format off
const RealFile files[] = {
    {"e57/e57data_ColouredCubeFloat.e57", 7680, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5},
     {-0.5, -0.4990559220314026, 0.07136291265487671}, {0, 0, 255}},
    {"e57/e57data_bunnyInt32.e57", 30571, {-0.094689, 0.040011, -0.061873},
     {0.061008999999999994, 0.187321, 0.058799}, {-0.07063, 0.04015, 0.0012259999999999999},
     {-1, -1, -1}},
};
// clang-format on

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void check(const RealFile& f, const std::vector<uint8_t>& bytes) {
    Facts facts;
    const E57Decoded d = decodeE57(bytes.data(), bytes.size(), facts);
    ASSERT_TRUE(d.readable) << d.message;
    EXPECT_EQ(d.message, "");
    EXPECT_EQ(d.recordCount, f.points);
    EXPECT_EQ(facts.count, f.points);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(facts.low[i], f.low[i], 1e-12);
        EXPECT_NEAR(facts.high[i], f.high[i], 1e-12);
        EXPECT_NEAR(facts.first[i], f.first[i], 1e-12);
        EXPECT_EQ(facts.firstRgb[i], f.firstRgb[i]);
    }
}

} // namespace

TEST(E57RealFiles, CubeInTheRepository) {
    const std::vector<uint8_t> bytes =
        readFile(POINTILLIST_TEST_DATA_DIR "/formats/e57data_ColouredCubeFloat.e57");
    ASSERT_FALSE(bytes.empty());
    check(files[0], bytes);
}

TEST(E57RealFiles, SharedFilesMatchTheManifest) {
    const std::string dir = POINTILLIST_FORMATS_DATA_DIR;
    if (dir.empty())
        GTEST_SKIP() << "no shared formats folder beside the repository";
    for (const RealFile& f : files) {
        SCOPED_TRACE(f.path);
        const std::vector<uint8_t> bytes = readFile(dir + "/" + f.path);
        ASSERT_FALSE(bytes.empty());
        check(f, bytes);
    }
}
