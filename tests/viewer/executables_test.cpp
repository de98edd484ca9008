// tests/viewer/executables_test.cpp - the real pointillist, pointillist-info and generate-cloud
// programs: messages, exit statuses and the info report. The viewer's windows are tested end to
// end, one test at a time, in tests/e2e.
#include "tests/viewer/viewer_fixture.h"

#include "tests/support/file_text.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>

namespace {

const std::string VIEWER = POINTILLIST_EXE, INFO = POINTILLIST_INFO_EXE;

} // namespace

TEST(Programs, LoadFailuresAndMissingArgumentEndWithStatus1) {
    const std::string noMemory = "Not Enough memory to allocate the point the structure\n";
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/dir/cloud.txt", "ERROR: unable to open file /nonexistent/dir/cloud.txt!\n"},
        {dataPath("count_negative.txt"), noMemory},
        {dataPath("count_beyond_32_bits.txt"), noMemory},
    };
    // What is not a point file at all says so on standard error.
    const std::string emptyLas = scratchDir() + "empty.las";
    std::ofstream{emptyLas};
    const std::pair<std::string, std::string> notFiles[] = {
        {"/", "/: is a directory\n"},
        {"/dev/null", "/dev/null: empty file\n"},
        {emptyLas, emptyLas + ": empty file\n"},
    };
    for (const std::string& program : {VIEWER, INFO}) {
        for (const auto& [file, message] : cases) {
            const ProcessResult result = runProgram({program, file});
            EXPECT_EQ(result.status, 1) << program << " " << file << ": " << result.ending();
            EXPECT_EQ(result.out, message) << program;
        }
        for (const auto& [file, message] : notFiles) {
            const ProcessResult result = runProgram({program, file}, false);
            EXPECT_EQ(result.status, 1) << program << " " << file << ": " << result.ending();
            EXPECT_EQ(result.out, "") << program;
            EXPECT_EQ(result.err, message) << program;
        }
        // Without a path: one usage line on standard error, nothing on standard output.
        const ProcessResult usage = runProgram({program});
        EXPECT_EQ(usage.status, 1) << program << ": " << usage.ending();
        EXPECT_EQ(usage.out, "");
        EXPECT_EQ(usage.err.rfind("usage: ", 0), 0u) << usage.err;
        EXPECT_EQ(usage.err.find('\n'), usage.err.size() - 1) << usage.err;
    }
}

// What the open and the header decide is said before the viewer needs an X server.
TEST(Programs, ViewerReportsLoadFailuresWithoutADisplay) {
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/cloud.txt", "ERROR: unable to open file /nonexistent/cloud.txt!\n"},
        {dataPath("count_negative.txt"), "Not Enough memory to allocate the point the structure\n"},
    };
    for (const auto& [file, message] : cases) {
        const ProcessResult result = runProgram({VIEWER, file}, false);
        EXPECT_EQ(result.status, 1) << file << ": " << result.ending();
        EXPECT_EQ(result.out, message);
        EXPECT_EQ(result.err, "") << file;
    }
}

TEST(Programs, InfoPrintsCountBoxCentroidAndViewDistance) {
    const ProcessResult result = runProgram({INFO, dataPath("far_away.txt")});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "points: 2\nmin: 500000 -3000 2000\nmax: 500010 -2000 3000\n"
                          "centroid: 500005 -2500 2500\nview-distance: 9.52627945\n");
}

TEST(Programs, GeneratorWritesTheSameLoadableCloudEveryTime) {
    const std::string path = scratchDir() + "generated_cloud.txt";
    const ProcessResult toStdout = runProgram({GENERATE_CLOUD_EXE, "300"});
    ASSERT_EQ(runProgram({GENERATE_CLOUD_EXE, "300", path}).status, 0);
    EXPECT_EQ(toStdout.out, fileText(path));
    EXPECT_EQ(runProgram({INFO, path}).out.rfind("points: 300\n", 0), 0u);
    std::remove(path.c_str());
    for (const char* count : {"-1", "12x", "", "99999999999"})
        EXPECT_EQ(runProgram({GENERATE_CLOUD_EXE, count}).status, 1) << count;
}

TEST(Programs, ViewerOptionMistakesEndWithStatus2BeforeAnyWindow) {
    const std::string cloud = dataPath("camera_cube.txt");
    const std::vector<std::vector<std::string>> mistakes = {
        {VIEWER, "--point-size", "0", cloud},
        {VIEWER, "--size", "10x10", cloud},
        {VIEWER, "--background"},
        {VIEWER, "--screenshot", "out.png"},
    };
    for (const auto& args : mistakes) {
        const ProcessResult result = runProgram(args);
        EXPECT_EQ(result.status, 2) << args[1];
        EXPECT_EQ(result.out, "");
        // The error, then the usage line.
        const size_t firstEnd = result.err.find('\n');
        EXPECT_EQ(result.err.rfind("pointillist: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.substr(firstEnd + 1).rfind("usage: pointillist ", 0), 0u);
        EXPECT_EQ(result.err.find('\n', firstEnd + 1), result.err.size() - 1) << result.err;
    }
    const ProcessResult help = runProgram({VIEWER, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: pointillist [OPTIONS] [--] POINT_FILE...\n", 0), 0u);
    EXPECT_NE(help.out.find("--screenshot OUT.png"), std::string::npos);
    const ProcessResult version = runProgram({VIEWER, "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("pointillist ", 0), 0u);
    // After --, a name that starts with - is the point file.
    const ProcessResult dashed = runProgram({VIEWER, "--", "-missing.txt"});
    EXPECT_EQ(dashed.status, 1);
    EXPECT_EQ(dashed.out, "ERROR: unable to open file -missing.txt!\n");
}

// A colour mode the file cannot give is not a mistake in the command line: one warning, then
// the picture in the file's colours, as without the option.
TEST(Programs, ViewerWarnsOfAColourModeTheFileLacks) {
    const std::string file = dataPath("render_corners.txt");
    const std::string plain = scratchDir() + "lacks_plain.png";
    const std::string asked = scratchDir() + "lacks_asked.png";
    ASSERT_EQ(runProgram({VIEWER, "--screenshot", plain, file}).status, 0);
    const ProcessResult result =
        runProgram({VIEWER, "--color", "classification", "--screenshot", asked, file});
    EXPECT_EQ(result.status, 0) << result.ending();
    EXPECT_EQ(result.err,
              "pointillist: " + file + " has no classification; showing its own colours\n");
    EXPECT_FALSE(fileText(plain).empty());
    EXPECT_EQ(fileText(asked), fileText(plain));
}

// The install puts the three programs, and nothing else, in PREFIX/bin, where they run.
TEST(Programs, InstallPutsTheThreeProgramsInBin) {
    char folder[] = "/tmp/pointillist-install-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string prefix = folder;
    const ProcessResult install =
        runProgram({CMAKE_EXE, "--install", BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(install.status, 0) << install.ending() << install.out;
    std::istringstream listed(runProgram({"find", prefix, "-type", "f"}).out);
    std::set<std::string> files;
    for (std::string line; std::getline(listed, line);)
        files.insert(line);
    EXPECT_EQ(files, (std::set<std::string>{prefix + "/bin/pointillist",
                                            prefix + "/bin/pointillist-convert",
                                            prefix + "/bin/pointillist-info"}));
    const ProcessResult info =
        runProgram({prefix + "/bin/pointillist-info", dataPath("far_away.txt")});
    EXPECT_EQ(info.status, 0) << info.ending();
    EXPECT_EQ(info.out.rfind("points: 2\n", 0), 0u);
    runProgram({"rm", "-rf", prefix});
}
