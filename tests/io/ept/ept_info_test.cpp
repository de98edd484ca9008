// tests/io/ept/ept_info_test.cpp - pointillist-info on datasets: the usual lines and the ept
// line, --quick from the description and hierarchy alone, damage on standard error, and the
// real sample beside the repository when it is there.
#include "tests/io/ept/ept_test_files.h"
#include "tests/support/program.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

ProcessResult info(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), POINTILLIST_INFO_EXE);
    return runProgram(arguments);
}

std::string screenshot(const std::string& cloud, const std::string& png) {
    const ProcessResult shot =
        runProgram({POINTILLIST_EXE, "--size", "200x200", "--screenshot", png, cloud});
    EXPECT_EQ(shot.status, 0) << shot.ending();
    std::ifstream in(png, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// The viewer opens a dataset by its ept.json: both encodings draw the same picture, and a lost
// node shows.
TEST(EptInfo, ViewerDrawsBothEncodingsAlike) {
    const ScratchFolder folder("viewer");
    MadeEpt made = sampleEpt(EptDataType::Binary);
    ASSERT_TRUE(writeEptFiles(folder.path + "/bin", makeEptFiles(made)));
    made.type = EptDataType::Laszip;
    ASSERT_TRUE(writeEptFiles(folder.path + "/laz", makeEptFiles(made)));
    const std::string binary = screenshot(folder.path + "/bin/ept.json", folder.path + "/bin.png");
    const std::string laszip = screenshot(folder.path + "/laz/ept.json", folder.path + "/laz.png");
    ASSERT_FALSE(binary.empty());
    EXPECT_TRUE(binary == laszip);
    std::remove((folder.path + "/laz/ept-data/2-3-3-2.laz").c_str());
    EXPECT_FALSE(binary == screenshot(folder.path + "/laz/ept.json", folder.path + "/lost.png"));
}

TEST(EptInfo, UsualLinesThenTheEptLine) {
    for (const EptDataType type : {EptDataType::Binary, EptDataType::Laszip}) {
        const ScratchFolder folder(type == EptDataType::Binary ? "binary" : "laszip");
        MadeEpt made = sampleEpt(type);
        made.origin = 4500000;
        ASSERT_TRUE(writeEptFiles(folder.path, makeEptFiles(made)));
        const ProcessResult full = info({folder.path + "/ept.json"});
        EXPECT_EQ(full.status, 0);
        EXPECT_EQ(full.err, "");
        const std::string data = type == EptDataType::Binary ? "binary" : "laszip";
        // Compressed nodes keep what their LAS records hold; binary ones what the schema names.
        const std::string attributes =
            type == EptDataType::Binary
                ? "attributes: intensity\n"
                : "attributes: intensity classification returns flags scan-angle user-data "
                  "point-source\nclasses: 2:26 3:36 4:23 6:45\n";
        EXPECT_EQ(full.out, "points: 130\n"
                            "min: 4500000 4500000 4500000\n"
                            "max: 4500062.86 4500062.24 4500062.6\n"
                            "centroid: 4500033.74 4500034.23 4500032.85\n"
                            "view-distance: 59.8821945\n"
                            "format: EPT 1.0.0, " +
                                data +
                                "\n"
                                "colour: rgb\n"
                                "dropped: 0\n"
                                "shift: 4500031 4500031 4500031\n"
                                "ept: depth 2, 5 nodes, span 16, data " +
                                data + "\n" + attributes);

        // The quick lines need no data file at all.
        std::remove(
            (folder.path + "/ept-data/0-0-0-0." + (type == EptDataType::Binary ? "bin" : "laz"))
                .c_str());
        const ProcessResult quick = info({"--quick", folder.path + "/ept.json"});
        EXPECT_EQ(quick.status, 0);
        EXPECT_EQ(quick.err, "");
        EXPECT_EQ(quick.out, "points: 130\n"
                             "min: 4500000 4500000 4500000\n"
                             "max: 4500063 4500063 4500063\n"
                             "format: EPT 1.0.0, " +
                                 data + "\nept: depth 2, 5 nodes, span 16, data " + data + "\n");

        // A whole read then loses that node, with one line.
        const ProcessResult damaged = info({folder.path + "/ept.json"});
        EXPECT_EQ(damaged.status, 0);
        EXPECT_EQ(damaged.out.rfind("points: 90\n", 0), 0u) << damaged.out;
        EXPECT_EQ(damaged.err, folder.path + "/ept.json: expected 130 points, read 90 (node " +
                                   "0-0-0-0 cannot be read: " + folder.path + "/ept-data/0-0-0-0." +
                                   (type == EptDataType::Binary ? "bin" : "laz") +
                                   ": cannot be opened (No such file or directory))\n");
    }
}

TEST(EptInfo, HierarchyThatDisagreesWithTheCountIsReported) {
    const ScratchFolder folder("count");
    EptFiles files = makeEptFiles(sampleEpt(EptDataType::Binary));
    files["ept-hierarchy/1-1-1-1.json"] = textBytes("{\"1-1-1-1\": 25, \"2-3-3-2\": 20}");
    ASSERT_TRUE(writeEptFiles(folder.path, files));
    const ProcessResult quick = info({"--quick", folder.path + "/ept.json"});
    EXPECT_EQ(quick.status, 0);
    EXPECT_NE(quick.out.find("ept: depth 2, 4 nodes, span 16, data binary\n"), std::string::npos);
    EXPECT_EQ(quick.err,
              folder.path + "/ept.json: the hierarchy holds 115 points, ept.json says 130\n");
}

TEST(EptInfo, MissingOrBrokenDescriptionFailsWithOneLine) {
    const ScratchFolder folder("broken");
    EptFiles files = makeEptFiles(sampleEpt(EptDataType::Binary));
    files["ept.json"] = textBytes("{\"bounds\": [0, 0, 0, 1, 1, 1], \"dataType\": \"binary\"}");
    ASSERT_TRUE(writeEptFiles(folder.path, files));
    for (const bool quick : {false, true}) {
        std::vector<std::string> arguments = {folder.path + "/ept.json"};
        if (quick)
            arguments.insert(arguments.begin(), "--quick");
        const ProcessResult broken = info(arguments);
        EXPECT_EQ(broken.status, 1);
        EXPECT_EQ(broken.out, "");
        EXPECT_EQ(broken.err, folder.path + "/ept.json: EPT dataset, no point count\n");
    }
    // Any other JSON file is taken for a dataset by its name, and refused as none.
    ASSERT_TRUE(writeEptFiles(folder.path, {{"settings.json", textBytes("{\"width\": 3}")}}));
    const ProcessResult other = info({folder.path + "/settings.json"});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.err, folder.path + "/settings.json: not an EPT dataset: no \"bounds\" with "
                                       "\"dataType\" or \"schema\" in its first bytes; it "
                                       "starts with the text \"{\"width\": 3}\"\n");
    const ProcessResult missing = info({"--quick", folder.path + "/none/ept.json"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, folder.path + "/none/ept.json: cannot be opened (No such file or "
                                         "directory)\n");
}

// The real sample holds the same points as the octree file made from the same survey.
TEST(EptInfo, RealSampleReadsLikeItsOctreeTwin) {
    const std::string shared = POINTILLIST_EPT_DATA_DIR;
    if (shared.empty())
        GTEST_SKIP() << "no ../shared/data/ept beside the repository";
    const ProcessResult full = info({shared + "/pdal_1.2-with-color/ept.json"});
    EXPECT_EQ(full.status, 0);
    EXPECT_EQ(full.err, "");
    EXPECT_EQ(full.out, "points: 1065\n"
                        "min: 635619.85 848899.7 406.589996\n"
                        "max: 638982.55 853535.43 586.379997\n"
                        "centroid: 637296.735 851249.538 434.097839\n"
                        "view-distance: 3203.4021\n"
                        "format: EPT 1.0.0, laszip\n"
                        "colour: rgb\n"
                        "dropped: 0\n"
                        "shift: 637301 851218 496\n"
                        "ept: depth 0, 1 nodes, span 128, data laszip\n"
                        "attributes: intensity classification returns flags scan-angle user-data "
                        "point-source gps-time\n"
                        "classes: 1:789 2:276\n");
    const ProcessResult quick = info({"--quick", shared + "/pdal_1.2-with-color/ept.json"});
    EXPECT_EQ(quick.status, 0);
    EXPECT_EQ(quick.out, "points: 1065\n"
                         "min: 635619 848899 406\n"
                         "max: 638983 853536 587\n"
                         "format: EPT 1.0.0, laszip\n"
                         "ept: depth 0, 1 nodes, span 128, data laszip\n");
}
