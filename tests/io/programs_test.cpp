// tests/io/programs_test.cpp - pointillist-info's lines for other formats and pointillist-convert,
// run as the real executables.
#include "tests/io/io_test_support.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

TEST(InfoProgram, OtherFormatsAddFormatColourDroppedAndShiftLines) {
    const ProcessResult las =
        runProgram({POINTILLIST_INFO_EXE, testData("formats/pdal_1.2-with-color.las")});
    EXPECT_EQ(las.status, 0);
    EXPECT_EQ(las.err, "");
    EXPECT_EQ(las.out.rfind("points: 1065\nmin: 635619.85 848899.7 406.589996\n", 0), 0u)
        << las.out;
    EXPECT_NE(las.out.find("\nformat: LAS 1.2, point format 3\ncolour: rgb\ndropped: 0\n"
                           "shift: 637301 851218 496\n"),
              std::string::npos)
        << las.out;
    const ProcessResult pcd =
        runProgram({POINTILLIST_INFO_EXE, testData("formats/pcl_office1_keypoints.pcd")});
    EXPECT_NE(pcd.out.find("\nformat: PCD binary\ncolour: intensity\ndropped: 0\n"),
              std::string::npos);
    EXPECT_EQ(pcd.out.find("shift:"), std::string::npos);
}

TEST(InfoProgram, RefusalsAndShortFilesSayOneLineOnStandardError) {
    // A compressed file whose header stops before its point format's fields are complete.
    std::ifstream whole(testData("formats/lazperf_point-color.las.laz"), std::ios::binary);
    std::string head(200, '\0');
    whole.read(&head[0], static_cast<std::streamsize>(head.size()));
    const std::string cut = ::testing::TempDir() + "cut-" + std::to_string(getpid()) + ".laz";
    std::ofstream(cut, std::ios::binary) << head;
    const ProcessResult laz = runProgram({POINTILLIST_INFO_EXE, cut});
    EXPECT_EQ(laz.status, 1);
    EXPECT_EQ(laz.out, "");
    EXPECT_EQ(laz.err.find('\n'), laz.err.size() - 1) << laz.err;
    EXPECT_NE(laz.err.find("LAZ file, the header is cut short"), std::string::npos) << laz.err;
    const ProcessResult compressed =
        runProgram({POINTILLIST_INFO_EXE, testData("formats/lazperf_point-color.las.laz")});
    const ProcessResult twin =
        runProgram({POINTILLIST_INFO_EXE, testData("formats/lazperf_point-color.las")});
    EXPECT_EQ(compressed.status, 0);
    EXPECT_NE(compressed.out.find("\nformat: LAZ 1.2, point format 2\ncolour: rgb\n"),
              std::string::npos)
        << compressed.out;
    // The five lines of box and centroid are the uncompressed twin's.
    EXPECT_EQ(compressed.out.substr(0, compressed.out.find("format:")),
              twin.out.substr(0, twin.out.find("format:")));
    const ProcessResult garbage =
        runProgram({POINTILLIST_INFO_EXE, testData("formats/pdal_garbage_nVariableLength.las")});
    EXPECT_EQ(garbage.status, 0);
    EXPECT_NE(garbage.err.find("expected 719 points, read 718"), std::string::npos) << garbage.err;
    EXPECT_EQ(garbage.out.rfind("points: 718\n", 0), 0u);
}

TEST(ConvertProgram, NativeRoundTripsAndOtherFormatsKeepPointsAndColours) {
    const std::string native = ::testing::TempDir() + "converted.txt";
    ASSERT_EQ(runProgram({POINTILLIST_CONVERT_EXE, testData("camera_lopsided.txt"), native}).status,
              0);
    LoadedCloud original, again;
    loadFile(testData("camera_lopsided.txt"), original);
    loadFile(native, again);
    ASSERT_EQ(again.cloud.count, original.cloud.count);
    EXPECT_EQ(0, std::memcmp(again.cloud.points, original.cloud.points,
                             sizeof(PointRecord) * static_cast<size_t>(original.cloud.count)));

    // A shifted LAS through binary PLY (doubles then) and through native text.
    for (const char* output : {"converted.ply", "converted_las.txt"}) {
        SCOPED_TRACE(output);
        const std::string path = ::testing::TempDir() + output;
        ASSERT_EQ(
            runProgram({POINTILLIST_CONVERT_EXE, testData("formats/pdal_1.2-with-color.las"), path})
                .status,
            0);
        LoadedCloud las, converted;
        loadFile(testData("formats/pdal_1.2-with-color.las"), las);
        loadFile(path, converted);
        ASSERT_EQ(converted.cloud.count, las.cloud.count);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(converted.file(0, axis), las.file(0, axis), 0.06);
        EXPECT_NEAR(converted.cloud.points[0].r * 255, las.cloud.points[0].r * 255, 0.5);
        EXPECT_NEAR(converted.cloud.points[9].b * 255, las.cloud.points[9].b * 255, 0.5);
    }
    EXPECT_EQ(runProgram({POINTILLIST_CONVERT_EXE, testData("camera_cube.txt"),
                          ::testing::TempDir() + "out.las"})
                  .status,
              1);
}
