// tests/io/programs_test.cpp - pointillist-info's lines for other formats and pointillist-convert,
// run as the real executables.
#include "tests/io/io_test_support.h"
#include "tests/support/file_text.h"
#include "tests/support/program.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

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
    const std::string cut = scratchDir() + "cut-" + std::to_string(getpid()) + ".laz";
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
    // Cut inside its one chunk, it keeps the points before the cut and says so once.
    const std::string bytes = fileText(testData("formats/lazperf_point-color.las.laz"));
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
    const ProcessResult inside = runProgram({POINTILLIST_INFO_EXE, cut});
    EXPECT_EQ(inside.status, 0);
    EXPECT_EQ(inside.err.rfind(cut + ": expected 1065 points, read ", 0), 0u) << inside.err;
    EXPECT_EQ(inside.err.find("expected", cut.size() + 3), std::string::npos) << inside.err;
    EXPECT_EQ(inside.err.find('\n'), inside.err.size() - 1) << inside.err;
    const int kept = std::atoi(inside.out.c_str() + std::strlen("points: "));
    EXPECT_GT(kept, 500) << inside.out;
    EXPECT_LT(kept, 1065) << inside.out;
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

// What the file's header and fields promise and its points contradict.
TEST(InfoProgram, SaysWhyTheColourAndWarnsOfAHeaderBoxThePointsDisagreeWith) {
    std::string las = fileText(testData("formats/pdal_1.2-with-color.las"));
    uint32_t data;
    uint16_t length;
    std::memcpy(&data, &las[96], sizeof data);
    std::memcpy(&length, &las[105], sizeof length);
    for (size_t at = data; at + length <= las.size(); at += length)
        std::memset(&las[at + 28], 0, 6);
    const std::string black = scratchDir() + "black.las";
    std::ofstream(black, std::ios::binary) << las;
    const ProcessResult zero = runProgram({POINTILLIST_INFO_EXE, black});
    EXPECT_EQ(zero.status, 0);
    EXPECT_NE(zero.out.find("\ncolour: intensity (RGB fields all zero)\n"), std::string::npos)
        << zero.out;
    EXPECT_EQ(zero.out.find("warning:"), std::string::npos) << zero.out;

    // The box in raw integer units rather than metres.
    for (int axis = 0; axis < 3; ++axis)
        for (size_t at : {179 + 16 * axis, 187 + 16 * axis}) {
            double value, scale, offset;
            std::memcpy(&value, &las[at], sizeof value);
            std::memcpy(&scale, &las[131 + 8 * axis], sizeof scale);
            std::memcpy(&offset, &las[155 + 8 * axis], sizeof offset);
            value = std::round((value - offset) / scale);
            std::memcpy(&las[at], &value, sizeof value);
        }
    const std::string raw = scratchDir() + "raw_box.las";
    std::ofstream(raw, std::ios::binary) << las;
    const ProcessResult boxed = runProgram({POINTILLIST_INFO_EXE, raw});
    EXPECT_EQ(boxed.status, 0);
    // The same box, centroid and shift as with the true header box, and the warning after them,
    // before the attribute lines.
    std::string expected = zero.out;
    ASSERT_NE(expected.find("attributes:"), std::string::npos) << expected;
    expected.insert(expected.find("attributes:"), "warning: header box differs from the points\n");
    EXPECT_EQ(boxed.out, expected);
}

TEST(InfoProgram, HelpVersionSeveralFilesAndUnknownOptions) {
    const std::string info = POINTILLIST_INFO_EXE;
    const ProcessResult help = runProgram({info, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: pointillist-info [--quick] [--timeout SECONDS] [--cache DIR] "
                             "[--] POINT_FILE...\n",
                             0),
              0u);
    EXPECT_NE(help.out.find("--version"), std::string::npos);
    const ProcessResult version = runProgram({info, "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("pointillist-info ", 0), 0u);
    EXPECT_EQ(version.out.find('\n'), version.out.size() - 1);
    for (const char* mistake : {"--bogus", "-q", "--quick=1"}) {
        const ProcessResult bad = runProgram({info, mistake, testData("far_away.txt")});
        EXPECT_EQ(bad.status, 2) << mistake;
        EXPECT_EQ(bad.out, "");
        EXPECT_EQ(bad.err, "pointillist-info: unknown option '" + std::string(mistake) +
                               "'\nusage: pointillist-info [--quick] [--timeout SECONDS] [--cache "
                               "DIR] [--] POINT_FILE...\n");
    }
    // The options that take a value refuse a wrong or missing one as a usage error, like the
    // viewer's; --cache for local files alone makes no folder.
    const std::vector<std::vector<std::string>> wrongValues = {
        {"--timeout", "0x10"}, {"--timeout", "inf"}, {"--timeout", " 1"},
        {"--timeout"},         {"--cache", ""},      {"--cache"}};
    for (std::vector<std::string> wrong : wrongValues) {
        wrong.insert(wrong.begin(), {info, testData("far_away.txt")});
        const ProcessResult bad = runProgram(wrong);
        EXPECT_EQ(bad.status, 2) << wrong[2];
        EXPECT_EQ(bad.out, "");
        EXPECT_NE(bad.err.find("\nusage: pointillist-info "), std::string::npos) << bad.err;
    }
    const std::string unmade = scratchDir() + "unmade-cache";
    const ProcessResult local = runProgram({info, "--cache", unmade, testData("far_away.txt")});
    EXPECT_EQ(local.status, 0) << local.err;
    EXPECT_EQ(local.out, runProgram({info, testData("far_away.txt")}).out);
    EXPECT_NE(access(unmade.c_str(), F_OK), 0) << "nothing is written";

    // Several files: each one's own lines after its name, a refusal in between said and
    // counted in the status; one file's output has no name line.
    const std::string a = testData("far_away.txt");
    const std::string b = testData("formats/pdal_autzen.pts");
    const std::string missing = testData("no_such_file.txt");
    const ProcessResult alone = runProgram({info, a});
    const ProcessResult other = runProgram({info, b});
    EXPECT_EQ(alone.out.find("file:"), std::string::npos);
    const ProcessResult three = runProgram({info, a, missing, "--", b});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(three.out, "file: " + a + "\n" + alone.out + "file: " + missing +
                             "\nERROR: unable to open file " + missing + "!\nfile: " + b + "\n" +
                             other.out +
                             "\nscene: 2 of 3 files\npoints: 12\n"
                             "min: 500000 -3000 427.919983\nmax: 636126.4 849345.2 3000\n");
    const ProcessResult both = runProgram({info, a, b});
    EXPECT_EQ(both.status, 0);
}

namespace {

// The three numbers on the first line that starts with key; NaN when there is none.
std::array<double, 3> numbersAfter(const std::string& text, const std::string& key) {
    std::array<double, 3> values = {NAN, NAN, NAN};
    size_t start = text.rfind(key, 0) == 0 ? 0 : text.find("\n" + key);
    if (start == std::string::npos)
        return values;
    start += start == 0 && text.rfind(key, 0) == 0 ? 0 : 1;
    const char* cursor = text.c_str() + start + key.size();
    for (double& value : values) {
        char* end = nullptr;
        value = std::strtod(cursor, &end);
        cursor = end;
    }
    return values;
}

} // namespace

// Files of different formats and coordinates: the scene's box holds every file's box exactly,
// written with the same digits, its count is the sum, and each file's lines are its own output;
// --quick sums the headers alike.
TEST(InfoProgram, SeveralFilesEndWithTheSceneTheyMake) {
    const std::string info = POINTILLIST_INFO_EXE;
    const std::vector<std::string> files = {testData("formats/pdal_1.2-with-color.las"),
                                            testData("formats/pdal_autzen.pts"),
                                            testData("copc/lasrs_autzen.copc.laz")};
    for (bool quick : {false, true}) {
        SCOPED_TRACE(quick ? "--quick" : "whole");
        const std::vector<std::string> base =
            quick ? std::vector<std::string>{info, "--quick"} : std::vector<std::string>{info};
        std::vector<std::string> command = base;
        std::string expected;
        std::array<double, 3> low = {INFINITY, INFINITY, INFINITY};
        std::array<double, 3> high = {-INFINITY, -INFINITY, -INFINITY};
        long long points = 0;
        for (const std::string& file : files) {
            // pdal_autzen.pts is not a LAS file: --quick refuses it.
            if (quick && file.find(".pts") != std::string::npos)
                continue;
            std::vector<std::string> one = base;
            one.push_back(file);
            const ProcessResult alone = runProgram(one);
            ASSERT_EQ(alone.status, 0) << alone.err;
            expected += "file: " + file + "\n" + alone.out;
            points += std::atoll(alone.out.c_str() + alone.out.find("points: ") + 8);
            const std::array<double, 3> fileLow = numbersAfter(alone.out, "min: ");
            const std::array<double, 3> fileHigh = numbersAfter(alone.out, "max: ");
            for (int axis = 0; axis < 3; ++axis) {
                low[axis] = std::min(low[axis], fileLow[axis]);
                high[axis] = std::max(high[axis], fileHigh[axis]);
            }
            command.push_back(file);
        }
        const ProcessResult scene = runProgram(command);
        EXPECT_EQ(scene.status, 0) << scene.err;
        const size_t block = scene.out.find("\nscene: ");
        ASSERT_NE(block, std::string::npos) << scene.out;
        EXPECT_EQ(scene.out.substr(0, block), expected);
        const std::string tail = scene.out.substr(block + 1);
        EXPECT_EQ(tail.rfind("scene: " + std::to_string(command.size() - base.size()) +
                                 " files\npoints: " + std::to_string(points) + "\nmin: ",
                             0),
                  0u)
            << tail;
        EXPECT_EQ(numbersAfter(tail, "min: "), low);
        EXPECT_EQ(numbersAfter(tail, "max: "), high);
    }
    // A file --quick cannot read is said on standard error and left out of the scene.
    const ProcessResult mixed = runProgram({info, "--quick", files[0], files[1]});
    EXPECT_EQ(mixed.status, 1);
    EXPECT_NE(mixed.err.find(files[1] + ": --quick reads only"), std::string::npos) << mixed.err;
    EXPECT_NE(mixed.out.find("\nscene: 1 of 2 files\npoints: 1065\n"), std::string::npos)
        << mixed.out;
}

TEST(ConvertProgram, NativeRoundTripsAndOtherFormatsKeepPointsAndColours) {
    const std::string native = scratchDir() + "converted.txt";
    ASSERT_EQ(runProgram({POINTILLIST_CONVERT_EXE, testData("camera_lopsided.txt"), native}).status,
              0);
    LoadedCloud original, again;
    loadFile(testData("camera_lopsided.txt"), original);
    loadFile(native, again);
    ASSERT_EQ(again.cloud.count, original.cloud.count);
    EXPECT_EQ(0, std::memcmp(again.cloud.points, original.cloud.points,
                             sizeof(PointRecord) * static_cast<size_t>(original.cloud.count)));

    // A shifted LAS through binary PLY (doubles then) and through native text, rounded.
    for (const char* output : {"converted.ply", "converted_las.txt"}) {
        SCOPED_TRACE(output);
        const std::string path = scratchDir() + output;
        ASSERT_EQ(runProgram({POINTILLIST_CONVERT_EXE, "--allow-rounding",
                              testData("formats/pdal_1.2-with-color.las"), path})
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
    EXPECT_EQ(
        runProgram({POINTILLIST_CONVERT_EXE, testData("camera_cube.txt"), scratchDir() + "out.xyz"})
            .status,
        1);
}

TEST(ConvertProgram, CompressedOutputsKeepEveryPointAndTheOctreeOneReadsAsOne) {
    const std::string source = testData("formats/pdal_1.2-with-color.las");
    LoadedCloud las;
    loadFile(source, las);
    const auto sorted = [](const LoadedCloud& loaded) {
        std::vector<std::array<double, 6>> points;
        for (int32_t i = 0; i < loaded.cloud.count; ++i) {
            const PointRecord& p = loaded.cloud.points[i];
            points.push_back(
                {loaded.file(i, 0), loaded.file(i, 1), loaded.file(i, 2), p.r, p.g, p.b});
        }
        std::sort(points.begin(), points.end());
        return points;
    };
    const auto expected = sorted(las);
    for (const char* output : {"converted.laz", "converted.copc.laz"}) {
        SCOPED_TRACE(output);
        const std::string path = scratchDir() + output;
        const ProcessResult converted = runProgram({POINTILLIST_CONVERT_EXE, source, path});
        ASSERT_EQ(converted.status, 0) << converted.err;
        EXPECT_EQ(converted.err, "");
        LoadedCloud again;
        loadFile(path, again);
        ASSERT_EQ(again.cloud.count, las.cloud.count);
        const auto points = sorted(again);
        for (size_t i = 0; i < points.size(); ++i)
            for (int k = 0; k < 6; ++k)
                ASSERT_NEAR(points[i][size_t(k)], expected[i][size_t(k)], 1e-6) << i << " " << k;
        const ProcessResult info = runProgram({POINTILLIST_INFO_EXE, path});
        EXPECT_EQ(info.out.find("copc: depth ") != std::string::npos,
                  std::string(output) == "converted.copc.laz")
            << info.out;
    }
}

// A classified tile through LAS 1.4: pointillist-info says the same of both but the format line.
TEST(ConvertProgram, LasOutputKeepsTheInfoLines) {
    const std::string path = scratchDir() + "converted-" + std::to_string(getpid()) + ".las";
    const std::string source = testData("lidar/pdal_mvk-thin.las");
    const ProcessResult convert = runProgram({POINTILLIST_CONVERT_EXE, source, path});
    ASSERT_EQ(convert.status, 0) << convert.err;
    EXPECT_EQ(convert.err, "");
    std::string before = runProgram({POINTILLIST_INFO_EXE, source}).out;
    const std::string after = runProgram({POINTILLIST_INFO_EXE, path}).out;
    const std::string format = "format: LAS 1.2, point format 1\n";
    ASSERT_NE(before.find(format), std::string::npos) << before;
    before.replace(before.find(format), format.size(), "format: LAS 1.4, point format 6\n");
    EXPECT_EQ(after, before);
}

// A native point file keeps 32-bit floats: a cloud they would round coarser than its own file
// resolves is written only when the user accepts it, and then with no digits a float drops.
TEST(ConvertProgram, RoundingBeyondTheInputsPrecisionIsRefusedUnlessAllowed) {
    const std::string las = testData("formats/pdal_1.2-with-color.las");
    const std::string path = scratchDir() + "rounded_" + std::to_string(getpid()) + ".txt";
    unlink(path.c_str());
    const ProcessResult refused = runProgram({POINTILLIST_CONVERT_EXE, las, path});
    EXPECT_EQ(refused.status, 1);
    // Near 637000 a float's step is 1/16: x moves by up to 0.03 against the scale's 0.01.
    EXPECT_EQ(refused.err, "pointillist-convert: " + path +
                               ": a point file holds 32-bit floats, which would move x by up to "
                               "0.03 (the input resolves 0.01); .ply and .las keep the "
                               "coordinates, --allow-rounding writes it anyway\n");
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "written on refusal";

    const ProcessResult allowed =
        runProgram({POINTILLIST_CONVERT_EXE, las, path, "--allow-rounding"});
    ASSERT_EQ(allowed.status, 0) << allowed.err;
    const std::string text = fileText(path);
    // 637012.25 and 849028.312 are what a float holds; the double's digits are not promised.
    EXPECT_EQ(text.rfind("# points = 1065\n637012.25 849028.312 431.660004 ", 0), 0u)
        << text.substr(0, 120);
    LoadedCloud original, again;
    loadFile(las, original);
    loadFile(path, again);
    ASSERT_EQ(again.cloud.count, original.cloud.count);
    for (int32_t i = 0; i < again.cloud.count; i += 97)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(again.file(i, axis), double(float(original.file(i, axis))));

    // Without a shift, floats are what the file held: nothing to refuse. A float file's own
    // resolution is 1e-5 of its extent: a small room far from the origin is refused.
    const std::string plain = scratchDir() + "plain_" + std::to_string(getpid()) + ".txt";
    EXPECT_EQ(
        runProgram({POINTILLIST_CONVERT_EXE, testData("formats/pcl_bunny.pcd"), plain}).status, 0);
    const std::string room = scratchDir() + "room.xyz";
    std::ofstream(room) << "500000.125 4200000.5 10\n500003 4200002.75 12.5\n500001 4200001 11\n";
    const ProcessResult far = runProgram({POINTILLIST_CONVERT_EXE, room, plain});
    EXPECT_EQ(far.status, 1);
    EXPECT_NE(far.err.find("would move y by up to 0.25 (the input resolves 2.88e-05)"),
              std::string::npos)
        << far.err;
}
