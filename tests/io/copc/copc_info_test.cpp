// tests/io/copc/copc_info_test.cpp - pointillist-info on octree files: its usual lines as before
// plus the copc line, --quick from the header and index alone, and damage on standard error.
#include "tests/io/copc/copc_test_files.h"
#include "tests/support/program.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// ctest runs these tests as processes side by side: each keeps its own files.
std::string scratch(const std::string& suffix) {
    return scratchDir() + "copc-info-" + std::to_string(getpid()) + suffix;
}

ProcessResult info(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), POINTILLIST_INFO_EXE);
    return runProgram(arguments);
}

std::string dataPath(const std::string& name) {
    return std::string(POINTILLIST_TEST_DATA_DIR) + "/" + name;
}

} // namespace

// The lines before the copc line are exactly what the plain LAZ read has always printed.
TEST(CopcInfo, UsualLinesThenTheCopcLine) {
    const ProcessResult paged = info({dataPath("copc/laspy_simple_with_page.copc.laz")});
    EXPECT_EQ(paged.status, 0);
    EXPECT_EQ(paged.err, "");
    EXPECT_EQ(paged.out, "points: 1065\n"
                         "min: 635619.85 848899.7 406.589996\n"
                         "max: 638982.55 853535.43 586.380005\n"
                         "centroid: 637296.735 851249.538 434.097839\n"
                         "view-distance: 3203.4021\n"
                         "format: LAZ 1.4, point format 7\n"
                         "colour: rgb\n"
                         "dropped: 0\n"
                         "shift: 637301 851218 496\n"
                         "copc: depth 3, 65 nodes, spacing 36.2166\n"
                         "attributes: intensity classification returns flags scan-angle "
                         "user-data point-source gps-time\n"
                         "classes: 1:789 2:276\n");
    const ProcessResult root = info({dataPath("copc/lasrs_autzen.copc.laz")});
    EXPECT_EQ(root.status, 0);
    EXPECT_NE(
        root.out.find("\nshift: 637297 851226 457\ncopc: depth 0, 1 nodes, spacing 30.6713\n"),
        std::string::npos)
        << root.out;
    // A LAZ file that is no octree has no copc line.
    const ProcessResult plain = info({dataPath("formats/loadersgl_pdrf8-1.4.laz")});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out.find("copc:"), std::string::npos);
}

TEST(CopcInfo, QuickPrintsTheHeaderAndIndexWithoutDecoding) {
    // Chunks scribbled over: a full read would lose them, the quick one never looks.
    std::vector<uint8_t> bytes = copcTestFile("laspy_simple.copc.laz");
    std::fill(bytes.begin() + 1717, bytes.begin() + 28000, 0xFF);
    const std::string path = scratch(".copc.laz");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    const ProcessResult quick = info({"--quick", path});
    EXPECT_EQ(quick.status, 0);
    EXPECT_EQ(quick.err, "");
    EXPECT_EQ(quick.out, "points: 1065\n"
                         "min: 635619.85 848899.7 406.59\n"
                         "max: 638982.55 853535.43 586.38\n"
                         "format: LAZ 1.4, point format 7\n"
                         "copc: depth 3, 65 nodes, spacing 36.2166\n");

    const ProcessResult las = info({"--quick", dataPath("formats/laspy_test1_4.las")});
    EXPECT_EQ(las.status, 0);
    EXPECT_EQ(las.out.rfind("points: 1000\nmin: ", 0), 0u) << las.out;
    EXPECT_NE(las.out.find("\nformat: LAS 1.4, point format 6\n"), std::string::npos) << las.out;
    const ProcessResult other = info({"--quick", dataPath("formats/pcl_bunny.pcd")});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.out, "");
    EXPECT_EQ(other.err, dataPath("formats/pcl_bunny.pcd") +
                             ": --quick reads only LAS and LAZ headers, not PCD files\n");
    const ProcessResult usage = info({"--quick"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(
        usage.err,
        "usage: pointillist-info [--quick] [--timeout SECONDS] [--cache DIR] [--] POINT_FILE...\n");
    unlink(path.c_str());
}

// A damaged node and a damaged page: the whole read names both in its one line; --quick names
// the page's damage and the points the index lacks.
TEST(CopcInfo, DamageIsNamedOnStandardError) {
    std::vector<uint8_t> bytes = copcTestFile("laspy_simple_with_page.copc.laz");
    setEntry(bytes, findEntry(bytes, rootPageOffset(bytes), rootPageSize(bytes), {1, 0, 0, 0}),
             29518, 530, 20);
    bytes.resize(bytes.size() - 1);
    const std::string path = scratch("-damaged.copc.laz");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    const ProcessResult whole = info({path});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.err, path +
                             ": expected 1065 points, read 967 (hierarchy page 2-0-0-0 (160 bytes "
                             "at 33556) reaches past the end of the file (33715 bytes); node "
                             "1-0-0-0 holds 19 points, its entry says 20)\n");
    EXPECT_EQ(whole.out.rfind("points: 967\n", 0), 0u);
    EXPECT_NE(whole.out.find("\ncopc: depth 3, 60 nodes, spacing 36.2166\n"), std::string::npos);

    const ProcessResult quick = info({"--quick", path});
    EXPECT_EQ(quick.status, 0);
    EXPECT_EQ(quick.err, path +
                             ": hierarchy page 2-0-0-0 (160 bytes at 33556) reaches past the end "
                             "of the file (33715 bytes)\n" +
                             path + ": the index holds 987 points, the header says 1065\n");
    unlink(path.c_str());
}
