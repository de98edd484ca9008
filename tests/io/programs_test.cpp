// tests/io/programs_test.cpp - pointillist-info's lines for other formats and pointillist-convert,
// run as the real executables.
#include "tests/io/io_test_support.h"
#include "tests/support/file_text.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

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

namespace {

// Class counts and withheld points of a LAS file, decoded here from its records by the layout
// the point formats define, apart from the readers.
struct LasCount {
    int format = -1;
    std::map<int, int64_t> classes;
    int64_t withheld = 0;
};

LasCount countLasRecords(const std::string& bytes) {
    LasCount count;
    auto at = [&bytes](size_t offset, size_t size) {
        uint64_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= uint64_t(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
        return value;
    };
    if (bytes.size() < 375 || bytes.compare(0, 4, "LASF") != 0)
        return count;
    count.format = static_cast<unsigned char>(bytes[104]) & 0x3F;
    const uint64_t offset = at(96, 4), stride = at(105, 2);
    uint64_t records = at(107, 4);
    if (bytes[25] >= 4 && at(247, 8) != 0)
        records = at(247, 8);
    records = std::min<uint64_t>(records, (bytes.size() - offset) / stride);
    for (uint64_t i = 0; i < records; ++i) {
        const size_t record = offset + i * stride;
        const unsigned char classByte = bytes[record + 15];
        if (count.format < 6) {
            ++count.classes[classByte & 31];
            count.withheld += (classByte & 0x80) != 0;
        } else {
            ++count.classes[static_cast<unsigned char>(bytes[record + 16])];
            count.withheld += (classByte & 4) != 0;
        }
    }
    return count;
}

// The lines pointillist-info ends with for a LAS file of these counts.
std::string attributeLines(const LasCount& count) {
    const bool timed = count.format == 1 || count.format >= 3;
    std::string lines = "attributes: intensity classification returns flags scan-angle "
                        "user-data point-source";
    lines += timed ? " gps-time\nclasses:" : "\nclasses:";
    for (const auto& [code, n] : count.classes)
        lines += " " + std::to_string(code) + ":" + std::to_string(n);
    lines += "\n";
    if (count.withheld)
        lines += "withheld: " + std::to_string(count.withheld) + "\n";
    return lines;
}

// The LAS files of a folder, by path.
std::vector<std::string> lasFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".las") == 0)
                files.push_back(folder + "/" + name);
        }
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

// Every LAS file at hand, and the compressed and octree files against their uncompressed twins:
// the attributes line, every class with its count and the withheld points.
TEST(InfoProgram, AttributeLinesAgreeWithAnIndependentCount) {
    std::vector<std::pair<std::string, std::string>> files; // read, counted
    for (const std::string& folder : {testData("formats"), testData("lidar")})
        for (const std::string& file : lasFilesIn(folder))
            files.emplace_back(file, file);
    const std::string shared = POINTILLIST_FORMATS_DATA_DIR;
    if (shared.empty())
        std::printf("the shared LAS files are skipped: no shared formats folder\n");
    else
        for (const std::string& folder : {shared, shared + "/../lidar"})
            for (const std::string& file : lasFilesIn(folder))
                files.emplace_back(file, file);
    files.emplace_back(testData("formats/lazperf_point-color.las.laz"),
                       testData("formats/lazperf_point-color.las"));
    files.emplace_back(testData("laz/loadersgl_pdrf8-1.4.laz"),
                       testData("laz/loadersgl_pdrf8-1.4.las"));
    files.emplace_back(testData("copc/laspy_simple.copc.laz"),
                       testData("formats/laspy_simple1_1.las"));

    for (const auto& [read, counted] : files) {
        const LasCount count = countLasRecords(fileText(counted));
        ASSERT_GE(count.format, 0) << counted;
        const ProcessResult info = runProgram({POINTILLIST_INFO_EXE, read});
        EXPECT_EQ(info.status, 0) << read;
        const std::string expected = attributeLines(count);
        ASSERT_GE(info.out.size(), expected.size()) << read;
        EXPECT_EQ(info.out.substr(info.out.size() - expected.size()), expected) << read;
    }
    // A format with GPS time and one without, a classified tile, withheld points: the files
    // at hand cover each.
    EXPECT_GE(files.size(), 11u);
}

TEST(InfoProgram, FilesWithoutAttributesAddNoLines) {
    for (const char* file :
         {"camera_cube.txt", "formats/pcl_colored_cloud.pcd", "formats/draco_test_pos_color.ply"}) {
        const ProcessResult info = runProgram({POINTILLIST_INFO_EXE, testData(file)});
        EXPECT_EQ(info.status, 0) << file;
        EXPECT_EQ(info.out.find("attributes:"), std::string::npos) << file;
        EXPECT_EQ(info.out.find("classes:"), std::string::npos) << file;
    }
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
