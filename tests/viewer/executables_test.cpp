// tests/viewer/executables_test.cpp - the real pointillist, pointillist-info and generate-cloud
// programs: messages, exit statuses, the info report and the viewer's window.
#include "tests/viewer/viewer_fixture.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

const std::string VIEWER = POINTILLIST_EXE;
const std::string INFO = POINTILLIST_INFO_EXE;
const std::string GENERATOR = GENERATE_CLOUD_EXE;
const char* const NO_MEMORY = "Not Enough memory to allocate the point the structure\n";

} // namespace

TEST(LoadFailure, MessagesAndStatusMatchInViewerAndInfo) {
    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {"/nonexistent/dir/cloud.txt", "ERROR: unable to open file /nonexistent/dir/cloud.txt!\n"},
        {dataPath("count_negative.txt"), NO_MEMORY},
        {dataPath("count_beyond_32_bits.txt"), NO_MEMORY},
    };
    for (const std::string& program : {VIEWER, INFO})
        for (const Case& c : cases) {
            SCOPED_TRACE(program + " " + c.file);
            const ProcessResult result = runProgram({program, c.file});
            EXPECT_EQ(result.status, 1);
            EXPECT_EQ(result.out, c.message);
        }
}

TEST(MissingArgument, PrintsOneUsageLineOnStandardError) {
    for (const std::string& program : {VIEWER, INFO}) {
        SCOPED_TRACE(program);
        const ProcessResult result = runProgram({program});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("usage: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1);
    }
}

TEST(InfoReport, PrintsCountBoxCentroidAndViewDistance) {
    struct Case {
        const char* file;
        const char* report;
    };
    const Case cases[] = {
        {"header_no_blanks.txt", "points: 2\nmin: 1 2 3\nmax: 4 5 6\ncentroid: 2.5 3.5 4.5\n"
                                 "view-distance: 2.85788393\n"},
        {"far_away.txt", "points: 2\nmin: 500000 -3000 2000\nmax: 500010 -2000 3000\n"
                         "centroid: 500005 -2500 2500\nview-distance: 9.52627945\n"},
        {"count_zero.txt", "points: 0\nmin: 0 0 0\nmax: 0 0 0\ncentroid: 0 0 0\n"
                           "view-distance: 0.952627957\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ProcessResult result = runProgram({INFO, dataPath(c.file)});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, c.report);
        EXPECT_EQ(result.err, "");
    }
}

TEST(Generator, WritesSameLoadableCloudEveryTime) {
    const std::string path = ::testing::TempDir() + "generated_cloud.txt";
    const ProcessResult toStdout = runProgram({GENERATOR, "300"});
    ASSERT_EQ(runProgram({GENERATOR, "300", path}).status, 0);
    const ProcessResult info = runProgram({INFO, path});
    EXPECT_EQ(info.out.rfind("points: 300\n", 0), 0u) << info.out;
    EXPECT_EQ(toStdout.status, 0);
    std::ifstream written(path);
    std::stringstream text;
    text << written.rdbuf();
    EXPECT_EQ(toStdout.out, text.str());
    std::remove(path.c_str());

    for (const char* count : {"-1", "12x", "", "99999999999"})
        EXPECT_EQ(runProgram({GENERATOR, count}).status, 1) << count;
}

TEST(Viewer, OpensWindowTitledPointillistAndKeepsRunning) {
    const int pid = startProgram({VIEWER, dataPath("camera_cube.txt")});
    ASSERT_GT(pid, 0);
    const std::vector<std::string> search = {"xdotool", "search", "--pid", std::to_string(pid),
                                             "--name", "^Pointillist$"};
    ProcessResult found;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((found = runProgram(search)).status != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(found.status, 0) << "no window titled Pointillist";
    const std::string window = found.out.substr(0, found.out.find('\n'));
    const ProcessResult geometry = runProgram({"xdotool", "getwindowgeometry", window});
    EXPECT_NE(geometry.out.find("Geometry: 400x400"), std::string::npos) << geometry.out;

    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the viewer ended by itself";
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
}
